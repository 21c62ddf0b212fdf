// A client Device against the simulated amplifier's Z-Wave module, over loopback TCP and over
// the in-memory HID backend.
#include "home_test_support.h"
#include "link/memory_hid_backend.h"
#include "protocol/device.h"
#include "sim/sim_hid_adapter.h"
#include "sim/sim_tcp_server.h"
#include "sim/sim_zwave.h"

#include <gtest/gtest.h>

using namespace fenno;
using namespace fenno::test;
using namespace std::chrono_literals;

namespace {

enum class Wire { Tcp, Usb };

SimZWaveConfig Fast() {
    SimZWaveConfig c;
    c.callbackDelay = 5ms;
    c.reportDelay = 5ms;
    c.pressDelay = 100ms;
    c.stepDelay = 10ms;
    c.irLearnDelay = 50ms;
    c.resetDelay = 10ms;
    return c;
}

struct HomeBench {
    explicit HomeBench(Wire wire, SimZWaveConfig config = Fast()) {
        auto module = std::make_unique<SimZWave>(std::move(config));
        zwave = module.get();
        sim.SetHomeControl(std::move(module));
        if (wire == Wire::Tcp) {
            SimServerConfig server;
            server.port = 0;
            tcp = std::make_unique<SimTcpServer>(sim, server);
            EXPECT_EQ(tcp->Start(), 0);
            device = std::make_unique<Device>(&sink);
            EXPECT_EQ(device->ConnectTcp("127.0.0.1", tcp->Port()), 1);
        } else {
            device = std::make_unique<Device>(&sink, std::make_unique<MemoryHidBackend>());
            hid =
                std::make_unique<SimHidAdapter>(sim, static_cast<MemoryHidBackend&>(device->Hid()));
            EXPECT_FALSE(hid->Attach().empty());
            EXPECT_EQ(device->OpenUsb(), 1);
        }
    }
    ~HomeBench() {
        device->Disconnect(false);
        hid.reset(); // before the device that owns the backend
        device.reset();
        if (tcp) tcp->Stop();
    }
    HomeControl& Home() { return device->Home(); }
    bool WaitEvent(int id, intptr_t w, intptr_t l, std::chrono::milliseconds bound = 3s) {
        return sink.WaitFor(id, w, l, bound);
    }
    bool ReadPlugs() {
        Home().StartReadJob();
        return WaitEvent(kEvZWaveProgress, kZWaveProgressJob, 0, 10s);
    }

