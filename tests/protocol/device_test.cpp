// A client Device against the simulated amplifier over real loopback TCP.
#include <gtest/gtest.h>

#include <thread>

#include "link/tcp_link.h"
#include "protocol/bytes.h"
#include "protocol/device.h"
#include "link/memory_hid_backend.h"
#include "link/usb_link.h"
#include "sim/sim_device.h"
#include "sim/sim_hid_adapter.h"
#include "sim/sim_tcp_server.h"
#include "tools/cli_support.h"

using namespace fenno;
using namespace std::chrono_literals;

namespace {

struct Bench {
    explicit Bench(SimConfig config = {}, SimServerConfig server = {}) : sim(std::move(config)) {
        server.port = 0;
        tcp = std::make_unique<SimTcpServer>(sim, server);
        EXPECT_EQ(tcp->Start(), 0);
    }
    ~Bench() {
        device.reset();
        tcp->Stop();
    }
    int Connect() { return device->ConnectTcp("127.0.0.1", tcp->Port()); }

    WaitingSink sink;
    SimDevice sim;
    std::unique_ptr<SimTcpServer> tcp;
    std::unique_ptr<Device> device = std::make_unique<Device>(&sink);
};

template <typename F> bool Eventually(F f, std::chrono::milliseconds bound = 3s) {
    auto until = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < until) {
        if (f()) return true;
        std::this_thread::sleep_for(5ms);
    }
    return f();
}

TEST(DeviceSim, FullReadSendsExactlyTheReadSequenceAndCopiesTheMemory) {
    SimConfig cfg;
    ParamStore changed;
    changed.image[FindParam(1, 14)->ValueOffset()] = 0x3E; // differs from the factory image
    changed.image[EqRecordOffset(12, 4) + 3] = 0x42;
    cfg.image = changed.image;
    Bench b(cfg);
    ASSERT_EQ(b.Connect(), 1);
    ASSERT_TRUE(b.device->Jobs().SynchronizeData());

    struct Count {
        uint8_t cmd;
        uint64_t n;
    } expected[] = {{0x80, 1}, {0x7F, 1}, {0x81, 1}, {0x7E, 1}, {0x07, 1},
                    {0x30, 70}, {0x92, 1}, {0x62, 1}};
    ASSERT_TRUE(Eventually([&] { return b.sim.TotalFramesIn() >= 77; }));
    for (const Count& c : expected) EXPECT_EQ(b.sim.FramesIn(c.cmd), c.n) << std::hex << int(c.cmd);
    EXPECT_EQ(b.sim.TotalFramesIn(), 77u);
    EXPECT_EQ(b.device->Store().image, b.sim.Memory());
    EXPECT_EQ(b.device->Store().Host(1, 14), DeviceToHost(ValueKind::Hundredths,
                                                          b.device->Store().Word(*FindParam(1, 14))));
    EXPECT_TRUE(b.device->Link().queueEnabled);
    EXPECT_FALSE(b.device->State().settingsChanged);
}

TEST(DeviceSim, OtherCommandSetGetsTheIdentityQueriesTwiceAndNoImageRead) {
    SimConfig cfg;
    cfg.identity.commandSet = 23;
    Bench b(cfg);
    ASSERT_EQ(b.Connect(), 1);
    EXPECT_FALSE(b.device->Jobs().SynchronizeData());
    ASSERT_TRUE(Eventually([&] { return b.sim.FramesIn(0x7E) == 2; }));
    for (uint8_t cmd : {0x80, 0x7F, 0x81, 0x7E}) EXPECT_EQ(b.sim.FramesIn(cmd), 2u) << int(cmd);
    EXPECT_EQ(b.sim.FramesIn(0x07), 0u);
    EXPECT_EQ(b.sim.FramesIn(0x30), 0u);
    EXPECT_EQ(b.device->State().Info().commandVersion, 23);
    EXPECT_FALSE(b.device->Link().queueEnabled); // stays off until the GUI drops the link
}

