// The TCP write queue: one pending entry per key, so a dragged slider leaves only its newest value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace fenno {

constexpr size_t kNetKeySize = 6;
constexpr size_t kNetKeyBytesFromPayload = 5;
constexpr size_t kNetQueuePayloadMax = 66;

using NetQueueKey = std::array<uint8_t, kNetKeySize>;

struct NetQueueEntry {
    NetQueueKey key{};
    std::array<uint8_t, kNetQueuePayloadMax> payload{};
    size_t length = 0;
};

// The first five bytes of the TCP payload (prefix, then four command bytes), zero-filled when
// shorter, and a sixth zero byte: 81 09 00 module index for a parameter write.
NetQueueKey MakeNetQueueKey(const uint8_t* payload, size_t length);

class NetWriteQueue {
  public:
    // Replaces the payload of a queued entry with the same key in place, else appends.
    // False when the payload is empty or longer than an entry holds.
    bool Put(const NetQueueKey& key, const uint8_t* payload, size_t length);
    bool Put(const uint8_t* payload, size_t length) {
        return Put(MakeNetQueueKey(payload, length), payload, length);
    }

    // Takes the first entry out; false when empty.
    bool PopFront(NetQueueEntry& out);

    void Clear();
    size_t Size() const;
    std::vector<NetQueueEntry> Snapshot() const;

  private:
    mutable std::mutex m_mutex;
    std::vector<NetQueueEntry> m_entries;
};

} // namespace fenno
