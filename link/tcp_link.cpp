#include "link/tcp_link.h"

#include "link/debug_output.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fenno {
namespace {

constexpr char kHeartbeat[] = "$HB$";
constexpr size_t kHeartbeatLen = sizeof kHeartbeat - 1;
constexpr char kBusyToken[] = "ISCONNECTED";
constexpr size_t kBusyTokenLen = sizeof kBusyToken - 1;
constexpr uint8_t kByePayload[] = {kTcpPrefixCommand, 0x8A};
constexpr int kSendTimeoutMs = 2000;

// Non-blocking connect bounded by the time-out; 0 or an errno.
int ConnectWithin(int fd, const sockaddr_in& addr, std::chrono::milliseconds timeout) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return errno;
    int err = 0;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) < 0) {
        err = errno;
        if (err == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            int r;
            do {
                r = poll(&p, 1, static_cast<int>(timeout.count()));
            } while (r < 0 && errno == EINTR);
            if (r == 0) return ETIMEDOUT;
            if (r < 0) return errno;
            socklen_t len = sizeof err;
            if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0) return errno;
        }
    }
    if (err != 0) return err;
    if (fcntl(fd, F_SETFL, flags) < 0) return errno;
    return 0;
}

} // namespace

TcpLink::TcpLink(LinkState& state) : m_state(state) {}

TcpLink::~TcpLink() {
    CloseLink(false);
    m_recvThread.Join();
    m_writeThread.Join();
    m_timeoutThread.Join();
    const int fd = m_fd.exchange(-1);
    if (fd >= 0) ::close(fd);
}

bool TcpLink::HasThreads() const {
    return m_recvThread.Joinable() || m_writeThread.Joinable() || m_timeoutThread.Joinable();
}

bool TcpLink::IsOwnThread() const {
    return m_recvThread.IsCurrent() || m_writeThread.IsCurrent() || m_timeoutThread.IsCurrent();
}

int TcpLink::NetConnect() {
    if (IsOwnThread()) return 0;
    std::lock_guard life(m_lifeMutex);
    CloseLink(true);
    if (!Reap(kReplyWait)) {
        DebugOutput("NetConnect: previous link still closing\n");
        return 0;
    }
    m_queue.Clear();
    m_state.watchdogCount.store(0);
    InitLinkSync(m_state);
    if (m_hooks.onLinkInit) m_hooks.onLinkInit();

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        DebugOutput("Socket() error:%d", errno);
        return 0;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(m_port);
    if (inet_pton(AF_INET, m_address.c_str(), &addr.sin_addr) != 1) {
        ::close(fd);
        return EINVAL;
    }
    if (const int err = ConnectWithin(fd, addr, m_connectTimeout); err != 0) {
        ::close(fd);
        return err;
    }
    // A send to a peer that stops reading must not hold the write lock for ever.
    const timeval sndTimeout{kSendTimeoutMs / 1000, (kSendTimeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sndTimeout, sizeof sndTimeout);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

    m_fd.store(fd);
    m_rx = RxReassembler(m_hooks.onPayload, &m_state);
    m_state.lastReceiveMs.store(TickMs());
    m_up.store(true);
    m_state.connected.store(true);
    m_recvThread.Start([this, fd] { RecvThreadProc(fd); });
    m_writeThread.Start([this] { NetWriteThreadProc(); });
    m_timeoutThread.Start([this] { NetTimeoutThreadProc(); });
    return 1;
}

void TcpLink::NetDisconnect(bool sendBye) {
    if (IsOwnThread()) {
        // Called from inside the link (e.g. by the dispatcher): the owner joins later.
        CloseLink(true);
        return;
    }
    std::lock_guard life(m_lifeMutex);
    // Sent directly: through the queue the notice would be discarded with the queue below.
    if (sendBye && m_up.load()) NetSendFrame(kByePayload, sizeof kByePayload);
    CloseLink(true);
    if (!Reap(kDisconnectJoinBound)) DebugOutput("NetDisconnect: link threads still running\n");
}

bool TcpLink::CloseLink(bool notify) {
    if (!m_up.exchange(false)) return false;
    m_state.connected.store(false);
    if (notify && m_hooks.onClearStatus) m_hooks.onClearStatus();
    {
        std::lock_guard lock(m_fdMutex);
        const int fd = m_fd.load();
        if (fd >= 0) ::shutdown(fd, SHUT_RDWR); // wakes the blocking receive
    }
    m_queue.Clear();
    m_state.watchdogCount.store(0);
    { std::lock_guard lock(m_stopMutex); }
    m_stopCv.notify_all();
    return true;
}

bool TcpLink::Reap(std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    auto left = [&deadline] {
        return std::max(std::chrono::milliseconds(0),
                        std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now()));
    };
    bool all = m_writeThread.JoinFor(left());
    all = m_timeoutThread.JoinFor(left()) && all;
    all = m_recvThread.JoinFor(left()) && all;
    if (!all) return false;
    // The receive thread used the descriptor; only now may its number be reused.
    std::lock_guard write(m_writeMutex);
    std::lock_guard lock(m_fdMutex);
    const int fd = m_fd.exchange(-1);
    if (fd >= 0) ::close(fd);
    return true;
}

bool TcpLink::SleepWhileUp(std::chrono::milliseconds d) {
    std::unique_lock lock(m_stopMutex);
    return !m_stopCv.wait_for(lock, d, [this] { return !m_up.load(); });
}

