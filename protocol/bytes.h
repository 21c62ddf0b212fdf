// Big-endian helpers for the wire and the device image.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace fenno {

inline uint32_t LoadBe32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline void StoreBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
inline uint16_t LoadBe16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline void StoreBe16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline float LoadBeFloat(const uint8_t* p) { return std::bit_cast<float>(LoadBe32(p)); }
inline void StoreBeFloat(uint8_t* p, float f) { StoreBe32(p, std::bit_cast<uint32_t>(f)); }
inline uint32_t FloatBits(float f) { return std::bit_cast<uint32_t>(f); }

} // namespace fenno
