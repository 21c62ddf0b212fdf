// Four-section band groups used as output crossovers: crossover codes and group classes.
#pragma once

#include "eq/eq_band.h"

#include <array>
#include <span>

namespace fenno {

enum CrossoverCode : int {
    kCrossoverLr12 = 0,
    kCrossoverLr24 = 1,
    kCrossoverLr36 = 2,
    kCrossoverLr48 = 3,
    kCrossoverBessel12 = 4,
    kCrossoverBessel18 = 5,
    kCrossoverBessel24 = 6,
    kCrossoverButterworth12 = 7,
    kCrossoverButterworth18 = 8,
    kCrossoverButterworth24 = 9,
    kCrossoverChebyshev12 = 10,
    kCrossoverFlat = 11,
};

inline constexpr int kCrossoverCodeCount = 12;

// Section kinds for master, follower 1, 2, 3. Unneeded sections are flat PEQ (kind 1, 0 dB).
struct CrossoverRow {
    std::array<int, 4> lowPass;
    std::array<int, 4> highPass;
};

inline constexpr std::array<CrossoverRow, kCrossoverCodeCount> kCrossoverSections{{
    {{10, 10, 1, 1}, {11, 11, 1, 1}},
    {{12, 12, 1, 1}, {13, 13, 1, 1}},
    {{14, 10, 14, 10}, {15, 11, 15, 11}},
    {{18, 20, 18, 20}, {19, 21, 19, 21}},
    {{8, 1, 1, 1}, {9, 1, 1, 1}},
    {{8, 10, 1, 1}, {9, 11, 1, 1}},
    {{8, 8, 1, 1}, {9, 9, 1, 1}},
    {{12, 1, 1, 1}, {13, 1, 1, 1}},
    {{14, 10, 1, 1}, {15, 11, 1, 1}},
    {{18, 20, 1, 1}, {19, 21, 1, 1}},
    {{6, 1, 1, 1}, {7, 1, 1, 1}},
    {{1, 1, 1, 1}, {1, 1, 1, 1}},
}};

// Crossover family captions of codes 0..10, the same in both languages.
inline constexpr std::array<const char*, 11> kCrossoverCaptions{
    "LinkwitzRiely 12dB", "LinkwitzRiely 24dB", "LinkwitzRiely 36dB", "LinkwitzRiely 48dB",
    "Bessel 12dB",        "Bessel 18dB",        "Bessel 24dB",        "Butterworth 12dB",
    "Butterworth 18dB",   "Butterworth 24dB",   "Chebyshev 12dB",
};

// Class of a group by its four section kinds, first match wins. Classes 0..11 equal the
// crossover codes; 12 and 13 are a group used as one low or high shelf.
struct GroupClassRow {
    std::array<int, 4> sections;
    int groupClass;
    int listKind;
};

inline constexpr std::array<GroupClassRow, 25> kGroupClasses{{
    {{10, 10, 1, 1}, 0, 2},   {{11, 11, 1, 1}, 0, 3},   {{12, 12, 1, 1}, 1, 2},
    {{13, 13, 1, 1}, 1, 3},   {{14, 10, 14, 10}, 2, 2}, {{15, 11, 15, 11}, 2, 3},
    {{18, 20, 18, 20}, 3, 2}, {{19, 21, 19, 21}, 3, 3}, {{8, 1, 1, 1}, 4, 2},
    {{9, 1, 1, 1}, 4, 3},     {{8, 10, 1, 1}, 5, 2},    {{9, 11, 1, 1}, 5, 3},
    {{8, 8, 1, 1}, 6, 2},     {{9, 9, 1, 1}, 6, 3},     {{12, 1, 1, 1}, 7, 2},
    {{13, 1, 1, 1}, 7, 3},    {{14, 10, 1, 1}, 8, 2},   {{15, 11, 1, 1}, 8, 3},
    {{18, 20, 1, 1}, 9, 2},   {{19, 21, 1, 1}, 9, 3},   {{6, 1, 1, 1}, 10, 2},
    {{7, 1, 1, 1}, 10, 3},    {{1, 1, 1, 1}, 11, 1},    {{4, 1, 1, 1}, 12, 4},
    {{5, 1, 1, 1}, 13, 5},
}};

// Returns the class of the first matching row and sets listKind from it; with no match
// returns 0 and leaves listKind as the caller preset it.
int ClassifyGroup(int k0, int k1, int k2, int k3, int& listKind);

// Gives a group master and its followers the sections of `code` (codes outside 1..11 use row
// 0): the low-pass column when the master's kind is even, else the high-pass column. Master
// gain goes to 0; each kind goes through SetBandKind and is recomputed for plotWidth.
// Does nothing for a band that is not a group master.
void SetGroupCrossover(std::span<EqBand> bands, int master, int code, int plotWidth);

// Kind chosen from the panel menu (1..5). A plain band just changes kind; a group master
// becomes flat (1), Butterworth 24 dB LP (2) or HP (3), or a single shelf (4, 5).
// Returns false for an index outside the array, or a master given a kind outside 1..5.
bool SetGroupKind(std::span<EqBand> bands, int index, int kind, int plotWidth);

} // namespace fenno
