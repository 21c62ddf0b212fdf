// Command ids of the main window: ribbon controls, menus, status bar and view commands.
#pragma once

namespace fenno::cmd {

// Application menu.
inline constexpr int kFileOpen = 57601;
inline constexpr int kFileSave = 57603;
inline constexpr int kAbout = 57664;
inline constexpr int kExit = 57665;

// Button row.
inline constexpr int kConnectIp = 32938;
inline constexpr int kFeatures = 32887;
inline constexpr int kInputSource = 32922;
inline constexpr int kMachineReset = 32811;
inline constexpr int kRemoteControl = 32812;
inline constexpr int kLanguage = 32805;

// View commands that no ribbon control issues.
inline constexpr int kHomeTheater = 32771;
inline constexpr int kAutoSub = 32883;

// Load and save panels, per category [Input, Output].
inline constexpr int kLoadModeSplit[2] = {32815, 32900};
inline constexpr int kLoadFile[2] = {32827, 32881};
inline constexpr int kSaveModeSplit[2] = {32819, 32904};
inline constexpr int kSaveFile[2] = {32828, 32882};

// M1..M4 of the split buttons' menus, and the factory restore of the settings window.
inline constexpr int kLoadMode1 = 32910;
inline constexpr int kStoreMode1 = 32914;
inline constexpr int kRestoreMode1 = 32823;

// Noise gate and pitch, [Input, Output].
inline constexpr int kGateLabel[2] = {32842, 32878};
inline constexpr int kGateSlider[2] = {32846, 32879};
inline constexpr int kPitchSlider[2] = {32841, 32880};

// Status bar.
inline constexpr int kLinkPane = 120;
inline constexpr int kModePane = 121;
inline constexpr int kEqBypass = 1121;
inline constexpr int kEqReset = 1122;

} // namespace fenno::cmd
