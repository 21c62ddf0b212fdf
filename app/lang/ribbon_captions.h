// Ribbon names and labels that change with the language.
#pragma once

#include "app/lang/tr2.h"

#include <QString>

namespace fenno {

// The name a ribbon category takes on a switch to languageIndex ("Input" <-> "输入控制",
// "Output" <-> "输出调节"); empty when it keeps its name (already in that language, or
// not one of the two).
QString RecaptionedCategory(const QString& name, int languageIndex);

// Pitch panel name, "%s%+-d" of "音乐变调:" / "Music Pitch:" and the pitch: "Music Pitch:+0".
QString PitchPanelName(int languageIndex, int pitch);

// A level label, "%s%3d" of the prefix and the value.
QString LevelLabel(const Tr2& prefix, int languageIndex, int value);

// The noise-gate label: three places in Chinese, seven in English.
QString NoiseGateLabel(int languageIndex, int value);

} // namespace fenno
