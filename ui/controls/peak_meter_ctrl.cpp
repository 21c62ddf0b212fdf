#include "ui/controls/peak_meter_ctrl.h"

#include "ui/controls/control_id.h"
#include "ui/controls/mem_dc.h"

#include <QApplication>
#include <QPalette>
#include <cmath>

namespace fenno {
namespace {

constexpr int kGridDarken = 15;

QColor Darkened(const QColor& c, int by) {
    return QColor(std::max(0, c.red() - by), std::max(0, c.green() - by),
                  std::max(0, c.blue() - by), c.alpha());
}

int Split(int total, int parts, int index) {
    return static_cast<int>(std::lround(static_cast<double>(total) * index / parts));
}

} // namespace

CPeakMeterCtrl::CPeakMeterCtrl(int controlId, QWidget* parent)
    : QWidget(parent), m_background(QApplication::palette().color(QPalette::Button)) {
    SetControlId(this, controlId);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_decay.setInterval(m_decayMs);
    connect(&m_decay, &QTimer::timeout, this, &CPeakMeterCtrl::onTick);
}

int CPeakMeterCtrl::controlId() const {
    return ControlId(this);
}

void CPeakMeterCtrl::setChannels(int count) {
    m_model.setChannels(count);
    update();
}

void CPeakMeterCtrl::setSegments(int count) {
    m_model.setSegments(count);
    update();
}

void CPeakMeterCtrl::setRange(int range) {
    m_model.setRange(range);
    update();
}

void CPeakMeterCtrl::setZoneLimits(int limit1, int limit2) {
    m_model.setZoneLimits(limit1, limit2);
    update();
}

void CPeakMeterCtrl::setColours(const std::array<QColor, 3>& lit,
                                const std::array<QColor, 3>& unlit) {
    m_lit = lit;
    m_unlit = unlit;
    update();
}

void CPeakMeterCtrl::setBackground(const QColor& colour) {
    m_background = colour;
    update();
}

void CPeakMeterCtrl::setGrid(bool on) {
    m_grid = on;
    update();
}

void CPeakMeterCtrl::setVertical(bool vertical) {
    m_vertical = vertical;
    update();
}

void CPeakMeterCtrl::setDecayPeriod(int ms) {
    m_decayMs = std::max(0, ms);
    if (m_decayMs == 0)
        m_decay.stop();
    else
        m_decay.setInterval(m_decayMs);
}

void CPeakMeterCtrl::setData(std::span<const int> values, int firstChannel) {
    m_model.setData(values, firstChannel);
    if (m_decayMs > 0) m_decay.start(m_decayMs);
    update();
}

void CPeakMeterCtrl::onTick() {
    if (!m_model.tick()) m_decay.stop();
    update();
}

QRect CPeakMeterCtrl::segmentRect(int channel, int segment) const {
    const int channels = m_model.channels();
    const int segments = m_model.segments();
    // A one-pixel seam between channels; with the grid also between segments.
    const int seam = m_grid ? 1 : 0;
    if (m_vertical) {
        const int x0 = Split(width(), channels, channel);
        const int x1 = Split(width(), channels, channel + 1) - (channels > 1 ? 1 : 0);
        const int yBottom = height() - Split(height(), segments, segment);
        const int yTop = height() - Split(height(), segments, segment + 1);
        return QRect(QPoint(x0, yTop + seam), QPoint(x1 - 1, yBottom - 1));
    }
    const int y0 = Split(height(), channels, channel);
    const int y1 = Split(height(), channels, channel + 1) - (channels > 1 ? 1 : 0);
    const int xLeft = Split(width(), segments, segment);
    const int xRight = Split(width(), segments, segment + 1);
    return QRect(QPoint(xLeft, y0), QPoint(xRight - 1 - seam, y1 - 1));
}

QColor CPeakMeterCtrl::segmentColour(int channel, int segment) const {
    const int zone = m_model.zone(segment);
    if (m_model.lit(channel, segment)) return m_lit[static_cast<size_t>(zone)];
    return m_grid ? Darkened(m_unlit[static_cast<size_t>(zone)], kGridDarken)
                  : m_unlit[static_cast<size_t>(zone)];
}

void CPeakMeterCtrl::paintEvent(QPaintEvent*) {
    CPeakMemDC dc(this, m_background);
    QPainter& p = dc.painter();
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int ch = 0; ch < m_model.channels(); ++ch) {
        const int peak = m_model.peakSegment(ch);
        for (int s = 0; s < m_model.segments(); ++s) {
            const QRect r = segmentRect(ch, s);
            p.fillRect(r, segmentColour(ch, s));
            if (s == peak) {
                // The held peak: its segment in the zone colour with a bright edge.
                const QColor zoneColour = m_lit[static_cast<size_t>(m_model.zone(s))];
                p.fillRect(r, zoneColour);
                const QColor edge = zoneColour.lighter(170);
                if (m_vertical)
                    p.fillRect(QRect(r.left(), r.top(), r.width(), std::max(1, r.height() / 4)),
                               edge);
                else
                    p.fillRect(QRect(r.right() - std::max(1, r.width() / 4) + 1, r.top(),
                                     std::max(1, r.width() / 4), r.height()),
                               edge);
            }
        }
    }
}

} // namespace fenno
