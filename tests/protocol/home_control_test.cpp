// HomeControl against a recording transport: wire bytes, module answers, plug memory, scenes.
#include "home_test_support.h"
#include "protocol/home_control.h"

#include <functional>
#include <gtest/gtest.h>
#include <mutex>

using namespace fenno;
using namespace fenno::test;
using namespace std::chrono_literals;

namespace {

// Keeps every payload; safe when the receiver's acknowledgements come from another thread.
class LockedTransport : public Transport {
  public:
    explicit LockedTransport(bool network) : m_network(network) {}
    bool IsNetwork() const override { return m_network; }
    int SendPayload(const uint8_t* payload, size_t length, bool wait) override {
        std::lock_guard lock(m_mutex);
        sent.emplace_back(payload, payload + length);
        waits.push_back(wait);
        return int(length);
    }
    size_t Count() const {
        std::lock_guard lock(m_mutex);
        return sent.size();
    }
    std::vector<Bytes> Sent() const {
        std::lock_guard lock(m_mutex);
        return sent;
    }
    // Read directly only while no other thread sends.
    std::vector<Bytes> sent;
    std::vector<bool> waits;

  private:
    bool m_network;
    mutable std::mutex m_mutex;
};

struct Rig {
    explicit Rig(bool network = false) : transport(network) {
        cmd.SetTransport(&transport);
        home.SetAckPause(0ms);
        link.connected = true;
    }
    // A module frame as the link hands it to the receiver.
    void Receive(const Bytes& frame, bool usbPadding = true, uint8_t fill = 0) {
        Bytes p = ModulePayload(frame, !transport.IsNetwork() && usbPadding, fill);
        home.ProcessZwaveMsg(p.data(), p.size());
    }
    void Request(const Bytes& data) { Receive(ModuleFrame(kZWaveTypeRequest, data)); }
    void NodeList(std::initializer_list<uint8_t> bitmap) {
        Bytes d{kZwNodeList, 5, 8, uint8_t(bitmap.size())};
        d.insert(d.end(), bitmap);
        Receive(ModuleFrame(kZWaveTypeResponse, d));
    }
    void Clear() {
        transport.sent.clear();
        transport.waits.clear();
    }
    std::vector<int> Present() const {
        std::vector<int> out;
        NodeTable t = home.Nodes();
        for (int n = 0; n < kZWaveNodeCount; ++n)
            if (t[size_t(n)].present) {
                EXPECT_EQ(t[size_t(n)].present, n) << "present byte must be the node id";
                out.push_back(n);
            }
        return out;
    }

