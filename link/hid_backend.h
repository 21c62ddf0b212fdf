// The HID access the USB link needs: find interfaces by id, open a path, whole-report I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fenno {

struct HidDeviceInfo {
    std::string path; // the device node, e.g. /dev/hidraw3
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

// An open device; destroying it closes it. Read may run on one thread while Write runs on another.
class HidDevice {
  public:
    virtual ~HidDevice() = default;
    // One input report (report number in byte 0): bytes read, 0 on time-out, -1 on error.
    virtual int Read(uint8_t* buf, size_t size, int timeoutMs) = 0;
    // One output report (report number in byte 0): bytes written, or -1.
    virtual int Write(const uint8_t* report, size_t size) = 0;
};

class HidBackend {
  public:
    virtual ~HidBackend() = default;
    // Present HID interfaces, one per path; an id of 0 matches any.
    virtual std::vector<HidDeviceInfo> Enumerate(uint16_t vendorId, uint16_t productId) = 0;
    // Null on failure; *error then says why in words a user can act on.
    virtual std::unique_ptr<HidDevice> Open(const std::string& path, std::string* error) = 0;
};

} // namespace fenno
