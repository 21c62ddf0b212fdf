#include "ui/controls/slider_geometry.h"

#include <algorithm>
#include <cstdint>

namespace fenno {

int SliderGeometry::span() const {
    if (vertical) return size.height() - thumb.height() - margins.top() - margins.bottom();
    return size.width() - thumb.width() - margins.left() - margins.right();
}

int SliderGeometry::clamp(int pos) const {
    return std::clamp(pos, min, std::max(min, max));
}

int SliderGeometry::PosToPixel(int pos) const {
    const int origin = vertical ? margins.top() : margins.left();
    const int s = span();
    const int range = max - min;
    // A control smaller than its thumb, or a one-value range, parks the thumb at the start.
    if (s <= 0 || range <= 0) return origin;
    const std::int64_t offset = vertical ? max - clamp(pos) : clamp(pos) - min;
    return origin + static_cast<int>(offset * s / range);
}

int SliderGeometry::PixelToPos(int pixel) const {
    const int s = span();
    const int range = max - min;
    if (s <= 0 || range <= 0) return vertical ? std::max(min, max) : min;
    const std::int64_t along = pixel - (vertical ? margins.top() : margins.left());
    const auto steps = static_cast<int>(along * range / s);
    return clamp(vertical ? max - steps : min + steps);
}

QRect SliderGeometry::thumbRect(int pos) const {
    const int lead = PosToPixel(pos);
    if (vertical) return {QPoint(margins.left(), lead), thumb};
    return {QPoint(lead, margins.top()), thumb};
}

bool SliderGeometry::hitsThumb(int pos, QPoint p) const {
    return thumbRect(pos).contains(p);
}

int SliderGeometry::dragPos(QPoint pointer) const {
    if (vertical) return PixelToPos(pointer.y() - thumb.height() / 2);
    return PixelToPos(pointer.x() - thumb.width() / 2);
}

int SliderGeometry::stepToward(int pos, QPoint pointer) const {
    const QRect t = thumbRect(pos);
    // Doubled coordinates keep the centre exact for odd thumb sizes.
    bool up = false;
    if (vertical)
        up = 2 * pointer.y() < 2 * t.top() + t.height();
    else
        up = 2 * pointer.x() > 2 * t.left() + t.width();
    return clamp(pos + (up ? 1 : -1));
}

} // namespace fenno
