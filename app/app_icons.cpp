#include "app/app_icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace fenno {
namespace {

QPixmap ProgramPixmap(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QRectF r(s * 0.04, s * 0.04, s * 0.92, s * 0.92);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(92, 150, 226));
    g.setColorAt(1, QColor(28, 80, 160));
    p.setPen(QPen(QColor(20, 60, 125), s / 32));
    p.setBrush(g);
    p.drawRoundedRect(r, s * 0.2, s * 0.2);
    // Three level bars of a mixer, the tallest in the middle.
    const qreal w = s * 0.14, gap = s * 0.09, base = s * 0.78;
    const qreal heights[3] = {0.34, 0.52, 0.24};
    qreal x = (s - 3 * w - 2 * gap) / 2;
    p.setPen(Qt::NoPen);
    for (qreal h : heights) {
        p.setBrush(QColor(255, 255, 255, 235));
        p.drawRoundedRect(QRectF(x, base - s * h, w, s * h), w / 3, w / 3);
        x += w + gap;
    }
    return pm;
}

} // namespace

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(ProgramPixmap(size));
    return icon;
}

QIcon AboutIcon() {
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size;
        p.setPen(QPen(QColor(21, 66, 139), s / 12));
        p.setBrush(QColor(255, 255, 255));
        p.drawEllipse(QRectF(s * 0.08, s * 0.08, s * 0.84, s * 0.84));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(21, 66, 139));
        p.drawEllipse(QRectF(s * 0.44, s * 0.22, s * 0.13, s * 0.13));
        p.drawRoundedRect(QRectF(s * 0.44, s * 0.42, s * 0.13, s * 0.36), s * 0.04, s * 0.04);
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace fenno
