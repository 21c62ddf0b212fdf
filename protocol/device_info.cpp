#include "protocol/device_info.h"

#include "protocol/device_state.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace fenno {

namespace {

template <size_t N> std::string_view FieldText(const std::array<char, N>& field) {
    return std::string_view(field.data(), strnlen(field.data(), N));
}

template <size_t N> void CopyField(std::array<char, N>& field, const uint8_t* src) {
    std::memcpy(field.data(), src, N);
    field[N - 1] = 0;
}

struct InputSourceRule {
    std::initializer_list<const char*> models;
    std::initializer_list<uint8_t> allowed;
    uint8_t replacement;
};

const InputSourceRule kInputSourceRules[] = {
    {{"Belto"}, {5, 8, 11}, 11},
    {{"Cirra", "Nusk", "Dunmo"}, {5, 11}, 11},
    {{"Elsk"}, {5, 6, 11}, 11},
    {{"Fenno", "Orvel"}, {0, 1, 2, 3, 5, 6, 11}, 0},
    {{"Gresk", "Holvar"}, {0, 1, 2, 3, 5, 6, 11, 12}, 3},
    {{"Istren"}, {0, 1, 2, 3, 4, 5, 6, 11, 12}, 5},
    {{"Arven"}, {0, 1, 2, 3, 5}, 0},
    {{"Kelmo", "Lunra", "Mervo"}, {0, 1, 2, 5}, 0},
    {{"Quarn"}, {0, 1, 2, 3}, 0},
    {{"Jasko"}, {5, 6, 8, 9, 11}, 11},
    {{"Pellin"}, {5, 11, 12, 13}, 11},
    {{"Rusel"}, {5, 11}, 11},
};

constexpr const char* kMicCodecs[] = {"未知", "AK5358", "PCM4202", "AK5720", "CS5381", "未知"};
constexpr const char* kMusicCodecs[] = {"未知", "NONE", "PCM4202", "AK5720"};
constexpr const char* kOutputCodecs[] = {"未知", "AK4396", "CS4398", "耳放板", "PCM1794"};

template <size_t N> const char* CodecName(const char* const (&names)[N], int code) {
    return (code >= 0 && size_t(code) < N) ? names[code] : names[0];
}

template <typename... Args> std::string Format(const char* format, Args... args) {
    char buf[256];
    int n = std::snprintf(buf, sizeof buf, format, args...);
    if (n < 0) return {};
    return std::string(buf, std::min<size_t>(size_t(n), sizeof buf - 1));
}

} // namespace

std::string_view DeviceInfo::Model() const {
    return FieldText(modelName);
}
std::string_view DeviceInfo::Mcu() const {
    return FieldText(mcuVersion);
}
std::string_view DeviceInfo::Dsp() const {
    return FieldText(dspVersion);
}

std::array<uint8_t, kModeHeaderSize> DeviceInfo::ToHeader() const {
    std::array<uint8_t, kModeHeaderSize> h{};
    const uint32_t v = uint32_t(commandVersion);
    for (int i = 0; i < 4; ++i)
        h[i] = uint8_t(v >> (8 * i));
    std::memcpy(&h[kHeaderModelOffset], modelName.data(), kModelNameSize);
    std::memcpy(&h[kHeaderMcuOffset], mcuVersion.data(), kVersionTextSize);
    std::memcpy(&h[kHeaderDspOffset], dspVersion.data(), kVersionTextSize);
    std::memcpy(&h[kHeaderReservedOffset], reserved.data(), reserved.size());
    return h;
}

DeviceInfo DeviceInfo::FromHeader(const uint8_t* header, size_t size) {
    std::array<uint8_t, kModeHeaderSize> h{};
    if (header) std::memcpy(h.data(), header, std::min<size_t>(size, kModeHeaderSize));
    DeviceInfo info;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t(h[i]) << (8 * i);
    info.commandVersion = int32_t(v);
    CopyField(info.modelName, &h[kHeaderModelOffset]);
    CopyField(info.mcuVersion, &h[kHeaderMcuOffset]);
    CopyField(info.dspVersion, &h[kHeaderDspOffset]);
    std::memcpy(info.reserved.data(), &h[kHeaderReservedOffset], info.reserved.size());
    return info;
}

void ResetDeviceDefaults(DeviceState& state) {
    std::lock_guard lock(state.mutex);
    state.info = DeviceInfo{};
    state.machineSettings.fill(0);
    state.machineSettingsSent.fill(0);
    state.machineSettingsSent[5] = 0x63;
    state.machineSettingsSent[6] = 0x63;
}

uint8_t FixInputSource(std::string_view model, uint8_t source) {
    for (const InputSourceRule& rule : kInputSourceRules) {
        if (std::find(rule.models.begin(), rule.models.end(), model) == rule.models.end()) continue;
        if (std::find(rule.allowed.begin(), rule.allowed.end(), source) != rule.allowed.end())
            return source;
        return rule.replacement;
    }
    return source;
}

CodecBoards CodecBoardsFromStatus(const uint8_t* status, size_t size) {
    auto at = [&](int i) -> uint8_t { return size_t(i) < size ? status[i] : 0; };
    CodecBoards b;
    b.mic = at(kStatusMicCodec);
    b.music = at(kStatusMusicCodec);
    b.ch12 = at(kStatusCh12Codec);
    b.ch34 = at(kStatusCh34Codec);
    b.ch56 = at(kStatusCh56Codec);
    b.ch78 = at(kStatusCh78Codec);
    return b;
}

const char* MicCodecName(int code) {
    return CodecName(kMicCodecs, code);
}
const char* MusicCodecName(int code) {
    return CodecName(kMusicCodecs, code);
}
const char* OutputCodecName(int code) {
    return CodecName(kOutputCodecs, code);
}

IdentityText MakeIdentityText(const DeviceInfo& info, const CodecBoards& b) {
    const std::string model(info.Model()), mcu(info.Mcu()), dsp(info.Dsp());
    IdentityText t;
    t.module = Format("Module:%s", model.c_str());
    t.mcu = Format("MCU Ver:%s CMD Ver:%02d", mcu.c_str(), int(info.commandVersion));
    t.dsp = Format("DSP Ver:%s", dsp.c_str());
    t.codecs = Format("MIC:%s\nMusic:%s\nCH12:%s\nCH34:%s\nCH56:%s\nCH78:%s ", MicCodecName(b.mic),
                      MusicCodecName(b.music), OutputCodecName(b.ch12), OutputCodecName(b.ch34),
                      OutputCodecName(b.ch56), OutputCodecName(b.ch78));
    return t;
}

} // namespace fenno
