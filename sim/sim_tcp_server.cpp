#include "sim/sim_tcp_server.h"

#include "link/frame_codec.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace fenno {
namespace {

using Ms = std::chrono::milliseconds;

// The PC recognises "$HB$" only at the start of a received chunk: a heartbeat written right
// behind a frame could reach it in the same chunk and jam its reassembly, so it waits for a
// short pause in the answers.
constexpr Ms kHeartbeatQuietGap{5};
// Upper bound for one poll, so that output produced on other threads is not held long.
constexpr Ms kMaxPollWait{20};
// A rejected client gets this long to read "ISCONNECTED" before its socket is closed.
constexpr Ms kRejectLinger{1000};
// A client that stops reading is dropped instead of buffering without end.
constexpr size_t kMaxPendingOut = 1 << 20;

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

int PollMs(SimClock::time_point now, SimClock::time_point until) {
    if (until <= now) return 0;
    const auto ms = std::chrono::ceil<Ms>(until - now).count();
    return int(std::min<int64_t>(ms, kMaxPollWait.count()));
}

} // namespace

class SimTcpServer::Loop {
  public:
    Loop(SimTcpServer& server, int listenFd, int wakeFd)
        : m_server(server), m_device(server.m_device), m_config(server.m_config),
          m_listenFd(listenFd), m_wakeFd(wakeFd),
          m_rx([this](const uint8_t* payload, size_t len) { OnFrame(payload, len); }) {}

    ~Loop() {
        CloseClient();
        for (auto& r : m_rejected)
            CloseFd(r.fd);
        CloseFd(m_listenFd);
        CloseFd(m_wakeFd);
    }

    void RequestStop() {
        m_stop.store(true);
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t r = ::write(m_wakeFd, &one, sizeof one);
    }

    // Device output from whatever thread produced it; the loop frames and sends it.
    void QueueDeviceOutput(const uint8_t* p, size_t n) {
        std::lock_guard lock(m_outMutex);
        m_deviceOut.emplace_back(p, p + n);
    }

    void Run();

  private:
    struct Rejected {
        int fd;
        SimClock::time_point until;
    };
    struct Delayed {
        SimClock::time_point due;
        std::vector<uint8_t> bytes;
    };

    void Accept(SimClock::time_point now);
    void Reject(int fd, SimClock::time_point now);
    void CloseClient();
    void Receive();
    void Feed(const uint8_t* bytes, size_t n);
    void OnFrame(const uint8_t* payload, size_t len);
    void DrainDeviceOutput(SimClock::time_point now);
    void Enqueue(std::vector<uint8_t> segment);
    void FlushDelayed(SimClock::time_point now);
    void MaybeHeartbeat(SimClock::time_point now);
    void Send();
    void ServeRejected(const std::vector<pollfd>& fds, size_t first, SimClock::time_point now);
    SimClock::time_point NextWake(SimClock::time_point now) const;

    SimTcpServer& m_server;
    SimDevice& m_device;
    const SimServerConfig& m_config;
    int m_listenFd;
    int m_wakeFd;
    std::atomic<bool> m_stop{false};

    std::mutex m_outMutex;
    std::vector<std::vector<uint8_t>> m_deviceOut; // guarded by m_outMutex

    std::vector<Rejected> m_rejected;

    // The connected client; reset on every new connection.
    int m_fd = -1;
    RxReassembler m_rx;
    size_t m_tokenMatched = 0; // bytes of "$HB$" seen at a frame boundary
    int m_framesIn = 0;
    uint64_t m_framesOut = 0;
    bool m_silent = false;
    bool m_closePending = false;
    SimClock::time_point m_nextHeartbeat{};
    SimClock::time_point m_lastFrameSent{};
    std::deque<Delayed> m_delayed;
    std::deque<std::vector<uint8_t>> m_segments; // one send() each
    size_t m_segmentSent = 0;
    size_t m_pendingBytes = 0;
};

void SimTcpServer::Loop::Run() {
    while (!m_stop.load()) {
        auto now = SimClock::now();
        m_device.Tick(now);
        DrainDeviceOutput(now);
        FlushDelayed(now);
        MaybeHeartbeat(now);
        Send();
        if (m_fd >= 0 && m_closePending && m_delayed.empty() && m_segments.empty()) CloseClient();

        std::vector<pollfd> fds;
        fds.push_back({m_wakeFd, POLLIN, 0});
        fds.push_back({m_listenFd, POLLIN, 0});
        fds.push_back({m_fd, short(POLLIN | (m_segments.empty() ? 0 : POLLOUT)), 0});
        const size_t firstRejected = fds.size();
        for (const auto& r : m_rejected)
            fds.push_back({r.fd, POLLIN, 0});

        const int r = ::poll(fds.data(), fds.size(), PollMs(now, NextWake(now)));
        if (r < 0 && errno != EINTR) break;
        if (r <= 0) continue;
        now = SimClock::now();

        if (fds[0].revents & POLLIN) {
            uint64_t v;
            [[maybe_unused]] ssize_t n = ::read(m_wakeFd, &v, sizeof v);
        }
        if (m_stop.load()) break;
        if (fds[1].revents & POLLIN) Accept(now);
        if (m_fd >= 0 && fds[2].fd == m_fd) {
            if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) Receive();
            if (m_fd >= 0 && (fds[2].revents & POLLOUT)) Send();
        }
        ServeRejected(fds, firstRejected, now);
    }
}

