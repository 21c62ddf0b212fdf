#include "ui/controls/xbmp_slider.h"

#include "ui/controls/control_art.h"
#include "ui/controls/control_id.h"
#include "ui/controls/mem_dc.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <utility>

namespace fenno {
namespace {

constexpr int kWheelNotch = 120;

struct ImageIds {
    int track, thumb, focused, disabled;
};

// Sliders that were never given images get the look of the output page.
constexpr ImageIds kDefaultHorizontal{324, 320, 369, 325};
constexpr ImageIds kDefaultVertical{448, 449, 447, 450};

} // namespace

CXBmpSlider::CXBmpSlider(int controlId, QWidget* parent) : QWidget(parent) {
    SetControlId(this, controlId);
    // The press handler takes the focus itself, so a disabled slider does not get it by click.
    setFocusPolicy(Qt::TabFocus);
}

int CXBmpSlider::controlId() const {
    return ControlId(this);
}

void CXBmpSlider::setRange(int min, int max) {
    if (min > max) std::swap(min, max);
    m_min = min;
    m_max = max;
    m_pos = mapping().clamp(m_pos);
    update();
}

void CXBmpSlider::setPos(int pos) {
    m_pos = mapping().clamp(pos);
    update();
}

void CXBmpSlider::setSliderEnabled(bool enabled) {
    m_enabled = enabled;
    if (!enabled) m_dragging = false;
    update();
}

void CXBmpSlider::setOrientation(bool vertical) {
    m_vertical = vertical;
    invalidateImages();
    updateGeometry();
    update();
}

void CXBmpSlider::setMargins(int left, int right, int top, int bottom) {
    m_margins = QMargins(left, top, right, bottom);
    invalidateImages();
    updateGeometry();
    update();
}

void CXBmpSlider::setBackgroundColour(const QColor& colour) {
    m_background = colour;
    update();
}

void CXBmpSlider::setImages(int track, int thumb, int focusedThumb, int disabledThumb) {
    m_ownImages = false;
    m_trackId = track;
    m_thumbId = thumb;
    m_focusedId = focusedThumb;
    m_disabledId = disabledThumb;
    invalidateImages();
    updateGeometry();
    update();
}

void CXBmpSlider::setImages(const QPixmap& background, const QPixmap& fill, const QPixmap& thumb,
                            const QPixmap& focusedThumb, const QPixmap& disabledThumb) {
    m_ownImages = true;
    m_images = {background, fill, thumb, focusedThumb, disabledThumb};
    updateGeometry();
    update();
}

QSize CXBmpSlider::thumbSize() const {
    if (m_ownImages) return m_images.thumb.deviceIndependentSize().toSize();
    const int id =
        m_thumbId ? m_thumbId : (m_vertical ? kDefaultVertical : kDefaultHorizontal).thumb;
    const art::ArtInfo info = art::Lookup(id);
    return info.kind == art::ArtInfo::Kind::SliderThumb ? info.thumbSize
                                                        : art::DefaultThumbSize(m_vertical);
}

SliderGeometry CXBmpSlider::mapping() const {
    return {size(), thumbSize(), m_margins, m_vertical, m_min, m_max};
}

QSize CXBmpSlider::sizeHint() const {
    const QSize t = thumbSize();
    if (m_vertical) return {m_margins.left() + t.width() + m_margins.right(), 120};
    return {120, m_margins.top() + t.height() + m_margins.bottom()};
}

QSize CXBmpSlider::minimumSizeHint() const {
    const QSize t = thumbSize();
    return {m_margins.left() + t.width() + m_margins.right(),
            m_margins.top() + t.height() + m_margins.bottom()};
}

void CXBmpSlider::invalidateImages() {
    m_imagesSize = QSize();
}

const CXBmpSlider::Images& CXBmpSlider::images() {
    const qreal dpr = devicePixelRatioF();
    if (m_ownImages || (m_imagesSize == size() && m_imagesDpr == dpr)) return m_images;
    const ImageIds fallback = m_vertical ? kDefaultVertical : kDefaultHorizontal;
    const ImageIds ids =
        m_trackId ? ImageIds{m_trackId, m_thumbId, m_focusedId, m_disabledId} : fallback;
    const SliderGeometry g = mapping();
    auto accentOf = [](int id, QColor otherwise) {
        const art::ArtInfo info = art::Lookup(id);
        return info.kind == art::ArtInfo::Kind::None ? otherwise : info.accent;
    };
    const QColor trackAccent = accentOf(ids.track, QColor(25, 181, 254));
    auto thumb = [&](int id, art::ThumbLook look) {
        const art::ArtInfo info = art::Lookup(id);
        if (info.kind != art::ArtInfo::Kind::SliderThumb) return QPixmap();
        return art::SliderThumb(g.thumb, m_vertical, look, info.accent, dpr);
    };
    const bool haveTrack = art::Lookup(ids.track).kind == art::ArtInfo::Kind::SliderTrack;
    m_images.background = haveTrack ? art::SliderTrack(g, trackAccent, false, dpr) : QPixmap();
    m_images.fill = haveTrack ? art::SliderTrack(g, trackAccent, true, dpr) : QPixmap();
    m_images.thumb = thumb(ids.thumb, art::ThumbLook::Normal);
    m_images.focusedThumb = thumb(ids.focused, art::ThumbLook::Focused);
    m_images.disabledThumb = thumb(ids.disabled, art::ThumbLook::Disabled);
    m_imagesSize = size();
    m_imagesDpr = dpr;
    return m_images;
}

void CXBmpSlider::paintEvent(QPaintEvent*) {
    CMemGdiPlusDC dc(this, m_background);
    QPainter& p = dc.painter();
    const Images& im = images();
    const SliderGeometry g = mapping();
    const QRect thumb = g.thumbRect(m_pos);

    p.drawPixmap(0, 0, im.background);
    p.save();
    if (m_vertical)
        p.setClipRect(QRect(0, thumb.top(), width(), height() - thumb.top()));
    else
        p.setClipRect(QRect(0, 0, thumb.left(), height()));
    p.drawPixmap(0, 0, im.fill);
    p.restore();

    const QPixmap& face = !m_enabled ? im.disabledThumb : hasFocus() ? im.focusedThumb : im.thumb;
    p.drawPixmap(thumb.topLeft(), face);
}

void CXBmpSlider::notifyChanged() {
    update();
    emit positionChanged(controlId(), m_pos);
}

void CXBmpSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_enabled) {
        event->ignore();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    m_pressed = true;
    const SliderGeometry g = mapping();
    const QPoint at = event->position().toPoint();
    if (g.hitsThumb(m_pos, at))
        m_dragging = true;
    else
        m_pos = g.stepToward(m_pos, at);
    notifyChanged();
}

void CXBmpSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) {
        event->ignore();
        return;
    }
    const int pos = mapping().dragPos(event->position().toPoint());
    // Sub-step pointer moves would only repeat the same value to the device.
    if (pos == m_pos) return;
    m_pos = pos;
    notifyChanged();
}

void CXBmpSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pressed) {
        event->ignore();
        return;
    }
    m_pressed = false;
    m_dragging = false;
    update();
    emit released(controlId(), m_pos);
}

void CXBmpSlider::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) {
        QWidget::keyPressEvent(event);
        return;
    }
    // Every other key stays with the slider, also while it is disabled.
    event->accept();
    if (!m_enabled) return;
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        step = 1;
        break;
    case Qt::Key_Left:
    case Qt::Key_Down:
        step = -1;
        break;
    default:
        return;
    }
    m_pos = mapping().clamp(m_pos + step);
    notifyChanged();
    emit released(controlId(), m_pos);
}

void CXBmpSlider::wheelEvent(QWheelEvent* event) {
    event->accept();
    // High-resolution wheels deliver fractions of a notch; they add up to whole steps.
    m_wheelRemainder += event->angleDelta().y();
    const int notches = m_wheelRemainder / kWheelNotch;
    if (notches == 0) return;
    m_wheelRemainder -= notches * kWheelNotch;
    m_pos = mapping().clamp(m_pos + notches);
    notifyChanged();
    emit released(controlId(), m_pos);
}

void CXBmpSlider::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
    emit focusGained(controlId(), m_pos);
}

void CXBmpSlider::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

} // namespace fenno
