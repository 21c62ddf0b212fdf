#include "protocol/bytes.h"
#include "protocol/param_table.h"
#include "sim/sim_tcp_server.h"
#include "tests/sim/sim_client.h"

#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace fenno {
namespace {

using test::Bytes;
using test::SimClient;
using namespace std::chrono_literals;

// A running simulator on a free loopback port with quick heartbeats.
struct Server {
    explicit Server(SimServerConfig config = {}, SimConfig device = {})
        : device(std::move(device)), server(this->device, Fast(std::move(config))) {}
    static SimServerConfig Fast(SimServerConfig c) {
        c.port = 0;
        if (c.heartbeatInterval == 1000ms) c.heartbeatInterval = 60s; // tests that want one ask
        return c;
    }
    int Start() { return server.Start(); }
    SimDevice device;
    SimTcpServer server;
};

struct Connected : Server {
    explicit Connected(SimServerConfig config = {}, SimConfig device = {})
        : Server(std::move(config), std::move(device)) {
        EXPECT_EQ(Start(), 0);
        EXPECT_TRUE(client.Connect(server.Port()));
    }
    SimClient client;
};

TEST(SimTcpServerTest, AnswersIdentityQueriesInPrefixedFrames) {
    SimConfig dev;
    dev.identity.board = {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x00};
    Connected rig({}, dev);
    ASSERT_TRUE(rig.client.Send({0x80}));
    auto raw = rig.client.Next();
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(*raw, (Bytes{0x81, 0x80, 'F', 'e', 'n', 'n', 'o', 0}));
    EXPECT_EQ(rig.client.Call({0x81}),
              (Bytes{0x81, '2', '0', '1', '8', '-', '0', '9', '-', '2', '0', 0}));
    EXPECT_EQ(rig.client.Call({0x7E}),
              (Bytes{0x7E, '2', '0', '1', '8', '-', '0', '9', '-', '2', '0', 0}));
    EXPECT_EQ(rig.client.Call({0x7F}), (Bytes{0x7F, 24, 0, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x00}));
    EXPECT_EQ(rig.client.Call({0x07}), (Bytes{0x07, 0}));
    EXPECT_EQ(rig.device.FramesIn(0x80), 1u);
    EXPECT_EQ(rig.device.FramesOut(0x7F), 1u);
    EXPECT_EQ(rig.server.FramesReceived(), 5u);
    EXPECT_EQ(rig.server.AnswerFramesSent(), 5u);
}

TEST(SimTcpServerTest, FullReadInSeventyChunksReproducesTheMemory) {
    SimConfig dev;
    DeviceImageBytes image{};
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = uint8_t(i * 131 + (i >> 8));
    dev.image = image;
    Connected rig({}, dev);

    DeviceImageBytes read{};
    for (int i = 0; i < 70; ++i) {
        const int offset = 56 * i;
        const int n = i == 69 ? 48 : 56;
        Bytes a = rig.client.Call({0x30, uint8_t(offset >> 8), uint8_t(offset), uint8_t(n)});
        ASSERT_EQ(a.size(), 4u + size_t(n)) << "chunk " << i;
        ASSERT_EQ(a[1] * 256 + a[2], offset);
        ASSERT_EQ(a[3], n);
        std::copy(a.begin() + 4, a.end(), read.begin() + offset);
    }
    EXPECT_EQ(read, rig.device.Memory());
    EXPECT_EQ(read, image);
    EXPECT_EQ(rig.device.FramesIn(0x30), 70u);
    EXPECT_EQ(rig.client.ChecksumErrors(), 0u);
}

TEST(SimTcpServerTest, ParamWriteAndModeLoadOverTheWire) {
    Connected rig;
    const ParamEntry* row = FindParam(1, 14);
    const DeviceImageBytes factory = rig.device.Memory();

    // Store a change into M2, go back to factory content, then load M2 again.
    EXPECT_EQ(rig.client.Call({0x09, 0x00, 0x01, 0x0E, 0x01, 0x3E, 0x80, 0x00, 0x00}), Bytes{0x09});
    EXPECT_EQ(LoadBe32(&rig.device.Memory()[row->ValueOffset()]), 0x3E800000u);
    EXPECT_EQ(rig.client.Call({0x04, 1}), Bytes{0x04});
    EXPECT_EQ(rig.client.Call({0x06, 0}), Bytes{0x06});
    EXPECT_EQ(rig.device.Memory(), factory);
    EXPECT_EQ(rig.client.Call({0x05, 1}), Bytes{0x05});
    // Exactly one answer: a second 0x05 would start a second full read on the PC.
    rig.client.Drain(100);
    EXPECT_EQ(rig.client.Pending(), 0u);

    Bytes a =
        rig.client.Call({0x30, uint8_t(row->recordOffset >> 8), uint8_t(row->recordOffset), 7});
    ASSERT_EQ(a.size(), 4u + 7u);
    EXPECT_EQ(a[4], 1);  // module
    EXPECT_EQ(a[5], 14); // index
    EXPECT_EQ(LoadBe32(&a[7]), 0x3E800000u);
    EXPECT_EQ(rig.client.Call({0x07}), (Bytes{0x07, 1}));
}

TEST(SimTcpServerTest, SendsHeartbeatsAndSwallowsTheirEchoes) {
    SimServerConfig cfg;
    cfg.heartbeatInterval = 50ms;
    Connected rig(cfg);
    rig.client.Drain(2000, 2);
    EXPECT_GE(rig.client.Heartbeats(), 2);

    // The echo, alone and glued to a frame, never reaches the device as data.
    ASSERT_TRUE(rig.client.SendRaw({'$', 'H', 'B', '$'}));
    Bytes glued{'$', 'H', 'B', '$'};
    const Bytes frame = SimClient::Frame({0x07});
    glued.insert(glued.end(), frame.begin(), frame.end());
    glued.insert(glued.end(), {'$', 'H', 'B', '$'});
    glued.insert(glued.end(), frame.begin(), frame.end());
    ASSERT_TRUE(rig.client.SendRaw(glued));
    for (int i = 0; i < 2; ++i) {
        auto a = rig.client.Next();
        ASSERT_TRUE(a.has_value());
        EXPECT_EQ(*a, (Bytes{0x81, 0x07, 0x00}));
    }
    EXPECT_EQ(rig.server.HeartbeatEchoes(), 3u);
    EXPECT_EQ(rig.server.ChecksumErrors(), 0u);
}

TEST(SimTcpServerTest, SecondClientGetsBusyNoticeAndIsClosed) {
    Connected rig;
    SimClient second;
    ASSERT_TRUE(second.Connect(rig.server.Port()));
    // The PC sends its first query at once; the notice must survive that.
    second.Send({0x80});
    EXPECT_EQ(second.ReadRaw(kBusyTokenSize, 2000), Bytes(kBusyToken, kBusyToken + kBusyTokenSize));
    EXPECT_TRUE(second.WaitClosed(2000));
    EXPECT_EQ(rig.server.ConnectionsRejected(), 1u);
    EXPECT_EQ(rig.device.FramesIn(0x80), 0u);

    // The first client is still served, and after it leaves a new one is accepted.
    EXPECT_EQ(rig.client.Call({0x07}), (Bytes{0x07, 0}));
    rig.client.Close();
    SimClient third;
    for (int i = 0; i < 100 && rig.server.ClientConnected(); ++i)
        std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(third.Connect(rig.server.Port()));
    EXPECT_EQ(third.Call({0x07}), (Bytes{0x07, 0}));
    EXPECT_EQ(rig.server.ConnectionsAccepted(), 2u);
}

TEST(SimTcpServerTest, BadCheckKnobSpoilsEveryNthAnswer) {
    SimServerConfig cfg;
    cfg.badCheckEvery = 3;
    Connected rig(cfg);
    int good = 0;
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(rig.client.Send({0x07}));
        if (rig.client.Next(300)) ++good;
    }
    EXPECT_EQ(good, 4);
    EXPECT_EQ(rig.client.ChecksumErrors(), 2u);
    EXPECT_EQ(rig.server.BadChecksSent(), 2u);
}

