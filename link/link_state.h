// Flags and events shared by the two transports, the dispatcher and the sync jobs.
#pragma once

#include "link/auto_reset_event.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

namespace fenno {

// Milliseconds from a monotonic clock; the watchdog compares these.
inline int64_t TickMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

struct LinkState {
    std::atomic<bool> networkMode{false}; // the active (or next) link is TCP
    std::atomic<bool> connected{false};
    std::atomic<bool> queueEnabled{true};   // false while a sync job runs
    std::atomic<bool> statusPoll{false};    // the GUI may send its 500 ms status poll
    std::atomic<bool> awaitingReply{false}; // TCP write thread waits for an answer
    std::atomic<bool> readThreadEnd{false}; // receive thread ended on an error
    std::atomic<int> watchdogCount{0};
    std::atomic<int64_t> lastReceiveMs{0};

    AutoResetEvent replyEvent{true}; // signalled after every received payload
    AutoResetEvent readEndedEvent{false};
    std::mutex sendLock; // serialises synchronous sends
};

// Puts the events and flags into their start state before a link opens: the reply event
// signalled (the first sender must not wait), the read-ended event clear.
inline void InitLinkSync(LinkState& state) {
    state.replyEvent.Set();
    state.readEndedEvent.Reset();
    state.awaitingReply.store(false);
    state.readThreadEnd.store(false);
}

} // namespace fenno
