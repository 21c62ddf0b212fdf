// The language the program speaks (0 Chinese, 1 English), its active caption table and the
// run-time switch. One instance, owned by the application and handed to the windows.
#pragma once

#include "app/lang/language_table.h"
#include "app/lang/tr2.h"

#include <QByteArray>
#include <QObject>
#include <array>
#include <functional>
#include <optional>

class QWidget;

namespace fenno {

// Windows that are re-captioned after a switch, in the order they are visited.
enum class LanguageTarget {
    MachineSettings,   // 335
    AutoSubDecay,      // 410
    InputSourceSet,    // 543
    AdvancedEq,        // 542, also refreshes its own texts
    InputSource,       // captions always from 512
    RemoteLearning,    // its own refresh (373)
    SmartPlugs,        // its own refresh (479, 481, 482, 516)
    Features,          // 515
    NetworkConnection, // 521
    CurrentPage,       // the main window's page, last
};

inline constexpr std::array kRecaptionOrder{
    LanguageTarget::MachineSettings,   LanguageTarget::AutoSubDecay,
    LanguageTarget::InputSourceSet,    LanguageTarget::AdvancedEq,
    LanguageTarget::InputSource,       LanguageTarget::RemoteLearning,
    LanguageTarget::SmartPlugs,        LanguageTarget::Features,
    LanguageTarget::NetworkConnection, LanguageTarget::CurrentPage,
};

// Caption template of a tool window; -1 for the current page, which knows its own.
int TemplateOf(LanguageTarget target);

// What the main window supplies to re-caption itself after a switch.
struct RecaptionHooks {
    std::function<void()> ribbon;               // always called, first
    std::function<void(LanguageTarget)> window; // each target in kRecaptionOrder, only when the
                                                // table loaded; skip windows that do not exist
};

class Language : public QObject {
    Q_OBJECT
  public:
    // Finds the text of a table by its id (331 Chinese, 332 English).
    using TableSource = std::function<std::optional<QByteArray>(int tableId)>;

    // Loads the table for the index (a stored "language" value; anything but 1 is Chinese).
    explicit Language(int index = kChinese, QObject* parent = nullptr);
    Language(int index, TableSource source, QObject* parent = nullptr);

    int index() const { return m_index; }
    bool isEnglish() const { return m_index == kEnglish; }

    QString text(const Tr2& pair) const { return pair.pick(m_index); }
    QString text(const char* zh, const char* en) const { return Tr2{zh, en}.pick(m_index); }
    QString text(const QString& zh, const QString& en) const { return isEnglish() ? en : zh; }

    // The active table; empty when it could not be loaded.
    const LanguageTable& table() const { return m_table; }
    bool tableLoaded() const { return m_loaded; }

    // Captions of a window from the active table.
    int applyTo(QWidget* window, int templateId) const;

    // Reloads the table of the current language, re-captions the ribbon, then, only if the
    // table loaded, the windows in kRecaptionOrder. Returns whether the table loaded.
    bool applyToApplication(const RecaptionHooks& hooks);

    // The ribbon button "中/EN": flips the index, announces it (the owner stores "language"),
    // then applies it to the application.
    void toggle(const RecaptionHooks& hooks);

  signals:
    void indexChanged(int index);

  private:
    bool loadTable();

    int m_index = kChinese;
    TableSource m_source;
    LanguageTable m_table;
    bool m_loaded = false;
};

} // namespace fenno