TEST(SimTcpServerTest, DropAfterAnswersThenCloses) {
    SimServerConfig cfg;
    cfg.dropAfter = 3;
    Connected rig(cfg);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(rig.client.Call({0x07}), (Bytes{0x07, 0}));
    EXPECT_EQ(rig.client.Call({0x30, 0x00, 0x00, 0x38}).size(), 60u);
    EXPECT_TRUE(rig.client.WaitClosed(2000));
    EXPECT_EQ(rig.client.Pending(), 0u);
}

TEST(SimTcpServerTest, SilentAfterStopsAnswersAndHeartbeats) {
    SimServerConfig cfg;
    cfg.silentAfter = 2;
    cfg.heartbeatInterval = 40ms;
    Connected rig(cfg);
    EXPECT_EQ(rig.client.Call({0x07}), (Bytes{0x07, 0}));
    EXPECT_EQ(rig.client.Call({0x07}), (Bytes{0x07, 0}));
    // A parameter write after the silence changes nothing and gets no answer.
    const DeviceImageBytes before = rig.device.Memory();
    ASSERT_TRUE(rig.client.Send({0x09, 0x00, 0x01, 0x0E, 0x01, 0x3E, 0x80, 0x00, 0x00}));
    const int beats = rig.client.Heartbeats();
    rig.client.Drain(200);
    EXPECT_EQ(rig.client.Pending(), 0u);
    EXPECT_EQ(rig.client.Heartbeats(), beats);
    EXPECT_FALSE(rig.client.Closed());
    EXPECT_EQ(rig.device.Memory(), before);
    EXPECT_EQ(rig.server.FramesReceived(), 3u);
}

