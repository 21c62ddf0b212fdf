// A received TCP byte stream end to end: reassembly, frame checks, then the dispatcher, with the
// home-control hooks reading every byte they are told is valid.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "link/frame_codec.h"
#include "link/link_state.h"
#include "protocol/device_state.h"
#include "protocol/dispatcher.h"
#include "protocol/event_sink.h"
#include "protocol/param_store.h"

namespace {

class NullSink : public fenno::EventSink {
public:
    void Post(int, intptr_t, intptr_t) override {}
    void Send(int, intptr_t, intptr_t) override {}
    void PostText(int, const std::string&) override {}
};

volatile uint8_t g_sink;
void ReadAll(const uint8_t* p, size_t n) {
    uint8_t x = 0;
    for (size_t i = 0; i < n; ++i) x ^= p[i];
    g_sink = x;
}

struct Rig {
    fenno::ParamStore store;
    fenno::DeviceState state;
    fenno::LinkState link;
    NullSink sink;
    fenno::Dispatcher dispatcher{store, state, link, &sink,
                                 fenno::DispatcherHooks{[] {}, ReadAll, ReadAll}};
    fenno::RxReassembler rx{[this](const uint8_t* p, size_t L) {
                                // The codec promises L bytes inside its buffer; the last is the check.
                                ReadAll(p, L);
                                dispatcher.DispatchReceived(p, L, L > 0 ? L - 1 : 0);
                            },
                            &link};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Rig* rig = new Rig;
    // The first byte splits the input into chunks, as recv() would hand them over.
    size_t chunk = size ? (data[0] % 64) + 1 : 1;
    for (size_t off = size ? 1 : 0; off < size; off += chunk) {
        size_t n = std::min(chunk, size - off);
        rig->rx.AppendRx(data + off, n);
        rig->rx.ProcessRxBuf();
        if (rig->rx.Fill() > fenno::kRxBufSize) std::abort();
    }
    return 0;
}
