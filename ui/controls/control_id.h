// The "controlId" property that ties a widget to its caption keys and its notifications.
#pragma once

#include <QObject>
#include <QVariant>

namespace fenno {

inline constexpr char kControlIdProperty[] = "controlId";

inline void SetControlId(QObject* object, int id) {
    object->setProperty(kControlIdProperty, id);
}

// -1 when the object carries no id.
inline int ControlId(const QObject* object) {
    const QVariant v = object->property(kControlIdProperty);
    bool ok = false;
    const int id = v.toInt(&ok);
    return v.isValid() && ok ? id : -1;
}

} // namespace fenno
