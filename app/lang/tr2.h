// A text in both languages, Chinese first, picked by the language index.
#pragma once

#include <QString>

namespace fenno {

inline constexpr int kChinese = 0;
inline constexpr int kEnglish = 1;

struct Tr2 {
    const char* zh; // UTF-8
    const char* en;

    QString pick(int languageIndex) const {
        return QString::fromUtf8(languageIndex == kEnglish ? en : zh);
    }
};

} // namespace fenno
