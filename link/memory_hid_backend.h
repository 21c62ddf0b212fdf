// An in-memory HID device set: the device side sees every output report and pushes input reports.
#pragma once

#include "link/hid_backend.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace fenno {

class MemoryHidBackend : public HidBackend {
  public:
    // Like hidapi's reader queue: a device that is not read loses its oldest reports, not memory.
    static constexpr size_t kInputQueueMax = 32;
    static constexpr size_t kMaxReport = 64;

    // Called on the writing thread, without any backend lock held: it may push input.
    using OutputHandler = std::function<void(const uint8_t* report, size_t size)>;

    MemoryHidBackend();
    ~MemoryHidBackend() override;

    // Adds a present interface; returns its path (made up when none is given).
    std::string AddDevice(uint16_t vendorId, uint16_t productId, std::string path = {});
    // Unplugs: it leaves the enumeration; reads and writes on open handles fail.
    void RemoveDevice(const std::string& path);
    void SetOutputHandler(const std::string& path, OutputHandler handler);
    // Queues one input report (report number in byte 0); false when an old one had to go.
    bool PushInput(const std::string& path, const uint8_t* report, size_t size);
    // The next read on an open handle fails, as a read does when the cable is pulled.
    void FailNextRead(const std::string& path);
    // Opening fails with this text (empty: opens again).
    void FailOpen(const std::string& path, std::string error);

    int OpenCount(const std::string& path) const; // successful opens so far
    bool IsOpen(const std::string& path) const;

    std::vector<HidDeviceInfo> Enumerate(uint16_t vendorId, uint16_t productId) override;
    std::unique_ptr<HidDevice> Open(const std::string& path, std::string* error) override;

    struct Device;

  private:
    std::shared_ptr<Device> Find(const std::string& path) const;

    mutable std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<Device>> m_devices;
    std::vector<std::string> m_order; // enumeration order = order of AddDevice
};

} // namespace fenno