    RecordingSink sink;
    SimDevice sim;
    SimZWave* zwave = nullptr; // owned by sim
    std::unique_ptr<SimTcpServer> tcp;
    std::unique_ptr<Device> device;
    std::unique_ptr<SimHidAdapter> hid;
};

class HomeSim : public ::testing::TestWithParam<Wire> {};

INSTANTIATE_TEST_SUITE_P(BothLinks, HomeSim, ::testing::Values(Wire::Tcp, Wire::Usb),
                         [](const auto& info) { return info.param == Wire::Tcp ? "Tcp" : "Usb"; });

TEST_P(HomeSim, ReadJobCopiesNodesRecordsAndScenes) {
    HomeBench b(GetParam());
    ASSERT_TRUE(b.ReadPlugs());
    EXPECT_TRUE(b.Home().Synced());
    EXPECT_EQ(b.Home().PlugNodes(), (std::vector<int>{2, 3, 4}));
    EXPECT_TRUE(b.Home().IsNodePresent(kControllerNode));
    // The job reports the end synchronously when the module answered.
    RecordingSink::Event end = b.sink.EventsOf(kEvZWaveProgress).back();
    EXPECT_TRUE(end.sent);
    // Every record the job asked for has arrived by the time it ends.
    const PlugMemory device = b.zwave->Memory();
    for (int n : {2, 3, 4})
        EXPECT_TRUE(std::equal(device.begin() + 28 * n, device.begin() + 28 * n + 28,
                               b.Home().GetPlugRecord(n).begin()))
            << n;
    EXPECT_EQ(PlugName(b.Home().GetPlugRecord(3)), u"调压1");
    EXPECT_EQ(b.Home().GetPlugRecord(3)[0], kPlugDimmer);
    for (int s = 0; s < kSceneCount; ++s)
        EXPECT_TRUE(std::equal(device.begin() + SceneAddress(s),
                               device.begin() + SceneAddress(s) + 56, b.Home().GetScene(s).begin()))
            << s;
    EXPECT_EQ(b.sim.FramesIn(0x14), 3u + 6u);
    EXPECT_EQ(b.zwave->Requests(kZwNodeList), 1u);
    EXPECT_GE(b.zwave->AcksReceived(), 1u); // the PC acknowledged the node list
    EXPECT_TRUE(b.device->Link().queueEnabled);
}

TEST_P(HomeSim, RequestsReachTheModuleAsTheirFrames) {
    HomeBench b(GetParam());
    b.Home().SendZWaveRequest({0x02});
    ASSERT_TRUE(Eventually([&] { return b.zwave->Requests(kZwNodeList) == 1; }));
    EXPECT_EQ(b.zwave->Received().front(), (Bytes{0x01, 0x03, 0x00, 0x02, 0xFE}));
    EXPECT_EQ(b.zwave->FramesRefused(), 0u);
    ASSERT_TRUE(Eventually([&] { return b.Home().NodeListReceived(); }));
}

TEST_P(HomeSim, SceneRunSwitchesThePlugsInOrderAndWaitsItsDelay) {
    HomeBench b(GetParam());
    ASSERT_TRUE(b.ReadPlugs());
    SceneRecord s{};
    SetSceneStep(s, 0, {2, 99});
    SetSceneStep(s, 1, {kDelayStepNode, 1});
    SetSceneStep(s, 2, {9, 99}); // no such plug: skipped
    SetSceneStep(s, 3, {3, 50});
    b.Home().SaveScene(1, s);
    ASSERT_TRUE(Eventually([&] { return b.zwave->Memory()[SceneAddress(1) + 6] == 3; }));

    const auto start = std::chrono::steady_clock::now();
    b.Home().StartSceneRun(1);
    ASSERT_TRUE(b.WaitEvent(kEvZWaveProgress, kZWaveProgressScene, 0));
    ASSERT_TRUE(b.WaitEvent(kEvZWaveProgress, kZWaveProgressScene, 1, 5s));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 1s);
    EXPECT_LT(took, 3s);
    EXPECT_EQ(b.Home().SceneIndex(), 1);
    EXPECT_EQ(b.zwave->Level(2), 0xFF);
    EXPECT_EQ(b.zwave->Level(3), 50);
    EXPECT_EQ(b.zwave->Requests(kZwSendData), 2u);
    // Each plug's report reached the PC: its state and a 0x04 event.
    EXPECT_TRUE(Eventually([&] { return b.Home().NodeState(2) == 0xFF; }));
    EXPECT_TRUE(b.WaitEvent(kEvZWaveEvent, kZwApplicationCommand, 3 << 16 | 50));
}

TEST_P(HomeSim, RemoteKeyTableGoesOutWholeAndComesBackAsItsFirstSixteenBytes) {
    HomeBench b(GetParam());
    std::array<uint8_t, kRemoteKeyTableSize> t{};
    for (int k = 0; k < kRemoteKeyTableSize; ++k)
        t[size_t(k)] = uint8_t(0x40 + k);
    b.Home().SetRemoteKeyTable(t);
    b.Home().SendRemoteKeyTable();
    ASSERT_TRUE(Eventually([&] { return b.sim.KeyTable() == t; }));
    b.Home().SetRemoteKeyTable({});
    ASSERT_TRUE(b.Home().ReadRemoteKeyTable());
    auto back = b.Home().RemoteKeyTable();
    EXPECT_TRUE(std::equal(t.begin(), t.begin() + 16, back.begin()));
    EXPECT_TRUE(std::all_of(back.begin() + 16, back.end(), [](uint8_t v) { return v == 0; }));
}

