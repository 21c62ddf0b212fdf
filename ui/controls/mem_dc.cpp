#include "ui/controls/mem_dc.h"

#include <QWidget>

namespace fenno {

CMemGdiPlusDC::CMemGdiPlusDC(QWidget* target) : CMemGdiPlusDC(target, Qt::transparent) {}

CMemGdiPlusDC::CMemGdiPlusDC(QWidget* target, QColor fill)
    : m_target(target),
      m_pixmap(target->size().expandedTo(QSize(1, 1)) * target->devicePixelRatioF()) {
    m_pixmap.setDevicePixelRatio(target->devicePixelRatioF());
    m_pixmap.fill(fill);
    m_painter.begin(&m_pixmap);
    m_painter.setRenderHint(QPainter::Antialiasing);
    m_painter.setFont(target->font());
}

CMemGdiPlusDC::~CMemGdiPlusDC() {
    flush();
}

void CMemGdiPlusDC::flush() {
    if (m_flushed) return;
    m_flushed = true;
    m_painter.end();
    QPainter screen(m_target);
    screen.drawPixmap(0, 0, m_pixmap);
}

} // namespace fenno
