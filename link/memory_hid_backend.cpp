#include "link/memory_hid_backend.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>

namespace fenno {

struct MemoryHidBackend::Device {
    HidDeviceInfo info;
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::vector<uint8_t>> input;
    OutputHandler onOutput;
    std::string openError;
    bool present = true;
    bool failRead = false;
    int opens = 0;
    int openHandles = 0;
};

namespace {

class MemoryHidHandle : public HidDevice {
  public:
    explicit MemoryHidHandle(std::shared_ptr<MemoryHidBackend::Device> dev)
        : m_dev(std::move(dev)) {}
    ~MemoryHidHandle() override {
        std::lock_guard lock(m_dev->mutex);
        --m_dev->openHandles;
        m_dev->cv.notify_all();
    }

    int Read(uint8_t* buf, size_t size, int timeoutMs) override {
        std::unique_lock lock(m_dev->mutex);
        m_dev->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
            return !m_dev->input.empty() || !m_dev->present || m_dev->failRead;
        });
        if (!m_dev->present || m_dev->failRead) {
            m_dev->failRead = false;
            return -1;
        }
        if (m_dev->input.empty()) return 0;
        const std::vector<uint8_t> report = std::move(m_dev->input.front());
        m_dev->input.pop_front();
        const size_t n = std::min(report.size(), size);
        std::memcpy(buf, report.data(), n);
        return static_cast<int>(n);
    }

    int Write(const uint8_t* report, size_t size) override {
        MemoryHidBackend::OutputHandler handler;
        {
            std::lock_guard lock(m_dev->mutex);
            if (!m_dev->present) return -1;
            handler = m_dev->onOutput;
        }
        if (handler) handler(report, size);
        return static_cast<int>(size);
    }

  private:
    std::shared_ptr<MemoryHidBackend::Device> m_dev;
};

} // namespace

MemoryHidBackend::MemoryHidBackend() = default;
MemoryHidBackend::~MemoryHidBackend() = default;

std::shared_ptr<MemoryHidBackend::Device> MemoryHidBackend::Find(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    auto it = m_devices.find(path);
    return it == m_devices.end() ? nullptr : it->second;
}

std::string MemoryHidBackend::AddDevice(uint16_t vendorId, uint16_t productId, std::string path) {
    std::lock_guard lock(m_mutex);
    if (path.empty()) path = "/dev/mem-hidraw" + std::to_string(m_order.size());
    auto dev = std::make_shared<Device>();
    dev->info = {path, vendorId, productId};
    m_devices[path] = dev;
    m_order.erase(std::remove(m_order.begin(), m_order.end(), path), m_order.end());
    m_order.push_back(path);
    return path;
}

void MemoryHidBackend::RemoveDevice(const std::string& path) {
    std::shared_ptr<Device> dev;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_devices.find(path);
        if (it == m_devices.end()) return;
        dev = it->second;
        m_devices.erase(it);
        m_order.erase(std::remove(m_order.begin(), m_order.end(), path), m_order.end());
    }
    std::lock_guard lock(dev->mutex);
    dev->present = false;
    dev->cv.notify_all();
}

void MemoryHidBackend::SetOutputHandler(const std::string& path, OutputHandler handler) {
    if (auto dev = Find(path)) {
        std::lock_guard lock(dev->mutex);
        dev->onOutput = std::move(handler);
    }
}

bool MemoryHidBackend::PushInput(const std::string& path, const uint8_t* report, size_t size) {
    auto dev = Find(path);
    if (!dev) return false;
    std::lock_guard lock(dev->mutex);
    bool kept = true;
    if (dev->input.size() >= kInputQueueMax) {
        dev->input.pop_front();
        kept = false;
    }
    dev->input.emplace_back(report, report + std::min(size, kMaxReport));
    dev->cv.notify_all();
    return kept;
}

void MemoryHidBackend::FailNextRead(const std::string& path) {
    if (auto dev = Find(path)) {
        std::lock_guard lock(dev->mutex);
        dev->failRead = true;
        dev->cv.notify_all();
    }
}

void MemoryHidBackend::FailOpen(const std::string& path, std::string error) {
    if (auto dev = Find(path)) {
        std::lock_guard lock(dev->mutex);
        dev->openError = std::move(error);
    }
}

int MemoryHidBackend::OpenCount(const std::string& path) const {
    auto dev = Find(path);
    if (!dev) return 0;
    std::lock_guard lock(dev->mutex);
    return dev->opens;
}

bool MemoryHidBackend::IsOpen(const std::string& path) const {
    auto dev = Find(path);
    if (!dev) return false;
    std::lock_guard lock(dev->mutex);
    return dev->openHandles > 0;
}

std::vector<HidDeviceInfo> MemoryHidBackend::Enumerate(uint16_t vendorId, uint16_t productId) {
    std::lock_guard lock(m_mutex);
    std::vector<HidDeviceInfo> out;
    for (const auto& path : m_order) {
        const HidDeviceInfo& info = m_devices.at(path)->info;
        if ((vendorId == 0 || info.vendorId == vendorId) &&
            (productId == 0 || info.productId == productId))
            out.push_back(info);
    }
    return out;
}

std::unique_ptr<HidDevice> MemoryHidBackend::Open(const std::string& path, std::string* error) {
    auto dev = Find(path);
    if (!dev) {
        if (error != nullptr) *error = "No such device: " + path;
        return nullptr;
    }
    std::lock_guard lock(dev->mutex);
    if (!dev->openError.empty()) {
        if (error != nullptr) *error = dev->openError;
        return nullptr;
    }
    ++dev->opens;
    ++dev->openHandles;
    return std::make_unique<MemoryHidHandle>(dev);
}

} // namespace fenno
