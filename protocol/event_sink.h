// Events from link and worker threads to the GUI (or to a test's recorder).
#pragma once

#include <cstdint>
#include <string>

namespace fenno {

enum EventId : int {
    kEvRemoteKey = 1001,     // wParam: learned key value
    kEvSyncDone = 1002,      // wParam: 0 after a read job, 1 after a write job
    kEvTimeout = 1003,       // watchdog dropped the TCP link
    kEvBusy = 1007,          // device answered ISCONNECTED
    kEvZWaveEvent = 3024,
    kEvZWaveProgress = 3025,
    kEvDeviceError = 9001,   // parameter error reported by the device (0x0A); text in EventText
};

class EventSink {
public:
    virtual ~EventSink() = default;
    // Returns at once.
    virtual void Post(int id, intptr_t w, intptr_t l) = 0;
    // Returns once the receiver has handled the event.
    virtual void Send(int id, intptr_t w, intptr_t l) = 0;
    // A posted event that carries a text (device error box).
    virtual void PostText(int id, const std::string& text) = 0;
};

} // namespace fenno
