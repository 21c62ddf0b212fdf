#include "link/net_write_queue.h"

#include <algorithm>
#include <cstring>

namespace fenno {

NetQueueKey MakeNetQueueKey(const uint8_t* payload, size_t length) {
    NetQueueKey key{};
    std::memcpy(key.data(), payload, std::min(length, kNetKeyBytesFromPayload));
    return key;
}

bool NetWriteQueue::Put(const NetQueueKey& key, const uint8_t* payload, size_t length) {
    if (length == 0 || length > kNetQueuePayloadMax) return false;
    std::lock_guard lock(m_mutex);
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [&key](const NetQueueEntry& e) { return e.key == key; });
    if (it == m_entries.end()) {
        it = m_entries.emplace(m_entries.end());
        it->key = key;
    }
    std::memcpy(it->payload.data(), payload, length);
    it->length = length;
    return true;
}

bool NetWriteQueue::PopFront(NetQueueEntry& out) {
    std::lock_guard lock(m_mutex);
    if (m_entries.empty()) return false;
    out = m_entries.front();
    m_entries.erase(m_entries.begin());
    return true;
}

void NetWriteQueue::Clear() {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

size_t NetWriteQueue::Size() const {
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

std::vector<NetQueueEntry> NetWriteQueue::Snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_entries;
}

} // namespace fenno
