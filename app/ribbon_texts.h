// Captions of the ribbon in both languages.
#pragma once

#include <array>

namespace fenno::ribbon {

struct TextPair {
    const char* zh;
    const char* en;
};

inline constexpr TextPair kInputCategory{"输入控制", "Input"};
inline constexpr TextPair kOutputCategory{"输出调节", "Output"};

inline constexpr int kPanelCount = 8;
inline constexpr int kPitchPanel = 5;
// Panel names as the frame builds them.
inline constexpr std::array<TextPair, kPanelCount> kPanelNames{{
    {"话筒音量", "Mic Vol"},
    {"效果总音量", "Efx Vol"},
    {"混响音量", "Reverb Vol"},
    {"回声音量", "Echo Vol"},
    {"音乐音量", "Music Vol"},
    {"音乐变调", "Music Pitch"},
    {"调用", "Load"},
    {"保存", "Save"},
}};
// Panel names a language switch sets (the pitch panel's is formatted with the pitch).
inline constexpr std::array<TextPair, kPanelCount> kSwitchedPanelNames{{
    {"话筒音量", "Mic  Vol"},
    {"效果总音量", "Effect Vol"},
    {"混响音量", "Reverb Vol"},
    {"回声音量", "Echo Vol"},
    {"音乐音量", "Music Vol"},
    {"音乐变调", "Music Pitch"},
    {"调用", "Load"},
    {"保存", "Save"},
}};

inline constexpr TextPair kMute{"静音", "Mute"};
inline constexpr TextPair kLoadMode{"载入模式", "LoadMode"};
inline constexpr TextPair kSaveMode{"保存模式", "SaveMode"};
inline constexpr TextPair kLoadFile{"载入文件", "LoadFile"};
inline constexpr TextPair kSaveFile{"保存文件", "SaveFile"};

inline constexpr TextPair kConnectIp{"网络连接", "Connect IP"};
inline constexpr TextPair kFeatures{"特色功能", "Features"};
inline constexpr TextPair kInputSource{"输入源", "Input Source"};
inline constexpr TextPair kReset{"机器复位", "Reset"};
inline constexpr TextPair kRemote{"遥控学习", "Remote control"};
inline constexpr TextPair kLanguageButton{"中/EN", "中/EN"};

inline constexpr TextPair kOpen{"打开(&O)", "Open(&O)"};
inline constexpr TextPair kSave{"保存(&S)", "Save(&S)"};
inline constexpr TextPair kExit{"退出(&X)", "Exit(&X)"};
inline constexpr TextPair kRecent{"最近的文档(Last documents)", "Last documents(最近的文档)"};

inline const char* Text(const TextPair& t, int language) {
    return language == 1 ? t.en : t.zh;
}

} // namespace fenno::ribbon
