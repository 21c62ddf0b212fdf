#include "ui/controls/gdip_button.h"

#include "ui/controls/control_art.h"
#include "ui/controls/control_id.h"
#include "ui/controls/mem_dc.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace fenno {

CGdipButton::CGdipButton(int controlId, QWidget* parent) : QAbstractButton(parent) {
    SetControlId(this, controlId);
    QFont f(QStringLiteral("宋体"));
    f.setPixelSize(12);
    setFont(f);
    m_hoverTimer.setSingleShot(true);
    m_hoverTimer.setInterval(kHoverDelayMs);
    connect(&m_hoverTimer, &QTimer::timeout, this, [this] {
        if (underMouse()) {
            m_hover = true;
            update();
        }
    });
}

int CGdipButton::controlId() const {
    return ControlId(this);
}

void CGdipButton::setImages(int standardImage, int alternateImage) {
    m_ownImages = false;
    m_standardArt.load(standardImage);
    m_alternateArt.load(alternateImage);
    invalidateImages();
    update();
}

void CGdipButton::setImages(const QImage& standard, const QImage& alternate) {
    m_ownImages = true;
    m_standardOwn = standard;
    m_alternateOwn = alternate;
    invalidateImages();
    update();
}

bool CGdipButton::hasImage() const {
    return m_ownImages ? !m_standardOwn.isNull() : !m_standardArt.isNull();
}

void CGdipButton::setSelected(bool selected) {
    if (m_selected == selected) return;
    m_selected = selected;
    update();
}

void CGdipButton::setTextColour(const QColor& colour) {
    m_textColour = colour;
    update();
}

CGdipButton::Face CGdipButton::face() const {
    if (!isEnabled()) return Face::Disabled;
    if (m_selected) return Face::Alternate;
    if (isDown()) return Face::Pressed;
    if (m_hover) return Face::Hover;
    return Face::Standard;
}

QSize CGdipButton::sizeHint() const {
    const QFontMetrics fm(font());
    return {std::max(60, fm.horizontalAdvance(text()) + 16), std::max(24, fm.height() + 10)};
}

void CGdipButton::invalidateImages() {
    m_cachedSize = QSize();
}

QImage CGdipButton::imageFor(Face face) {
    const qreal dpr = devicePixelRatioF();
    if (m_cachedSize != size() || m_cachedDpr != dpr) {
        m_standard = m_ownImages ? m_standardOwn : m_standardArt.image(size(), dpr);
        m_alternate = m_ownImages ? m_alternateOwn : m_alternateArt.image(size(), dpr);
        m_bright = art::Brightened(m_standard);
        m_grey = art::Greyed(m_standard);
        m_greyAlternate = m_alternate.isNull() ? m_grey : art::Greyed(m_alternate);
        m_cachedSize = size();
        m_cachedDpr = dpr;
    }
    switch (face) {
    case Face::Hover:
        return m_bright;
    case Face::Disabled:
        return m_selected ? m_greyAlternate : m_grey;
    case Face::Alternate:
        return m_alternate.isNull() ? m_standard : m_alternate;
    case Face::Standard:
    case Face::Pressed:
        break;
    }
    return m_standard;
}

void CGdipButton::paintEvent(QPaintEvent*) {
    CMemGdiPlusDC dc(this);
    QPainter& p = dc.painter();
    const Face f = face();
    const QPoint shift = f == Face::Pressed ? QPoint(1, 1) : QPoint(0, 0);
    const QImage img = imageFor(f);
    if (!img.isNull()) p.drawImage(shift, img);
    if (!text().isEmpty()) {
        p.setFont(font());
        p.setPen(m_textColour);
        p.drawText(rect().translated(shift), Qt::AlignCenter, text());
    }
}

bool CGdipButton::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && !m_tooltip.isEmpty()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(), m_tooltip, this, rect(), kTooltipMs);
        return true;
    }
    return QAbstractButton::event(event);
}

void CGdipButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    m_hoverTimer.start();
}

void CGdipButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    m_hoverTimer.stop();
    m_hover = false;
    update();
}

void CGdipButton::changeEvent(QEvent* event) {
    QAbstractButton::changeEvent(event);
    update();
}

} // namespace fenno
