#include "link/hidapi_backend.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <hidapi.h>
#include <unistd.h>

namespace fenno {
namespace {

// The kernel copies min(report, buffer): read into room for the largest report we could see.
constexpr size_t kReadRoom = 64;

class HidapiDevice : public HidDevice {
  public:
    explicit HidapiDevice(hid_device* dev) : m_dev(dev) {}
    ~HidapiDevice() override { hid_close(m_dev); }

    int Read(uint8_t* buf, size_t size, int timeoutMs) override {
        uint8_t room[kReadRoom];
        const int r = hid_read_timeout(m_dev, room, sizeof room, timeoutMs);
        if (r <= 0) return r;
        const size_t n = std::min(static_cast<size_t>(r), size);
        std::memcpy(buf, room, n);
        return static_cast<int>(n);
    }

    int Write(const uint8_t* report, size_t size) override {
        return hid_write(m_dev, report, size);
    }

  private:
    hid_device* m_dev;
};

// hidapi reports errors as wide text; keep it short and plain.
std::string Narrow(const wchar_t* w) {
    std::string out;
    if (w == nullptr) return out;
    for (; *w != 0; ++w)
        out.push_back(*w < 0x80 ? static_cast<char>(*w) : '?');
    return out;
}

} // namespace

std::string PermissionDeniedText(const std::string& path) {
    return "Permission denied opening " + path + ": install the udev rule " + kUdevRuleFile +
           " into " + kUdevRuleDir + ", then reload the rules and plug the device in again.";
}

HidapiBackend::HidapiBackend() {
    hid_init();
}

std::vector<HidDeviceInfo> HidapiBackend::Enumerate(uint16_t vendorId, uint16_t productId) {
    std::vector<HidDeviceInfo> out;
    hid_device_info* list = hid_enumerate(vendorId, productId);
    for (const hid_device_info* d = list; d != nullptr; d = d->next) {
        if (d->path == nullptr) continue;
        // One entry per top-level usage share a path: one interface, listed once.
        const bool seen = std::any_of(out.begin(), out.end(),
                                      [d](const HidDeviceInfo& i) { return i.path == d->path; });
        if (!seen) out.push_back({d->path, d->vendor_id, d->product_id});
    }
    hid_free_enumeration(list);
    return out;
}

std::unique_ptr<HidDevice> HidapiBackend::Open(const std::string& path, std::string* error) {
    errno = 0;
    hid_device* dev = hid_open_path(path.c_str());
    if (dev != nullptr) return std::make_unique<HidapiDevice>(dev);
    if (error != nullptr) {
        // hidapi does not always keep errno; ask the node itself.
        int err = errno;
        if (err != EACCES && access(path.c_str(), R_OK | W_OK) != 0) err = errno;
        if (err == EACCES || err == EPERM) {
            *error = PermissionDeniedText(path);
        } else {
            *error = "Cannot open " + path + ": " + (err != 0 ? std::strerror(err) : "") + " " +
                     Narrow(hid_error(nullptr));
        }
    }
    return nullptr;
}

} // namespace fenno
