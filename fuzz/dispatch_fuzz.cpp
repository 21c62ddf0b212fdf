// Feeds arbitrary device payloads to the dispatcher, shaped as USB reports and as TCP frames
// whose buffers end exactly at the payload, so any read past what arrived is caught.
#include "link/link_state.h"
#include "protocol/device_state.h"
#include "protocol/dispatcher.h"
#include "protocol/event_sink.h"
#include "protocol/param_store.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

class NullSink : public fenno::EventSink {
  public:
    void Post(int, intptr_t, intptr_t) override {}
    void Send(int, intptr_t, intptr_t) override {}
    void PostText(int, const std::string& text) override {
        if (text.empty()) std::abort();
    }
};

// Touches every byte a hook is told is valid.
volatile uint8_t g_sink;
void ReadAll(const uint8_t* p, size_t n) {
    uint8_t x = 0;
    for (size_t i = 0; i < n; ++i)
        x ^= p[i];
    g_sink = x;
}

struct Rig {
    fenno::ParamStore store;
    fenno::DeviceState state;
    fenno::LinkState link;
    NullSink sink;
    fenno::Dispatcher dispatcher{store, state, link, &sink,
                                 fenno::DispatcherHooks{[] {}, ReadAll, ReadAll}};
};

template <size_t N> void CheckTerminated(const std::array<char, N>& field) {
    if (field[N - 1] != 0) std::abort();
}

void Check(Rig& rig) {
    using namespace std::chrono_literals;
    if (!rig.link.replyEvent.Wait(0ms)) std::abort(); // every payload releases a sender
    const fenno::DeviceInfo info = rig.state.Info();
    CheckTerminated(info.modelName);
    CheckTerminated(info.mcuVersion);
    CheckTerminated(info.dspVersion);
    if (rig.state.currentMode < 0 || rig.state.currentMode > 3) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Rig rig;
    if (size < 1) return 0;
    const uint8_t shape = data[0] % 3;
    data += 1;
    size -= 1;

    if (shape == 0) {
        // USB: always a whole 61-byte report.
        auto buf = std::make_unique<uint8_t[]>(fenno::kUsbReportSize);
        std::memcpy(buf.get(), data, std::min(size, fenno::kUsbReportSize));
        rig.dispatcher.DispatchReceived(buf.get(), fenno::kUsbReportSize);
    } else {
        // TCP: L is the frame's length byte; the payload is the L - 1 bytes that follow it.
        if (size < 1) return 0;
        const size_t L = data[0];
        const size_t payload = L > 0 ? L - 1 : 0;
        // Shape 1 passes the exact count; shape 2 lets the dispatcher derive it from L.
        const size_t alloc = shape == 1 ? payload : fenno::Dispatcher::AvailableFor(L);
        uint8_t* buf = new uint8_t[alloc];
        std::memset(buf, 0, alloc);
        std::memcpy(buf, data + 1, std::min(size - 1, alloc));
        if (shape == 1)
            rig.dispatcher.DispatchReceived(buf, L, payload);
        else
            rig.dispatcher.DispatchReceived(buf, L);
        delete[] buf;
    }
    Check(rig);
    return 0;
}
