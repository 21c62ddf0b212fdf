// Magnitude response curves of EQ bands on the panels' logarithmic frequency grid.
#pragma once

#include "eq/eq_band.h"

#include <span>

namespace fenno {

// Edges of the frequency axis shared with the EQ panel.
inline constexpr float DisplayFreqMin = 18.0f;
inline constexpr float DisplayFreqMax = 23000.0f;
inline constexpr float kDisplayGainMin = -15.0f;
inline constexpr float kDisplayGainMax = 15.0f;

// Frequency of grid point i (0..511): 18 Hz .. about 22681 Hz, independent of the plot width.
double ResponseFreq(int i);

// Grid point that holds a PEQ band's exact gain, for a plot W pixels wide; -1 when W <= 0.
int CentreIndex(float freqHz, int plotWidth);

// Fills this band's curve only (followers untouched). Does nothing when plotWidth <= 0 or
// the band is kind 0, so the old curve stays.
void ComputeBandResponse(EqBand& band, int plotWidth);

// As above for bands[index]; a group master first moves its followers to its frequency and
// recomputes them. Groups are one level deep: a follower's own followers are not visited, and
// follower indices outside the array or equal to the master are skipped.
void ComputeResponse(std::span<EqBand> bands, int index, int plotWidth);

// Element-wise sum of the curves of bands 0..count-1 whose kind is not 0.
ResponseCurve SumResponse(std::span<const EqBand> bands, int count);

// A band's own curve plus, for a group master, its followers' curves (kind-0 ones left out).
ResponseCurve GroupResponse(std::span<const EqBand> bands, int index);

} // namespace fenno
