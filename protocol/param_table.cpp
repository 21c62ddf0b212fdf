#include "protocol/param_table.h"

#include <bit>

namespace fenno {
namespace {

constexpr uint32_t F(float f) { return std::bit_cast<uint32_t>(f); }

// Raw factory records, as the device ships them.
constexpr std::array<uint32_t, 7> kMusicCompressorWords{
    F(0.0f), F(0.0f), F(0.9375f), F(10.0f), F(0.25f), F(0.000347162f), F(0.0000347216f)};
constexpr std::array<uint32_t, 7> kChannelCompressorWords{
    F(0.0f), F(0.0f), F(0.966667f), F(20.0f), F(0.05f), F(0.0206178f), F(0.000208318f)};
constexpr std::array<uint32_t, 7> kDelayModeWords{F(1.0f), F(0.0f)};
// 0.996081 and -1.99606 are given by their exact bit patterns.
constexpr std::array<uint32_t, 7> kDistanceFilterWords{F(1.0f),    F(1.0f), 0x3F7EFF25u,
                                                       0xBFFF7EF1u, F(1.0f), F(1.0f)};
constexpr std::array<uint32_t, 7> kFbcRateWords{F(0.000654498f)};
constexpr std::array<uint32_t, 7> kPitchWords{5u};

struct Builder {
    std::array<ParamEntry, kParamRowCount> rows{};
    int n = 0;
    int offset = kParamSectionOffset;

    constexpr void Add(int module, int index, ValueKind kind, double factory,
                       const std::array<uint32_t, 7>& words = {}, int count = 1) {
        ParamEntry e{};
        e.module = uint8_t(module);
        e.index = uint8_t(index);
        e.kind = kind;
        e.count = uint8_t(count);
        e.recordOffset = int16_t(offset);
        e.hasImageSlot = !(module == 4 && index == 16);
        e.factory = factory;
        e.factoryWords = words;
        rows[n++] = e;
        offset += 3 + 4 * count;
    }
    constexpr void H(int m, int i, int v) { Add(m, i, ValueKind::Hundredths, v); }
    constexpr void B(int m, int i, int v) { Add(m, i, ValueKind::Byte, v); }
    constexpr void T(int m, int i, int v) { Add(m, i, ValueKind::TenThousandths, v); }
    constexpr void M(int m, int i, double v) { Add(m, i, ValueKind::Milliseconds, v); }
    constexpr void Fl(int m, int i, double v) { Add(m, i, ValueKind::Float, v); }
    constexpr void R(int m, int i, const std::array<uint32_t, 7>& w, int count) {
        Add(m, i, ValueKind::Raw, 0, w, count);
    }
};

constexpr Builder BuildTable() {
    Builder b;
    // Module 1: microphone and music mixer, microphone FBC.
    for (int i = 4; i <= 7; ++i) b.H(1, i, 100);
    for (int i = 8; i <= 11; ++i) b.T(1, i, 20);
    b.B(1, 12, 0);
    b.H(1, 13, 0);
    b.H(1, 14, 50);
    b.H(1, 15, 100);
    b.H(1, 16, 50);
    b.H(1, 17, 100);
    b.B(1, 33, 0);
    for (int i = 34; i <= 37; ++i) b.H(1, i, 100);
    b.R(1, 38, kFbcRateWords, 1);
    b.M(1, 39, 25);
    b.B(1, 40, 0);
    b.B(1, 56, 0);
    for (int i = 57; i <= 60; ++i) b.H(1, i, 0);
    b.R(1, 61, kFbcRateWords, 1);
    b.M(1, 62, 25);
    b.B(1, 63, 0);
    // Module 2: echo A (7..16) and echo B (24..33).
    for (int base : {7, 24}) {
        b.B(2, base, 0);
        b.H(2, base + 1, 64);
        b.M(2, base + 2, 2);
        b.M(2, base + 3, 2);
        b.H(2, base + 4, 0);
        b.H(2, base + 5, 0);
        b.M(2, base + 6, 242);
        b.H(2, base + 7, 48);
        b.M(2, base + 8, 242);
        b.H(2, base + 9, 48);
    }
    b.H(2, 34, 64);
    b.H(2, 35, 100);
    // Module 3: reverb A (7..11) and reverb B (19..23).
    for (int base : {7, 19}) {
        b.B(3, base, 0);
        b.H(3, base + 1, 32);
        b.M(3, base + 2, 36);
        b.H(3, base + 3, 56);
        b.H(3, base + 4, 56);
    }
    b.H(3, 24, 50);
    b.H(3, 25, 100);
    // Module 4: music input, sources, music compressor.
    b.B(4, 11, 0);
    b.H(4, 12, 16);
    b.H(4, 13, 100);
    b.R(4, 14, kMusicCompressorWords, 7);
    b.B(4, 15, 1);
    b.R(4, 16, kPitchWords, 1);
    b.T(4, 17, 0);
    b.B(4, 18, 11);
    for (int i = 19; i <= 32; ++i) b.H(4, i, 100);
    b.M(4, 34, 0);
    b.H(4, 35, 0);
    // Modules 5..12: the eight output channels, identical rows.
    for (int ch = 0; ch < 8; ++ch) {
        int m = ch + 5;
        b.B(m, 15, 0);
        b.B(m, 16, ch);
        b.R(m, 17, kDelayModeWords, 2);
        b.M(m, 18, 2);
        b.B(m, 19, 1);
        for (int i = 20; i <= 26; ++i) b.H(m, i, 100);
        b.R(m, 27, kChannelCompressorWords, 7);
        b.B(m, 28, 1);
        b.R(m, 29, kDistanceFilterWords, 6);
        b.B(m, 38, 1);
    }
    // Module 13: record channel.
    for (int i = 0; i <= 3; ++i) b.H(13, i, 100);
    b.R(13, 4, kChannelCompressorWords, 7);
    b.B(13, 5, 1);
    b.H(13, 6, 100);
    // Module 14: loudness and automatic gain.
    b.Fl(14, 0, 150);
    b.Fl(14, 1, 3);
    b.Fl(14, 2, 1200);
    b.Fl(14, 3, 2);
    b.Fl(14, 4, 3200);
    b.Fl(14, 5, 2);
    b.H(14, 6, 48);
    b.H(14, 7, 64);
    b.H(14, 8, 56);
    b.H(14, 9, 100);
    b.B(14, 10, 1);
    b.B(14, 11, 1);
    return b;
}

constexpr Builder kBuilt = BuildTable();
static_assert(kBuilt.n == kParamRowCount, "the parameter table has 235 rows");
static_assert(kBuilt.offset == kDeviceImageSize, "the records end exactly at the image end");

} // namespace

const std::array<ParamEntry, kParamRowCount>& ParamTable() { return kBuilt.rows; }

const ParamEntry* FindParam(int module, int index) {
    for (const ParamEntry& e : kBuilt.rows)
        if (e.module == module && e.index == index) return &e;
    return nullptr;
}

int ParamRowOf(const ParamEntry* entry) { return int(entry - kBuilt.rows.data()); }

} // namespace fenno
