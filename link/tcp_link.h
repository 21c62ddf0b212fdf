// The TCP link: one connection to the device with its receive, write-queue and watchdog threads.
#pragma once

#include "link/frame_codec.h"
#include "link/link_hooks.h"
#include "link/link_state.h"
#include "link/link_thread.h"
#include "link/net_write_queue.h"
#include "link/transport.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace fenno {

constexpr const char* kDefaultDeviceAddress = "192.168.1.123";
constexpr uint16_t kDefaultDevicePort = 30303;

// Connect, disconnect and the setters belong to the owner's thread; the senders may be called
// from any thread. The hooks' targets must outlive the link (or NetDisconnect first).
class TcpLink : public Transport {
  public:
    static constexpr std::chrono::milliseconds kReplyWait{2000};
    static constexpr int64_t kSilenceMs = 3000; // watchdog counts once the link is this quiet
    static constexpr int kWatchdogLimit = 5;    // drop when the count exceeds this
    static constexpr std::chrono::milliseconds kWatchdogTick{100};
    static constexpr std::chrono::milliseconds kWritePoll{20};
    static constexpr int kWriteWaitPolls = 100; // 2 s for an answer before sending anyway
    static constexpr std::chrono::milliseconds kDisconnectJoinBound{1000};

    explicit TcpLink(LinkState& state);
    ~TcpLink() override;
    TcpLink(const TcpLink&) = delete;
    TcpLink& operator=(const TcpLink&) = delete;

    void SetHooks(LinkHooks hooks) { m_hooks = std::move(hooks); }
    void SetAddress(std::string address) { m_address = std::move(address); }
    const std::string& Address() const { return m_address; }
    void SetPort(uint16_t port) { m_port = port; }
    uint16_t Port() const { return m_port; }
    // The original blocked in connect for as long as the system liked; this bounds it.
    void SetConnectTimeout(std::chrono::milliseconds timeout) { m_connectTimeout = timeout; }

    // 1 when connected; 0 when no socket can be created (or the previous link is still closing);
    // otherwise the errno of the failed connect (111 for a refused port, 110 on time-out,
    // 22 for an address that is not dotted decimal IPv4).
    int NetConnect();
    // Quiet when not connected. sendBye writes 81 8A before the socket is shut.
    void NetDisconnect(bool sendBye);

    // Frames the payload and sends it whole; bytes sent or -1.
    int NetSendFrame(const uint8_t* payload, size_t length);
    // Waits up to 2 s for the reply event, then sends under the send lock; 0 when down.
    int NetSendSync(const uint8_t* payload, size_t length);

    NetWriteQueue& WriteQueue() { return m_queue; }
    bool IsUp() const { return m_up.load(); }
    // True while any of the three threads has not been joined yet.
    bool HasThreads() const;

    bool IsNetwork() const override { return true; }
    // Queue enabled and link up: into the NetWriteQueue (returns 0); otherwise NetSendSync when
    // wait, else NetSendFrame.
    int SendPayload(const uint8_t* payload, size_t length, bool wait) override;

  private:
    int NetRecv(int fd);
    void RecvThreadProc(int fd);
    void NetWriteThreadProc();
    void NetTimeoutThreadProc();

    // Marks the link down and shuts the socket; true for the call that did it.
    bool CloseLink(bool notify);
    // Joins the threads within the bound and closes the socket once all have ended.
    bool Reap(std::chrono::milliseconds bound);
    bool IsOwnThread() const;
    // False when the link went down during the sleep.
    bool SleepWhileUp(std::chrono::milliseconds d);
    // Like SleepWhileUp, but also ends when WakeWriter is called.
    bool NapWhileUp(std::chrono::milliseconds d);
    void WakeWriter();
    int SendRaw(const uint8_t* bytes, size_t n);

    LinkState& m_state;
    LinkHooks m_hooks;
    std::string m_address = kDefaultDeviceAddress;
    uint16_t m_port = kDefaultDevicePort;
    std::chrono::milliseconds m_connectTimeout{5000};

    std::atomic<bool> m_up{false};
    std::atomic<int> m_fd{-1};
    std::mutex m_lifeMutex;  // connect, disconnect, joins
    std::mutex m_writeMutex; // one writer on the socket at a time; frames never interleave
    std::mutex m_fdMutex;    // shutdown against close
    std::mutex m_stopMutex;
    std::condition_variable m_stopCv;
    bool m_writerWake = false; // guarded by m_stopMutex


    RxReassembler m_rx;
    NetWriteQueue m_queue;
    LinkThread m_recvThread;
    LinkThread m_writeThread;
    LinkThread m_timeoutThread;
};

} // namespace fenno