int TcpLink::SendRaw(const uint8_t* bytes, size_t n) {
    std::lock_guard lock(m_writeMutex);
    const int fd = m_fd.load();
    if (fd < 0) return -1;
    size_t sent = 0;
    while (sent < n) {
        const ssize_t r = ::send(fd, bytes + sent, n - sent, MSG_NOSIGNAL);
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        sent += static_cast<size_t>(r);
    }
    return static_cast<int>(sent);
}

int TcpLink::NetSendFrame(const uint8_t* payload, size_t length) {
    uint8_t frame[kMaxFrameSize];
    const size_t n = EncodeLinkFrame(payload, length, frame, sizeof frame);
    if (n == 0) return -1;
    return SendRaw(frame, n);
}

int TcpLink::NetSendSync(const uint8_t* payload, size_t length) {
    if (!m_up.load()) return 0;
    if (!m_state.replyEvent.Wait(kReplyWait)) DebugOutput("NetSendSync WaitObject Time Out \r\n ");
    std::lock_guard lock(m_state.sendLock);
    return NetSendFrame(payload, length);
}

int TcpLink::SendPayload(const uint8_t* payload, size_t length, bool wait) {
    if (m_state.queueEnabled.load() && m_up.load()) {
        m_queue.Put(payload, length);
        WakeWriter();
        return 0;
    }
    const int r = wait ? NetSendSync(payload, length) : NetSendFrame(payload, length);
    return r > 0 ? r : 0;
}

int TcpLink::NetRecv(int fd) {
    uint8_t buf[kRxBufSize];
    ssize_t r;
    do {
        r = ::recv(fd, buf, sizeof buf, 0);
    } while (r < 0 && errno == EINTR);
    if (r < 1) {
        DebugOutput("NetRecv Error \n");
        return 0;
    }
    const uint8_t* data = buf;
    size_t n = static_cast<size_t>(r);
    if (n >= kHeartbeatLen && std::memcmp(data, kHeartbeat, kHeartbeatLen) == 0) {
        SendRaw(reinterpret_cast<const uint8_t*>(kHeartbeat), kHeartbeatLen);
        m_state.lastReceiveMs.store(TickMs());
        if (n == kHeartbeatLen) return 1;
        data += kHeartbeatLen;
        n -= kHeartbeatLen;
    } else if (n >= kBusyTokenLen && std::memcmp(data, kBusyToken, kBusyTokenLen) == 0) {
        if (m_hooks.postEvent) m_hooks.postEvent(kLinkEvBusy);
        return 1;
    }
    m_rx.AppendRx(data, n);
    m_state.lastReceiveMs.store(TickMs());
    m_rx.ProcessRxBuf();
    WakeWriter(); // an answer may have cleared the awaiting-reply flag
    return 1;
}

void TcpLink::RecvThreadProc(int fd) {
    m_state.readThreadEnd.store(false);
    m_state.readEndedEvent.Reset();
    while (m_up.load()) {
        if (!NetRecv(fd)) {
            m_state.statusPoll.store(false);
            m_state.readThreadEnd.store(true);
            m_state.replyEvent.Set(); // release a waiting sender
            break;
        }
    }
    m_state.readEndedEvent.Set();
    // Still up: the peer closed or the receive failed; close quietly, the owner joins later.
    CloseLink(true);
    DebugOutput("End thread: RecvThreadProc \n");
}

void TcpLink::NetWriteThreadProc() {
    while (m_up.load()) {
        // One queued payload per answer, or one per 2 s when the device stays silent. The naps
        // end early when an answer or a new payload arrives, so a change goes out at once.
        const auto deadline = std::chrono::steady_clock::now() + kWritePoll * kWriteWaitPolls;
        while (m_state.awaitingReply.load() && std::chrono::steady_clock::now() < deadline) {
            if (!NapWhileUp(kWritePoll)) break;
        }
        NetQueueEntry entry;
        if (!m_up.load()) break;
        if (!m_queue.PopFront(entry)) {
            NapWhileUp(kWritePoll);
            continue;
        }
        m_state.awaitingReply.store(true);
        NetSendFrame(entry.payload.data(), entry.length);
    }
    DebugOutput("End thread: NetWriteThreadProc \n");
}

bool TcpLink::NapWhileUp(std::chrono::milliseconds d) {
    std::unique_lock lock(m_stopMutex);
    m_stopCv.wait_for(lock, d, [this] { return !m_up.load() || m_writerWake; });
    m_writerWake = false;
    return m_up.load();
}

void TcpLink::WakeWriter() {
    {
        std::lock_guard lock(m_stopMutex);
        m_writerWake = true;
    }
    m_stopCv.notify_all();
}

void TcpLink::NetTimeoutThreadProc() {
    while (SleepWhileUp(kWatchdogTick)) {
        if (TickMs() - m_state.lastReceiveMs.load() <= kSilenceMs) continue;
        if (m_state.watchdogCount.fetch_add(1) + 1 > kWatchdogLimit) {
            if (CloseLink(true) && m_hooks.postEvent) m_hooks.postEvent(kLinkEvTimeout);
            break;
        }
    }
    DebugOutput("End thread: NetTimeoutThreadProc \n");
}

} // namespace fenno
