#include <gtest/gtest.h>

#include <cmath>

#include "eq/biquad.h"
#include "eq/eq_block.h"
#include "protocol/bytes.h"
#include "protocol/commands.h"
#include "recording_transport.h"

using namespace fenno;
using fenno::test::RecordingTransport;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Be(float f) {
    Bytes b(4);
    StoreBeFloat(b.data(), f);
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct Fixture : ::testing::Test {
    ParamStore store;
    DeviceState state;
    RecordingTransport usb{false};
    Commands cmd{store, state};
    void SetUp() override { cmd.SetTransport(&usb); }
};

using CommandsTest = Fixture;

struct GoldenCase {
    const char* name;
    std::function<void(Commands&)> call;
    std::vector<Bytes> payloads;
};

TEST_F(CommandsTest, GoldenPayloads) {
    const std::vector<GoldenCase> cases = {
        {"hundredths 100 carries the bias", [](Commands& c) { c.SetParam(1, 4, 100); },
         {{0x09, 0x00, 0x01, 0x04, 0x01, 0x3F, 0x80, 0x00, 0x01}}},
        {"hundredths 0 is a true zero", [](Commands& c) { c.SetParam(1, 13, 0); },
         {{0x09, 0x00, 0x01, 0x0D, 0x01, 0x00, 0x00, 0x00, 0x00}}},
        {"milliseconds as samples", [](Commands& c) { c.SetParam(5, 18, 2.0); },
         {{0x09, 0x00, 0x05, 0x12, 0x01, 0x00, 0x00, 0x00, 0x60}}},
        {"raw rows have no scalar setter", [](Commands& c) { c.SetParam(4, 16, 3); }, {}},
        {"unknown rows change nothing", [](Commands& c) { c.SetParam(4, 33, 3); }, {}},
        {"byte kind", [](Commands& c) { c.SetParam(4, 18, 5); },
         {{0x09, 0x00, 0x04, 0x12, 0x01, 0x00, 0x00, 0x00, 0x05}}},
        {"eq record", [](Commands& c) { c.WriteEqRecord(7, 13, 0.0f, 500, 0.707f, 3); },
         {{0x85, 0x02, 0x3E, 0x07, 0x00, 0x96, 0x01, 0xF4, 0x02, 0xC3, 0x03}}},
        {"store mode clamps", [](Commands& c) { c.SaveDeviceMode(7); }, {{0x04, 0x03}}},
        {"surround config", [](Commands& c) { c.SetSurroundConfig(6); },
         {{0x85, 0x07, 0x23, 0x01, 0x06}, {0x09, 0x00, 0x04, 0x21, 0x01, 0x00, 0x00, 0x00, 0x06}}},
        {"fbc off", [](Commands& c) { c.SetMicFbc(1, 1); },
         {{0x09, 0x00, 0x01, 0x3F, 0x01, 0x00, 0x00, 0x00, 0x01}}},
        {"fbc 5 Hz", [](Commands& c) { c.SetMicFbc(0, 5); },
         {{0x09, 0x00, 0x01, 0x28, 0x01, 0x00, 0x00, 0x00, 0x00},
          Cat({{0x09, 0x00, 0x01, 0x26, 0x01}, Be(float(2 * M_PI * 5 / 48000))}),
          {0x09, 0x00, 0x01, 0x27, 0x01, 0x00, 0x00, 0x04, 0xB0}}}, // 50 ms - 25 ms
        {"short command", [](Commands& c) { c.SendCommand({0x68, 0xAA}); }, {{0x68, 0xAA}}},
        {"memory read has no data", [](Commands& c) { c.SendMemCommand(0x30, 0x0F, 0x18, 48, nullptr); },
         {{0x30, 0x0F, 0x18, 0x30}}},
    };
    for (const GoldenCase& c : cases) {
        usb.sent.clear();
        c.call(cmd);
        EXPECT_EQ(usb.sent, c.payloads) << c.name;
    }
}

TEST_F(CommandsTest, TcpPayloadsCarryTheCommandPrefix) {
    RecordingTransport tcp{true};
    cmd.SetTransport(&tcp);
    cmd.SetParam(1, 4, 100);
    ASSERT_EQ(tcp.sent.size(), 1u);
    EXPECT_EQ(tcp.sent[0], (Bytes{0x81, 0x09, 0x00, 0x01, 0x04, 0x01, 0x3F, 0x80, 0x00, 0x01}));
    EXPECT_TRUE(tcp.waits[0]);
}

TEST_F(CommandsTest, SetterOrderIsHostThenStoreThenCommand) {
    const ParamEntry* row = FindParam(1, 14);
    bool checked = false;
    usb.onSend = [&] {
        EXPECT_EQ(store.Host(1, 14), 40);
        EXPECT_EQ(store.Word(*row), HostToDevice(ValueKind::Hundredths, 40));
        checked = true;
    };
    cmd.SetParam(1, 14, 40);
    EXPECT_TRUE(checked);
}

TEST_F(CommandsTest, WithoutALinkTheStoresStillChange) {
    cmd.SetTransport(nullptr);
    cmd.SetParam(1, 15, 30);
    cmd.WriteEqRecord(0, 0, 3.0f, 100, 2.0f, 1);
    EXPECT_EQ(store.Host(1, 15), 30);
    EXPECT_EQ(store.ReadEqBand(0, 0).freqHz, 100);
}

TEST_F(CommandsTest, SetEqBandSendsCoefficientsThenRecord) {
    cmd.SetEqBand(1, 3, 1, 1000, 6.0f, 1.41f);
    ASSERT_EQ(usb.sent.size(), 2u);
    BiquadCoeffs bq = ComputeBiquad(1, 1000, 6.0, double(1.41f), 0.0, 48000);
    Bytes expect = Cat({{0x09, 0x00, 0x01, 41 + 3, 0x05}, Be(float(-bq.a1)), Be(float(-bq.a2)),
                        Be(float(bq.b0)), Be(float(bq.b1)), Be(float(bq.b2))});
    EXPECT_EQ(usb.sent[0], expect);
    int off = EqRecordOffset(1, 3);
    EXPECT_EQ(usb.sent[1][0], 0x85);
    EXPECT_EQ((usb.sent[1][1] << 8) | usb.sent[1][2], off);
    EXPECT_EQ(store.ReadEqBand(1, 3).gainDb, 6.0f);
}

TEST_F(CommandsTest, RecordEqNeverTouchesTheImage) {
    auto before = store.eq;
    cmd.SetEqBand(15, 0, 1, 300, 3.0f, 1.0f);
    ASSERT_EQ(usb.sent.size(), 1u); // coefficients only: the device image has no record for it
    EXPECT_EQ(usb.sent[0][2], 13);
    EXPECT_EQ(usb.sent[0][3], 0);
    EXPECT_EQ(store.eq, before);
    EXPECT_EQ(store.ReadEqBand(15, 0).freqHz, 300);
}

TEST_F(CommandsTest, CopyEqBlockCounts) {
    struct Case {
        int src, dst, copied;
    } cases[] = {{7, 9, 13}, {7, 2, 7}, {0, 7, 9}, {6, 16, 8}, {15, 0, 5}, {16, 15, 5}};
    for (const Case& c : cases) {
        ParamStore fresh;
        store = fresh;
        for (int b = 0; b < BandCount(c.src); ++b)
            store.StoreEqRecord(c.src, b, EncodeEqRecord(1.0f, 10000 + b, 2.5f, 1));
        ASSERT_EQ(cmd.CopyEqBlock(c.src, c.dst), 1);
        int copied = 0;
        for (int b = 0; b < BandCount(c.dst); ++b)
            copied += store.ReadEqBand(c.dst, b).freqHz == 10000 + b;
        EXPECT_EQ(copied, c.copied) << c.src << "->" << c.dst;
    }
    usb.sent.clear();
    EXPECT_EQ(cmd.CopyEqBlock(-1, 3), 0);
    EXPECT_EQ(cmd.CopyEqBlock(3, 24), 0);
    EXPECT_TRUE(usb.sent.empty());
}

TEST_F(CommandsTest, ResetBlocksTouchOnlyTheirBands) {
    cmd.ResetEqBlock(8);
    EXPECT_EQ(usb.sent.size(), 26u); // 13 bands × (coefficients + record)
    EXPECT_EQ(store.ReadEqBand(8, 8).freqHz, 8000);
    EXPECT_EQ(store.ReadEqBand(8, 13).freqHz, 500); // split filter kept
    cmd.ResetEqBlock(0);
    EXPECT_EQ(store.ReadEqBand(0, 8).freqHz, 1000); // not the factory 998
    cmd.ResetSubEqBlock(9);
    EXPECT_EQ(store.ReadEqBand(9, 9).type, 18);
    EXPECT_EQ(store.ReadEqBand(9, 10).type, 20);
    EXPECT_EQ(store.ReadEqBand(9, 2).freqHz, 250);
}

TEST_F(CommandsTest, CompressorRoundTripsThroughTheImage) {
    cmd.SetChannelCompressor(3, -12.0f, 4.0f, 5.0f, 250.0f);
    cmd.SetChannelCompressor(8, -6.0f, 2.0f, 1.0f, 100.0f);
    ASSERT_EQ(usb.sent.size(), 2u);
    EXPECT_EQ(usb.sent[0].size(), 5u + 28u);
    EXPECT_EQ(usb.sent[0][2], 8);  // CH4 is module 8
    EXPECT_EQ(usb.sent[0][3], 27);
    EXPECT_EQ(usb.sent[1][2], 13); // record channel
    EXPECT_EQ(usb.sent[1][3], 4);
    EXPECT_EQ(LoadBeFloat(&usb.sent[0][5 + 12]), 20.0f);
    EXPECT_EQ(LoadBeFloat(&usb.sent[0][5 + 16]), 0.05f);
    store.ApplyDeviceImage();
    EXPECT_FLOAT_EQ(store.compressor[3].threshold, -12.0f);
    EXPECT_NEAR(store.compressor[3].ratio, 4.0, 1e-4);
    EXPECT_NEAR(store.compressor[3].attackMs, 5.0, 1e-3);
    EXPECT_NEAR(store.compressor[3].releaseMs, 250.0, 0.1);
    EXPECT_NEAR(store.compressor[8].ratio, 2.0, 1e-5);
}

TEST_F(CommandsTest, DelayModeSetsWordsAndSplitFilters) {
    store.StoreEqRecord(9, 13, EncodeEqRecord(0, 800, 0.707f, 1)); // split row 3
    cmd.SetDelayMode(2, 0);
    ASSERT_EQ(usb.sent.size(), 5u);
    EXPECT_EQ(usb.sent[0], Cat({{0x09, 0x00, 0x07, 0x11, 0x02}, Be(1.0f), Be(1.0f)}));
    EXPECT_EQ(store.ReadEqBand(9, 13).type, 3);
    EXPECT_EQ(store.ReadEqBand(9, 13).freqHz, 800);
    EXPECT_EQ(store.ReadEqBand(9, 14).type, 2);
    EXPECT_EQ(store.ReadEqBand(9, 14).freqHz, 1300);
    cmd.SetDelayMode(2, 1);
    EXPECT_EQ(store.ReadEqBand(9, 14).type, 1);
    store.StoreEqRecord(9, 13, EncodeEqRecord(0, 555, 0.707f, 1)); // no row: falls back to row 0
    EXPECT_EQ(cmd.FindDelaySplitRow(2), 0);
}

TEST_F(CommandsTest, EchoRightDelays) {
    auto samplesSentTo = [&](int index) {
        for (const Bytes& p : usb.sent)
            if (p[2] == 2 && p[3] == index) return LoadBe32(&p[5]);
        return 0xFFFFFFFFu;
    };
    cmd.SetParam(2, 13, 100.0);
    usb.sent.clear();
    cmd.SetEchoRightPredelay(0, 1);
    EXPECT_EQ(samplesSentTo(11), 1u);
    EXPECT_EQ(samplesSentTo(10), 65u); // 1 ms is raised to 1.35 ms
    cmd.SetParam(2, 13, 242.9);
    usb.sent.clear();
    cmd.SetEchoRightPredelay(0, 50);
    EXPECT_EQ(samplesSentTo(10), 121u * 48u); // 242 ms counts, not 242.9
    cmd.SetParam(2, 30, 200.0);
    usb.sent.clear();
    cmd.SetEchoRightDelay(1, -80);
    EXPECT_EQ(store.Host(2, 29), -50);
    EXPECT_EQ(samplesSentTo(29), 0xCEu); // -50 as a signed byte
    EXPECT_EQ(samplesSentTo(32), 100u * 48u);
}

TEST_F(CommandsTest, SurroundLayoutAndReset) {
    store.surround.pos[0] = {0.5f, -1.0f};
    store.surround.pos[1] = {0.0f, 0.0f};
    cmd.SendSurroundLayout();
    ASSERT_EQ(usb.sent.size(), 1u);
    const Bytes& p = usb.sent[0];
    EXPECT_EQ(Bytes(p.begin(), p.begin() + 4), (Bytes{0x85, 0x07, 0x0B, 0x14}));
    EXPECT_EQ(p[4 + 2], 0x05);
    EXPECT_EQ(p[4 + 3], 0x8A);
    EXPECT_EQ(p[4 + 4], 0x80);

    usb.sent.clear();
    cmd.ResetSurround();
    ASSERT_EQ(usb.sent.size(), 17u);
    EXPECT_EQ(Bytes(usb.sent[0].begin(), usb.sent[0].begin() + 4), (Bytes{0x85, 0x06, 0xEB, 0x20}));
    EXPECT_EQ(usb.sent[1], Cat({{0x09, 0x00, 0x05, 0x1D, 0x06}, Be(1.0f), Be(1.0f),
                                {0x3F, 0x7E, 0xFF, 0x25, 0xBF, 0xFF, 0x7E, 0xF1}, Be(1.0f), Be(1.0f)}));
    // Re-encoded from the host fields: the factory's zero coordinates go out as 0x80 (-0.0).
    SurroundLayout sent = DecodeSurroundLayout(&usb.sent[16][4]);
    SurroundLayout factory = DecodeSurroundLayout(kFactorySurroundLayout.data());
    EXPECT_EQ(sent.pos, factory.pos);
    EXPECT_EQ(usb.sent[16][4 + 2], 0x80);
    EXPECT_EQ(usb.sent[16][4 + 16], 0x85);
}

TEST_F(CommandsTest, ModeAndMachineSettings) {
    state.settingsChanged = true;
    cmd.SaveDeviceMode(2);
    EXPECT_FALSE(state.settingsChanged);
    EXPECT_EQ(state.currentMode, 2);
    state.machineSettings[0] = 7;
    cmd.SendMachineSettings();
    EXPECT_EQ(state.machineSettingsSent[0], 7);
    EXPECT_EQ(usb.sent.back().size(), 15u);
    EXPECT_EQ(usb.sent.back()[0], 0x91);
}

TEST_F(CommandsTest, ParamArrayIsCutAtItsRecord) {
    const ParamEntry* row = FindParam(5, 17); // two words
    const ParamEntry& next = ParamTable()[ParamRowOf(row) + 1];
    auto before = std::vector<uint8_t>(store.image.begin() + next.recordOffset,
                                       store.image.begin() + next.recordOffset + 7);
    uint8_t words[12] = {0xAA, 0xAA, 0xAA, 0xAA, 0xBB, 0xBB, 0xBB, 0xBB, 0xCC, 0xCC, 0xCC, 0xCC};
    cmd.SetParamArray(5, 17, words, 3);
    EXPECT_EQ(store.Word(*row, 1), 0xBBBBBBBBu);
    EXPECT_EQ(std::vector<uint8_t>(store.image.begin() + next.recordOffset,
                                   store.image.begin() + next.recordOffset + 7),
              before);
    EXPECT_EQ(usb.sent.back().size(), 5u + 12u); // still sent as asked
}

} // namespace