TEST(DeviceSim, ReadJobPostsSyncDoneAndRestartsThePoll) {
    Bench b;
    ASSERT_EQ(b.Connect(), 1);
    b.device->Jobs().StartReadJob();
    intptr_t w = -1;
    ASSERT_TRUE(b.sink.WaitFor(kEvSyncDone, 10s, &w));
    EXPECT_EQ(w, 0);
    EXPECT_TRUE(Eventually([&] { return b.device->Link().statusPoll.load(); }));
}

TEST(DeviceSim, ModeLoadAnswerStartsAReRead) {
    Bench b;
    ASSERT_EQ(b.Connect(), 1);
    ASSERT_TRUE(b.device->Jobs().SynchronizeData());
    b.device->Cmd().SetParam(1, 15, 20);
    b.device->Cmd().SaveDeviceMode(2);
    ASSERT_TRUE(b.device->WaitQueueDrained(5s));
    b.device->Cmd().SetParam(1, 15, 70);
    b.device->Cmd().SendCommand({kCmdLoadMode, 2});
    ASSERT_TRUE(b.sink.WaitFor(kEvSyncDone, 10s));
    EXPECT_EQ(b.device->Store().Host(1, 15), 20);
    EXPECT_EQ(b.device->State().currentMode, 2);
}

TEST(DeviceSim, WriteJobSendsTheImageThenEndsTheWrite) {
    Bench b;
    ASSERT_EQ(b.Connect(), 1);
    b.device->Store().image[3000] ^= 0x5A;
    b.device->Store().image[10] ^= 0x11;
    b.device->Jobs().StartWriteJob();
    intptr_t w = -1;
    ASSERT_TRUE(b.sink.WaitFor(kEvSyncDone, 10s, &w));
    EXPECT_EQ(w, 1);
    ASSERT_TRUE(Eventually([&] { return b.sim.FramesIn(0x32) == 1; }));
    EXPECT_EQ(b.sim.FramesIn(0x31), 70u);
    EXPECT_EQ(b.sim.Memory(), b.device->Store().image);
}

TEST(DeviceSim, BurstOfSetParamsLeavesTheLastValueWithFewFrames) {
    SimServerConfig slow;
    slow.answerDelay = 30ms; // answers lag, so the burst piles up in the queue
    Bench b({}, slow);
    ASSERT_EQ(b.Connect(), 1);
    for (int v = 1; v <= 10; ++v) b.device->Cmd().SetParam(1, 14, v * 5);
    ASSERT_TRUE(b.device->WaitQueueDrained(5s));
    ASSERT_TRUE(Eventually([&] {
        int off = FindParamRecord(b.sim.Memory().data(), 1, 14);
        return LoadBe32(&b.sim.Memory()[off]) == HostToDevice(ValueKind::Hundredths, 50);
    }));
    EXPECT_LE(b.sim.FramesIn(0x09), 3u);
}

TEST(DeviceSim, LinkLostMidReadKeepsTheHostValues) {
    SimConfig cfg;
    ParamStore changed;
    changed.image[FindParam(1, 15)->ValueOffset()] = 0x3E;
    cfg.image = changed.image;
    SimServerConfig drop;
    drop.dropAfter = 30; // inside the image chunks
    Bench b(cfg, drop);
    ASSERT_EQ(b.Connect(), 1);
    ParamStore factory;
    EXPECT_FALSE(b.device->Jobs().SynchronizeData());
    EXPECT_FALSE(b.device->IsConnected());
    EXPECT_EQ(b.device->Store().host, factory.host);
}

TEST(DeviceSim, HeartbeatIsEchoed) {
    SimServerConfig fast;
    fast.heartbeatInterval = 50ms;
    Bench b({}, fast);
    ASSERT_EQ(b.Connect(), 1);
    EXPECT_TRUE(Eventually([&] { return b.tcp->HeartbeatEchoes() >= 2; }));
    EXPECT_TRUE(b.device->IsConnected());
}