    ParamStore store;
    DeviceState state;
    LinkState link;
    LockedTransport transport;
    Commands cmd{store, state};
    RecordingSink sink;
    SyncJobs jobs{store, state, link, cmd, &sink};
    HomeControl home{cmd, link, state, jobs, &sink};
};

Bytes Frame(Bytes data) {
    return ModuleFrame(kZWaveTypeRequest, data);
}

Bytes UsbEnvelope(const Bytes& data) {
    Bytes f = Frame(data);
    Bytes p{0x12, uint8_t(f.size())};
    p.insert(p.end(), f.begin(), f.end());
    return p;
}

Bytes TcpEnvelope(const Bytes& data) {
    Bytes f = Frame(data);
    Bytes p{0x80};
    p.insert(p.end(), f.begin(), f.end());
    return p;
}

struct WireCase {
    const char* name;
    bool network;
    std::function<void(HomeControl&)> call;
    std::vector<Bytes> payloads;
    bool wait;
};

TEST(HomeControlWire, Payloads) {
    Bytes table{0x63};
    for (int k = 0; k < 30; ++k)
        table.push_back(uint8_t(k * 3));
    Bytes tcpTable{0x81};
    tcpTable.insert(tcpTable.end(), table.begin(), table.end());
    Bytes record(28, 0);
    record[0] = 2;
    Bytes write{0x13, 0x00, 0x8C, 0x1C};
    write.insert(write.end(), record.begin(), record.end());

    const std::vector<WireCase> cases = {
        {"node list request over USB",
         false,
         [](HomeControl& h) { h.SendZWaveRequest({0x02}); },
         {{0x12, 0x05, 0x01, 0x03, 0x00, 0x02, 0xFE}},
         false},
        {"node list request over TCP: 0x80 and the bare frame",
         true,
         [](HomeControl& h) { h.SendZWaveRequest({0x02}); },
         {{0x80, 0x01, 0x03, 0x00, 0x02, 0xFE}},
         false},
        {"acknowledgement over USB",
         false,
         [](HomeControl& h) { h.SendZWaveAck(); },
         {{0x12, 0x01, 0x06}},
         false},
        {"acknowledgement over TCP",
         true,
         [](HomeControl& h) { h.SendZWaveAck(); },
         {{0x80, 0x06}},
         false},
        {"remove stop",
         false,
         [](HomeControl& h) { h.ZWaveRemoveStop(); },
         {UsbEnvelope({0x4B, 0x05})},
         false},
        {"add job starts with 4A 01 30",
         false,
         [](HomeControl& h) { h.SendZWaveJobStart(0x4A, 0, 0); },
         {UsbEnvelope({0x4A, 0x01, 0x30})},
         false},
        {"remove job starts with 4B 01 09",
         true,
         [](HomeControl& h) { h.SendZWaveJobStart(0x4B, 0, 0); },
         {TcpEnvelope({0x4B, 0x01, 0x09})},
         false},
        {"switch job without a node sends nothing",
         false,
         [](HomeControl& h) { h.SendZWaveJobStart(0x13, 0, 99); },
         {},
         false},
        {"cancelling an add",
         false,
         [](HomeControl& h) { h.SendZWaveJobCancel(0x4A); },
         {UsbEnvelope({0x4A, 0x05, 0x00})},
         false},
        {"cancelling a switch",
         false,
         [](HomeControl& h) { h.SendZWaveJobCancel(0x13); },
         {UsbEnvelope({0x13, 0x05, 0x00})},
         false},
        {"other kinds cancel nothing",
         false,
         [](HomeControl& h) { h.SendZWaveJobCancel(0x02); },
         {},
         false},
        {"plug memory write is a device command",
         true,
         [&](HomeControl& h) { h.WritePlugMemory(28 * 5, record.data(), record.size()); },
         {[&] {
             Bytes t{0x81};
             t.insert(t.end(), write.begin(), write.end());
             return t;
         }()},
         true},
        {"plug memory past its end is refused",
         false,
         [&](HomeControl& h) { h.WritePlugMemory(6850, record.data(), 28); },
         {},
         true},
        {"remote key table",
         true,
         [&](HomeControl& h) {
             std::array<uint8_t, kRemoteKeyTableSize> t{};
             std::copy(table.begin() + 1, table.end(), t.begin());
             h.SetRemoteKeyTable(t);
             h.SendRemoteKeyTable();
         },
         {tcpTable},
         true},
    };
    for (const WireCase& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r(c.network);
        c.call(r.home);
        EXPECT_EQ(r.transport.sent, c.payloads);
        for (bool w : r.transport.waits)
            EXPECT_EQ(w, c.wait);
    }
}

TEST(HomeControlWire, RemoveStopReleasesAWaitingSender) {
    Rig r;
    ASSERT_TRUE(r.link.replyEvent.Wait(0ms)); // consume the start signal
    r.home.ZWaveRemoveStop();
    EXPECT_TRUE(r.link.replyEvent.Wait(0ms));
}

TEST(HomeControlSetNode, SendsBasicSetWithTheCallbackOfItsValueRange) {
    struct Case {
        uint8_t value;
        uint8_t callback;
    } cases[] = {{0xFF, 0x43}, {0x80, 0x44}, {0xFE, 0x44}, {0x7F, 0x43}, {0x00, 0x43}, {192, 0x44}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.value));
        Rig r;
        r.NodeList({0x11}); // nodes 1 and 5
        r.Clear();
        r.home.ZWaveSetNode(5, c.value);
        ASSERT_EQ(r.transport.sent.size(), 1u);
        EXPECT_EQ(r.transport.sent[0],
                  UsbEnvelope({0x13, 0x05, 0x03, 0x20, 0x01, c.value, 0x25, c.callback}));
        EXPECT_FALSE(r.transport.waits[0]);
        EXPECT_EQ(r.home.NodeState(5), c.value);
        EXPECT_FALSE(r.home.StepDone()); // done only when the module answers
    }
}

