#include "app/lang/apply_language.h"

#include "app/lang/language_table.h"
#include "ui/controls/control_id.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaProperty>
#include <QWidget>

namespace fenno {
namespace {

int CaptionChildren(QWidget* parent, int templateId, const LanguageTable& table, bool lookThrough) {
    int applied = 0;
    for (QObject* child : parent->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w) continue;
        const int id = ControlId(w);
        if (id >= 0) {
            const QString text = table.caption(templateId, id);
            if (!text.isEmpty()) {
                SetCaption(w, text);
                ++applied;
            }
        }
        if (lookThrough && w->property(kCaptionPassThroughProperty).toBool())
            applied += CaptionChildren(w, templateId, table, false);
    }
    return applied;
}

} // namespace

void SetCaption(QWidget* control, const QString& caption) {
    if (auto* box = qobject_cast<QGroupBox*>(control))
        box->setTitle(caption);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(caption);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(caption);
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(caption);
    else if (const QMetaObject* mo = control->metaObject();
             mo->indexOfProperty("text") >= 0 &&
             mo->property(mo->indexOfProperty("text")).isWritable())
        control->setProperty("text", caption);
    else
        control->setWindowTitle(caption);
}

int ApplyLanguage(QWidget* window, int templateId, const LanguageTable& table) {
    int applied = 0;
    const QString title = table.title(templateId);
    if (!title.isEmpty()) {
        window->setWindowTitle(title);
        ++applied;
    }
    return applied + CaptionChildren(window, templateId, table, true);
}

} // namespace fenno
