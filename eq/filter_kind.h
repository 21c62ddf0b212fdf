// Filter kinds of an EQ band and crossover group: codes, captions, per-kind rules.
#pragma once

#include <array>

namespace fenno {

// Stored in the type byte of an EqRecord and in every EqBand. 6..21 occur only inside groups.
enum FilterKind : int {
    kFilterOff = 0,
    kFilterPeq = 1,
    kFilterLowPass = 2,
    kFilterHighPass = 3,
    kFilterLowShelf = 4,
    kFilterHighShelf = 5,
    kFilterChebyshevLowPass = 6,
    kFilterChebyshevHighPass = 7,
    kFilterBesselLowPass = 8, // Q = 1/sqrt(3)
    kFilterBesselHighPass = 9,
    kFilterFirstOrderLowPass = 10,
    kFilterFirstOrderHighPass = 11,
    kFilterButterworthLowPass = 12, // Q = 1/sqrt(2)
    kFilterButterworthHighPass = 13,
    kFilterQ1LowPass = 14, // Q = 1/(2 sin(pi/6)) = 1.0
    kFilterQ1HighPass = 15,
    kFilterQHalfLowPass = 16, // Q = 1/(2 sin(pi/2)) = 0.5
    kFilterQHalfHighPass = 17,
    kFilterQ1307LowPass = 18, // Q = 1/(2 sin(pi/8))
    kFilterQ1307HighPass = 19,
    kFilterQ0541LowPass = 20, // Q = 1/(2 sin(3pi/8))
    kFilterQ0541HighPass = 21,
};

inline constexpr int kFilterKindCount = 22;
inline constexpr int kUserKindCount = 6; // 0..5 can be chosen in the editors

struct KindCaption {
    const char* zh;
    const char* en;
    constexpr const char* Text(int language) const { return language == 1 ? en : zh; }
};

// Band list captions of kinds 0..5 (also the list kind of a group master).
inline constexpr std::array<KindCaption, kUserKindCount> kKindListCaptions{{
    {"关闭", "OFF"},
    {"参量", "PEQ"},
    {"低通", "LP"},
    {"高通", "HP"},
    {"低架", "LS"},
    {"高架", "HS"},
}};

// Kind menu captions of kinds 1..5 (entry k-1 for kind k).
inline constexpr std::array<KindCaption, 5> kKindMenuCaptions{{
    {"参量(PEQ)", "PEQ"},
    {"低通(LP)", "LP"},
    {"高通(HP)", "HP"},
    {"低架(LS)", "LS"},
    {"高架(HS)", "HS"},
}};

inline constexpr bool IsValidKind(int kind) {
    return kind >= 0 && kind < kFilterKindCount;
}

// Empty text for kinds that have no list caption (the fixed-Q sections).
inline constexpr const char* KindListCaption(int kind, int language) {
    return (kind >= 0 && kind < kUserKindCount) ? kKindListCaptions[kind].Text(language) : "";
}

inline constexpr const char* KindMenuCaption(int kind, int language) {
    return (kind >= 1 && kind <= 5) ? kKindMenuCaptions[kind - 1].Text(language) : "";
}

// Only peaking and shelving bands carry a gain; pass filters hold 0 dB.
inline constexpr bool KindCarriesGain(int kind) {
    return kind == kFilterPeq || kind == kFilterLowShelf || kind == kFilterHighShelf;
}

// Kinds drawn as pass filters (their area closes below the plot).
inline constexpr bool IsPassKind(int kind) {
    return kind == kFilterLowPass || kind == kFilterHighPass ||
           (kind >= kFilterChebyshevLowPass && kind < kFilterKindCount);
}

// Even codes from 2 are the low-pass family; the group direction test uses plain parity.
inline constexpr bool IsLowPassKind(int kind) {
    return kind >= 2 && kind % 2 == 0;
}
inline constexpr bool IsHighPassKind(int kind) {
    return kind >= 3 && kind % 2 == 1;
}

inline constexpr float kQMin = 0.1f;
inline constexpr float kPeqQMax = 30.0f;
inline constexpr float kOtherQMax = 2.0f;

inline constexpr float KindQMax(int kind) {
    return kind == kFilterPeq ? kPeqQMax : kOtherQMax;
}

} // namespace fenno
