#include "link/tcp_link.h"
#include "tests/link/link_recorder.h"
#include "tests/link/loopback_peer.h"

#include <atomic>
#include <cerrno>
#include <gtest/gtest.h>
#include <thread>

namespace fenno {
namespace {

using Bytes = std::vector<uint8_t>;
using test::LinkRecorder;
using test::LoopbackPeer;

Bytes Frame(const Bytes& payload) {
    Bytes out(payload.size() + kFrameOverhead);
    out.resize(EncodeLinkFrame(payload.data(), payload.size(), out.data(), out.size()));
    return out;
}

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A dispatched TCP payload is reported with L bytes; the last one is the check.
Bytes PayloadOf(const Bytes& recorded) {
    return Bytes(recorded.begin(), recorded.end() - 1);
}

TEST(NetWriteQueue, KeysAndReplacement) {
    struct Put {
        Bytes payload;
    };
    struct Case {
        const char* fault;
        std::vector<Bytes> puts;
        std::vector<Bytes> expected; // queued payloads in order
    };
    auto param = [](uint8_t index, uint8_t value) {
        return Bytes{0x81, 0x09, 0x00, 0x01, index, 0x01, 0x3F, value, 0x00, 0x00};
    };
    auto zwaveSend = [](uint8_t node, uint8_t cmd) {
        return Bytes{0x80, 0x01, 0x09, 0x00, 0x13, node, 0x03, 0x20, 0x01, cmd};
    };
    const std::vector<Case> cases = {
        {"a burst for one parameter must leave one entry, newest value, first position",
         {param(4, 1), param(5, 9), param(4, 2), param(4, 3), param(4, 4), param(4, 5), param(4, 6),
          param(4, 7), param(4, 8), param(4, 9), param(4, 10)},
         {param(4, 10), param(5, 9)}},
        {"different parameters are separate entries",
         {param(4, 1), param(5, 1)},
         {param(4, 1), param(5, 1)}},
        {"Z-Wave send-data of equal length for different nodes share a key",
         {zwaveSend(2, 0xFF), zwaveSend(3, 0x00)},
         {zwaveSend(3, 0x00)}},
        {"short payloads are keyed zero-filled, and differ from longer ones",
         {{0x81, 0x80}, {0x81, 0x80, 0x00, 0x00, 0x00, 0x07}, {0x81, 0x80}},
         {{0x81, 0x80}}},
        {"the key is five bytes: a change in byte 5 replaces",
         {{0x81, 0x0B, 0x00, 0x10, 0x20, 0x01}, {0x81, 0x0B, 0x00, 0x10, 0x20, 0x02}},
         {{0x81, 0x0B, 0x00, 0x10, 0x20, 0x02}}},
    };
    for (const auto& c : cases) {
        NetWriteQueue q;
        for (const auto& p : c.puts)
            EXPECT_TRUE(q.Put(p.data(), p.size())) << c.fault;
        std::vector<Bytes> got;
        for (const auto& e : q.Snapshot())
            got.emplace_back(e.payload.begin(), e.payload.begin() + e.length);
        EXPECT_EQ(got, c.expected) << c.fault;
    }
}

TEST(NetWriteQueue, KeyLayoutLimitsAndPop) {
    const Bytes p = {0x81, 0x09, 0x00, 0x01, 0x0E, 0x01, 0x3E};
    EXPECT_EQ(MakeNetQueueKey(p.data(), p.size()),
              (NetQueueKey{0x81, 0x09, 0x00, 0x01, 0x0E, 0x00}));
    NetWriteQueue q;
    Bytes tooLong(kNetQueuePayloadMax + 1, 0x81);
    EXPECT_FALSE(q.Put(tooLong.data(), tooLong.size()));
    EXPECT_FALSE(q.Put(p.data(), 0));
    Bytes longest(kNetQueuePayloadMax, 0x81);
    EXPECT_TRUE(q.Put(longest.data(), longest.size()));
    EXPECT_TRUE(q.Put(p.data(), p.size()));
    NetQueueEntry e;
    ASSERT_TRUE(q.PopFront(e));
    EXPECT_EQ(e.length, kNetQueuePayloadMax);
    ASSERT_TRUE(q.PopFront(e));
    EXPECT_EQ(Bytes(e.payload.begin(), e.payload.begin() + e.length), p);
    EXPECT_FALSE(q.PopFront(e));
}

class TcpLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        link.SetHooks(rec.Hooks());
        link.SetAddress("127.0.0.1");
        link.SetPort(peer.Port());
    }
    void Connect() {
        ASSERT_EQ(link.NetConnect(), 1);
        ASSERT_TRUE(peer.Accept());
        EXPECT_TRUE(state.connected);
    }

