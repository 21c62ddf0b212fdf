#include <gtest/gtest.h>

#include <cmath>

#include "protocol/bytes.h"
#include "protocol/param_store.h"

using namespace fenno;

namespace {

// Walks the parameter section the way a reader of a foreign image would: by the count bytes.
TEST(FactoryImage, ParsesAsTheTableRecordsEndingAtTheImageEnd) {
    ParamStore s;
    const auto& table = ParamTable();
    int off = kParamSectionOffset;
    int rows = 0;
    while (off < kDeviceImageSize) {
        ASSERT_LT(rows, kParamRowCount);
        EXPECT_EQ(s.image[off], table[rows].module) << "row " << rows;
        EXPECT_EQ(s.image[off + 1], table[rows].index) << "row " << rows;
        int n = s.image[off + 2];
        ASSERT_GE(n, 1);
        ASSERT_LE(n, 7);
        off += 3 + 4 * n;
        ++rows;
    }
    EXPECT_EQ(rows, kParamRowCount);
    EXPECT_EQ(off, kDeviceImageSize);
}

TEST(FactoryImage, ParamKeysAreUnique) {
    for (const ParamEntry& e : ParamTable())
        EXPECT_EQ(FindParam(e.module, e.index), &e) << int(e.module) << "/" << int(e.index);
    EXPECT_EQ(FindParam(4, 33), nullptr); // mirrored in the EQ section, no row of its own
    EXPECT_FALSE(FindParam(4, 16)->hasImageSlot);
}

TEST(FactoryImage, EqSectionContent) {
    ParamStore s;
    struct Case {
        int block, band, gainField, freq, qField, type;
    } cases[] = {
        {0, 8, 150, 998, 1414, 1},   // 998 Hz, not 1000
        {1, 14, 150, 16000, 1414, 1},
        {2, 0, 150, 61, 1414, 1},
        {5, 6, 60, 4464, 707, 5},    // -9 dB high shelf closes the effect EQs
        {6, 9, 150, 16000, 1414, 1},
        {7, 12, 150, 16000, 1414, 1},
        {11, 9, 150, 100, 707, 18},  // CH5 ships with a crossover group
        {11, 10, 150, 100, 707, 20},
        {11, 12, 150, 100, 707, 1},
        {14, 13, 150, 500, 707, 1},  // delay split filters
        {14, 14, 150, 1000, 707, 1},
        {16, 0, 150, 62, 1414, 1},
        {23, 7, 150, 8000, 1414, 1},
    };
    for (const Case& c : cases) {
        const uint8_t* p = &s.image[EqRecordOffset(c.block, c.band)];
        EXPECT_EQ(LoadBe16(p), c.gainField) << c.block << "/" << c.band;
        EXPECT_EQ(LoadBe16(p + 2), c.freq) << c.block << "/" << c.band;
        EXPECT_EQ(LoadBe16(p + 4), c.qField) << c.block << "/" << c.band;
        EXPECT_EQ(p[6], c.type) << c.block << "/" << c.band;
    }
    const uint8_t unassigned[7] = {0x00, 0x96, 0x00, 0x64, 0x02, 0xC3, 0x02};
    EXPECT_TRUE(std::equal(unassigned, unassigned + 7, &s.image[476]));
    EXPECT_EQ(s.image[kSurroundConfigOffset], 8);
    for (int i = kSurroundLevelOffset; i < kSurroundLayoutOffset; ++i) EXPECT_EQ(s.image[i], 0);
    EXPECT_TRUE(std::equal(kFactorySurroundLayout.begin(), kFactorySurroundLayout.end(),
                           &s.image[kSurroundLayoutOffset]));
}

TEST(FactoryImage, ValueEncodings) {
    ParamStore s;
    struct Case {
        int module, index, word;
        uint32_t bits;
    } cases[] = {
        {1, 4, 0, 0x3F800000},  // Hundredths 100 as the plain float 1.0 (no bias in the factory)
        {1, 13, 0, 0x00000000},
        {1, 8, 0, FloatBits(0.002f)},  // TenThousandths 20
        {1, 39, 0, 1200},              // 25 ms
        {2, 13, 0, 11616},             // 242 ms
        {4, 18, 0, 11},
        {4, 16, 0, 5},                 // pitch 0 stored as 5
        {5, 29, 2, 0x3F7EFF25},
        {12, 29, 3, 0xBFFF7EF1},
        {7, 16, 0, 2},                 // CH3's channel number
        {14, 2, 0, FloatBits(1200.0f)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(s.Word(*FindParam(c.module, c.index), c.word), c.bits) << c.module << "/" << c.index;
}

TEST(FactoryImage, DerivedValues) {
    ParamStore s;
    EXPECT_NEAR(s.compressor[0].attackMs, 1.0, 1e-3);
    EXPECT_NEAR(s.compressor[0].releaseMs, 100.0, 0.05);
    EXPECT_NEAR(s.compressor[8].ratio, 30.0, 1e-3);
    EXPECT_NEAR(s.musicCompressor.ratio, 16.0, 1e-4);
    EXPECT_EQ(s.fbcRate[0], 5);
    EXPECT_EQ(s.fbcRate[1], 5);
    EXPECT_EQ(s.musicPitch, 0);
    for (int ch = 0; ch < 8; ++ch) EXPECT_EQ(s.delayMode[ch], 1) << ch;
    EXPECT_EQ(s.surround.width, 4);
    EXPECT_FLOAT_EQ(s.surround.pos[1][0], -1.0f);
    EXPECT_FLOAT_EQ(s.surround.pos[7][0], -0.5f);
    EXPECT_FLOAT_EQ(s.surround.pos[8][0], 0.5f);
    EXPECT_FLOAT_EQ(s.surround.pos[8][1], 0.0f);
    EXPECT_EQ(s.Host(1, 4), 100);
    EXPECT_EQ(s.Host(2, 8), 64);
    EXPECT_DOUBLE_EQ(s.Host(1, 39), 25.0);
    EXPECT_EQ(s.Host(9, 16), 4);
    EXPECT_EQ(s.Host(4, 16), 0); // Raw: no host slot
}

TEST(ApplyDeviceImage, EchoOffsetsAreSignedBytesAndEqImageFollows) {
    ParamStore s;
    s.image[FindParam(2, 12)->ValueOffset() + 3] = 0xEC; // -20 %
    s.image[FindParam(2, 28)->ValueOffset() + 3] = 50;
    s.image[100] = 0x42;
    s.eq[1830] = 0x77; // reserved tail of the EqImage is the PC's own
    s.ApplyDeviceImage();
    EXPECT_EQ(s.Host(2, 12), -20);
    EXPECT_EQ(s.Host(2, 28), 50);
    EXPECT_EQ(s.eq[100], 0x42);
    EXPECT_EQ(s.eq[1830], 0x77);
}

TEST(ApplyDeviceImage, FbcRateFlagAndDelayMode) {
    ParamStore s;
    s.SetWord(*FindParam(1, 63), 0, 1);
    s.SetWord(*FindParam(1, 38), 0, FloatBits(float(2 * M_PI * 12 / 48000)));
    s.SetWord(*FindParam(6, 17), 1, FloatBits(1.0f));
    s.ApplyDeviceImage();
    EXPECT_EQ(s.fbcRate[0], 12);
    EXPECT_EQ(s.fbcRate[1], 1);
    EXPECT_EQ(s.delayMode[1], 0);
    EXPECT_EQ(s.delayMode[0], 1);
}

struct KindCase {
    ValueKind kind;
    double host;
    uint32_t bits;
    double back;
};

class ValueKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(ValueKindTest, RoundTrip) {
    const KindCase& c = GetParam();
    EXPECT_EQ(HostToDevice(c.kind, c.host), c.bits);
    EXPECT_DOUBLE_EQ(DeviceToHost(c.kind, c.bits), c.back);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ValueKindTest,
    ::testing::Values(
        KindCase{ValueKind::Hundredths, 100, 0x3F800001, 100}, // bias lifts 1.0 by one step
        KindCase{ValueKind::Hundredths, 64, 0x3F23D70C, 64},
        KindCase{ValueKind::Hundredths, 0, 0x00000000, 0},     // zero stays zero, not 1e-7
        KindCase{ValueKind::Hundredths, 40, FloatBits(float(double(0.4f) + 1e-7)), 40},
        KindCase{ValueKind::Milliseconds, 25.0, 1200, 25.0},
        KindCase{ValueKind::Milliseconds, 2.0, 96, 2.0},
        KindCase{ValueKind::Milliseconds, 1.35, 65, double(float(65 * 1000.0 / 48000))},
        KindCase{ValueKind::Byte, 300, 44, 44},
        KindCase{ValueKind::TenThousandths, 20, FloatBits(0.002f), 20},
        KindCase{ValueKind::Float, 3200, FloatBits(3200.0f), 3200}));

TEST(EqRecordCodec, Bytes) {
    struct Case {
        float gain;
        int freq;
        float q;
        uint8_t type;
        EqRecordBytes bytes;
    } cases[] = {
        {0.0f, 500, 0.707f, 3, {0x00, 0x96, 0x01, 0xF4, 0x02, 0xC3, 0x03}},
        {-3.0f, 1000, 1.41f, 1, {0x00, 0x78, 0x03, 0xE8, 0x05, 0x82, 0x01}}, // Q 1.41 → 1410
        {15.0f, 20000, 30.0f, 1, {0x01, 0x2C, 0x4E, 0x20, 0x75, 0x30, 0x01}},
        {-15.0f, 20, 0.1f, 5, {0x00, 0x00, 0x00, 0x14, 0x00, 0x64, 0x05}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeEqRecord(c.gain, c.freq, c.q, c.type), c.bytes) << c.gain << " " << c.freq;
        EqRecord r = DecodeEqRecord(c.bytes.data());
        EXPECT_FLOAT_EQ(r.gainDb, c.gain);
        EXPECT_EQ(r.freqHz, c.freq);
        EXPECT_EQ(r.type, c.type);
    }
}

TEST(EqRecordCodec, Offsets) {
    EXPECT_EQ(EqRecordOffset(7, 13), 574);
    EXPECT_EQ(EqRecordOffset(16, 0), 1323);
    EXPECT_EQ(EqRecordOffset(23, 7), 1764);
    EXPECT_EQ(EqRecordOffset(23, 7) + 7, kEqSectionSize);
    EXPECT_EQ(EqRecordOffset(15, 0), -1);
    EXPECT_EQ(EqRecordOffset(30, 2), 14);
}

TEST(EqRecordCodec, RecordEqStaysOnThePc) {
    ParamStore s;
    auto before = s.eq;
    s.StoreEqRecord(15, 0, EncodeEqRecord(6.0f, 123, 2.0f, 1));
    EXPECT_EQ(s.eq, before); // CH1 advanced EQ band 0 at 1323 in particular
    EXPECT_EQ(s.ReadEqBand(15, 0).freqHz, 123);
    EXPECT_EQ(s.ReadEqBand(15, 4).freqHz, 800);
}

TEST(SurroundLayoutCodec, SignMagnitudeTenths) {
    SurroundLayout l;
    l.width = 5;
    l.length = 7;
    l.pos[0] = {0.5f, -1.0f};
    l.pos[1] = {0.0f, 1.04f};
    auto r = EncodeSurroundLayout(l);
    EXPECT_EQ(r[0], 5);
    EXPECT_EQ(r[1], 7);
    EXPECT_EQ(r[2], 0x05);
    EXPECT_EQ(r[3], 0x8A);
    EXPECT_EQ(r[4], 0x80); // 0.0 carries the sign bit
    EXPECT_EQ(r[5], 0x0A);
    SurroundLayout back = DecodeSurroundLayout(r.data());
    EXPECT_FLOAT_EQ(back.pos[0][1], -1.0f);
    EXPECT_EQ(EncodeSurroundLayout(DecodeSurroundLayout(kFactorySurroundLayout.data()))[16], 0x85);
}

} // namespace
