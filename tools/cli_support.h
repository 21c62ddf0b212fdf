// Pieces of fenno-cli that tests can drive without a process: the event recorder.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/event_sink.h"

namespace fenno {

// Collects events from link and job threads; the CLI waits on them with a bound.
class WaitingSink : public EventSink {
public:
    void Post(int id, intptr_t w, intptr_t l) override { Record(id, w, l); }
    void Send(int id, intptr_t w, intptr_t l) override { Record(id, w, l); }
    void PostText(int id, const std::string& text) override {
        std::lock_guard lock(m_mutex);
        m_texts.push_back(text);
        m_events.push_back({id, 0, 0});
        m_cv.notify_all();
    }

    struct Event {
        int id;
        intptr_t w, l;
    };

    // True when an event with this id arrived (now or earlier and not yet taken) in time.
    bool WaitFor(int id, std::chrono::milliseconds bound, intptr_t* w = nullptr) {
        std::unique_lock lock(m_mutex);
        auto found = [&] {
            for (size_t i = m_taken; i < m_events.size(); ++i)
                if (m_events[i].id == id) {
                    if (w) *w = m_events[i].w;
                    m_taken = i + 1;
                    return true;
                }
            return false;
        };
        return m_cv.wait_for(lock, bound, found);
    }
    std::vector<Event> Events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::vector<std::string> Texts() const {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }

private:
    void Record(int id, intptr_t w, intptr_t l) {
        std::lock_guard lock(m_mutex);
        m_events.push_back({id, w, l});
        m_cv.notify_all();
    }
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Event> m_events;
    std::vector<std::string> m_texts;
    size_t m_taken = 0;
};

} // namespace fenno