SimClock::time_point SimTcpServer::Loop::NextWake(SimClock::time_point now) const {
    auto wake = now + kMaxPollWait;
    if (auto d = m_device.NextDeadline()) wake = std::min(wake, *d);
    if (m_fd >= 0 && !m_silent)
        wake = std::min(wake, std::max(m_nextHeartbeat, m_lastFrameSent + kHeartbeatQuietGap));
    if (!m_delayed.empty()) wake = std::min(wake, m_delayed.front().due);
    for (const auto& r : m_rejected)
        wake = std::min(wake, r.until);
    return wake;
}

void SimTcpServer::Loop::Accept(SimClock::time_point now) {
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    if (m_fd >= 0) {
        Reject(fd, now);
        return;
    }
    m_fd = fd;
    m_rx.Clear();
    m_tokenMatched = 0;
    m_framesIn = 0;
    m_framesOut = 0;
    m_silent = false;
    m_closePending = false;
    m_nextHeartbeat = now + m_config.heartbeatInterval;
    m_lastFrameSent = {};
    m_delayed.clear();
    m_segments.clear();
    m_segmentSent = 0;
    m_pendingBytes = 0;
    {
        // Whatever the device said while nobody listened is not for this client.
        std::lock_guard lock(m_outMutex);
        m_deviceOut.clear();
    }
    m_server.m_accepted.fetch_add(1);
    m_server.m_clientConnected.store(true);
}

void SimTcpServer::Loop::Reject(int fd, SimClock::time_point now) {
    m_server.m_rejected.fetch_add(1);
    [[maybe_unused]] ssize_t r = ::send(fd, kBusyToken, kBusyTokenSize, MSG_NOSIGNAL);
    // Half-close and drain: closing with unread client bytes would reset the connection and
    // could destroy the notice before the client reads it.
    ::shutdown(fd, SHUT_WR);
    m_rejected.push_back({fd, now + kRejectLinger});
}

void SimTcpServer::Loop::ServeRejected(const std::vector<pollfd>& fds, size_t first,
                                       SimClock::time_point now) {
    for (size_t i = 0; i < m_rejected.size(); ++i) {
        Rejected& r = m_rejected[i];
        bool done = now >= r.until;
        if (!done && first + i < fds.size() && fds[first + i].fd == r.fd &&
            (fds[first + i].revents & (POLLIN | POLLHUP | POLLERR))) {
            uint8_t buf[256];
            const ssize_t n = ::recv(r.fd, buf, sizeof buf, 0);
            done = n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR);
        }
        if (done) CloseFd(r.fd);
    }
    std::erase_if(m_rejected, [](const Rejected& r) { return r.fd < 0; });
}

void SimTcpServer::Loop::CloseClient() {
    if (m_fd < 0) return;
    ::shutdown(m_fd, SHUT_RDWR);
    CloseFd(m_fd);
    m_delayed.clear();
    m_segments.clear();
    m_pendingBytes = 0;
    m_server.m_clientConnected.store(false);
}

void SimTcpServer::Loop::Receive() {
    uint8_t buf[4096];
    const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) {
        CloseClient();
        return;
    }
    Feed(buf, size_t(n));
    DrainDeviceOutput(SimClock::now());
    Send();
}

void SimTcpServer::Loop::Feed(const uint8_t* bytes, size_t n) {
    // Byte by byte, so that the PC's heartbeat echo is recognised wherever a frame ends, even
    // when TCP delivers it together with frames.
    for (size_t i = 0; i < n && m_fd >= 0; ++i) {
        const uint8_t b = bytes[i];
        if (m_rx.Fill() == 0) {
            if (b == uint8_t(kHeartbeatToken[m_tokenMatched])) {
                if (++m_tokenMatched == kHeartbeatTokenSize) {
                    m_tokenMatched = 0;
                    m_server.m_echoes.fetch_add(1);
                }
                continue;
            }
            if (m_tokenMatched > 0) {
                // Not a token after all: those bytes are stream data like any other.
                m_rx.AppendRx(reinterpret_cast<const uint8_t*>(kHeartbeatToken), m_tokenMatched);
                m_tokenMatched = 0;
            }
        }
        m_rx.AppendRx(&b, 1);
        const unsigned errorsBefore = m_rx.ChecksumErrors();
        m_rx.ProcessRxBuf();
        if (m_rx.ChecksumErrors() != errorsBefore) m_server.m_checksumErrors.fetch_add(1);
    }
}

