// Putting a caption table onto a window and its controls.
#pragma once

#include <QString>

class QWidget;

namespace fenno {

class LanguageTable;

// A direct child with this property set to true is looked through: its own children with
// control ids are captioned as if they were the window's (for frames that only group
// controls in a layout). Other grandchildren are never visited.
inline constexpr char kCaptionPassThroughProperty[] = "captionPassThrough";

// Sets the text a control shows: group box title, button, label or edit text, else the
// window title.
void SetCaption(QWidget* control, const QString& caption);

// Title from "IDD<templateId>_title", then every direct child with a controlId property from
// "IDD<templateId>_<id>", in child order. Missing or empty values leave captions alone.
// Returns how many captions were set (the title included).
int ApplyLanguage(QWidget* window, int templateId, const LanguageTable& table);

} // namespace fenno
