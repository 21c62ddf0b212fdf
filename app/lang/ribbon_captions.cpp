#include "app/lang/ribbon_captions.h"

#include "app/lang/shell_texts.h"

namespace fenno {
namespace {

bool Is(const QString& name, const char* text) {
    return name == QString::fromUtf8(text);
}

} // namespace

QString RecaptionedCategory(const QString& name, int languageIndex) {
    const bool english = languageIndex == kEnglish;
    for (const Tr2& category : {texts::kCategoryInput, texts::kCategoryOutput}) {
        if (Is(name, english ? category.zh : category.en)) return category.pick(languageIndex);
    }
    return {};
}

QString PitchPanelName(int languageIndex, int pitch) {
    return texts::kPitchLabel.pick(languageIndex) + (pitch >= 0 ? QStringLiteral("+") : QString()) +
           QString::number(pitch);
}

QString LevelLabel(const Tr2& prefix, int languageIndex, int value) {
    return prefix.pick(languageIndex) + QStringLiteral("%1").arg(value, 3);
}

QString NoiseGateLabel(int languageIndex, int value) {
    const int width = languageIndex == kEnglish ? 7 : 3;
    return texts::kNoiseGateLabel.pick(languageIndex) + QStringLiteral("%1").arg(value, width);
}

} // namespace fenno
