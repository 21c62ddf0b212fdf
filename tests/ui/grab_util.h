// Reading back what a widget painted, in logical coordinates at any device pixel ratio.
#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>
#include <cmath>

namespace fenno::test {

inline QImage Grab(QWidget* w) {
    return w->grab().toImage();
}

inline QColor PixelAt(const QImage& img, QPoint logical) {
    const qreal d = img.devicePixelRatio();
    return img.pixelColor(static_cast<int>(std::floor(logical.x() * d)),
                          static_cast<int>(std::floor(logical.y() * d)));
}

inline QImage Region(const QImage& img, QRect logical) {
    const qreal d = img.devicePixelRatio();
    return img.copy(QRectF(logical.topLeft() * d, logical.size() * d).toRect());
}

} // namespace fenno::test