TEST(HomeSimPairing, AddFlowAsTheSmartPlugWindowDrivesIt) {
    HomeBench b(Wire::Tcp);
    ASSERT_TRUE(b.ReadPlugs());
    const PlugRecord tmpl = MakePlugRecord(kPlugDimmer, u"调压2");
    b.Home().SetNewPlugTemplate(tmpl);
    b.Home().SendZWaveJobStart(kZwRemoveNode, 0, 0);
    ASSERT_TRUE(b.WaitEvent(kEvZWaveEvent, kZwRemoveNode, kZwStatusReady));
    // The new plug belonged to no network: the removal reports node 0.
    ASSERT_TRUE(b.WaitEvent(kEvZWaveEvent, kZwRemoveNode, kZwStatusDone));
    b.Home().ZWaveRemoveStop();
    b.Home().SendZWaveJobStart(kZwAddNode, 0, 0);
    ASSERT_TRUE(b.WaitEvent(kEvZWaveEvent, kZwAddNode, kZwStatusReady));
    ASSERT_TRUE(b.WaitEvent(kEvZWaveEvent, kZwAddNode, kZwStatusFound));
    ASSERT_TRUE(b.WaitEvent(kEvZWaveEvent, kZwAddNode, 5 << 16 | kZwStatusNodeAdded));
    EXPECT_TRUE(b.Home().IsNodePresent(5));
    EXPECT_EQ(b.Home().GetPlugRecord(5), tmpl);
    EXPECT_TRUE(b.zwave->InNetwork(5));
    b.Home().WritePlugRecord(5);
    ASSERT_TRUE(b.device->WaitQueueDrained(3s));
    ASSERT_TRUE(Eventually([&] {
        PlugMemory m = b.zwave->Memory();
        return std::equal(tmpl.begin(), tmpl.end(), m.begin() + 28 * 5);
    }));
    EXPECT_EQ(b.zwave->Requests(kZwRemoveNode), 2u); // the request and its stop
}

