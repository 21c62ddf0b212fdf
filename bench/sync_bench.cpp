// Sync and write-queue behaviour against the in-process simulator over loopback TCP, reported as
// ratios to the measured round trip.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "link/tcp_link.h"
#include "protocol/bytes.h"
#include "protocol/device.h"
#include "sim/sim_device.h"
#include "sim/sim_tcp_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Rig {
    fenno::SimDevice sim;
    fenno::SimTcpServer server{sim, [] {
                                   fenno::SimServerConfig c;
                                   c.port = 0;
                                   return c;
                               }()};
    fenno::Device device;
    Rig() {
        server.Start();
        device.ConnectTcp("127.0.0.1", server.Port());
    }
    ~Rig() {
        device.Disconnect(false);
        server.Stop();
    }
    // Mean time of one synchronous command and its answer.
    double RoundTripSeconds(int n = 200) {
        device.Link().queueEnabled = false;
        auto t0 = Clock::now();
        for (int i = 0; i <= n; ++i) device.Cmd().SendCommand({fenno::kCmdGetMode});
        double s = std::chrono::duration<double>(Clock::now() - t0).count() / n;
        device.Link().replyEvent.Wait(2s);
        device.Link().replyEvent.Set();
        device.Link().queueEnabled = true;
        return s;
    }
};

constexpr double kReadCommands = 77;
constexpr double kReadFixedSleeps = 0.050; // the read job sleeps 50 ms after its last command

void BM_FullRead(benchmark::State& state) {
    Rig rig;
    double rtt = rig.RoundTripSeconds();
    double total = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        bool ok = rig.device.Jobs().SynchronizeData();
        total += std::chrono::duration<double>(Clock::now() - t0).count();
        if (!ok) state.SkipWithError("read failed");
    }
    double per = total / double(state.iterations());
    state.counters["rtt_us"] = rtt * 1e6;
    state.counters["read_ms"] = per * 1e3;
    // Goal: at most 1.5 × (77 × RTT) plus the fixed sleeps.
    state.counters["ratio_to_goal"] = per / (1.5 * kReadCommands * rtt + kReadFixedSleeps);
}
BENCHMARK(BM_FullRead)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SetParamBurst(benchmark::State& state) {
    Rig rig;
    double rtt = rig.RoundTripSeconds();
    const uint8_t cmd = fenno::kCmdSetParam;
    double frames = 0, landSeconds = 0;
    int round = 0;
    for (auto _ : state) {
        uint64_t before = rig.sim.FramesIn(cmd);
        int last = 0;
        for (int i = 0; i < 1000; ++i) rig.device.Cmd().SetParam(1, 14, last = (i + round) % 100 + 1);
        ++round;
        auto t0 = Clock::now();
        uint32_t want = fenno::HostToDevice(fenno::ValueKind::Hundredths, last);
        for (;;) {
            auto mem = rig.sim.Memory();
            int off = fenno::FindParamRecord(mem.data(), 1, 14);
            if (fenno::LoadBe32(&mem[off]) == want) break;
            if (Clock::now() - t0 > 5s) {
                state.SkipWithError("last value never arrived");
                break;
            }
            std::this_thread::yield();
        }
        landSeconds += std::chrono::duration<double>(Clock::now() - t0).count();
        rig.device.WaitQueueDrained(5s);
        frames += double(rig.sim.FramesIn(cmd) - before);
    }
    double n = double(state.iterations());
    state.counters["rtt_us"] = rtt * 1e6;
    state.counters["frames_per_burst"] = frames / n;
    state.counters["land_in_rtt"] = (landSeconds / n) / rtt; // goal: within 2
}
BENCHMARK(BM_SetParamBurst)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
