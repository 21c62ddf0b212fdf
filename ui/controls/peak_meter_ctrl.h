// CPeakMeterCtrl: the LED level meter with green, yellow and red zones and a held peak.
#pragma once

#include "ui/controls/peak_meter_model.h"

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <array>
#include <span>

namespace fenno {

class CPeakMeterCtrl : public QWidget {
    Q_OBJECT
  public:
    explicit CPeakMeterCtrl(int controlId, QWidget* parent = nullptr);

    int controlId() const;

    void setChannels(int count);
    void setSegments(int count);
    void setRange(int range);
    void setZoneLimits(int limit1, int limit2);
    void setColours(const std::array<QColor, 3>& lit, const std::array<QColor, 3>& unlit);
    void setBackground(const QColor& colour);
    void setGrid(bool on);
    void setVertical(bool vertical); // one column per channel, filling upwards
    void setDecayPeriod(int ms);     // 0: no decay timer, the meter only repaints

    void setData(std::span<const int> values, int firstChannel = 0);

    const PeakMeterModel& model() const { return m_model; }
    bool isDecaying() const { return m_decay.isActive(); }
    int decayPeriod() const { return m_decayMs; }
    QColor background() const { return m_background; }

    // Where a segment is painted, and in which colour right now.
    QRect segmentRect(int channel, int segment) const;
    QColor segmentColour(int channel, int segment) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void onTick();

    PeakMeterModel m_model;
    std::array<QColor, 3> m_lit{QColor(0, 255, 0), QColor(255, 255, 0), QColor(255, 0, 0)};
    std::array<QColor, 3> m_unlit{QColor(2, 60, 2), QColor(60, 60, 2), QColor(60, 2, 2)};
    QColor m_background;
    bool m_grid = false;
    bool m_vertical = true;
    int m_decayMs = 10;
    QTimer m_decay;
};

} // namespace fenno
