// Auto-reset event: one waiter is released per Set(), waits are always bounded.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace fenno {

class AutoResetEvent {
  public:
    explicit AutoResetEvent(bool signalled = false) : m_signalled(signalled) {}

    void Set() {
        {
            std::lock_guard lock(m_mutex);
            m_signalled = true;
        }
        m_cv.notify_one();
    }

    void Reset() {
        std::lock_guard lock(m_mutex);
        m_signalled = false;
    }

    // True when the event was signalled within the time; the signal is consumed.
    bool Wait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        if (!m_cv.wait_for(lock, timeout, [this] { return m_signalled; })) return false;
        m_signalled = false;
        return true;
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled;
};

} // namespace fenno
