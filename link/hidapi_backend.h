// HidBackend on hidapi's hidraw backend: the real cable.
#pragma once

#include "link/hid_backend.h"

namespace fenno {

constexpr const char* kUdevRuleFile = "70-fenno.rules";
constexpr const char* kUdevRuleDir = "/usr/lib/udev/rules.d";

class HidapiBackend : public HidBackend {
  public:
    // Initialises hidapi; construct it before any link thread starts.
    HidapiBackend();
    std::vector<HidDeviceInfo> Enumerate(uint16_t vendorId, uint16_t productId) override;
    std::unique_ptr<HidDevice> Open(const std::string& path, std::string* error) override;
};

// The text shown when a device node exists but may not be opened.
std::string PermissionDeniedText(const std::string& path);

} // namespace fenno
