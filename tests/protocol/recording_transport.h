// A transport that keeps every payload, for golden wire-byte tests.
#pragma once

#include <functional>
#include <vector>

#include "link/transport.h"

namespace fenno::test {

class RecordingTransport : public Transport {
public:
    explicit RecordingTransport(bool network = false) : m_network(network) {}

    bool IsNetwork() const override { return m_network; }
    int SendPayload(const uint8_t* payload, size_t length, bool wait) override {
        if (onSend) onSend();
        sent.emplace_back(payload, payload + length);
        waits.push_back(wait);
        return int(length);
    }

    std::vector<std::vector<uint8_t>> sent;
    std::vector<bool> waits;
    std::function<void()> onSend; // lets a test look at the stores at the moment of sending

private:
    bool m_network;
};

} // namespace fenno::test
