// A std::thread that can be joined with a time bound and knows whether it is the caller.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace fenno {

// Started and joined by the link's owner only; the thread itself may ask IsCurrent().
class LinkThread {
  public:
    LinkThread() = default;
    LinkThread(const LinkThread&) = delete;
    LinkThread& operator=(const LinkThread&) = delete;
    ~LinkThread() { Join(); }

    template <class F> void Start(F&& body) {
        Join();
        {
            std::lock_guard lock(m_mutex);
            m_done = false;
        }
        m_thread = std::thread([this, body = std::forward<F>(body)]() mutable {
            m_id.store(std::this_thread::get_id());
            body();
            {
                std::lock_guard lock(m_mutex);
                m_done = true;
            }
            m_cv.notify_all();
        });
    }

    bool Joinable() const { return m_thread.joinable(); }
    bool IsCurrent() const { return m_id.load() == std::this_thread::get_id(); }

    // True when the thread has ended and was joined within the time (or never ran).
    // A thread never joins itself: then false.
    bool JoinFor(std::chrono::milliseconds timeout) {
        if (!m_thread.joinable()) return true;
        if (IsCurrent()) return false;
        {
            std::unique_lock lock(m_mutex);
            if (!m_cv.wait_for(lock, timeout, [this] { return m_done; })) return false;
        }
        m_thread.join();
        m_id.store(std::thread::id());
        return true;
    }

    // Unbounded; for destructors, after the thread has been told to stop.
    void Join() {
        if (!m_thread.joinable() || IsCurrent()) return;
        m_thread.join();
        m_id.store(std::thread::id());
    }

  private:
    std::thread m_thread;
    std::atomic<std::thread::id> m_id{};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = true;
};

} // namespace fenno