    LinkState state;
    LinkRecorder rec;
    LoopbackPeer peer;
    TcpLink link{state};
};

TEST_F(TcpLinkTest, DefaultsAndConnectFailures) {
    TcpLink fresh(state);
    EXPECT_EQ(fresh.Address(), "192.168.1.123");
    EXPECT_EQ(fresh.Port(), 30303);

    // A bound socket that does not listen refuses connections and keeps its port ours.
    const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&addr), &len);
    link.SetPort(ntohs(addr.sin_port));
    EXPECT_EQ(link.NetConnect(), ECONNREFUSED);
    EXPECT_EQ(ECONNREFUSED, 111);
    ::close(holder);
    EXPECT_FALSE(state.connected);
    EXPECT_FALSE(link.HasThreads());

    link.SetAddress("not-an-address");
    EXPECT_EQ(link.NetConnect(), EINVAL);
}

TEST_F(TcpLinkTest, HeartbeatIsEchoedExactly) {
    Connect();
    ASSERT_TRUE(peer.Send("$HB$"));
    EXPECT_EQ(peer.ReadQuiet(300), Bytes({'$', 'H', 'B', '$'}));
    EXPECT_TRUE(rec.Payloads().empty());

    // Heartbeat and a frame in one chunk: echo, then the frame is dispatched.
    ASSERT_TRUE(peer.Send(Cat({'$', 'H', 'B', '$'}, Frame({0x81, 0x09}))));
    ASSERT_TRUE(rec.WaitPayloads(1));
    EXPECT_EQ(PayloadOf(rec.Payloads()[0]), (Bytes{0x81, 0x09}));
    EXPECT_EQ(peer.ReadQuiet(200), Bytes({'$', 'H', 'B', '$'}));
}

TEST_F(TcpLinkTest, BusyNoticePostsOnceAndIsNotParsed) {
    Connect();
    const std::string busy = "ISCONNECTED";
    ASSERT_TRUE(peer.Send(Cat(Bytes(busy.begin(), busy.end()), Frame({0x81, 0x09}))));
    ASSERT_TRUE(rec.WaitEvent(kLinkEvBusy));
    // A frame sent afterwards is dispatched alone: the busy chunk left nothing behind.
    ASSERT_TRUE(peer.Send(Frame({0x81, 0x0E})));
    ASSERT_TRUE(rec.WaitPayloads(1));
    EXPECT_EQ(rec.Payloads().size(), 1u);
    EXPECT_EQ(PayloadOf(rec.Payloads()[0]), (Bytes{0x81, 0x0E}));
    EXPECT_EQ(rec.Count(kLinkEvBusy), 1);
    EXPECT_TRUE(link.IsUp()) << "the link stays up after a busy notice";
}

TEST_F(TcpLinkTest, QueuedBurstSendsNewestValueOncePerAnswer) {
    Connect();
    auto param = [](uint8_t index, uint8_t value) {
        return Bytes{0x81, 0x09, 0x00, 0x01, index, 0x01, 0x3F, value, 0x00, 0x00};
    };
    // A lead command goes out at once; the silent device then holds the write thread back.
    const Bytes lead = {0x81, 0x80};
    EXPECT_EQ(link.SendPayload(lead.data(), lead.size(), true), 0);
    ASSERT_EQ(peer.Read(5, 1000), Frame(lead));
    EXPECT_EQ(link.SendPayload(param(14, 0).data(), 10, true), 0);
    EXPECT_EQ(link.SendPayload(param(15, 7).data(), 10, true), 0);
    for (uint8_t v = 1; v <= 9; ++v)
        link.SendPayload(param(14, v).data(), 10, true);
    ASSERT_EQ(link.WriteQueue().Size(), 2u);
    EXPECT_EQ(link.WriteQueue().Snapshot()[0].payload[7], 9);

    // The write thread gives up waiting 2 s after the lead and sends the first entry.
    const Bytes first = Frame(param(14, 9));
    EXPECT_EQ(peer.Read(first.size(), 3000), first);
    EXPECT_TRUE(peer.ReadQuiet(300).empty()) << "one frame per answer";
    ASSERT_TRUE(peer.Send(Frame({0x81, 0x09})));
    const Bytes second = Frame(param(15, 7));
    EXPECT_EQ(peer.Read(second.size(), 500), second) << "an answer releases the next entry";
}

