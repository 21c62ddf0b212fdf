// The cost of one EQ band edit end to end: coefficients, record, two payloads to the link.
#include <benchmark/benchmark.h>

#include "protocol/commands.h"

namespace {

class CountingTransport : public fenno::Transport {
public:
    bool IsNetwork() const override { return true; }
    int SendPayload(const uint8_t* payload, size_t length, bool) override {
        bytes += length;
        benchmark::DoNotOptimize(payload);
        return int(length);
    }
    size_t bytes = 0;
};

void BM_SetEqBand(benchmark::State& state) {
    fenno::ParamStore store;
    fenno::DeviceState dstate;
    fenno::Commands cmd(store, dstate);
    CountingTransport t;
    cmd.SetTransport(&t);
    int freq = 1000;
    for (auto _ : state) {
        freq = freq == 1000 ? 1001 : 1000; // a drag step
        cmd.SetEqBand(8, 3, 1, freq, 4.5f, 1.41f);
    }
    state.counters["bytes/edit"] = double(t.bytes) / double(state.iterations());
}
BENCHMARK(BM_SetEqBand);

void BM_SetParam(benchmark::State& state) {
    fenno::ParamStore store;
    fenno::DeviceState dstate;
    fenno::Commands cmd(store, dstate);
    CountingTransport t;
    cmd.SetTransport(&t);
    int v = 0;
    for (auto _ : state) cmd.SetParam(1, 14, (v++) % 100);
}
BENCHMARK(BM_SetParam);

} // namespace

BENCHMARK_MAIN();
