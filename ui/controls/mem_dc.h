// Off-screen drawing surfaces: a paint builds the whole picture in a pixmap of the client
// size, then copies it to the widget in one step.
#pragma once

#include <QColor>
#include <QPainter>
#include <QPixmap>

class QWidget;

namespace fenno {

// Use inside paintEvent: draw through painter(); the destructor (or flush()) puts the
// picture on the widget. The buffer starts transparent so parents show through.
class CMemGdiPlusDC {
  public:
    explicit CMemGdiPlusDC(QWidget* target);
    CMemGdiPlusDC(QWidget* target, QColor fill);
    ~CMemGdiPlusDC();
    CMemGdiPlusDC(const CMemGdiPlusDC&) = delete;
    CMemGdiPlusDC& operator=(const CMemGdiPlusDC&) = delete;

    QPainter& painter() { return m_painter; }
    const QPixmap& pixmap() const { return m_pixmap; }

    // Ends drawing and copies the buffer to the widget; later calls do nothing.
    void flush();

  private:
    QWidget* m_target;
    QPixmap m_pixmap;
    QPainter m_painter;
    bool m_flushed = false;
};

// The meter's surface: the same buffer, cleared with the meter's background first.
class CPeakMemDC : public CMemGdiPlusDC {
  public:
    CPeakMemDC(QWidget* target, QColor background) : CMemGdiPlusDC(target, background) {}
};

} // namespace fenno
