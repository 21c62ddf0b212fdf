// CXBmpSlider: the image slider every editor uses for its levels, times and frequencies.
#pragma once

#include "ui/controls/slider_geometry.h"

#include <QColor>
#include <QMargins>
#include <QPixmap>
#include <QWidget>

namespace fenno {

// Position changes, focus gains and releases go to the page as signals carrying the
// slider's control id and its current position.
//
// The slider keeps its own enabled flag (setSliderEnabled): a disabled slider ignores
// button presses and keys, but still turns with the wheel and still takes the focus.
// QWidget::setEnabled(false) would cut off the wheel too, so pages use the flag instead.
class CXBmpSlider : public QWidget {
    Q_OBJECT
  public:
    explicit CXBmpSlider(int controlId, QWidget* parent = nullptr);

    int controlId() const;

    void setRange(int min, int max); // swapped when given the wrong way round; clamps the position
    int minimum() const { return m_min; }
    int maximum() const { return m_max; }

    void setPos(int pos); // clamped; sends no notification
    int getPos() const { return m_pos; }

    void setSliderEnabled(bool enabled);
    bool isSliderEnabled() const { return m_enabled; }

    void setOrientation(bool vertical);
    bool isVertical() const { return m_vertical; }

    void setMargins(int left, int right, int top, int bottom);
    QMargins margins() const { return m_margins; }

    void setBackgroundColour(const QColor& colour);
    QColor backgroundColour() const { return m_background; }

    // Numbered artwork (e.g. 324, 320, 369, 325); the thumb size comes from the thumb image.
    void setImages(int track, int thumb, int focusedThumb, int disabledThumb);
    // Images of the caller's own; the thumb size comes from `thumb`.
    void setImages(const QPixmap& background, const QPixmap& fill, const QPixmap& thumb,
                   const QPixmap& focusedThumb, const QPixmap& disabledThumb);

    QSize thumbSize() const;
    bool isDragging() const { return m_dragging; }

    // The mapping this slider paints and hit-tests with.
    SliderGeometry mapping() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    void positionChanged(int id, int pos);
    void focusGained(int id, int pos);
    void released(int id, int pos);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    struct Images {
        QPixmap background, fill, thumb, focusedThumb, disabledThumb;
    };
    const Images& images();
    void invalidateImages();
    void notifyChanged();

    int m_min = 0;
    int m_max = 127;
    int m_pos = 0;
    bool m_vertical = false;
    QMargins m_margins;
    bool m_enabled = true;
    bool m_dragging = false;
    bool m_pressed = false;
    int m_wheelRemainder = 0;
    QColor m_background{199, 199, 199};

    // Numbered artwork is redrawn for the current size and pixel ratio; own images are kept.
    bool m_ownImages = false;
    int m_trackId = 0, m_thumbId = 0, m_focusedId = 0, m_disabledId = 0;
    Images m_images;
    QSize m_imagesSize;
    qreal m_imagesDpr = 0;
};

} // namespace fenno
