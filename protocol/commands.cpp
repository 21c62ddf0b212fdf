#include "protocol/commands.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "eq/biquad.h"
#include "eq/eq_block.h"
#include "protocol/bytes.h"

namespace fenno {
namespace {

constexpr uint32_t kDistanceWord2 = 0x3F7EFF25; // 0.9960807
constexpr uint32_t kDistanceWord3 = 0xBFFF7EF1; // -1.9960614

std::array<uint8_t, 4> Be32(uint32_t v) {
    std::array<uint8_t, 4> b{};
    StoreBe32(b.data(), v);
    return b;
}


int CopyCount(int block) {
    if (block <= 1) return 15;
    if (block <= 5) return 7;
    if (block == 6) return 10;
    if (block <= 14) return 9;
    if (block == kRecordEqBlock) return 5;
    return 8;
}

} // namespace

std::array<uint32_t, 6> SurroundDistanceFilter(float levelDb) {
    double l = levelDb;
    uint32_t g1 = FloatBits(float(std::pow(10.0, l / 20.0)));
    uint32_t g2 = FloatBits(float(std::pow(10.0, (0.0022594517 * l * l + 0.799902 * l) / 20.0)));
    return {g1, g2, kDistanceWord2, kDistanceWord3, g1, g2};
}

int Commands::SendPayload(const uint8_t* payload, size_t length, bool wait) {
    Transport* t = m_transport.load();
    if (!t || length == 0) return 0;
    return t->SendPayload(payload, length, wait);
}

int Commands::SendCommandBytes(std::span<const uint8_t> bytes) {
    uint8_t buf[kMaxPayload];
    size_t n = 0;
    if (IsNetwork()) buf[n++] = kTcpPrefixCommand;
    size_t take = std::min(bytes.size(), kMaxUsbPayload);
    std::copy_n(bytes.begin(), take, buf + n);
    return SendPayload(buf, n + take, true);
}

int Commands::SendCommand(std::initializer_list<uint8_t> bytes) {
    return SendCommandBytes(std::span<const uint8_t>(bytes.begin(), bytes.size()));
}

int Commands::SendMemCommand(uint8_t cmd, uint8_t offsetHi, uint8_t offsetLo, uint8_t length,
                             const uint8_t* data) {
    uint8_t buf[4 + kMaxMemData] = {cmd, offsetHi, offsetLo, length};
    size_t total = 4;
    if (data) { // reads carry a length but no data
        uint8_t n = std::min<uint8_t>(length, kMaxMemData);
        buf[3] = n;
        std::copy_n(data, n, buf + 4);
        total += n;
    }
    return SendCommandBytes({buf, total});
}

int Commands::SendParamValues(uint8_t module, uint8_t index, const uint8_t* values, int n) {
    n = std::clamp(n, 0, 13); // 5 + 4n must fit one report
    uint8_t buf[5 + 4 * 13];
    buf[0] = kCmdSetParam;
    buf[1] = 0;
    buf[2] = module;
    buf[3] = index;
    buf[4] = uint8_t(n);
    std::copy_n(values, 4 * n, buf + 5);
    return SendCommandBytes({buf, size_t(5 + 4 * n)});
}

void Commands::SetParam(int module, int index, double value) {
    const ParamEntry* e = FindParam(module, index);
    if (!e || e->kind == ValueKind::Raw) return;
    double host = IsIntKind(e->kind) ? std::trunc(value) : double(float(value));
    m_store.host[ParamRowOf(e)] = host;
    uint32_t word = HostToDevice(e->kind, host);
    if (e->hasImageSlot) m_store.SetWord(*e, 0, word);
    auto b = Be32(word);
    SendParamValues(uint8_t(module), uint8_t(index), b.data(), 1);
}

void Commands::SetParamArray(int module, int index, const uint8_t* values, int n) {
    const ParamEntry* e = FindParam(module, index);
    if (e && e->hasImageSlot) {
        int words = std::min<int>(n, e->count); // never spill into the next record
        std::copy_n(values, 4 * words, &m_store.image[e->ValueOffset()]);
    }
    SendParamValues(uint8_t(module), uint8_t(index), values, n);
}

void Commands::SetParamWords(int module, int index, std::span<const uint32_t> words) {
    std::vector<uint8_t> bytes(words.size() * 4);
    for (size_t i = 0; i < words.size(); ++i) StoreBe32(&bytes[4 * i], words[i]);
    SetParamArray(module, index, bytes.data(), int(words.size()));
}

void Commands::SendBiquad(int module, int index, float c0, float c1, float c2, float c3, float c4) {
    uint8_t v[20];
    float c[5] = {c0, c1, c2, c3, c4};
    for (int i = 0; i < 5; ++i) StoreBeFloat(v + 4 * i, c[i]);
    SendParamValues(uint8_t(module), uint8_t(index), v, 5);
}

void Commands::WriteEqRecord(int block, int band, float gainDb, int freqHz, float q, int filterType) {
    EqRecordBytes rec = EncodeEqRecord(gainDb, freqHz, q, uint8_t(filterType));
    m_store.StoreEqRecord(block, band, rec);
    int off = EqRecordOffset(block, band);
    // The record EQ has no place in the device's image: sending it would land on Mic A's bands.
    if (off < 0 || off + kEqRecordSize > kEqSectionSize) return;
    SendMemCommandAt(kCmdWriteEqImage, off, rec);
}

void Commands::SetEqBand(int block, int band, int filterType, int freqHz, float gainDb, float q,
                         float aux) {
    BiquadCoeffs bq = ComputeBiquad(filterType, freqHz, gainDb, q, aux, kSampleRate);
    int module = IsValidBlock(block) ? kEqBlocks[block].module : kEqBlocks[7].module;
    int base = IsValidBlock(block) ? kEqBlocks[block].baseIndex : 0;
    SendBiquad(module, base + band, float(-bq.a1), float(-bq.a2), float(bq.b0), float(bq.b1),
               float(bq.b2));
    WriteEqRecord(block, band, gainDb, freqHz, q, filterType);
}

void Commands::ResetEqBlock(int block) {
    if (!IsValidBlock(block)) return;
    std::span<const int> freqs = DefaultFreqs(block); // output blocks leave bands 13, 14 alone
    for (size_t b = 0; b < freqs.size(); ++b) SetEqBand(block, int(b), 1, freqs[b], 0.0f, 1.41f);
}

void Commands::ResetSubEqBlock(int block) {
    if (!IsOutputBlock(block)) return;
    constexpr int freqs[13] = {31, 62, 250, 500, 1000, 2000, 4000, 8000, 16000, 100, 100, 100, 100};
    constexpr int types[13] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 18, 20, 1, 1};
    for (int b = 0; b < 13; ++b) SetEqBand(block, b, types[b], freqs[b], 0.0f, 1.41f);
}

