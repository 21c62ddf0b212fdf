// Shared pieces of the home-control tests: an event recorder and module frame builders.
#pragma once

#include "link/frame_codec.h"
#include "protocol/event_sink.h"
#include "protocol/zwave_frame.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fenno::test {

using Bytes = std::vector<uint8_t>;

// Keeps every event with whether it was posted or sent; waits are bounded.
class RecordingSink : public EventSink {
  public:
    struct Event {
        int id;
        intptr_t w, l;
        bool sent;
        friend bool operator==(const Event&, const Event&) = default;
    };

    void Post(int id, intptr_t w, intptr_t l) override { Record({id, w, l, false}); }
    void Send(int id, intptr_t w, intptr_t l) override { Record({id, w, l, true}); }
    void PostText(int id, const std::string&) override { Record({id, 0, 0, false}); }

    // The first event (id, w, l) not yet waited for, in time.
    bool WaitFor(int id, intptr_t w, intptr_t l, std::chrono::milliseconds bound,
                 Event* found = nullptr) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, bound, [&] {
            for (size_t i = 0; i < m_events.size(); ++i) {
                const Event& e = m_events[i];
                if (m_taken[i] || e.id != id || e.w != w || e.l != l) continue;
                m_taken[i] = true;
                if (found) *found = e;
                return true;
            }
            return false;
        });
    }
    std::vector<Event> Events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::vector<Event> EventsOf(int id) const {
        std::vector<Event> out;
        for (const Event& e : Events())
            if (e.id == id) out.push_back(e);
        return out;
    }

  private:
    void Record(Event e) {
        {
            std::lock_guard lock(m_mutex);
            m_events.push_back(e);
            m_taken.push_back(false);
        }
        m_cv.notify_all();
    }
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Event> m_events;
    std::vector<bool> m_taken;
};

// The payload the PC receives for one module frame: [b0][12][n][frame]; a USB report is padded
// to 61 bytes with fill, so a reader that ignores n and L sees the fill as data.
inline Bytes ModulePayload(const Bytes& frame, bool usb, uint8_t fill = 0) {
    Bytes p{usb ? uint8_t(0x02) : uint8_t(0x81), 0x12, uint8_t(frame.size())};
    p.insert(p.end(), frame.begin(), frame.end());
    if (usb && p.size() < kUsbReportSize) p.resize(kUsbReportSize, fill);
    return p;
}

inline Bytes ModuleFrame(uint8_t type, const Bytes& data) {
    return EncodeZWaveFrame(type, data.data(), data.size());
}

template <typename F>
bool Eventually(F f, std::chrono::milliseconds bound = std::chrono::seconds(3)) {
    const auto until = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < until) {
        if (f()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return f();
}

} // namespace fenno::test
