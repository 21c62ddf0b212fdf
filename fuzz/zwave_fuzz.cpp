// Frames from the Z-Wave module and plug memory answers, as untrusted input to HomeControl.
#include "link/link_state.h"
#include "protocol/commands.h"
#include "protocol/home_control.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace fenno;

namespace {

// No transport: the acknowledgements go nowhere, the receivers run exactly as on a link.
struct Harness {
    Harness() { home.SetAckPause(std::chrono::milliseconds(0)); }
    ParamStore store;
    DeviceState state;
    LinkState link;
    Commands cmd{store, state};
    SyncJobs jobs{store, state, link, cmd, nullptr};
    HomeControl home{cmd, link, state, jobs, nullptr};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness h;
    if (size < 1) return 0;
    // An exact-size copy, so that any read past the payload is caught.
    std::vector<uint8_t> payload(data + 1, data + size);
    const uint8_t* p = payload.empty() ? nullptr : payload.data();
    if (data[0] & 1)
        h.home.ZWaveReadMemFunc(p, payload.size());
    else
        h.home.ProcessZwaveMsg(p, payload.size());

    const NodeTable nodes = h.home.Nodes();
    for (size_t n = 0; n < nodes.size(); ++n)
        if (nodes[n].present != 0 && nodes[n].present != n) std::abort();
    return 0;
}