TEST_F(TcpLinkTest, QueueDisabledSendsDirectly) {
    Connect();
    state.queueEnabled = false;
    const Bytes p = {0x81, 0x80};
    EXPECT_EQ(link.SendPayload(p.data(), p.size(), false), 5);
    EXPECT_EQ(peer.Read(5, 1000), (Bytes{0x55, 0x03, 0x81, 0x80, 0xFD}));
    EXPECT_EQ(link.SendPayload(p.data(), p.size(), true), 5) << "reply event starts signalled";
    EXPECT_EQ(peer.Read(5, 1000), (Bytes{0x55, 0x03, 0x81, 0x80, 0xFD}));
    EXPECT_EQ(link.WriteQueue().Size(), 0u);
}

TEST_F(TcpLinkTest, DisconnectSendsByeAndJoinsEveryThread) {
    Connect();
    link.NetDisconnect(true);
    EXPECT_FALSE(state.connected);
    EXPECT_FALSE(link.HasThreads());
    EXPECT_EQ(rec.StatusClears(), 1);
    EXPECT_EQ(peer.ReadQuiet(300), Frame({0x81, 0x8A}));
    EXPECT_TRUE(peer.SeesClose(500));
    link.NetDisconnect(true); // not connected: nothing
    EXPECT_EQ(rec.StatusClears(), 1);
    EXPECT_EQ(link.SendPayload(Bytes{0x81, 0x80}.data(), 2, true), 0) << "down: nothing sent";
}

TEST_F(TcpLinkTest, PeerCloseDropsQuietlyAndTheLinkCanReconnect) {
    Connect();
    state.statusPoll = true;
    peer.CloseClient();
    ASSERT_TRUE(rec.WaitStatusClears(1));
    EXPECT_FALSE(link.IsUp());
    EXPECT_FALSE(state.connected);
    EXPECT_FALSE(state.statusPoll);
    EXPECT_TRUE(state.readThreadEnd);
    EXPECT_EQ(rec.Count(kLinkEvTimeout), 0);
    link.NetDisconnect(false); // reaps the threads that ended on their own
    EXPECT_FALSE(link.HasThreads());

    Connect();
    ASSERT_TRUE(peer.Send(Frame({0x81, 0x05, 0x01})));
    ASSERT_TRUE(rec.WaitPayloads(1));
}

TEST_F(TcpLinkTest, DispatcherMayCloseTheLinkFromTheReceiveThread) {
    LinkHooks h = rec.Hooks();
    auto record = h.onPayload;
    h.onPayload = [this, record](const uint8_t* p, size_t L) {
        record(p, L);
        link.NetDisconnect(false); // must not join its own thread
    };
    link.SetHooks(h);
    Connect();
    ASSERT_TRUE(peer.Send(Frame({0x81, 0x09})));
    ASSERT_TRUE(rec.WaitPayloads(1));
    EXPECT_TRUE(peer.SeesClose(1000));
    link.NetDisconnect(false);
    EXPECT_FALSE(link.HasThreads());
}

TEST_F(TcpLinkTest, DestroyWhileConnectedJoins) {
    auto local = std::make_unique<TcpLink>(state);
    local->SetAddress("127.0.0.1");
    local->SetPort(peer.Port());
    ASSERT_EQ(local->NetConnect(), 1);
    ASSERT_TRUE(peer.Accept());
    local.reset();
    EXPECT_TRUE(peer.SeesClose(1000));
}

TEST_F(TcpLinkTest, SilentDeviceIsDroppedAfterAboutThreePointSixSeconds) {
    Connect();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(rec.WaitEvent(kLinkEvTimeout, 8000));
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(s, 3.4);
    EXPECT_LT(s, 5.0);
    EXPECT_FALSE(state.connected);
    EXPECT_TRUE(peer.SeesClose(1000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(rec.Count(kLinkEvTimeout), 1);
    link.NetDisconnect(false);
    EXPECT_FALSE(link.HasThreads());
}

} // namespace
} // namespace fenno
