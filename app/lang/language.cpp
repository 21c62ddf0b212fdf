#include "app/lang/language.h"

#include "app/lang/apply_language.h"

#include <utility>

namespace fenno {

int TemplateOf(LanguageTarget target) {
    switch (target) {
    case LanguageTarget::MachineSettings:
        return 335;
    case LanguageTarget::AutoSubDecay:
        return 410;
    case LanguageTarget::InputSourceSet:
        return 543;
    case LanguageTarget::AdvancedEq:
        return 542;
    case LanguageTarget::InputSource:
        return 512;
    case LanguageTarget::RemoteLearning:
        return 373;
    case LanguageTarget::SmartPlugs:
        return 479;
    case LanguageTarget::Features:
        return 515;
    case LanguageTarget::NetworkConnection:
        return 521;
    case LanguageTarget::CurrentPage:
        break;
    }
    return -1;
}

Language::Language(int index, QObject* parent)
    : Language(index, &LanguageTable::BuiltInText, parent) {}

Language::Language(int index, TableSource source, QObject* parent)
    : QObject(parent), m_index(index == kEnglish ? kEnglish : kChinese),
      m_source(std::move(source)) {
    loadTable();
}

bool Language::loadTable() {
    const std::optional<QByteArray> text =
        m_source ? m_source(isEnglish() ? kEnglishTableId : kChineseTableId) : std::nullopt;
    // A table that cannot be had leaves every template caption (Chinese) in place.
    m_table = text ? LanguageTable::Parse(*text) : LanguageTable();
    m_loaded = text.has_value();
    return m_loaded;
}

int Language::applyTo(QWidget* window, int templateId) const {
    return ApplyLanguage(window, templateId, m_table);
}

bool Language::applyToApplication(const RecaptionHooks& hooks) {
    const bool loaded = loadTable();
    if (hooks.ribbon) hooks.ribbon();
    if (loaded && hooks.window)
        for (LanguageTarget target : kRecaptionOrder)
            hooks.window(target);
    return loaded;
}

void Language::toggle(const RecaptionHooks& hooks) {
    m_index = kEnglish - m_index;
    emit indexChanged(m_index);
    applyToApplication(hooks);
}

} // namespace fenno
