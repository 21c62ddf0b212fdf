// Pixel <-> position mapping of the image slider, shared by its painting, its input and tests.
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace fenno {

struct SliderGeometry {
    QSize size;       // client size in logical pixels
    QSize thumb;      // thumb image size in logical pixels
    QMargins margins; // the thumb travels inside these
    bool vertical = false;
    int min = 0;
    int max = 127;

    // Travel length of the thumb's leading edge along the slider's axis.
    int span() const;

    int clamp(int pos) const;

    // Leading edge of the thumb (x when horizontal, y when vertical) for a position.
    // Vertical sliders have their maximum at the top. Integer maths truncates.
    int PosToPixel(int pos) const;

    // Position for a leading-edge pixel, clamped to min..max.
    int PixelToPos(int pixel) const;

    QRect thumbRect(int pos) const;
    bool hitsThumb(int pos, QPoint p) const;

    // Position while dragging: the pointer holds the thumb by its middle.
    int dragPos(QPoint pointer) const;

    // One step towards the pointer: +1 right of (horizontal) or above (vertical) the
    // thumb's centre, else -1; clamped.
    int stepToward(int pos, QPoint pointer) const;
};

} // namespace fenno
