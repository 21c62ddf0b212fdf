// Colours and small helpers shared by the shell's windows.
#pragma once

#include <QColor>
#include <QString>

class QWidget;

namespace fenno {

// Background of the shell's dialogs (light blue).
inline QColor DialogBackground() {
    return QColor(240, 250, 255);
}
inline QColor LinkUpColour() {
    return QColor(0, 150, 0);
}
inline QColor LinkDownColour() {
    return QColor(220, 0, 0);
}

// Element 0 of a text pair is Chinese, element 1 English.
inline QString Pick(int language, const char* zh, const char* en) {
    return QString::fromUtf8(language == 1 ? en : zh);
}

// Fills the widget's background with the dialogs' light blue.
void PaintDialogBackground(QWidget* w);

} // namespace fenno