void Commands::ResendEqBlock(int block) {
    if (!IsValidBlock(block)) return;
    for (int b = 0; b < kEqBlocks[block].bands; ++b) {
        EqRecord r = m_store.ReadEqBand(block, b);
        SetEqBand(block, b, r.type, r.freqHz, r.gainDb, r.q);
    }
}

int Commands::CopyEqBlock(int src, int dst) {
    if (!IsValidBlock(src) || !IsValidBlock(dst)) return 0;
    int count = (IsOutputBlock(src) && IsOutputBlock(dst)) ? 13 : std::min(CopyCount(src), CopyCount(dst));
    for (int b = 0; b < count; ++b) {
        EqRecordBytes rec;
        const uint8_t* p = m_store.EqRecordAt(src, b);
        std::copy_n(p, kEqRecordSize, rec.begin());
        m_store.StoreEqRecord(dst, b, rec);
    }
    ResendEqBlock(dst);
    return 1;
}

std::array<uint32_t, 7> Commands::CompressorWords(float threshold, float ratio, float attackMs,
                                                  float releaseMs) const {
    return {FloatBits(threshold),
            FloatBits(0.0f),
            FloatBits(1.0f - 1.0f / ratio),
            FloatBits(20.0f),
            FloatBits(0.05f),
            FloatBits(float(1.0 - std::exp(-1.0 / (double(attackMs) * 48.0)))),
            FloatBits(float(1.0 - std::exp(-1.0 / (double(releaseMs) * 48.0))))};
}

void Commands::SetChannelCompressor(int ch, float threshold, float ratio, float attackMs,
                                    float releaseMs) {
    if (ch < 0 || ch > kRecordChannel) return;
    m_store.compressor[ch] = {threshold, ratio, attackMs, releaseMs};
    auto w = CompressorWords(threshold, ratio, attackMs, releaseMs);
    SetParamWords(ChannelModule(ch), ch == kRecordChannel ? 4 : 27, w);
}

void Commands::SetMusicCompressor(float threshold, float ratio, float attackMs, float releaseMs) {
    m_store.musicCompressor = {threshold, ratio, attackMs, releaseMs};
    auto w = CompressorWords(threshold, ratio, attackMs, releaseMs);
    SetParamWords(4, 14, w);
}

void Commands::SetDelayMode(int ch, int mode) {
    if (ch < 0 || ch >= kOutputChannels) return;
    mode = mode ? 1 : 0;
    m_store.delayMode[ch] = mode;
    const uint32_t w[2] = {FloatBits(1.0f), FloatBits(mode == 0 ? 1.0f : 0.0f)};
    SetParamWords(ch + 5, 17, w);
    SetDelaySplit(ch, FindDelaySplitRow(ch));
}

void Commands::SetDelaySplit(int ch, int row) {
    if (ch < 0 || ch >= kOutputChannels) return;
    row = std::clamp(row, 0, kDelaySplitRows - 1);
    int f1 = 500 + 100 * row, f2 = 1000 + 100 * row;
    bool highFreqDelay = m_store.delayMode[ch] == 0;
    SetEqBand(ch + 7, 13, highFreqDelay ? 3 : 1, f1, 0.0f, 0.707f);
    SetEqBand(ch + 7, 14, highFreqDelay ? 2 : 1, f2, 0.0f, 0.707f);
}

