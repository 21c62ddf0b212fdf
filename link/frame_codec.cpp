#include "link/frame_codec.h"

#include "link/debug_output.h"
#include "link/link_state.h"

#include <algorithm>
#include <cstring>

namespace fenno {

uint8_t LinkFrameCheck(const uint8_t* payload, size_t n) {
    uint8_t c = 0xFF ^ static_cast<uint8_t>(n + 1);
    for (size_t i = 0; i < n; ++i)
        c ^= payload[i];
    return c;
}

size_t EncodeLinkFrame(const uint8_t* payload, size_t n, uint8_t* out, size_t outSize) {
    if (n == 0 || n > kMaxFramePayload || outSize < n + kFrameOverhead) return 0;
    out[0] = kFrameStart;
    out[1] = static_cast<uint8_t>(n + 1);
    std::memcpy(out + 2, payload, n);
    out[n + 2] = LinkFrameCheck(payload, n);
    return n + kFrameOverhead;
}

std::array<uint8_t, kUsbReportSize> EncodeUsbReport(const uint8_t* payload, size_t n) {
    std::array<uint8_t, kUsbReportSize> report{};
    report[0] = kUsbReportId;
    if (payload != nullptr) std::memcpy(report.data() + 1, payload, std::min(n, kMaxUsbPayload));
    return report;
}

RxReassembler::RxReassembler(PayloadHandler onPayload, LinkState* state)
    : m_onPayload(std::move(onPayload)), m_state(state) {}

void RxReassembler::Clear() {
    m_fill = 0;
    m_inFrame = false;
}

void RxReassembler::AppendRx(const uint8_t* bytes, size_t k) {
    if (m_fill + k > kRxBufSize) {
        // A dropped buffer cannot be inside a frame any more: the next bytes must start one.
        m_fill = 0;
        m_inFrame = false;
    }
    // The receive thread reads at most kRxBufSize bytes; a longer chunk keeps its first part.
    k = std::min(k, kRxBufSize);
    std::memcpy(m_buf.data() + m_fill, bytes, k);
    m_fill += k;
}

void RxReassembler::ProcessRxBuf() {
    bool consumedWithRest = false;
    for (;;) {
        if (!m_inFrame) {
            // No scan for a later start byte: junk stays until an append overflows the buffer.
            if (m_fill == 0 || m_buf[0] != kFrameStart) break;
            m_inFrame = true;
        }
        if (m_fill < 2) break;
        const size_t len = m_buf[1];
        const size_t need = len + 2;
        if (m_fill < need) break;

        uint8_t c = 0xFF;
        for (size_t i = 1; i <= len; ++i)
            c ^= m_buf[i];
        if (c == m_buf[len + 1]) {
            if (m_onPayload) m_onPayload(m_buf.data() + 2, len);
            if (m_state != nullptr) m_state->awaitingReply.store(false);
        } else {
            ++m_checksumErrors;
            DebugOutput("ProcessRxBuf Checksum error\n ");
        }

        m_inFrame = false;
        if (m_fill == need) {
            m_fill = 0;
            break;
        }
        m_fill -= need;
        std::memmove(m_buf.data(), m_buf.data() + need, m_fill);
        consumedWithRest = true;
    }
    // A chunk that carried more than one frame proves the link alive to the watchdog.
    if (consumedWithRest && m_state != nullptr) m_state->watchdogCount.store(0);
}

} // namespace fenno
