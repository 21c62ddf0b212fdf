// Feeds arbitrary chunks through the TCP reassembly buffer; every dispatched payload must lie
// inside the buffer's filled part and carry a valid check.
#include "link/frame_codec.h"
#include "link/link_state.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

struct Checker {
    const fenno::RxReassembler* rx = nullptr;
    void operator()(const uint8_t* payload, size_t L) const {
        const uint8_t* base = rx->Data();
        if (payload != base + 2 || L < 1 || L + 2 > rx->Fill()) std::abort();
        // payload[0 .. L-2] is the payload, payload[L-1] the check byte.
        if (fenno::LinkFrameCheck(payload, L - 1) != payload[L - 1]) std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fenno::LinkState state;
    Checker checker;
    fenno::RxReassembler rx([&checker](const uint8_t* p, size_t L) { checker(p, L); }, &state);
    checker.rx = &rx;
    // The first byte of each step gives the chunk length, so the fuzzer controls the cuts.
    size_t pos = 0;
    while (pos < size) {
        size_t k = data[pos++];
        if (k > size - pos) k = size - pos;
        rx.AppendRx(data + pos, k);
        pos += k;
        if (rx.Fill() > fenno::kRxBufSize) std::abort();
        rx.ProcessRxBuf();
        if (rx.Fill() > fenno::kRxBufSize) std::abort();
    }
    return 0;
}