int Commands::FindDelaySplitRow(int ch) const {
    int f = m_store.ReadEqBand(ch + 7, 13).freqHz;
    for (int r = 0; r < kDelaySplitRows; ++r)
        if (500 + 100 * r == f) return r;
    return 0;
}

void Commands::SetEchoRightPredelay(int echo, int percent) {
    echo = echo ? 1 : 0;
    percent = std::clamp(percent, 0, 50);
    const int pctIndex = echo ? 28 : 11, timeIndex = echo ? 30 : 13, outIndex = echo ? 27 : 10;
    m_store.host[ParamRowOf(FindParam(2, pctIndex))] = percent;
    const uint8_t pct[4] = {0, 0, 0, uint8_t(percent)};
    SetParamArray(2, pctIndex, pct, 1);
    float t = std::trunc(float(m_store.Host(2, timeIndex)));
    float delay = t * float(percent) / 100.0f;
    if (delay < 1.35f) delay = 1.35f;
    auto b = Be32(MsToSamples(delay));
    SetParamArray(2, outIndex, b.data(), 1);
}

void Commands::SetEchoRightDelay(int echo, int percent) {
    echo = echo ? 1 : 0;
    percent = std::clamp(percent, -50, 50);
    const int pctIndex = echo ? 29 : 12, timeIndex = echo ? 30 : 13, outIndex = echo ? 32 : 15;
    m_store.host[ParamRowOf(FindParam(2, pctIndex))] = percent;
    const uint8_t pct[4] = {0, 0, 0, uint8_t(int8_t(percent))};
    SetParamArray(2, pctIndex, pct, 1);
    float t = std::trunc(float(m_store.Host(2, timeIndex)));
    float delay = t * float(percent) / 100.0f + t;
    auto b = Be32(MsToSamples(delay));
    SetParamArray(2, outIndex, b.data(), 1);
}

void Commands::SetMicFbc(int mic, int rate) {
    mic = mic ? 1 : 0;
    const int rateIndex = mic ? 61 : 38, timeIndex = mic ? 62 : 39, flagIndex = mic ? 63 : 40;
    m_store.fbcRate[mic] = rate;
    if (rate == 1 || rate <= 0) {
        const uint8_t on[4] = {0, 0, 0, 1};
        SetParamArray(1, flagIndex, on, 1);
        return;
    }
    const uint8_t off[4] = {0, 0, 0, 0};
    SetParamArray(1, flagIndex, off, 1);
    auto step = Be32(FloatBits(float(2.0 * std::numbers::pi * rate / 48000.0)));
    SetParamArray(1, rateIndex, step.data(), 1);
    // A rate above 10 Hz would ask for a negative delay; MsToSamples floors it at zero.
    auto samples = Be32(MsToSamples(1000.0 / (4.0 * rate) - 25.0));
    SetParamArray(1, timeIndex, samples.data(), 1);
}

void Commands::SetSurroundConfig(uint8_t value) {
    m_store.eq[kSurroundConfigOffset] = value;
    SendMemCommandAt(kCmdWriteEqImage, kSurroundConfigOffset, {&value, 1});
    auto b = Be32(value);
    SendParamValues(4, 33, b.data(), 1);
}

void Commands::SendSurroundLayout() {
    auto rec = EncodeSurroundLayout(m_store.surround);
    std::copy(rec.begin(), rec.end(), m_store.eq.begin() + kSurroundLayoutOffset);
    SendMemCommandAt(kCmdWriteEqImage, kSurroundLayoutOffset, rec);
}

void Commands::SetSurroundLevel(int ch, float levelDb) {
    if (ch < 0 || ch >= kOutputChannels) return;
    StoreBeFloat(&m_store.eq[kSurroundLevelOffset + 4 * ch], levelDb);
    SendMemCommandAt(kCmdWriteEqImage, kSurroundLevelOffset,
                     {&m_store.eq[kSurroundLevelOffset], 32});
    auto w = SurroundDistanceFilter(levelDb);
    SetParamWords(ch + 5, 29, w);
}

void Commands::ResetSurround() {
    for (int ch = 0; ch < kOutputChannels; ++ch) SetSurroundLevel(ch, 0.0f);
    std::copy(kFactorySurroundLayout.begin(), kFactorySurroundLayout.end(),
              m_store.eq.begin() + kSurroundLayoutOffset);
    m_store.surround = DecodeSurroundLayout(&m_store.eq[kSurroundLayoutOffset]);
    SendSurroundLayout();
}

void Commands::SaveDeviceMode(int mode) {
    m_state.settingsChanged = false;
    mode = std::clamp(mode, 0, 3);
    m_state.currentMode = mode;
    SendCommand({kCmdStoreMode, uint8_t(mode)});
}

void Commands::SendMachineSettings() {
    std::array<uint8_t, 1 + kMachineSettingsSize> buf{};
    {
        std::lock_guard lock(m_state.mutex);
        m_state.machineSettingsSent = m_state.machineSettings;
        buf[0] = kCmdWriteSettings;
        std::copy(m_state.machineSettings.begin(), m_state.machineSettings.end(), buf.begin() + 1);
    }
    SendCommandBytes(buf);
}

} // namespace fenno
