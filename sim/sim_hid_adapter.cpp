#include "sim/sim_hid_adapter.h"

#include "link/frame_codec.h"
#include "link/usb_link.h"

#include <algorithm>
#include <chrono>

namespace fenno {

// What the backend's output handler reaches. The handler may still be running on a writer thread
// when Detach clears it, so it checks the flag under the lock before touching the device.
struct SimHidAdapter::Wire {
    std::mutex mutex;
    bool attached = true;
    SimDevice* device;
    std::condition_variable* tickCv;
};

namespace {
// The tick thread looks again at least this often, for deadlines set on other threads.
constexpr std::chrono::milliseconds kMaxTickWait{20};
} // namespace

SimHidAdapter::SimHidAdapter(SimDevice& device, MemoryHidBackend& backend)
    : m_device(device), m_backend(backend) {}

SimHidAdapter::~SimHidAdapter() {
    Detach();
}

std::string SimHidAdapter::Attach(std::string path) {
    if (m_wire) return {};
    m_path = m_backend.AddDevice(kUsbVendorId, kUsbProductId, std::move(path));
    m_wire = std::make_shared<Wire>();
    m_wire->device = &m_device;
    m_wire->tickCv = &m_tickCv;

    MemoryHidBackend* backend = &m_backend;
    const std::string where = m_path;
    m_device.SetOutput([backend, where](const uint8_t* p, size_t n) {
        // Input report: report number, then the payload, zero-filled to 61 bytes.
        const auto report = EncodeUsbReport(p, n);
        backend->PushInput(where, report.data(), report.size());
    });
    std::shared_ptr<Wire> wire = m_wire;
    m_backend.SetOutputHandler(m_path, [wire](const uint8_t* report, size_t size) {
        if (size < 2 || report[0] != kUsbReportId) return;
        std::lock_guard lock(wire->mutex);
        if (!wire->attached) return;
        wire->device->HandlePayload(report + 1, std::min(size - 1, kMaxUsbPayload));
        // A learn request may have set a deadline earlier than the tick thread's wait.
        wire->tickCv->notify_one();
    });

    {
        std::lock_guard lock(m_tickMutex);
        m_stop = false;
    }
    m_tickThread = std::thread([this] { TickThreadProc(); });
    return m_path;
}

void SimHidAdapter::Detach() {
    if (!m_wire) return;
    {
        std::lock_guard lock(m_tickMutex);
        m_stop = true;
    }
    m_tickCv.notify_one();
    if (m_tickThread.joinable()) m_tickThread.join();

    m_backend.SetOutputHandler(m_path, {});
    {
        std::lock_guard lock(m_wire->mutex);
        m_wire->attached = false;
    }
    m_device.SetOutput({});
    m_backend.RemoveDevice(m_path);
    m_wire.reset();
}

void SimHidAdapter::TickThreadProc() {
    std::unique_lock lock(m_tickMutex);
    while (!m_stop) {
        auto until = SimClock::now() + kMaxTickWait;
        if (auto d = m_device.NextDeadline()) until = std::min(until, *d);
        m_tickCv.wait_until(lock, until, [this] { return m_stop; });
        if (m_stop) break;
        lock.unlock();
        m_device.Tick(SimClock::now());
        lock.lock();
    }
}

} // namespace fenno
