// Puts a SimDevice behind an interface of the in-memory HID backend, as if it were plugged in.
#pragma once

#include "link/memory_hid_backend.h"
#include "sim/sim_device.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace fenno {

// Attach and Detach belong to the owner's thread. The device and the backend must outlive the
// adapter. A device serves one transport at a time: it must not also sit behind a SimTcpServer.
class SimHidAdapter {
  public:
    SimHidAdapter(SimDevice& device, MemoryHidBackend& backend);
    ~SimHidAdapter();
    SimHidAdapter(const SimHidAdapter&) = delete;
    SimHidAdapter& operator=(const SimHidAdapter&) = delete;

    // Adds an interface with the amplifier's vendor and product id and wires it to the device;
    // returns its path (made up by the backend when none is given). Empty when already attached.
    std::string Attach(std::string path = {});
    // Unplugs the interface; no report reaches the device afterwards. Quiet when detached.
    void Detach();

    const std::string& Path() const { return m_path; }

  private:
    struct Wire;
    void TickThreadProc();

    SimDevice& m_device;
    MemoryHidBackend& m_backend;
    std::string m_path;
    std::shared_ptr<Wire> m_wire; // shared with the backend's output handler

    std::mutex m_tickMutex;
    std::condition_variable m_tickCv;
    bool m_stop = false; // guarded by m_tickMutex
    std::thread m_tickThread;
};

} // namespace fenno