TEST(HomeControlSetNode, StepsThatSendNothing) {
    struct Case {
        const char* name;
        int node;
        uint8_t value;
    } cases[] = {{"HDMI step", 254, 7},
                 {"delay of 0 s", 240, 0},
                 {"absent node", 7, 99},
                 {"node id beyond the table", 250, 99}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.NodeList({0x11});
        r.Clear();
        r.home.ZWaveSetNode(c.node, c.value);
        EXPECT_TRUE(r.transport.sent.empty());
        EXPECT_TRUE(r.home.StepDone());
    }
}

TEST(HomeControlSetNode, DelayStepWaitsItsSeconds) {
    Rig r;
    const auto start = std::chrono::steady_clock::now();
    r.home.ZWaveSetNode(240, 1);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 950ms);
    EXPECT_LT(took, 1500ms);
    EXPECT_TRUE(r.transport.sent.empty());
    EXPECT_TRUE(r.home.StepDone());
}

TEST(HomeControlReceive, AcknowledgesDataFramesOnly) {
    struct Case {
        const char* name;
        Bytes frame;
        size_t acks;
    } cases[] = {{"module acknowledgement", {0x06}, 0},
                 {"NAK", {0x15}, 0},
                 {"data frame", Frame({0x42, 0x02}), 1},
                 {"data frame of an unknown function", Frame({0x77, 0x01}), 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.Receive(c.frame);
        EXPECT_EQ(r.transport.sent.size(), c.acks);
        if (c.acks) {
            EXPECT_EQ(r.transport.sent[0], (Bytes{0x12, 0x01, 0x06}));
        }
    }
}

TEST(HomeControlReceive, ControllerResetDoneSetsStepDone) {
    Rig r;
    r.Request({0x42, 0x02});
    EXPECT_TRUE(r.home.StepDone());
    EXPECT_EQ(r.sink.EventsOf(kEvZWaveEvent),
              (std::vector<RecordingSink::Event>{{kEvZWaveEvent, 0x42, 0, false}}));
}

TEST(HomeControlNodeList, Bitmaps) {
    Bytes full(kNodeBitmapSize, 0xFF);
    std::vector<int> all;
    for (int n = 1; n <= 232; ++n)
        all.push_back(n);
    Bytes oversized(40, 0xFF); // bytes 29.. would name nodes 233..320
    struct Case {
        const char* name;
        Bytes bitmap;
        uint8_t claimedLength;
        std::vector<int> present;
    } cases[] = {
        {"byte 0 = 03 marks nodes 1 and 2", {0x03}, 1, {1, 2}},
        {"bit 7 of byte 1 is node 16", {0x01, 0x80}, 2, {1, 16}},
        {"last bit is node 232",
         [] {
             Bytes b(29, 0);
             b[28] = 0x80;
             return b;
         }(),
         29,
         {232}},
        {"all 29 bytes", full, 29, all},
        {"oversized bitmap is cut at node 232", oversized, 40, all},
        {"length past the frame reads only what the frame carries", {0x05}, 29, {1, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        Bytes d{kZwNodeList, 5, 8, c.claimedLength};
        d.insert(d.end(), c.bitmap.begin(), c.bitmap.end());
        // The USB report's bytes after the frame are 0xFF: none of them may count.
        r.Receive(ModuleFrame(kZWaveTypeResponse, d), true, 0xFF);
        EXPECT_EQ(r.Present(), c.present);
        EXPECT_EQ(r.home.Memory(), PlugMemory{}); // nothing written beside the node table
        EXPECT_TRUE(r.home.NodeListReceived());
        EXPECT_TRUE(r.sink.EventsOf(kEvZWaveEvent).empty());
    }
}

TEST(HomeControlNodeList, NewListReplacesTheOldOne) {
    Rig r;
    r.NodeList({0x1F});
    r.NodeList({0x05});
    EXPECT_EQ(r.Present(), (std::vector<int>{1, 3}));
    EXPECT_EQ(r.home.PlugNodes(), (std::vector<int>{3}));
}

TEST(HomeControlNodeList, WithoutABitmapLengthNothingChanges) {
    Rig r;
    r.NodeList({0x03});
    r.Receive(ModuleFrame(kZWaveTypeResponse, {kZwNodeList, 5, 8}), true, 0xFF);
    EXPECT_EQ(r.Present(), (std::vector<int>{1, 2}));
}

TEST(HomeControlNodeList, GetNodeListWaitsForTheAnswer) {
    Rig r;
    std::thread module([&] {
        std::this_thread::sleep_for(100ms);
        r.NodeList({0x07});
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(r.home.ZWaveGetNodeList());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    module.join();
    EXPECT_EQ(r.transport.Sent().front(), UsbEnvelope({0x02}));
}

TEST(HomeControlReports, NodeReportsAndSendDataCallbacks) {
    using E = RecordingSink::Event;
    struct Case {
        const char* name;
        Bytes data;
        bool stepDone;
        bool plugChanged;
        std::vector<E> events;
        int node = 0;
        uint8_t state = 0;
    } cases[] = {
        {"basic report stores the last command byte",
         {0x04, 0x00, 3, 3, 0x20, 0x03, 0x32},
         true,
         true,
         {{kEvZWaveEvent, 0x04, 3 << 16 | 0x32, false}},
         3,
         0x32},
        {"key report from an infrared plug",
         {0x04, 0x00, 4, 3, 0x20, 0x03, 6},
         true,
         true,
         {{kEvZWaveEvent, 0x04, 4 << 16 | 6, false}},
         4,
         6},
        {"empty command carries no value", {0x04, 0x00, 3, 0}, false, false, {}},
        {"command length past the frame", {0x04, 0x00, 3, 9, 0x20, 0x03, 0x32}, false, false, {}},
        {"report from a node beyond 232", {0x04, 0x00, 240, 3, 0x20, 0x03, 0x32}, false, false, {}},
        {"switch callback, delivered",
         {0x13, 0x43, 0},
         true,
         false,
         {{kEvZWaveEvent, 0x13, 0x43 << 16, false}}},
        {"key callback, delivered: wait for the plug",
         {0x13, 0x44, 0},
         false,
         false,
         {{kEvZWaveEvent, 0x13, 0x44 << 16, false}}},
        {"callback, not acknowledged",
         {0x13, 0x44, 1},
         true,
         true,
         {{kEvZWaveEvent, 0x13, (0x44 << 16) + 1, false}}},
        {"callback with another status", {0x13, 0x43, 2}, false, false, {}},
        {"callback without status", {0x13, 0x43}, false, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.Request(c.data);
        EXPECT_EQ(r.home.StepDone(), c.stepDone);
        EXPECT_EQ(r.home.PlugChanged(), c.plugChanged);
        EXPECT_EQ(r.sink.EventsOf(kEvZWaveEvent), c.events);
        if (c.node) {
            EXPECT_EQ(r.home.NodeState(c.node), c.state);
        }
    }
}

TEST(HomeControlReports, SendDataResponseIsNotACallback) {
    Rig r;
    // 01 04 01 13 01 E8: "queued"; its checksum sits where a callback has its status.
    r.Receive(ModuleFrame(kZWaveTypeResponse, {0x13, 0x01}));
    EXPECT_FALSE(r.home.StepDone());
    EXPECT_TRUE(r.sink.Events().empty());
}

TEST(HomeControlPairing, AddAndRemoveProgress) {
    using E = RecordingSink::Event;
    const PlugRecord tmpl = MakePlugRecord(kPlugDimmer, u"调压2");
    struct Case {
        const char* name;
        Bytes data;
        std::vector<E> events;
        std::vector<int> present; // nodes 1 and 3 are present before
    } cases[] = {
        {"add ready", {0x4A, 0x30, 1, 0, 0}, {{kEvZWaveEvent, 0x4A, 1, false}}, {1, 3}},
        {"add found", {0x4A, 0x30, 2, 0, 0}, {{kEvZWaveEvent, 0x4A, 2, false}}, {1, 3}},
        {"add adding slave is not shown", {0x4A, 0x30, 3, 7, 0}, {}, {1, 3}},
        {"add failed", {0x4A, 0x30, 7, 0, 0}, {{kEvZWaveEvent, 0x4A, 7, false}}, {1, 3}},
        {"node 7 added",
         {0x4A, 0x30, 5, 7, 3, 4, 16, 1},
         {{kEvZWaveEvent, 0x4A, 7 << 16 | 5, false}},
         {1, 3, 7}},
        {"added node beyond 232 is ignored", {0x4A, 0x30, 5, 250, 0}, {}, {1, 3}},
        {"added without a node id is ignored", {0x4A, 0x30, 5}, {}, {1, 3}},
        {"remove ready", {0x4B, 0x09, 1, 0, 0}, {{kEvZWaveEvent, 0x4B, 1, false}}, {1, 3}},
        {"node 3 removed",
         {0x4B, 0x09, 6, 3, 0},
         {{kEvZWaveEvent, 0x4B, (3 << 16) + 6, false}},
         {1}},
        {"node of no network removed",
         {0x4B, 0x09, 6, 0, 0},
         {{kEvZWaveEvent, 0x4B, 6, false}},
         {1, 3}},
        {"removed node beyond 232 is ignored", {0x4B, 0x09, 6, 233, 0}, {}, {1, 3}},
        {"remove failed", {0x4B, 0x09, 7, 0, 0}, {{kEvZWaveEvent, 0x4B, 7, false}}, {1, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.NodeList({0x05});
        r.home.SetNewPlugTemplate(tmpl);
        r.Request(c.data);
        EXPECT_EQ(r.sink.EventsOf(kEvZWaveEvent), c.events);
        EXPECT_EQ(r.Present(), c.present);
    }
}

TEST(HomeControlPairing, AddedNodeGetsTheTemplateAndIsWrittenAsIs) {
    Rig r;
    const PlugRecord tmpl = MakePlugRecord(kPlugDimmer, u"调压2");
    r.home.SetNewPlugTemplate(tmpl);
    r.Request({0x4A, 0x30, 5, 7, 0});
    EXPECT_EQ(r.home.GetPlugRecord(7), tmpl);
    r.Clear();
    r.home.WritePlugRecord(7);
    Bytes expected{0x13, 0x00, 0xC4, 0x1C};
    expected.insert(expected.end(), tmpl.begin(), tmpl.end());
    EXPECT_EQ(r.transport.sent, std::vector<Bytes>{expected});
}

TEST(HomeControlMemory, ReadAnswersGoToTheRecordThatHoldsTheAddress) {
    struct Case {
        const char* name;
        int address;
        int count;
        int start;  // where the bytes must land
        int stored; // how many of them
    } cases[] = {
        {"node record", 28 * 5, 28, 28 * 5, 28},
        {"inside a node record: from the record's start", 28 * 5 + 3, 10, 28 * 5, 10},
        {"a node record never spills into the next", 28 * 5, 56, 28 * 5, 28},
        {"last node record", 6523, 28, 28 * 232, 28},
        {"scene 0 holds 6530", 6530, 10, 6524, 10},
        {"whole scene 5", 6524 + 56 * 5, 56, 6524 + 56 * 5, 56},
        {"beyond the plug memory", 6860, 10, 0, 0},
        {"far beyond", 0xFFFF, 10, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        Bytes p{0x81, 0x14, uint8_t(c.address >> 8), uint8_t(c.address), uint8_t(c.count)};
        for (int i = 0; i < c.count; ++i)
            p.push_back(uint8_t(0xA0 + i));
        r.home.ZWaveReadMemFunc(p.data(), p.size());
        PlugMemory expected{};
        for (int i = 0; i < c.stored; ++i)
            expected[size_t(c.start + i)] = uint8_t(0xA0 + i);
        EXPECT_EQ(r.home.Memory(), expected);
    }
}

TEST(HomeControlMemory, CountPastThePayloadIsCut) {
    Rig r;
    PlugMemory before{};
    std::fill(before.begin(), before.end(), 0x5A);
    for (int s = 0; s < kSceneCount; ++s) {
        SceneRecord rec;
        std::copy_n(before.begin() + SceneAddress(s), kSceneRecordSize, rec.begin());
        r.home.SetScene(s, rec);
    }
    // Says 56 bytes, carries 4: only those 4 may change.
    Bytes p{0x81, 0x14, 0x19, 0x7C, 56, 1, 2, 3, 4};
    r.home.ZWaveReadMemFunc(p.data(), p.size());
    SceneRecord s0 = r.home.GetScene(0);
    EXPECT_EQ((Bytes{s0[0], s0[1], s0[2], s0[3], s0[4]}), (Bytes{1, 2, 3, 4, 0x5A}));
}

TEST(HomeControlMemory, SetPlugRecordKeepsTheCarriedBytesAndCutsTheName) {
    Rig r;
    Bytes p{0x81, 0x14, 0x00, 0x8C, 28, 9, 0xB1, 0xB2, 0xB3};
    p.resize(5 + 28, 0xEE);
    r.home.ZWaveReadMemFunc(p.data(), p.size());
    r.Clear();
    const PlugRecord given = MakePlugRecord(kPlugSwitch, u"客厅的落地灯开关一二");
    PlugRecord withLongName = given;
    // A caller's record whose 12 units hold no terminating zero.
    for (int i = 0; i < kPlugNameUnits; ++i) {
        withLongName[size_t(4 + 2 * i)] = uint8_t('A' + i);
        withLongName[size_t(5 + 2 * i)] = 0;
    }
    withLongName[1] = 0x77; // not taken from the caller
    r.home.SetPlugRecord(5, withLongName);
    const PlugRecord stored = r.home.GetPlugRecord(5);
    EXPECT_EQ(stored[0], kPlugSwitch);
    EXPECT_EQ((Bytes{stored[1], stored[2], stored[3]}), (Bytes{0xB1, 0xB2, 0xB3}));
    EXPECT_EQ(PlugName(stored), u"ABCDEFGHIJK");
    EXPECT_EQ(stored[26], 0);
    EXPECT_EQ(stored[27], 0);
    Bytes expected{0x13, 0x00, 0x8C, 0x1C};
    expected.insert(expected.end(), stored.begin(), stored.end());
    EXPECT_EQ(r.transport.sent, std::vector<Bytes>{expected});
    EXPECT_TRUE(r.transport.waits[0]);
}

TEST(PlugRecordName, CutsToElevenUnitsWithoutSplittingAPair) {
    struct Case {
        const char* name;
        std::u16string in;
        std::u16string out;
    } cases[] = {
        {"short", u"开关1", u"开关1"},
        {"exactly 12 keeps 11", u"ABCDEFGHIJKL", u"ABCDEFGHIJK"},
        {"a pair across the cut is dropped whole", u"ABCDEFGHIJ\U0001F600", u"ABCDEFGHIJ"},
        {"a pair before the cut stays", u"ABCDEFGHI\U0001F600Z", u"ABCDEFGHI\U0001F600"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PlugName(MakePlugRecord(1, c.in)), c.out);
    }
    EXPECT_EQ(Utf16ToUtf8(u"调压1\U0001F600"), "调压1\U0001F600");
    EXPECT_EQ(Utf8ToUtf16("调压1\U0001F600"), u"调压1\U0001F600");
    EXPECT_EQ(Utf8ToUtf16("a\xE8\xB0"), u"a\uFFFD\uFFFD"); // cut-off sequence
}

TEST(HomeControlMemory, ClearScenesWritesSixEmptyBlocks) {
    Rig r;
    SceneRecord s{};
    s[0] = 2;
    s[1] = 99;
    r.home.SetScene(3, s);
    r.home.ClearScenes();
    EXPECT_EQ(r.home.GetScene(3), SceneRecord{});
    ASSERT_EQ(r.transport.sent.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        const int a = 6524 + 56 * i;
        Bytes expected{0x13, uint8_t(a >> 8), uint8_t(a), 56};
        expected.resize(60, 0);
        EXPECT_EQ(r.transport.sent[size_t(i)], expected) << i;
    }
}

TEST(HomeControlMemory, ReadAllAsksForPresentPlugsThenTheScenes) {
    Rig r(true);
    r.NodeList({0x13, 0x00, 0x01}); // nodes 1, 2, 5 and 17
    r.Clear();
    r.home.ZWAVE_ReadAll();
    std::vector<Bytes> expected = {{0x81, 0x14, 0x00, 0x38, 0x1C},
                                   {0x81, 0x14, 0x00, 0x8C, 0x1C},
                                   {0x81, 0x14, 0x01, 0xDC, 0x1C}};
    for (int s = 0; s < 6; ++s) {
        const int a = 6524 + 56 * s;
        expected.push_back({0x81, 0x14, uint8_t(a >> 8), uint8_t(a), 0x38});
    }
    EXPECT_EQ(r.transport.sent, expected);
}

TEST(HomeControlScene, SkipsEmptyAndAbsentStepsAtOnce) {
    Rig r;
    r.NodeList({0x05}); // controller and node 3
    SceneRecord s{};
    SetSceneStep(s, 0, {7, 99});  // absent
    SetSceneStep(s, 2, {254, 1}); // HDMI, after an empty pair
    SetSceneStep(s, 27, {9, 0});  // absent, last pair
    r.home.SetScene(2, s);
    r.Clear();
    const auto start = std::chrono::steady_clock::now();
    r.home.ZWAVE_LoadMode(2);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms); // 3 × 20 ms pauses
    EXPECT_TRUE(r.transport.sent.empty());
}

TEST(HomeControlScene, UnansweredStepsAreGivenUpWhenTheLinkIsDown) {
    Rig r;
    r.NodeList({0x0D}); // nodes 1, 3, 4
    SceneRecord s{};
    SetSceneStep(s, 0, {3, 50});
    SetSceneStep(s, 1, {4, 0});
    r.home.SetScene(0, s);
    r.Clear();
    r.link.connected = false;
    const auto start = std::chrono::steady_clock::now();
    r.home.ZWAVE_LoadMode(0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    ASSERT_EQ(r.transport.sent.size(), 2u); // the run went on with the next step
    EXPECT_EQ(r.transport.sent[1], UsbEnvelope({0x13, 4, 3, 0x20, 0x01, 0, 0x25, 0x43}));
}

TEST(HomeControlScene, EachStepWaitsForItsAnswer) {
    Rig r;
    r.NodeList({0x0D});
    SceneRecord s{};
    SetSceneStep(s, 0, {3, 50});
    SetSceneStep(s, 1, {4, 0});
    r.home.SetScene(1, s);
    r.Clear();
    std::thread run([&] { r.home.ZWAVE_LoadMode(1); });
    // The second request may only go out after the first one's callback.
    ASSERT_TRUE(Eventually([&] { return r.transport.Count() == 1; }));
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(r.transport.Count(), 1u);
    Bytes cb = ModulePayload(Frame({0x13, 0x43, 0}), true);
    r.home.ProcessZwaveMsg(cb.data(), cb.size()); // sends an ACK: counts as a payload
    ASSERT_TRUE(Eventually([&] { return r.transport.Count() == 3; }));
    r.home.ProcessZwaveMsg(cb.data(), cb.size());
    run.join();
    EXPECT_EQ(r.transport.sent[2], UsbEnvelope({0x13, 4, 3, 0x20, 0x01, 0, 0x25, 0x43}));
}

TEST(HomeControlJobs, ReadJobWithoutAnAnswerClearsSyncedAndPosts) {
    Rig r;
    r.link.connected = false; // nothing can answer; the job must not hang on it
    r.NodeList({});           // a stale empty list
    r.home.SynchronizeReadZWAVEThreadProc();
    EXPECT_FALSE(r.home.Synced());
    EXPECT_EQ(r.sink.EventsOf(kEvZWaveProgress),
              (std::vector<RecordingSink::Event>{{kEvZWaveProgress, 8, 0, false}}));
    EXPECT_TRUE(r.link.queueEnabled);
}

} // namespace