TEST(HomeSimPairing, FailedAddAndRemoveReportStatusSeven) {
    SimZWaveConfig c = Fast();
    c.failAdd = true;
    c.failRemove = true;
    HomeBench b(Wire::Usb, c);
    b.Home().SendZWaveJobStart(kZwAddNode, 0, 0);
    EXPECT_TRUE(b.WaitEvent(kEvZWaveEvent, kZwAddNode, kZwStatusFailed));
    b.Home().SendZWaveJobStart(kZwRemoveNode, 0, 0);
    EXPECT_TRUE(b.WaitEvent(kEvZWaveEvent, kZwRemoveNode, kZwStatusFailed));
    EXPECT_EQ(b.zwave->NetworkNodes(), (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(HomeSimPairing, CancelledAddNeverAddsANode) {
    HomeBench b(Wire::Tcp);
    b.Home().SendZWaveJobStart(kZwAddNode, 0, 0);
    ASSERT_TRUE(b.WaitEvent(kEvZWaveEvent, kZwAddNode, kZwStatusReady));
    b.Home().SendZWaveJobCancel(kZwAddNode);
    std::this_thread::sleep_for(300ms); // past the pretend user's button press
    EXPECT_EQ(b.zwave->NetworkNodes(), (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_FALSE(b.WaitEvent(kEvZWaveEvent, kZwAddNode, kZwStatusFound, 0ms));
}

TEST(HomeSimPairing, RemovingAPlugMarksItAbsent) {
    SimZWaveConfig c = Fast();
    c.removeNode = 3;
    HomeBench b(Wire::Usb, c);
    ASSERT_TRUE(b.ReadPlugs());
    b.Home().SendZWaveJobStart(kZwRemoveNode, 0, 0);
    ASSERT_TRUE(b.WaitEvent(kEvZWaveEvent, kZwRemoveNode, (3 << 16) + kZwStatusDone));
    EXPECT_EQ(b.Home().PlugNodes(), (std::vector<int>{2, 4}));
    EXPECT_FALSE(b.zwave->InNetwork(3));
}

TEST(HomeSimPlugs, InfraredPlugLearnsAndSendsKeys) {
    HomeBench b(Wire::Tcp);
    ASSERT_TRUE(b.ReadPlugs());
    b.Home().SendZWaveJobStart(kZwSendData, 4, 192 + 5); // learn slot 5
    EXPECT_TRUE(b.WaitEvent(kEvZWaveEvent, kZwSendData, kCallbackKey << 16));
    EXPECT_TRUE(b.WaitEvent(kEvZWaveEvent, kZwApplicationCommand, 4 << 16 | kKeyReady));
    EXPECT_TRUE(b.WaitEvent(kEvZWaveEvent, kZwApplicationCommand, 4 << 16 | kKeyLearned));
    EXPECT_TRUE(b.zwave->KeyLearned(4, 5));

    struct Case {
        int slot;
        uint8_t report;
    } cases[] = {{5, kKeySent}, {6, kKeySendFailed}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slot);
        b.Home().ZWaveSetNode(4, uint8_t(128 + c.slot));
        EXPECT_TRUE(b.WaitEvent(kEvZWaveEvent, kZwApplicationCommand, 4 << 16 | c.report));
        EXPECT_TRUE(b.Home().StepDone()); // the report, not the callback, ends a key step
    }
}

TEST(HomeSimPlugs, UnacknowledgedSwitchingIsReported) {
    SimZWaveConfig c = Fast();
    c.failTransmit = true;
    HomeBench b(Wire::Usb, c);
    ASSERT_TRUE(b.ReadPlugs());
    b.Home().ClearPlugChanged();
    b.Home().ZWaveSetNode(2, 99);
    EXPECT_TRUE(b.WaitEvent(kEvZWaveEvent, kZwSendData, (kCallbackSwitch << 16) + 1));
    EXPECT_TRUE(b.Home().PlugChanged());
    EXPECT_EQ(b.zwave->Level(2), 0);
}

TEST(HomeSimJobs, ResetEmptiesTheNetworkAndTheScenes) {
    HomeBench b(Wire::Tcp);
    ASSERT_TRUE(b.ReadPlugs());
    b.Home().StartResetJob();
    ASSERT_TRUE(b.WaitEvent(kEvZWaveProgress, kZWaveProgressJob, 0, 15s));
    EXPECT_EQ(b.zwave->Requests(kZwSetDefault), 1u);
    EXPECT_TRUE(b.Home().PlugNodes().empty());
    EXPECT_TRUE(b.Home().Synced());
    const PlugMemory m = b.zwave->Memory();
    EXPECT_TRUE(
        std::all_of(m.begin() + kSceneMemoryBase, m.end(), [](uint8_t v) { return v == 0; }));
    for (int s = 0; s < kSceneCount; ++s)
        EXPECT_EQ(b.Home().GetScene(s), SceneRecord{});
}

TEST(HomeSimJobs, ModuleWithoutControllerLeavesSyncedClear) {
    SimZWaveConfig c = Fast();
    c.controllerPresent = false;
    HomeBench b(Wire::Tcp, c);
    ASSERT_TRUE(b.ReadPlugs());
    EXPECT_FALSE(b.Home().Synced());
    EXPECT_FALSE(b.sink.EventsOf(kEvZWaveProgress).back().sent); // posted, not sent
    EXPECT_EQ(b.sim.FramesIn(0x14), 0u);                         // no plug memory read
}

TEST(HomeSimJobs, SyncedFlagIsClearedWhenALinkOpens) {
    HomeBench b(Wire::Tcp);
    ASSERT_TRUE(b.ReadPlugs());
    ASSERT_TRUE(b.Home().Synced());
    b.device->Disconnect(false);
    ASSERT_EQ(b.device->ConnectTcp("127.0.0.1", b.tcp->Port()), 1);
    EXPECT_FALSE(b.Home().Synced());
}

TEST(HomeSimJobs, SilentModuleIsGivenUpAfterSixSeconds) {
    SimZWaveConfig c = Fast();
    c.silent = true;
    HomeBench b(Wire::Tcp, c);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(b.ReadPlugs());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 5500ms);
    EXPECT_LT(took, 8s);
    EXPECT_FALSE(b.Home().Synced());
    EXPECT_TRUE(b.device->Link().queueEnabled);
}

TEST(HomeSimJobs, ClosingTheDeviceCutsALongDelayStep) {
    auto b = std::make_unique<HomeBench>(Wire::Tcp);
    ASSERT_TRUE(b->ReadPlugs());
    SceneRecord s{};
    SetSceneStep(s, 0, {kDelayStepNode, 200});
    b->Home().SetScene(0, s);
    b->Home().StartSceneRun(0);
    ASSERT_TRUE(b->WaitEvent(kEvZWaveProgress, kZWaveProgressScene, 0));
    const auto start = std::chrono::steady_clock::now();
    b.reset(); // joins the run
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

} // namespace
