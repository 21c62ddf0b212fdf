// What a link tells its owner: received payloads, posted events and two lifecycle moments.
#pragma once

#include "link/frame_codec.h"

#include <functional>

namespace fenno {

// The ids the links post; the owner forwards them to its EventSink as Post(id, 0, 0).
constexpr int kLinkEvTimeout = 1003; // watchdog dropped the TCP link
constexpr int kLinkEvBusy = 1007;    // the device serves another host ("ISCONNECTED")

// Set before a link is opened and left alone while it is up; called on link threads.
struct LinkHooks {
    PayloadHandler onPayload;              // every good payload, on the receive thread
    std::function<void(int id)> postEvent; // must return at once
    std::function<void()> onLinkInit;      // link about to open (clear the Z-Wave synced flag)
    std::function<void()> onClearStatus;   // link going down (clear the status block)
};

} // namespace fenno