void SimTcpServer::Loop::OnFrame(const uint8_t* payload, size_t len) {
    m_server.m_framesReceived.fetch_add(1);
    ++m_framesIn;
    if (m_silent || m_closePending) return;
    const size_t n = len - 1; // L counts the check byte
    if (n >= 1) {
        if (payload[0] == kTcpPrefixCommand)
            m_device.HandlePayload(payload + 1, n - 1);
        else if (payload[0] == kTcpPrefixZWave)
            m_device.HandleZWaveFrame(payload + 1, n - 1);
    }
    // The answers to this frame are framed now, before a fault below can swallow them.
    DrainDeviceOutput(SimClock::now());
    if (m_config.silentAfter > 0 && m_framesIn >= m_config.silentAfter) m_silent = true;
    if (m_config.dropAfter > 0 && m_framesIn >= m_config.dropAfter) m_closePending = true;
}

void SimTcpServer::Loop::DrainDeviceOutput(SimClock::time_point now) {
    std::vector<std::vector<uint8_t>> out;
    {
        std::lock_guard lock(m_outMutex);
        out.swap(m_deviceOut);
    }
    if (m_fd < 0 || m_silent) return;
    for (auto& payload : out) {
        std::vector<uint8_t> prefixed;
        prefixed.reserve(payload.size() + 1);
        prefixed.push_back(kTcpPrefixCommand);
        prefixed.insert(prefixed.end(), payload.begin(), payload.end());
        std::vector<uint8_t> frame(prefixed.size() + kFrameOverhead);
        if (EncodeLinkFrame(prefixed.data(), prefixed.size(), frame.data(), frame.size()) == 0)
            continue;
        ++m_framesOut;
        m_server.m_answerFrames.fetch_add(1);
        if (m_config.badCheckEvery > 0 && m_framesOut % uint64_t(m_config.badCheckEvery) == 0) {
            frame.back() ^= 0xFF;
            m_server.m_badChecks.fetch_add(1);
        }
        if (m_config.answerDelay.count() > 0)
            m_delayed.push_back({now + m_config.answerDelay, std::move(frame)});
        else
            Enqueue(std::move(frame));
    }
}

void SimTcpServer::Loop::FlushDelayed(SimClock::time_point now) {
    while (!m_delayed.empty() && m_delayed.front().due <= now) {
        Enqueue(std::move(m_delayed.front().bytes));
        m_delayed.pop_front();
    }
}

void SimTcpServer::Loop::Enqueue(std::vector<uint8_t> segment) {
    if (m_fd < 0) return;
    m_pendingBytes += segment.size();
    m_segments.push_back(std::move(segment));
    if (m_pendingBytes > kMaxPendingOut) CloseClient();
}

void SimTcpServer::Loop::MaybeHeartbeat(SimClock::time_point now) {
    if (m_fd < 0 || m_silent || now < m_nextHeartbeat) return;
    if (!m_segments.empty() || now < m_lastFrameSent + kHeartbeatQuietGap) return;
    m_nextHeartbeat = now + m_config.heartbeatInterval;
    m_segments.emplace_back(kHeartbeatToken, kHeartbeatToken + kHeartbeatTokenSize);
    m_pendingBytes += kHeartbeatTokenSize;
    m_server.m_heartbeats.fetch_add(1);
}

void SimTcpServer::Loop::Send() {
    while (m_fd >= 0 && !m_segments.empty()) {
        const auto& seg = m_segments.front();
        const ssize_t r = ::send(m_fd, seg.data() + m_segmentSent, seg.size() - m_segmentSent,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (r < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
            CloseClient();
            return;
        }
        m_segmentSent += size_t(r);
        m_pendingBytes -= size_t(r);
        if (m_segmentSent < seg.size()) return;
        const bool heartbeat = seg.size() == kHeartbeatTokenSize && seg[0] == uint8_t('$');
        if (!heartbeat) m_lastFrameSent = SimClock::now();
        m_segments.pop_front();
        m_segmentSent = 0;
    }
}

SimTcpServer::SimTcpServer(SimDevice& device, SimServerConfig config)
    : m_device(device), m_config(std::move(config)) {}

SimTcpServer::~SimTcpServer() {
    Stop();
}

int SimTcpServer::Start() {
    std::lock_guard life(m_lifeMutex);
    if (m_loop) return EALREADY;

    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(m_config.port);
    if (::inet_pton(AF_INET, m_config.bind.c_str(), &addr.sin_addr) != 1) return EINVAL;

    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return errno;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd, 4) != 0) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        const int err = errno;
        ::close(fd);
        return err;
    }

    m_port.store(ntohs(addr.sin_port));
    m_loop = std::make_unique<Loop>(*this, fd, wake);
    Loop* loop = m_loop.get();
    m_device.SetOutput([loop](const uint8_t* p, size_t n) { loop->QueueDeviceOutput(p, n); });
    m_running.store(true);
    m_thread = std::thread([loop] { loop->Run(); });
    return 0;
}

void SimTcpServer::Stop() {
    std::lock_guard life(m_lifeMutex);
    if (!m_loop) return;
    m_loop->RequestStop();
    if (m_thread.joinable()) m_thread.join();
    m_device.SetOutput({});
    m_loop.reset();
    m_clientConnected.store(false);
    m_running.store(false);
}

} // namespace fenno
