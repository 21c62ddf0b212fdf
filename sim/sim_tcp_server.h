// The simulated amplifier's network side: one TCP client at a time, LinkFrames, heartbeat, faults.
#pragma once

#include "sim/sim_device.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace fenno {

inline constexpr uint16_t kSimDefaultPort = 30303;
inline constexpr char kHeartbeatToken[] = "$HB$";
inline constexpr char kBusyToken[] = "ISCONNECTED";
inline constexpr size_t kHeartbeatTokenSize = sizeof kHeartbeatToken - 1;
inline constexpr size_t kBusyTokenSize = sizeof kBusyToken - 1;

struct SimServerConfig {
    std::string bind = "127.0.0.1";
    uint16_t port = kSimDefaultPort; // 0 picks a free port
    std::chrono::milliseconds heartbeatInterval{1000};
    // Faults; 0 switches each off. The frame counts are per connection.
    std::chrono::milliseconds answerDelay{0}; // everything the device sends waits this long
    int silentAfter = 0;   // after N frames received: no answers, no heartbeat, frames ignored
    int badCheckEvery = 0; // every Nth answer frame carries a wrong check byte
    int dropAfter = 0;     // after N frames received and answered, the connection is closed
};

// Start, Stop and the destructor belong to the owner's thread; the accessors may be called from
// any thread. The device must outlive the server.
class SimTcpServer {
  public:
    SimTcpServer(SimDevice& device, SimServerConfig config);
    ~SimTcpServer();
    SimTcpServer(const SimTcpServer&) = delete;
    SimTcpServer& operator=(const SimTcpServer&) = delete;

    // Binds, listens and starts the server thread: 0, or the errno of the step that failed
    // (EINVAL for a bind address that is not dotted decimal IPv4, EALREADY when running).
    int Start();
    // Closes every connection and joins the server thread; quiet when not running.
    void Stop();

    bool Running() const { return m_running.load(); }
    const std::string& Host() const { return m_config.bind; }
    // The bound port, valid after a successful Start.
    uint16_t Port() const { return m_port.load(); }

    bool ClientConnected() const { return m_clientConnected.load(); }
    uint64_t ConnectionsAccepted() const { return m_accepted.load(); }
    uint64_t ConnectionsRejected() const { return m_rejected.load(); }
    uint64_t HeartbeatsSent() const { return m_heartbeats.load(); }
    uint64_t HeartbeatEchoes() const { return m_echoes.load(); }
    uint64_t FramesReceived() const { return m_framesReceived.load(); }
    uint64_t AnswerFramesSent() const { return m_answerFrames.load(); }
    uint64_t BadChecksSent() const { return m_badChecks.load(); }
    uint64_t ChecksumErrors() const { return m_checksumErrors.load(); }

  private:
    class Loop;

    SimDevice& m_device;
    SimServerConfig m_config;

    std::mutex m_lifeMutex;       // Start against Stop
    std::unique_ptr<Loop> m_loop; // the server thread's state; touched by that thread alone
    std::thread m_thread;

    std::atomic<bool> m_running{false};
    std::atomic<uint16_t> m_port{0};
    std::atomic<bool> m_clientConnected{false};
    std::atomic<uint64_t> m_accepted{0};
    std::atomic<uint64_t> m_rejected{0};
    std::atomic<uint64_t> m_heartbeats{0};
    std::atomic<uint64_t> m_echoes{0};
    std::atomic<uint64_t> m_framesReceived{0};
    std::atomic<uint64_t> m_answerFrames{0};
    std::atomic<uint64_t> m_badChecks{0};
    std::atomic<uint64_t> m_checksumErrors{0};
};

} // namespace fenno
