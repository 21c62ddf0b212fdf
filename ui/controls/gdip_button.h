// CGdipButton: a push button drawn from images, with a selected (pressed-down) state.
#pragma once

#include "ui/controls/gdiplus_bitmap.h"

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QTimer>

namespace fenno {

// The parent shows through transparent image edges by itself (Qt composes children over
// their parent), so no copy of the parent's background is kept.
class CGdipButton : public QAbstractButton {
    Q_OBJECT
  public:
    static constexpr int kTooltipMs = 2000;
    static constexpr int kHoverDelayMs = 1;

    // What the next paint draws. Precedence: disabled, selected, pressed, hover.
    enum class Face { Standard, Hover, Pressed, Disabled, Alternate };

    explicit CGdipButton(int controlId, QWidget* parent = nullptr);

    int controlId() const;

    // Image numbers (e.g. 414 standard, 395 alternate); 0 or an unknown number gives none.
    void setImages(int standardImage, int alternateImage = 0);
    void setImages(const QImage& standard, const QImage& alternate = {});
    bool hasImage() const;

    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }

    bool isHovered() const { return m_hover; }

    void setTextColour(const QColor& colour);
    QColor textColour() const { return m_textColour; }

    // Shown when the pointer rests on the button, removed after kTooltipMs.
    void setTooltipText(const QString& text) { m_tooltip = text; }
    QString tooltipText() const { return m_tooltip; }

    Face face() const;

    QSize sizeHint() const override;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QImage imageFor(Face face);
    void invalidateImages();

    CGdiPlusBitmap m_standardArt, m_alternateArt;
    QImage m_standardOwn, m_alternateOwn;
    bool m_ownImages = false;

    // Faces rendered for the current size and pixel ratio.
    QImage m_standard, m_alternate, m_bright, m_grey, m_greyAlternate;
    QSize m_cachedSize;
    qreal m_cachedDpr = 0;

    bool m_selected = false;
    bool m_hover = false;
    QTimer m_hoverTimer;
    QColor m_textColour{Qt::black};
    QString m_tooltip;
};

} // namespace fenno
