// The bands of one EQ panel as a plain value: block, band count, plot width and 40 bands.
#pragma once

#include "eq/eq_band.h"
#include "eq/eq_response.h"

#include <array>
#include <span>

namespace fenno {

inline constexpr int kPanelBandCount = 40;
inline constexpr int kGroupMasterBand = 9; // in output blocks; followers are 10, 11, 12
inline constexpr int kInitialBandCount = 10;

class EqModel {
  public:
    EqModel();

    int Block() const { return m_block; }
    int BandCount() const { return m_bandCount; }
    // Width of the plot area in pixels; 0 until the panel has a window. Curves are computed
    // only while it is positive.
    int PlotWidth() const { return m_plotWidth; }
    // Recomputes every band in use when the width changes to a positive value.
    void SetPlotWidth(int width);

    // All 40 bands; the first BandCount() are in use.
    std::span<EqBand> Bands() { return m_bands; }
    std::span<const EqBand> Bands() const { return m_bands; }
    // nullptr outside 0..39.
    EqBand* BandAt(int index);
    const EqBand* BandAt(int index) const;

    // Default bands of the block (kind 1, 0 dB, Q 1.41 at the block's default frequencies),
    // recomputed; in output blocks 7..14 band 9 becomes the master of bands 10, 11 and 12.
    // Blocks outside 0..23 get the 13-band output layout without a group.
    void SetBlock(int block);
    // Seven PEQ bands at 31 .. 2000 Hz, shown before a host chooses a block.
    void SetPlaceholderBands();

    // Band rules, then the band (with its followers) is recomputed. False for a bad index.
    bool SetBandKind(int index, int kind);
    bool SetBandGain(int index, float db);
    bool SetBandQ(int index, float q);
    bool SetBandFrequency(int index, float hz);

    bool ComputeResponse(int index);
    // Every band in use; followers of a master in use are computed through their master.
    void RecomputeAll();

    bool SetGroupCrossover(int master, int code);
    bool SetGroupKind(int index, int kind);

    ResponseCurve SumResponse() const;
    ResponseCurve GroupResponse(int index) const;

  private:
    void ResetBand(int index, float frequency);

    int m_block = 0;
    int m_bandCount = kInitialBandCount;
    int m_plotWidth = 0;
    std::array<EqBand, kPanelBandCount> m_bands{};
};

} // namespace fenno
