// One built-in caption table: the [String] section of an INI-style text keyed by
// "IDD<template>_title" and "IDD<template>_<control id>".
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>

namespace fenno {

inline constexpr int kChineseTableId = 331;
inline constexpr int kEnglishTableId = 332;

QString TitleKey(int templateId);
QString CaptionKey(int templateId, int controlId);

class LanguageTable {
  public:
    // UTF-8 text. Comment lines ("//" or ";"), blank lines, lines without "=" and other
    // sections are skipped. Keys compare without regard to case and the first of two equal
    // keys wins, as with the platform INI reader the tables were written for. A value in
    // double quotes keeps its inner spaces.
    static LanguageTable Parse(const QByteArray& text);

    // The table shipped as resource ":/lang/<tableId>"; nullopt when there is none.
    static std::optional<QByteArray> BuiltInText(int tableId);

    // Empty when the key is missing.
    QString value(const QString& key) const;
    QString title(int templateId) const { return value(TitleKey(templateId)); }
    QString caption(int templateId, int controlId) const {
        return value(CaptionKey(templateId, controlId));
    }

    bool contains(const QString& key) const { return m_values.contains(key.toLower()); }
    int size() const { return static_cast<int>(m_values.size()); }
    QStringList keys() const { return m_keys; }

  private:
    QHash<QString, QString> m_values; // lower-case key -> value
    QStringList m_keys;               // as written, in file order
};

} // namespace fenno
