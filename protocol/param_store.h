// The PC's copy of the device's parameter memory, its EQ working copy and the host values.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "protocol/eq_record.h"
#include "protocol/param_table.h"

namespace fenno {

struct CompressorValues {
    float threshold = 0;
    float ratio = 1;
    float attackMs = 0;
    float releaseMs = 0;
};

// Room size in metres; pair 0 is the listener, pairs 1..8 the speakers (x then y, metres).
struct SurroundLayout {
    int width = 4;
    int length = 4;
    std::array<std::array<float, 2>, 9> pos{};
};

inline constexpr std::array<uint8_t, kSurroundLayoutSize> kFactorySurroundLayout{
    0x04, 0x04, 0x00, 0x00, 0x8A, 0x0A, 0x00, 0x0A, 0x0A, 0x0A,
    0x8A, 0x8A, 0x00, 0x8A, 0x0A, 0x8A, 0x85, 0x00, 0x05, 0x00};

SurroundLayout DecodeSurroundLayout(const uint8_t* record);
std::array<uint8_t, kSurroundLayoutSize> EncodeSurroundLayout(const SurroundLayout& layout);

// An atomic that copies like a plain value, for the few store fields the link thread writes.
template <typename T> class SharedValue {
public:
    SharedValue(T v = T()) : m_v(v) {}
    SharedValue(const SharedValue& o) : m_v(o.m_v.load()) {}
    SharedValue& operator=(const SharedValue& o) {
        m_v = o.m_v.load();
        return *this;
    }
    SharedValue& operator=(T v) {
        m_v = v;
        return *this;
    }
    operator T() const { return m_v.load(); }

private:
    std::atomic<T> m_v;
};

struct ParamStore {
    std::array<uint8_t, kDeviceImageSize> image{};
    std::array<uint8_t, kEqImageSize> eq{};
    std::array<double, kParamRowCount> host{}; // one slot per row; Raw rows stay 0

    // Derived host values, recomputed by ApplyDeviceImage.
    std::array<CompressorValues, 9> compressor{}; // CH1..CH8, record
    CompressorValues musicCompressor{};
    std::array<int, kOutputChannels> delayMode{}; // 0 high-frequency delay, 1 channel delay
    SharedValue<int> musicPitch = 0;              // -5..+5; the status poll updates it
    std::array<int, 2> fbcRate{};                 // mic A, mic B, Hz
    SurroundLayout surround{};
    int surroundFloat = 0;

    // The record EQ's bands live only here: the image has no records for them.
    std::array<EqRecordBytes, 5> recordEq{};

    ParamStore();

    void LoadFactoryImage();
    void ApplyDeviceImage();

    double Host(int module, int index) const;
    uint32_t Word(const ParamEntry& row, int word = 0) const;
    void SetWord(const ParamEntry& row, int word, uint32_t value);

    // A band's record bytes, wherever the block keeps them.
    const uint8_t* EqRecordAt(int block, int band) const;
    void StoreEqRecord(int block, int band, const EqRecordBytes& bytes);
    EqRecord ReadEqBand(int block, int band) const { return DecodeEqRecord(EqRecordAt(block, band)); }
};

} // namespace fenno
