#include "ui/controls/control_art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>

namespace fenno::art {
namespace {

constexpr QColor kCyan(25, 181, 254);
constexpr QColor kGreen(61, 220, 132);
constexpr QColor kAmber(255, 179, 0);
constexpr QColor kOrange(255, 140, 26);

struct Entry {
    int id;
    ArtInfo info;
};

using Kind = ArtInfo::Kind;

// Horizontal sliders carry tall narrow thumbs, vertical ones wide short thumbs.
const std::array<Entry, 18> kCatalogue{{
    {324, {Kind::SliderTrack, kCyan, {}, ThumbLook::Normal}},
    {399, {Kind::SliderTrack, kGreen, {}, ThumbLook::Normal}},
    {323, {Kind::SliderTrack, kAmber, {}, ThumbLook::Normal}},
    {448, {Kind::SliderTrack, kOrange, {}, ThumbLook::Normal}},
    {320, {Kind::SliderThumb, kCyan, {11, 17}, ThumbLook::Normal}},
    {369, {Kind::SliderThumb, kCyan, {11, 17}, ThumbLook::Focused}},
    {325, {Kind::SliderThumb, kCyan, {11, 17}, ThumbLook::Disabled}},
    {322, {Kind::SliderThumb, kAmber, {22, 11}, ThumbLook::Normal}},
    {350, {Kind::SliderThumb, kAmber, {22, 11}, ThumbLook::Focused}},
    {321, {Kind::SliderThumb, kAmber, {22, 11}, ThumbLook::Disabled}},
    {449, {Kind::SliderThumb, kOrange, {20, 11}, ThumbLook::Normal}},
    {447, {Kind::SliderThumb, kOrange, {20, 11}, ThumbLook::Focused}},
    {450, {Kind::SliderThumb, kOrange, {20, 11}, ThumbLook::Disabled}},
    {413, {Kind::ButtonFace, QColor(52, 62, 76), {}, ThumbLook::Normal}},
    {414, {Kind::ButtonFace, QColor(58, 67, 80), {}, ThumbLook::Normal}},
    {395, {Kind::ButtonFace, QColor(30, 155, 255), {}, ThumbLook::Normal}},
    {491, {Kind::ButtonFace, QColor(200, 48, 40), {}, ThumbLook::Normal}},
    {492, {Kind::ButtonFace, QColor(40, 190, 80), {}, ThumbLook::Normal}},
}};

QPixmap NewPixmap(QSize size, qreal dpr) {
    QPixmap pm(size * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    return pm;
}

QRectF GrooveRect(const SliderGeometry& g) {
    constexpr qreal kThickness = 4.0;
    const QMargins m = g.margins;
    if (g.vertical) {
        const qreal cx = m.left() + g.thumb.width() / 2.0;
        const qreal top = m.top() + g.thumb.height() / 2.0 - kThickness / 2;
        const qreal bottom = g.size.height() - m.bottom() - g.thumb.height() / 2.0 + kThickness / 2;
        return {cx - kThickness / 2, top, kThickness, std::max<qreal>(0, bottom - top)};
    }
    const qreal cy = m.top() + g.thumb.height() / 2.0;
    const qreal left = m.left() + g.thumb.width() / 2.0 - kThickness / 2;
    const qreal right = g.size.width() - m.right() - g.thumb.width() / 2.0 + kThickness / 2;
    return {left, cy - kThickness / 2, std::max<qreal>(0, right - left), kThickness};
}

void DrawPowerGlyph(QPainter& p, QRectF r, QColor colour) {
    const qreal d = std::min(r.width(), r.height()) * 0.42;
    const QRectF ring(r.center().x() - d / 2, r.center().y() - d / 2, d, d);
    QPen pen(colour, std::max<qreal>(1.5, d / 8), Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.drawArc(ring, 125 * 16, 290 * 16);
    p.drawLine(QPointF(ring.center().x(), ring.top() - d * 0.08), ring.center());
}

} // namespace

ArtInfo Lookup(int imageId) {
    for (const Entry& e : kCatalogue)
        if (e.id == imageId) return e.info;
    return {};
}

QSize DefaultThumbSize(bool vertical) {
    return vertical ? QSize(20, 11) : QSize(11, 17);
}

QPixmap SliderTrack(const SliderGeometry& g, QColor accent, bool lit, qreal dpr) {
    QPixmap pm = NewPixmap(g.size.expandedTo(QSize(1, 1)), dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF groove = GrooveRect(g);
    if (groove.isEmpty()) return pm;
    const qreal radius = std::min(groove.width(), groove.height()) / 2;
    if (!lit) {
        // Inset channel: dark body, a shadow along the top and a faint light rim below.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 60));
        p.drawRoundedRect(groove.translated(0, 0.8), radius, radius);
        p.setBrush(QColor(16, 19, 23));
        p.drawRoundedRect(groove, radius, radius);
        p.setPen(QPen(QColor(0, 0, 0, 140), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(groove.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
        return pm;
    }
    // Lit fill: a soft glow behind a bright gradient core.
    p.setPen(Qt::NoPen);
    QColor glow = accent;
    glow.setAlpha(70);
    p.setBrush(glow);
    p.drawRoundedRect(groove.adjusted(-1.2, -1.2, 1.2, 1.2), radius + 1.2, radius + 1.2);
    QLinearGradient grad(groove.topLeft(), g.vertical ? groove.topRight() : groove.bottomLeft());
    grad.setColorAt(0.0, accent.lighter(150));
    grad.setColorAt(0.5, accent);
    grad.setColorAt(1.0, accent.darker(140));
    p.setBrush(grad);
    p.drawRoundedRect(groove, radius, radius);
    return pm;
}

QPixmap SliderThumb(QSize size, bool vertical, ThumbLook look, QColor accent, qreal dpr) {
    QPixmap pm = NewPixmap(size.expandedTo(QSize(1, 1)), dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = 2.0;

    QLinearGradient grad(body.topLeft(), body.bottomLeft());
    if (look == ThumbLook::Disabled) {
        grad.setColorAt(0, QColor(150, 154, 160));
        grad.setColorAt(1, QColor(118, 122, 128));
    } else {
        grad.setColorAt(0, QColor(240, 243, 247));
        grad.setColorAt(0.45, QColor(205, 211, 218));
        grad.setColorAt(1, QColor(150, 158, 168));
    }
    p.setPen(QPen(look == ThumbLook::Disabled ? QColor(96, 100, 106) : QColor(24, 28, 34), 1));
    p.setBrush(grad);
    p.drawRoundedRect(body, radius, radius);

    // Grip line across the thumb, lit in the accent colour when focused.
    const QPointF c = body.center();
    const qreal half = (vertical ? body.width() : body.height()) / 2 - 3;
    const QLineF grip = vertical ? QLineF(c.x() - half, c.y(), c.x() + half, c.y())
                                 : QLineF(c.x(), c.y() - half, c.x(), c.y() + half);
    if (look == ThumbLook::Focused) {
        QColor halo = accent;
        halo.setAlpha(110);
        p.setPen(QPen(halo, 3.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(grip);
        p.setPen(QPen(accent.lighter(120), 1.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(grip);
        p.setPen(QPen(accent, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(body, radius, radius);
    } else if (look == ThumbLook::Normal) {
        p.setPen(QPen(QColor(40, 44, 50), 1.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(grip);
    }
    return pm;
}

QImage ButtonFace(int imageId, QSize size, qreal dpr) {
    const ArtInfo info = Lookup(imageId);
    if (info.kind != ArtInfo::Kind::ButtonFace || size.isEmpty()) return {};
    QImage img(size * dpr, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = std::min<qreal>(4.0, std::min(r.width(), r.height()) / 4);
    const QColor base = info.accent;

    QLinearGradient grad(r.topLeft(), r.bottomLeft());
    grad.setColorAt(0.0, base.lighter(135));
    grad.setColorAt(0.5, base);
    grad.setColorAt(1.0, base.darker(145));
    p.setPen(QPen(base.darker(260), 1));
    p.setBrush(grad);
    p.drawRoundedRect(r, radius, radius);

    // Top sheen.
    QRectF sheen = r.adjusted(1.5, 1.5, -1.5, -r.height() / 2);
    QLinearGradient shine(sheen.topLeft(), sheen.bottomLeft());
    shine.setColorAt(0, QColor(255, 255, 255, 70));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawRoundedRect(sheen, radius - 1, radius - 1);

    if (imageId == 491 || imageId == 492)
        DrawPowerGlyph(p, r, imageId == 492 ? QColor(235, 255, 235) : QColor(255, 225, 220));
    return img;
}

QImage Brightened(const QImage& image) {
    if (image.isNull()) return image;
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = line[x];
            auto lift = [](int v) { return std::min(255, v * 115 / 100 + 28); };
            line[x] = qRgba(lift(qRed(c)), lift(qGreen(c)), lift(qBlue(c)), qAlpha(c));
        }
    }
    out.setDevicePixelRatio(image.devicePixelRatio());
    return out;
}

QImage Greyed(const QImage& image) {
    if (image.isNull()) return image;
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = line[x];
            const int luma = (299 * qRed(c) + 587 * qGreen(c) + 114 * qBlue(c)) / 1000;
            const int v = luma * 55 / 100 + 85;
            line[x] = qRgba(v, v, v, qAlpha(c) * 80 / 100);
        }
    }
    out.setDevicePixelRatio(image.devicePixelRatio());
    return out;
}

} // namespace fenno::art
