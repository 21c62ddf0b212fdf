#include "app/lang/language_table.h"

#include <QFile>
#include <QList>

// Q_INIT_RESOURCE must be used outside any namespace. Calling it also keeps the resource
// object from being dropped by the linker, since it lives in a static library.
static void InitLanguageResources() {
    Q_INIT_RESOURCE(lang);
}

namespace fenno {

QString TitleKey(int templateId) {
    return QStringLiteral("IDD%1_title").arg(templateId);
}

QString CaptionKey(int templateId, int controlId) {
    return QStringLiteral("IDD%1_%2").arg(templateId).arg(controlId);
}

LanguageTable LanguageTable::Parse(const QByteArray& text) {
    LanguageTable table;
    bool inStrings = false;
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed(); // also drops the CR of CR LF
        if (line.isEmpty() || line.startsWith(QLatin1String("//")) || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            inStrings = name.compare(QLatin1String("String"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!inStrings || eq <= 0) continue;
        const QString key = line.left(eq).trimmed();
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        const QString folded = key.toLower();
        if (table.m_values.contains(folded)) continue;
        table.m_values.insert(folded, value);
        table.m_keys.append(key);
    }
    return table;
}

std::optional<QByteArray> LanguageTable::BuiltInText(int tableId) {
    InitLanguageResources();
    QFile file(QStringLiteral(":/lang/%1").arg(tableId));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

QString LanguageTable::value(const QString& key) const {
    return m_values.value(key.toLower());
}

} // namespace fenno
