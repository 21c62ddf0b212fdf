// A listening socket on 127.0.0.1 (port 0) standing in for the device in link tests.
#pragma once

#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace fenno::test {

class LoopbackPeer {
  public:
    LoopbackPeer() {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listen, 4);
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
    }
    ~LoopbackPeer() {
        CloseClient();
        if (m_listen >= 0) ::close(m_listen);
    }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    uint16_t Port() const { return m_port; }

    bool Accept(int timeoutMs = 2000) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) != 1) return false;
        m_client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        return m_client >= 0;
    }

    bool Send(const std::vector<uint8_t>& bytes) {
        return ::send(m_client, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    bool Send(const std::string& text) {
        return Send(std::vector<uint8_t>(text.begin(), text.end()));
    }

    // Everything that arrives until nothing more comes for quietMs (or the link closes).
    std::vector<uint8_t> ReadQuiet(int quietMs) {
        std::vector<uint8_t> out;
        for (;;) {
            pollfd p{m_client, POLLIN, 0};
            if (::poll(&p, 1, quietMs) != 1) return out;
            uint8_t buf[512];
            const ssize_t r = ::recv(m_client, buf, sizeof buf, 0);
            if (r <= 0) return out;
            out.insert(out.end(), buf, buf + r);
        }
    }

    // Exactly n bytes, or fewer when the time runs out.
    std::vector<uint8_t> Read(size_t n, int timeoutMs) {
        std::vector<uint8_t> out;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < n) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{m_client, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) != 1) break;
            uint8_t buf[512];
            const ssize_t r = ::recv(m_client, buf, std::min(sizeof buf, n - out.size()), 0);
            if (r <= 0) break;
            out.insert(out.end(), buf, buf + r);
        }
        return out;
    }

    // True when the client side has closed the connection within the time.
    bool SeesClose(int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{m_client, POLLIN, 0};
            if (::poll(&p, 1, 50) != 1) continue;
            uint8_t buf[512];
            if (::recv(m_client, buf, sizeof buf, 0) <= 0) return true;
        }
        return false;
    }

    void CloseClient() {
        if (m_client >= 0) ::close(m_client);
        m_client = -1;
    }

  private:
    int m_listen = -1;
    int m_client = -1;
    uint16_t m_port = 0;
};

} // namespace fenno::test
