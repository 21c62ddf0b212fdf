// What the protocol layer needs from the active link; TCP and USB implement it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fenno {

class Transport {
  public:
    virtual ~Transport() = default;

    // TCP payloads carry the 0x81 (command) or 0x80 (Z-Wave) prefix; USB payloads carry none.
    virtual bool IsNetwork() const = 0;

    // Routes one payload: wait=true paces it against the device's answers.
    // Returns bytes written, or 0 when nothing went out now (queued, link down).
    virtual int SendPayload(const uint8_t* payload, size_t length, bool wait) = 0;
};

} // namespace fenno
