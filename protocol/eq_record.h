// The 7-byte EQ band record of the device image: gain, frequency, Q, filter type.
#pragma once

#include <array>
#include <cstdint>

namespace fenno {

using EqRecordBytes = std::array<uint8_t, 7>;

struct EqRecord {
    float gainDb = 0;
    int freqHz = 0;
    float q = 0;
    uint8_t type = 0;
};

EqRecordBytes EncodeEqRecord(float gainDb, int freqHz, float q, uint8_t type);
EqRecord DecodeEqRecord(const uint8_t* bytes);

// EqImage offset of a band's record; -1 for the record EQ, which has no place in the image.
// Blocks outside 0..23 give band * 7.
int EqRecordOffset(int block, int band);

} // namespace fenno
