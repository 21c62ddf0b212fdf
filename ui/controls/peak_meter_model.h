// Levels, peaks and zones of the LED peak meter, kept apart from its painting.
#pragma once

#include <span>
#include <vector>

namespace fenno {

class PeakMeterModel {
  public:
    static constexpr int kPeakHoldTicks = 10;

    struct Channel {
        double level = 0;
        double peak = 0;
        int hold = 0;
    };

    PeakMeterModel() { m_channels.resize(8); }

    void setChannels(int count); // at least 1; levels of kept channels stay
    void setSegments(int count); // at least 1
    void setRange(int range);    // at least 1
    void setZoneLimits(int limit1, int limit2);

    int channels() const { return static_cast<int>(m_channels.size()); }
    int segments() const { return m_segments; }
    int range() const { return m_range; }
    int limit1() const { return m_limit1; }
    int limit2() const { return m_limit2; }
    const Channel& channel(int index) const { return m_channels.at(static_cast<size_t>(index)); }

    // Values for channels first, first + 1, ...; channels beyond the meter are dropped.
    void setData(std::span<const int> values, int firstChannel);

    // One decay tick. Returns false once everything has fallen to rest (the timer stops).
    bool tick();
    bool atRest() const;

    // How far a level falls per tick, and a peak after its hold time.
    double levelStep() const;
    double peakStep() const;

    // Zone 0 (green), 1 (yellow) or 2 (red) of a segment, counted from the start of the bar.
    int zone(int segment) const;
    bool lit(int channel, int segment) const;
    // Segment that shows the peak, -1 while the peak is 0.
    int peakSegment(int channel) const;

  private:
    std::vector<Channel> m_channels;
    int m_segments = 8;
    int m_range = 60;
    int m_limit1 = 40;
    int m_limit2 = 50;
};

} // namespace fenno
