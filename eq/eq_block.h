// The 24 EQ blocks of the device: DSP module, coefficient indices, band records, titles.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace fenno {

inline constexpr int kEqBlockCount = 24;
inline constexpr int kSampleRate = 48000;

struct EqBlockInfo {
    uint8_t module;       // DSP module the coefficients go to
    uint8_t baseIndex;    // band b is sent to index baseIndex + b
    uint8_t bands;        // bands the editors show
    int recordOffset;     // EqImage offset of band 0's record; -1 when the image holds none
    const char* titleZh;
    const char* titleEn;
};

inline constexpr std::array<EqBlockInfo, kEqBlockCount> kEqBlocks{{
    {1, 18, 15, 0, "话筒A均衡", "Mic A EQ"},
    {1, 41, 15, 105, "话筒B均衡", "Mic B EQ"},
    {2, 0, 7, 210, "回声A均衡", "Echo A EQ"},
    {2, 17, 7, 259, "回声B均衡", "Echo B EQ"},
    {3, 0, 7, 308, "混响A均衡", "Reverb A EQ"},
    {3, 12, 7, 357, "混响B均衡", "Reverb B EQ"},
    {4, 0, 10, 406, "音乐均衡", "Music EQ"},
    {5, 0, 13, 483 + 105 * 0, "通道1均衡", "CH1 EQ"},
    {6, 0, 13, 483 + 105 * 1, "通道2均衡", "CH2 EQ"},
    {7, 0, 13, 483 + 105 * 2, "通道3均衡", "CH3 EQ"},
    {8, 0, 13, 483 + 105 * 3, "通道4均衡", "CH4 EQ"},
    {9, 0, 13, 483 + 105 * 4, "通道5均衡", "CH5 EQ"},
    {10, 0, 13, 483 + 105 * 5, "通道6均衡", "CH6 EQ"},
    {11, 0, 13, 483 + 105 * 6, "通道7均衡", "CH7 EQ"},
    {12, 0, 13, 483 + 105 * 7, "通道8均衡", "CH8 EQ"},
    {13, 0, 5, -1, "录音均衡", "Record EQ"},
    {5, 30, 8, 1323 + 56 * 0, "通道1高级均衡", "CH1 EQ"},
    {6, 30, 8, 1323 + 56 * 1, "通道2高级均衡", "CH2 EQ"},
    {7, 30, 8, 1323 + 56 * 2, "通道3高级均衡", "CH3 EQ"},
    {8, 30, 8, 1323 + 56 * 3, "通道4高级均衡", "CH4 EQ"},
    {9, 30, 8, 1323 + 56 * 4, "通道5高级均衡", "CH5 EQ"},
    {10, 30, 8, 1323 + 56 * 5, "通道6高级均衡", "CH6 EQ"},
    {11, 30, 8, 1323 + 56 * 6, "通道7高级均衡", "CH7 EQ"},
    {12, 30, 8, 1323 + 56 * 7, "通道8高级均衡", "CH8 EQ"},
}};

inline constexpr int kRecordEqBlock = 15;
inline constexpr int kFirstOutputBlock = 7;   // CH1 EQ; channel ch is block ch + 7
inline constexpr int kFirstAdvancedBlock = 16;

inline constexpr bool IsOutputBlock(int block) { return block >= 7 && block <= 14; }
inline constexpr bool IsValidBlock(int block) { return block >= 0 && block < kEqBlockCount; }

// Default centre frequencies: what a block resets to and what a panel loads first.
inline constexpr std::array<int, 15> kMicDefaultFreqs{25,  40,  63,   100,  160,  250,  400,  630,
                                                      1000, 1600, 2500, 4000, 6300, 10000, 16000};
inline constexpr std::array<int, 7> kEffectDefaultFreqs{50, 100, 200, 400, 800, 1600, 3200};
inline constexpr std::array<int, 10> kMusicDefaultFreqs{31,   62,   125,  250,  500,
                                                        1000, 2000, 4000, 8000, 16000};
inline constexpr std::array<int, 13> kOutputDefaultFreqs{31,   62,   125,   250,   500,
                                                         1000, 2000, 4000,  8000,  16000,
                                                         16000, 16000, 16000};
inline constexpr std::array<int, 5> kRecordDefaultFreqs{50, 100, 200, 400, 800};
inline constexpr std::array<int, 8> kAdvancedDefaultFreqs{62, 125, 250, 500, 1000, 2000, 4000, 8000};

// Blocks outside 0..23 fall back to the output layout (13 bands, no group).
inline constexpr std::span<const int> DefaultFreqs(int block) {
    if (block == 0 || block == 1) return kMicDefaultFreqs;
    if (block >= 2 && block <= 5) return kEffectDefaultFreqs;
    if (block == 6) return kMusicDefaultFreqs;
    if (block == kRecordEqBlock) return kRecordDefaultFreqs;
    if (block >= 16 && block <= 23) return kAdvancedDefaultFreqs;
    return kOutputDefaultFreqs;
}

inline constexpr int BandCount(int block) {
    return IsValidBlock(block) ? kEqBlocks[block].bands : 13;
}

// Panel title by language index (0 Chinese, 1 English); empty outside 0..23.
inline constexpr const char* EqBlockTitle(int block, int language) {
    if (!IsValidBlock(block)) return "";
    return language == 1 ? kEqBlocks[block].titleEn : kEqBlocks[block].titleZh;
}

} // namespace fenno
