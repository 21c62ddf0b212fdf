#include "ui/controls/peak_meter_model.h"

#include <algorithm>
#include <cmath>

namespace fenno {

void PeakMeterModel::setChannels(int count) {
    m_channels.resize(static_cast<size_t>(std::max(1, count)));
}

void PeakMeterModel::setSegments(int count) {
    m_segments = std::max(1, count);
}

// A range of 0 would make every zone and level test divide by zero.
void PeakMeterModel::setRange(int range) {
    m_range = std::max(1, range);
}

void PeakMeterModel::setZoneLimits(int limit1, int limit2) {
    m_limit1 = limit1;
    m_limit2 = limit2;
}

void PeakMeterModel::setData(std::span<const int> values, int firstChannel) {
    for (size_t i = 0; i < values.size(); ++i) {
        const long index = static_cast<long>(firstChannel) + static_cast<long>(i);
        if (index < 0 || index >= channels()) continue;
        Channel& c = m_channels[static_cast<size_t>(index)];
        c.level = std::clamp(values[i], 0, m_range);
        if (c.level > c.peak) {
            c.peak = c.level;
            c.hold = kPeakHoldTicks;
        }
    }
}

double PeakMeterModel::levelStep() const {
    return m_segments == 1 ? m_range * 10.0 / 100.0 : static_cast<double>(m_range) / m_segments;
}

double PeakMeterModel::peakStep() const {
    return m_segments == 1 ? 5.0 : levelStep() / 2;
}

bool PeakMeterModel::tick() {
    for (Channel& c : m_channels) {
        c.level = std::max(0.0, c.level - levelStep());
        if (c.hold > 0)
            --c.hold;
        else
            c.peak = std::max(0.0, c.peak - peakStep());
    }
    return !atRest();
}

bool PeakMeterModel::atRest() const {
    return std::all_of(m_channels.begin(), m_channels.end(),
                       [](const Channel& c) { return c.level <= 0 && c.peak <= 0 && c.hold == 0; });
}

// "Segment i lies below segments * limit / range", compared exactly as i * range < segments *
// limit.
int PeakMeterModel::zone(int segment) const {
    if (static_cast<long>(segment) * m_range < static_cast<long>(m_segments) * m_limit1) return 0;
    if (static_cast<long>(segment) * m_range < static_cast<long>(m_segments) * m_limit2) return 1;
    return 2;
}

bool PeakMeterModel::lit(int channel, int segment) const {
    return segment * static_cast<double>(m_range) < m_segments * this->channel(channel).level;
}

int PeakMeterModel::peakSegment(int channel) const {
    const double peak = this->channel(channel).peak;
    if (peak <= 0) return -1;
    const int top = static_cast<int>(std::ceil(m_segments * peak / m_range)) - 1;
    return std::clamp(top, 0, m_segments - 1);
}

} // namespace fenno
