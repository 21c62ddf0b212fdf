// Collects what a link reports (payloads, events, status clears) for tests; thread-safe.
#pragma once

#include "link/link_hooks.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace fenno::test {

class LinkRecorder {
  public:
    LinkHooks Hooks() {
        LinkHooks h;
        h.onPayload = [this](const uint8_t* p, size_t L) {
            std::lock_guard lock(m_mutex);
            m_payloads.emplace_back(p, p + L);
            m_cv.notify_all();
        };
        h.postEvent = [this](int id) {
            std::lock_guard lock(m_mutex);
            m_events.push_back(id);
            m_cv.notify_all();
        };
        h.onClearStatus = [this] {
            std::lock_guard lock(m_mutex);
            ++m_statusClears;
            m_cv.notify_all();
        };
        return h;
    }

    // pred runs under the lock: it may read the members, not call the locking getters.
    template <class Pred> bool WaitUntil(Pred pred, int timeoutMs = 2000) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return pred(*this); });
    }
    bool WaitPayloads(size_t n, int timeoutMs = 2000) {
        return WaitUntil([n](const LinkRecorder& r) { return r.m_payloads.size() >= n; },
                         timeoutMs);
    }
    bool WaitStatusClears(int n, int timeoutMs = 2000) {
        return WaitUntil([n](const LinkRecorder& r) { return r.m_statusClears >= n; }, timeoutMs);
    }
    bool WaitEvent(int id, int timeoutMs = 2000) {
        return WaitUntil([id](const LinkRecorder& r) { return r.CountLocked(id) > 0; }, timeoutMs);
    }

    std::vector<std::vector<uint8_t>> Payloads() {
        std::lock_guard lock(m_mutex);
        return m_payloads;
    }
    int Count(int id) {
        std::lock_guard lock(m_mutex);
        return CountLocked(id);
    }
    int StatusClears() {
        std::lock_guard lock(m_mutex);
        return m_statusClears;
    }

  private:
    int CountLocked(int id) const {
        int n = 0;
        for (int e : m_events)
            n += e == id;
        return n;
    }
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::vector<uint8_t>> m_payloads; // each is L bytes from the frame's byte 2
    std::vector<int> m_events;
    int m_statusClears = 0;
};

} // namespace fenno::test
