// A raw loopback client for the simulated amplifier: frames commands the way the PC does and
// cuts the answers out of the stream with the PC's own reassembler.
#pragma once

#include "link/frame_codec.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace fenno::test {

using Bytes = std::vector<uint8_t>;

class SimClient {
  public:
    SimClient()
        : m_rx([this](const uint8_t* p, size_t len) { m_answers.emplace_back(p, p + len - 1); }) {}
    ~SimClient() { Close(); }
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    bool Connect(uint16_t port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(port);
        return m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }

    void Close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

    bool SendRaw(const Bytes& bytes) {
        return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
    }

    static Bytes Frame(const Bytes& payload, uint8_t prefix = kTcpPrefixCommand) {
        Bytes prefixed{prefix};
        prefixed.insert(prefixed.end(), payload.begin(), payload.end());
        Bytes frame(prefixed.size() + kFrameOverhead);
        frame.resize(EncodeLinkFrame(prefixed.data(), prefixed.size(), frame.data(), frame.size()));
        return frame;
    }

    bool Send(const Bytes& payload, uint8_t prefix = kTcpPrefixCommand) {
        return SendRaw(Frame(payload, prefix));
    }

    // The next answer payload with its 0x81 prefix, or none within the time.
    std::optional<Bytes> Next(int timeoutMs = 1000) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (m_answers.empty()) {
            if (!Pump(deadline)) return std::nullopt;
        }
        Bytes a = std::move(m_answers.front());
        m_answers.pop_front();
        return a;
    }

    // Sends one command and returns its answer without the prefix; empty when none came.
    Bytes Call(const Bytes& payload, int timeoutMs = 1000) {
        if (!Send(payload)) return {};
        auto a = Next(timeoutMs);
        if (!a || a->empty() || (*a)[0] != kTcpPrefixCommand) return {};
        return Bytes(a->begin() + 1, a->end());
    }

    // Reads until the time is up, the peer closes, or count heartbeats have arrived.
    void Drain(int timeoutMs, int stopAtHeartbeats = -1) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (stopAtHeartbeats < 0 || m_heartbeats < stopAtHeartbeats)
            if (!Pump(deadline)) return;
    }

    // Exactly n raw bytes (no token or frame handling), fewer when the time runs out.
    Bytes ReadRaw(size_t n, int timeoutMs) {
        Bytes out;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < n && Wait(deadline)) {
            uint8_t buf[256];
            const ssize_t r = ::recv(m_fd, buf, std::min(sizeof buf, n - out.size()), 0);
            if (r <= 0) {
                m_closed = true;
                break;
            }
            out.insert(out.end(), buf, buf + r);
        }
        return out;
    }

    // True when the server closes the connection within the time.
    bool WaitClosed(int timeoutMs) {
        Drain(timeoutMs);
        return m_closed;
    }

    bool Closed() const { return m_closed; }
    int Heartbeats() const { return m_heartbeats; }
    unsigned ChecksumErrors() const { return m_rx.ChecksumErrors(); }
    size_t Pending() const { return m_answers.size(); }

  private:
    using Clock = std::chrono::steady_clock;

    bool Wait(Clock::time_point deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || m_fd < 0) return false;
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, int(left.count())) == 1;
    }

    // One receive; false on time-out or close.
    bool Pump(Clock::time_point deadline) {
        if (m_closed || !Wait(deadline)) return false;
        uint8_t buf[1024];
        const ssize_t r = ::recv(m_fd, buf, sizeof buf, 0);
        if (r <= 0) {
            m_closed = true;
            return false;
        }
        // Heartbeats are counted wherever a frame ends, so TCP coalescing cannot hide one.
        for (ssize_t i = 0; i < r; ++i) {
            if (m_rx.Fill() == 0 && m_token < 4 && buf[i] == uint8_t("$HB$"[m_token])) {
                if (++m_token == 4) {
                    ++m_heartbeats;
                    m_token = 0;
                }
                continue;
            }
            m_token = 0;
            m_rx.AppendRx(&buf[i], 1);
            m_rx.ProcessRxBuf();
        }
        return true;
    }

    int m_fd = -1;
    bool m_closed = false;
    int m_heartbeats = 0;
    size_t m_token = 0;
    RxReassembler m_rx;
    std::deque<Bytes> m_answers;
};

} // namespace fenno::test
