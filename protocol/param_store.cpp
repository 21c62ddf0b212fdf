#include "protocol/param_store.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "eq/eq_block.h"
#include "protocol/bytes.h"

namespace fenno {
namespace {

float DecodeTenths(uint8_t b) {
    float mag = float(b & 0x7F) / 10.0f;
    return (b & 0x80) ? -mag : mag;
}

uint8_t EncodeTenths(float v) {
    double r = v > 0 ? double(v) + 0.05 : double(v) - 0.05;
    double t = std::trunc(r * 10.0);
    uint8_t mag = uint8_t(std::min(std::fabs(t), 127.0));
    // 0.0 rounds to -0.05 and is written with the sign bit, as the device expects.
    return r < 0 ? uint8_t(mag | 0x80) : mag;
}

CompressorValues DecodeCompressor(const uint8_t* words) {
    CompressorValues c;
    c.threshold = LoadBeFloat(words);
    float w2 = LoadBeFloat(words + 8);
    float w5 = LoadBeFloat(words + 20);
    float w6 = LoadBeFloat(words + 24);
    c.ratio = float(1.0 / (1.0 - w2));
    c.attackMs = float(-1.0 / std::log(1.0 - w5) / 48.0);
    c.releaseMs = float(-1.0 / std::log(1.0 - w6) / 48.0);
    return c;
}

int FbcRate(const uint8_t* rateWord, const uint8_t* flagWord) {
    if (LoadBe32(flagWord) & 0xFF) return 1;
    double hz = std::trunc(double(LoadBeFloat(rateWord)) * 48000.0 * 0.5 / std::numbers::pi + 0.001);
    if (!(hz > -2147483648.0 && hz < 2147483647.0)) return 0;
    return int(hz);
}

constexpr std::array<uint8_t, 7> kZeroRecord{};

} // namespace

SurroundLayout DecodeSurroundLayout(const uint8_t* r) {
    SurroundLayout s;
    s.width = r[0];
    s.length = r[1];
    for (int p = 0; p < 9; ++p) {
        s.pos[p][0] = DecodeTenths(r[2 + 2 * p]);
        s.pos[p][1] = DecodeTenths(r[3 + 2 * p]);
    }
    return s;
}

std::array<uint8_t, kSurroundLayoutSize> EncodeSurroundLayout(const SurroundLayout& s) {
    std::array<uint8_t, kSurroundLayoutSize> r{};
    r[0] = uint8_t(s.width);
    r[1] = uint8_t(s.length);
    for (int p = 0; p < 9; ++p) {
        r[2 + 2 * p] = EncodeTenths(s.pos[p][0]);
        r[3 + 2 * p] = EncodeTenths(s.pos[p][1]);
    }
    return r;
}

ParamStore::ParamStore() {
    for (int b = 0; b < 5; ++b)
        recordEq[b] = EncodeEqRecord(0.0f, kRecordDefaultFreqs[b], 1.41f, 1);
    LoadFactoryImage();
    ApplyDeviceImage();
}

double ParamStore::Host(int module, int index) const {
    const ParamEntry* e = FindParam(module, index);
    return e ? host[ParamRowOf(e)] : 0.0;
}

uint32_t ParamStore::Word(const ParamEntry& row, int word) const {
    return LoadBe32(&image[row.ValueOffset() + 4 * word]);
}

void ParamStore::SetWord(const ParamEntry& row, int word, uint32_t value) {
    StoreBe32(&image[row.ValueOffset() + 4 * word], value);
}

const uint8_t* ParamStore::EqRecordAt(int block, int band) const {
    if (block == kRecordEqBlock) return band >= 0 && band < 5 ? recordEq[band].data() : kZeroRecord.data();
    int off = EqRecordOffset(block, band);
    if (off < 0 || off + kEqRecordSize > kEqSectionSize) return kZeroRecord.data();
    return &eq[off];
}

void ParamStore::StoreEqRecord(int block, int band, const EqRecordBytes& bytes) {
    if (block == kRecordEqBlock) {
        if (band >= 0 && band < 5) recordEq[band] = bytes;
        return;
    }
    int off = EqRecordOffset(block, band);
    if (off < 0 || off + kEqRecordSize > kEqSectionSize) return;
    std::copy(bytes.begin(), bytes.end(), eq.begin() + off);
}

void ParamStore::LoadFactoryImage() {
    image.fill(0);
    auto putRecord = [&](int block, int band, int freq, uint16_t gainField, uint16_t qField,
                         uint8_t type) {
        uint8_t* p = &image[kEqBlocks[block].recordOffset + band * 7];
        StoreBe16(p, gainField);
        StoreBe16(p + 2, uint16_t(freq));
        StoreBe16(p + 4, qField);
        p[6] = type;
    };
    constexpr uint16_t k0dB = 150, kQ = 1414, kQ707 = 707;
    // Mic A/B: the ninth band ships at 998 Hz, not 1000.
    constexpr std::array<int, 15> micFreqs{25,  40,   63,   100,  160,  250,  400,  630,
                                           998, 1600, 2500, 4000, 6300, 10000, 16000};
    for (int block : {0, 1})
        for (int b = 0; b < 15; ++b) putRecord(block, b, micFreqs[b], k0dB, kQ, 1);
    constexpr std::array<int, 6> effectFreqs{61, 125, 250, 500, 1000, 2300};
    for (int block = 2; block <= 5; ++block) {
        for (int b = 0; b < 6; ++b) putRecord(block, b, effectFreqs[b], k0dB, kQ, 1);
        putRecord(block, 6, 4464, 60, kQ707, 5);
    }
    for (int b = 0; b < 10; ++b) putRecord(6, b, kMusicDefaultFreqs[b], k0dB, kQ, 1);
    {
        uint8_t* p = &image[476]; // belongs to no block, carried along
        StoreBe16(p, k0dB);
        StoreBe16(p + 2, 100);
        StoreBe16(p + 4, kQ707);
        p[6] = 2;
    }
    constexpr std::array<int, 13> outFreqs{31,   62,   125,  250,   500,   1000, 2000,
                                           4000, 8000, 16000, 16000, 16000, 16000};
    for (int block = 7; block <= 14; ++block) {
        for (int b = 0; b < 13; ++b) putRecord(block, b, outFreqs[b], k0dB, kQ, 1);
        if (block == 11) { // CH5 ships as a sub with a crossover group
            constexpr std::array<uint8_t, 4> types{18, 20, 1, 1};
            for (int b = 9; b < 13; ++b) putRecord(block, b, 100, k0dB, kQ707, types[b - 9]);
        }
        putRecord(block, 13, 500, k0dB, kQ707, 1);
        putRecord(block, 14, 1000, k0dB, kQ707, 1);
    }
    for (int block = 16; block <= 23; ++block)
        for (int b = 0; b < 8; ++b) putRecord(block, b, kAdvancedDefaultFreqs[b], k0dB, kQ, 1);

    std::copy(kFactorySurroundLayout.begin(), kFactorySurroundLayout.end(),
              image.begin() + kSurroundLayoutOffset);
    image[kSurroundConfigOffset] = 8;

    for (const ParamEntry& e : ParamTable()) {
        uint8_t* p = &image[e.recordOffset];
        p[0] = e.module;
        p[1] = e.index;
        p[2] = e.count;
        uint8_t* v = p + 3;
        switch (e.kind) {
        case ValueKind::Raw:
            for (int w = 0; w < e.count; ++w) StoreBe32(v + 4 * w, e.factoryWords[w]);
            break;
        case ValueKind::Hundredths: StoreBeFloat(v, float(e.factory / 100.0)); break;
        case ValueKind::TenThousandths: StoreBeFloat(v, float(e.factory / 10000.0)); break;
        case ValueKind::Float: StoreBeFloat(v, float(e.factory)); break;
        case ValueKind::Byte: StoreBe32(v, uint32_t(e.factory) & 0xFF); break;
        case ValueKind::Milliseconds: StoreBe32(v, MsToSamples(e.factory)); break;
        }
    }
}

void ParamStore::ApplyDeviceImage() {
    std::copy(image.begin(), image.begin() + kSurroundConfigOffset + 1, eq.begin());
    surround = DecodeSurroundLayout(&eq[kSurroundLayoutOffset]);

    for (int c = 0; c < 9; ++c) {
        const ParamEntry* e = FindParam(ChannelModule(c), c == kRecordChannel ? 4 : 27);
        compressor[c] = DecodeCompressor(&image[e->ValueOffset()]);
    }
    for (int ch = 0; ch < kOutputChannels; ++ch) {
        const ParamEntry* e = FindParam(ch + 5, 17);
        float word1 = LoadBeFloat(&image[e->ValueOffset() + 4]);
        delayMode[ch] = (word1 * 100.0f == 0.0f) ? 1 : 0;
    }
    musicCompressor = DecodeCompressor(&image[FindParam(4, 14)->ValueOffset()]);
    // Module 4 index 16 has no image slot; its record still sits in the table's order.
    musicPitch = int(image[FindParam(4, 16)->ValueOffset() + 3]) - 5;
    {
        float f = LoadBeFloat(&image[kSurroundFloatOffset]);
        surroundFloat = (f > -2147483648.0f && f < 2147483647.0f) ? int(f) : 0;
    }

    const auto& table = ParamTable();
    for (int r = 0; r < kParamRowCount; ++r) {
        const ParamEntry& e = table[r];
        if (e.kind == ValueKind::Raw) continue;
        host[r] = DeviceToHost(e.kind, Word(e));
    }

    fbcRate[0] = FbcRate(&image[FindParam(1, 38)->ValueOffset()], &image[FindParam(1, 40)->ValueOffset()]);
    fbcRate[1] = FbcRate(&image[FindParam(1, 61)->ValueOffset()], &image[FindParam(1, 63)->ValueOffset()]);
    for (int index : {11, 12, 28, 29}) {
        const ParamEntry* e = FindParam(2, index);
        host[ParamRowOf(e)] = int8_t(image[e->ValueOffset() + 3]);
    }
}

} // namespace fenno
