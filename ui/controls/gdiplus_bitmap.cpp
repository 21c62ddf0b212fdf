#include "ui/controls/gdiplus_bitmap.h"

#include "ui/controls/control_art.h"

#include <QFile>

namespace fenno {

bool CGdiPlusBitmap::load(int imageId) {
    m_id = 0;
    m_file = QImage();
    const QString path = QStringLiteral(":/png/%1.png").arg(imageId);
    if (QFile::exists(path) && m_file.load(path)) {
        m_id = imageId;
        return true;
    }
    if (art::Lookup(imageId).kind == art::ArtInfo::Kind::ButtonFace) {
        m_id = imageId;
        return true;
    }
    return false;
}

QImage CGdiPlusBitmap::image(QSize size, qreal dpr) const {
    if (m_id == 0) return {};
    if (!m_file.isNull()) return m_file;
    return art::ButtonFace(m_id, size, dpr);
}

} // namespace fenno