TEST(DeviceSim, SecondHostIsToldTheDeviceIsBusy) {
    Bench b;
    ASSERT_EQ(b.Connect(), 1);
    ASSERT_TRUE(Eventually([&] { return b.tcp->ClientConnected(); }));
    WaitingSink otherSink;
    Device other(&otherSink);
    ASSERT_EQ(other.ConnectTcp("127.0.0.1", b.tcp->Port()), 1);
    EXPECT_TRUE(otherSink.WaitFor(kEvBusy, 3s));
    other.Disconnect(false);
}

TEST(DeviceSim, SilentDeviceIsDroppedByTheWatchdogOnce) {
    SimServerConfig silent;
    silent.silentAfter = 1;
    silent.heartbeatInterval = 10s;
    Bench b({}, silent);
    ASSERT_EQ(b.Connect(), 1);
    auto start = std::chrono::steady_clock::now();
    b.device->Cmd().SendCommand({kCmdModel});
    ASSERT_TRUE(b.sink.WaitFor(kEvTimeout, 8s));
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(s, 3.0);
    EXPECT_LT(s, 5.0);
    EXPECT_FALSE(b.device->IsConnected());
    std::this_thread::sleep_for(300ms);
    int timeouts = 0;
    for (const auto& e : b.sink.Events()) timeouts += e.id == kEvTimeout;
    EXPECT_EQ(timeouts, 1);
}

// The same device behind the in-memory HID backend: the USB link's real code paths.
struct UsbBench {
    UsbBench() {
        auto backend = std::make_unique<MemoryHidBackend>();
        hid = backend.get();
        hid->AddDevice(0x2010, 0x1032); // another product of the maker: never opened
        device = std::make_unique<Device>(&sink, std::move(backend));
        adapter = std::make_unique<SimHidAdapter>(sim, *hid);
        path = adapter->Attach();
    }
    ~UsbBench() {
        adapter.reset(); // before the device, which owns the backend it is plugged into
        device.reset();
    }
    WaitingSink sink;
    SimDevice sim;
    MemoryHidBackend* hid = nullptr;
    std::unique_ptr<Device> device;
    std::unique_ptr<SimHidAdapter> adapter;
    std::string path;
};

TEST(DeviceUsb, FullReadAndEditsOverHid) {
    UsbBench b;
    ASSERT_EQ(b.device->OpenUsb(), 1);
    EXPECT_TRUE(b.device->Usb().IsDevicePath(b.path));
    ASSERT_TRUE(b.device->Jobs().SynchronizeData());
    EXPECT_EQ(b.device->Store().image, b.sim.Memory());
    EXPECT_EQ(b.sim.FramesIn(0x30), 70u);

    b.device->Cmd().SetParam(1, 14, 40);
    b.device->Cmd().SetEqBand(7, 2, 1, 130, 3.5f, 2.0f);
    ASSERT_TRUE(Eventually([&] { return b.sim.Memory()[EqRecordOffset(7, 2) + 3] == 130; }));
    int off = FindParamRecord(b.sim.Memory().data(), 1, 14);
    EXPECT_EQ(LoadBe32(&b.sim.Memory()[off]), HostToDevice(ValueKind::Hundredths, 40));
}

TEST(DeviceUsb, UnpluggedCableEndsWritesAtOnce) {
    UsbBench b;
    ASSERT_EQ(b.device->OpenUsb(), 1);
    b.adapter->Detach();
    ASSERT_TRUE(Eventually([&] { return b.device->Link().readThreadEnd.load(); }));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(b.device->Cmd().SendCommand({kCmdGetMode}), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 500ms);
    EXPECT_EQ(b.device->Usb().UsbRemoved(), 1);
    EXPECT_FALSE(b.device->IsConnected());
}

} // namespace
