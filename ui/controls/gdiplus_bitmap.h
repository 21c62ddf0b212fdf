// CGdiPlusBitmap: loads a button or slider image by its number.
#pragma once

#include <QImage>
#include <QSize>

namespace fenno {

// A number names either a PNG shipped as the Qt resource ":/png/<n>.png" or one of our
// drawn pieces (ui/controls/control_art.h). A number that is neither gives no image.
class CGdiPlusBitmap {
  public:
    CGdiPlusBitmap() = default;
    explicit CGdiPlusBitmap(int imageId) { load(imageId); }

    bool load(int imageId);
    bool isNull() const { return m_id == 0; }
    int id() const { return m_id; }

    // The image for a target size; a shipped PNG keeps its own size.
    QImage image(QSize size, qreal dpr) const;

  private:
    int m_id = 0;
    QImage m_file;
};

} // namespace fenno