TEST(SimTcpServerTest, AnswerDelayHoldsEachAnswer) {
    SimServerConfig cfg;
    cfg.answerDelay = 80ms;
    Connected rig(cfg);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.client.Call({0x07}), (Bytes{0x07, 0}));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 75ms);
}

TEST(SimTcpServerTest, LearnedKeyComesUnpromptedAfterTheDelay) {
    SimConfig dev;
    dev.learnDelay = 30ms;
    Connected rig({}, dev);
    ASSERT_TRUE(rig.client.Send({0x60, 7}));
    auto a = rig.client.Next(2000);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(*a, (Bytes{0x81, 0x60, SimDevice::kLearnedRemoteType, 7, SimDevice::LearnedCode(7)}));
    EXPECT_EQ(rig.device.KeyTable()[7], SimDevice::LearnedCode(7));
}

TEST(SimTcpServerTest, ZWaveFramesAreAcknowledgedByTheModule) {
    Connected rig;
    ASSERT_TRUE(rig.client.Send({0x01, 0x03, 0x00, 0x02, 0xFE}, kTcpPrefixZWave));
    auto a = rig.client.Next();
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(*a, (Bytes{0x81, 0x12, 0x01, 0x06}));
    EXPECT_EQ(rig.device.ZWaveFramesIn(), 1u);
}

TEST(SimTcpServerTest, StopReturnsPromptlyWithAClientConnected) {
    SimServerConfig cfg;
    cfg.answerDelay = 10s; // an answer is pending when the server stops
    Connected rig(cfg);
    ASSERT_TRUE(rig.client.Send({0x07}));
    for (int i = 0; i < 100 && rig.server.FramesReceived() == 0; ++i)
        std::this_thread::sleep_for(5ms);
    const auto start = std::chrono::steady_clock::now();
    rig.server.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_FALSE(rig.server.Running());
    EXPECT_TRUE(rig.client.WaitClosed(1000));
    rig.server.Stop(); // again: quiet
}

TEST(SimTcpServerTest, StartReportsBindFailures) {
    Server first;
    ASSERT_EQ(first.Start(), 0);
    EXPECT_EQ(first.Start(), EALREADY);

    SimServerConfig same;
    same.port = first.server.Port();
    SimDevice device;
    SimTcpServer clash(device, same);
    EXPECT_EQ(clash.Start(), EADDRINUSE);

    SimServerConfig bad;
    bad.bind = "localhost"; // not dotted decimal
    SimTcpServer named(device, bad);
    EXPECT_EQ(named.Start(), EINVAL);
}

} // namespace
} // namespace fenno
