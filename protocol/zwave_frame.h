// Z-Wave Serial API frames as the device passes them to and from its Z-Wave module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fenno {

inline constexpr uint8_t kZWaveSof = 0x01;
inline constexpr uint8_t kZWaveAck = 0x06;
inline constexpr uint8_t kZWaveNak = 0x15;
inline constexpr uint8_t kZWaveTypeRequest = 0x00;
inline constexpr uint8_t kZWaveTypeResponse = 0x01;

// Function ids this system uses.
enum ZWaveFunction : uint8_t {
    kZwNodeList = 0x02,           // init data with the node bitmap
    kZwApplicationCommand = 0x04, // a node reports
    kZwSendData = 0x13,
    kZwSetDefault = 0x42, // controller reset
    kZwAddNode = 0x4A,
    kZwRemoveNode = 0x4B,
};

// Node ids 0..232; node 1 is the controller itself.
inline constexpr int kZWaveNodeCount = 233;
inline constexpr int kZWaveMaxNode = 232;
inline constexpr int kControllerNode = 1;
inline constexpr int kFirstPlugNode = 2;
inline constexpr int kNodeBitmapSize = 29; // 29 × 8 bits = nodes 1..232

// Add and remove node: modes sent, statuses reported back.
inline constexpr uint8_t kZwModeAny = 0x01;
inline constexpr uint8_t kZwModeStop = 0x05;
inline constexpr uint8_t kZwStatusReady = 1;
inline constexpr uint8_t kZwStatusFound = 2;
inline constexpr uint8_t kZwStatusAddingSlave = 3;
inline constexpr uint8_t kZwStatusNodeAdded = 5; // add: the new node's id follows
inline constexpr uint8_t kZwStatusDone = 6;      // remove: the removed node's id follows
inline constexpr uint8_t kZwStatusFailed = 7;

// Callback ids the PC puts into its requests.
inline constexpr uint8_t kCallbackSetDefault = 0x02;
inline constexpr uint8_t kCallbackRemoveNode = 0x09;
inline constexpr uint8_t kCallbackAddNode = 0x30;
inline constexpr uint8_t kCallbackSwitch = 0x43;
inline constexpr uint8_t kCallbackKey = 0x44; // plug key values 0x80..0xFE

// Send data: Basic Set of one byte with these transmit options.
inline constexpr uint8_t kBasicClass = 0x20;
inline constexpr uint8_t kBasicSet = 0x01;
inline constexpr uint8_t kBasicReport = 0x03;
inline constexpr uint8_t kTransmitOptions = 0x25;

// Send-data callback statuses.
inline constexpr uint8_t kTransmitOk = 0;
inline constexpr uint8_t kTransmitNoAck = 1;

// A frame must fit a USB payload after 0x12 and its length byte.
inline constexpr size_t kMaxZWaveFrame = 58;
// SOF, L, type ... checksum: the frame is 4 bytes longer than its function id and parameters.
inline constexpr size_t kZWaveFrameOverhead = 4;
inline constexpr size_t kMaxZWaveData = kMaxZWaveFrame - kZWaveFrameOverhead;

// 0xFF XOR every byte from L to the last parameter.
constexpr uint8_t ZWaveChecksum(const uint8_t* fromLength, size_t n) {
    uint8_t c = 0xFF;
    for (size_t i = 0; i < n; ++i)
        c ^= fromLength[i];
    return c;
}

// 01 L type data checksum; empty when data (function id and parameters) does not fit.
inline std::vector<uint8_t> EncodeZWaveFrame(uint8_t type, const uint8_t* data, size_t n) {
    if (n == 0 || n > kMaxZWaveData) return {};
    std::vector<uint8_t> f;
    f.reserve(n + kZWaveFrameOverhead);
    f.push_back(kZWaveSof);
    f.push_back(uint8_t(n + 2));
    f.push_back(type);
    f.insert(f.end(), data, data + n);
    f.push_back(ZWaveChecksum(f.data() + 1, f.size() - 1));
    return f;
}

// True for a whole data frame: SOF, a length that matches n, a good checksum.
constexpr bool IsValidZWaveFrame(const uint8_t* f, size_t n) {
    if (n < kZWaveFrameOverhead || f[0] != kZWaveSof) return false;
    if (size_t(f[1]) + 2 != n) return false;
    return ZWaveChecksum(f + 1, n - 2) == f[n - 1];
}

} // namespace fenno
