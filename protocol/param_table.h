// The fixed table of every scalar DSP parameter: (module, index) → kind and image slot.
#pragma once

#include <array>
#include <cstdint>

#include "protocol/value_kind.h"

namespace fenno {

inline constexpr int kParamRowCount = 235;
inline constexpr int kDeviceImageSize = 3912;
inline constexpr int kEqImageSize = 1835;
inline constexpr int kEqSectionSize = 1771;          // 253 band records
inline constexpr int kEqRecordSize = 7;
inline constexpr int kEqRecordCount = 253;
inline constexpr int kSurroundLevelOffset = 1771;    // eight floats, CH1..CH8
inline constexpr int kSurroundLayoutOffset = 1803;   // 20-byte layout record
inline constexpr int kSurroundLayoutSize = 20;
inline constexpr int kSurroundFloatOffset = 1823;
inline constexpr int kSurroundConfigOffset = 1827;   // mirror of module 4 index 33
inline constexpr int kParamSectionOffset = 1835;
inline constexpr int kMaxParamWords = 7;

struct ParamEntry {
    uint8_t module;
    uint8_t index;
    ValueKind kind;
    uint8_t count;        // 32-bit words in the record
    int16_t recordOffset; // DeviceImage offset of the record's module byte
    bool hasImageSlot;    // false only for module 4 index 16
    double factory;       // factory host value (non-Raw rows)
    std::array<uint32_t, kMaxParamWords> factoryWords; // Raw rows

    int ValueOffset() const { return recordOffset + 3; }
    bool HasHostSlot() const { return kind != ValueKind::Raw; }
};

const std::array<ParamEntry, kParamRowCount>& ParamTable();

// Linear lookup, first match; nullptr when the pair has no row.
const ParamEntry* FindParam(int module, int index);
// Row number 0..234 of an entry of the table.
int ParamRowOf(const ParamEntry* entry);

// Output channels CH1..CH8 are modules 5..12; the record channel is module 13.
inline constexpr int kOutputChannels = 8;
inline constexpr int kRecordChannel = 8;
inline constexpr int ChannelModule(int ch) { return ch == kRecordChannel ? 13 : ch + 5; }

} // namespace fenno
