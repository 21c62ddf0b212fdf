// Wire framing: the TCP LinkFrame, the TCP receive reassembly buffer and the 61-byte HID report.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace fenno {

struct LinkState;

constexpr uint8_t kFrameStart = 0x55;
constexpr size_t kFrameOverhead = 3;     // start byte, length byte, check byte
constexpr size_t kMaxFramePayload = 254; // L = n + 1 must fit in one byte
constexpr size_t kMaxFrameSize = kMaxFramePayload + kFrameOverhead;
constexpr size_t kRxBufSize = 260;

constexpr uint8_t kTcpPrefixCommand = 0x81;
constexpr uint8_t kTcpPrefixZWave = 0x80;

constexpr size_t kUsbReportSize = 61;
constexpr uint8_t kUsbReportId = 0x02;
constexpr size_t kMaxUsbPayload = kUsbReportSize - 1;

// A frame for L = 255 needs 257 bytes, so every frame the length byte can announce fits.
static_assert(0xFF + 2 <= kRxBufSize);

// Writes 55, n + 1, the payload, the check into out; returns n + 3, or 0 when n is 0, above 254
// or out is too small.
size_t EncodeLinkFrame(const uint8_t* payload, size_t n, uint8_t* out, size_t outSize);

// The check byte of a frame: 0xFF XOR L XOR every payload byte.
uint8_t LinkFrameCheck(const uint8_t* payload, size_t n);

// [0x02][payload][zero fill]; payload bytes past 60 are not written.
std::array<uint8_t, kUsbReportSize> EncodeUsbReport(const uint8_t* payload, size_t n);

// Receives a good frame: payload points at the frame's byte 2, L is the frame's length byte.
// The bytes payload[0 .. L-1] lie inside the buffer (the last one is the check byte).
using PayloadHandler = std::function<void(const uint8_t* payload, size_t L)>;

// Cuts LinkFrames out of the TCP byte stream. Owned by the receive thread alone; no allocation.
class RxReassembler {
  public:
    // state may be null (codec tests, fuzzing); otherwise its awaiting-reply flag and watchdog
    // count are cleared as frames arrive.
    explicit RxReassembler(PayloadHandler onPayload = {}, LinkState* state = nullptr);

    void SetPayloadHandler(PayloadHandler onPayload) { m_onPayload = std::move(onPayload); }

    // Adds stream bytes; when they would overflow the buffer, what was buffered is dropped first.
    void AppendRx(const uint8_t* bytes, size_t k);

    // Dispatches every complete frame at the front of the buffer.
    void ProcessRxBuf();

    void Clear();

    size_t Fill() const { return m_fill; }
    bool InFrame() const { return m_inFrame; }
    const uint8_t* Data() const { return m_buf.data(); }
    unsigned ChecksumErrors() const { return m_checksumErrors; }

  private:
    std::array<uint8_t, kRxBufSize> m_buf{};
    size_t m_fill = 0;
    bool m_inFrame = false;
    unsigned m_checksumErrors = 0;
    PayloadHandler m_onPayload;
    LinkState* m_state;
};

} // namespace fenno
