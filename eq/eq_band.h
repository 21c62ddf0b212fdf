// One EQ band as the editors hold it, with the band rules every setter enforces.
#pragma once

#include "eq/filter_kind.h"

#include <array>

namespace fenno {

inline constexpr int kResponsePoints = 512;
inline constexpr int kMaxFollowers = 3;

// Magnitude response in dB on the fixed logarithmic grid of eq_response.h.
using ResponseCurve = std::array<float, kResponsePoints>;

inline constexpr float kBandFreqMin = 20.0f;
inline constexpr float kBandFreqMax = 20000.0f;
inline constexpr float kBandGainMin = -15.0f;
inline constexpr float kBandGainMax = 15.0f;
inline constexpr float kDefaultPeqQ = 1.41f;
inline constexpr float kDefaultPassQ = 0.7f; // Q given on a change to LP, HP, LS or HS
inline constexpr float kIgnoredMagnitude = 1e-7f;

struct EqBand {
    float handleX = 0.0f; // plot coordinates of the last drawn handle, for hit-testing
    float handleY = 0.0f;
    int index = 0;
    int kind = kFilterPeq;
    float frequency = 100.0f;
    float gain = 0.0f;
    float q = kDefaultPeqQ;
    ResponseCurve response{};
    float freqMin = kBandFreqMin;
    float freqMax = kBandFreqMax;
    float gainMin = kBandGainMin;
    float gainMax = kBandGainMax;
    int followerCount = 0; // 0, or 3 for a group master
    // Indices into the same band array, so a panel holding its bands by value stays copyable.
    std::array<int, kMaxFollowers> followers{-1, -1, -1};
};

inline constexpr bool IsGroupMaster(const EqBand& band) {
    return band.followerCount > 0;
}

// The band rules. They change fields only; recomputing the curve is the caller's step.
// Non-finite values are ignored like the near-zero ones, so they never reach the device.

// Clamped to the band's frequency limits; |hz| below 1e-7 is ignored.
void SetBandFrequency(EqBand& band, float hz);
// Clamped to the band's gain limits; pass kinds store 0, kind 0 keeps the (clamped) value.
void SetBandGain(EqBand& band, float db);
// Clamped to 0.1..30 for PEQ and 0.1..2 otherwise; |q| below 1e-7 is ignored.
void SetBandQ(EqBand& band, float q);
// PEQ gets Q 1.41; LP, HP, LS, HS get gain 0 and Q 0.7; other codes change only the kind.
void SetBandKind(EqBand& band, int kind);

} // namespace fenno
