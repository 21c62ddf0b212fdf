#include "app/ui_text.h"

#include <QPalette>
#include <QWidget>

namespace fenno {

void PaintDialogBackground(QWidget* w) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, DialogBackground());
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

} // namespace fenno
