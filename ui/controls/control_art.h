// Our own artwork for the controls, drawn with QPainter at the device pixel ratio.
//
// The pages name slider and button images by number (track 324, thumb 320, face 414, ...);
// each number maps to a drawn piece here instead of a bitmap file.
#pragma once

#include "ui/controls/slider_geometry.h"

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QSize>

namespace fenno::art {

enum class ThumbLook { Normal, Focused, Disabled };

// What a numbered image stands for. Unknown numbers give Kind::None (no image).
struct ArtInfo {
    enum class Kind { None, SliderTrack, SliderThumb, ButtonFace };
    Kind kind = Kind::None;
    QColor accent;
    QSize thumbSize; // thumbs only, logical pixels
    ThumbLook look = ThumbLook::Normal;
};

ArtInfo Lookup(int imageId);

// Default thumb size for a slider orientation, used when a slider has no numbered images.
QSize DefaultThumbSize(bool vertical);

// The unlit groove (lit = false) or the lit fill (lit = true) for a slider with geometry g.
// The image covers the whole control; the slider clips the fill to the filled part.
QPixmap SliderTrack(const SliderGeometry& g, QColor accent, bool lit, qreal dpr);

QPixmap SliderThumb(QSize size, bool vertical, ThumbLook look, QColor accent, qreal dpr);

// A button face of the given number drawn to size; null for a number we have no face for.
QImage ButtonFace(int imageId, QSize size, qreal dpr);

// The hover and disabled variants of a button image (colour-matrix style pixel maps).
QImage Brightened(const QImage& image);
QImage Greyed(const QImage& image);

} // namespace fenno::art
