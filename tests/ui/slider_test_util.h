// Helpers for driving the slider with real events at points from its own mapping.
#pragma once

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>

namespace fenno::test {

// A wheel turn of n notches (positive = away from the user) at the widget's centre.
inline void Wheel(QWidget* w, int notches, int delta = 120) {
    const QPointF at = QRectF(w->rect()).center();
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta * notches), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

} // namespace fenno::test
