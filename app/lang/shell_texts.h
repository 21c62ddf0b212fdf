// Texts of the main window, its ribbon and the shell dialogs that the program builds itself
// (they are not in the caption tables). Tr2{zh, en}; pairs with equal halves exist in one
// language only.
#pragma once

#include "app/lang/tr2.h"

#include <array>

namespace fenno::texts {

inline constexpr char kMainTitle[] = "调音软件_V24.01_20180920";

// Application menu.
inline constexpr Tr2 kMenuOpen{"打开(&O)", "Open(&O)"};
inline constexpr Tr2 kMenuSave{"保存(&S)", "Save(&S)"};
inline constexpr Tr2 kMenuExit{"退出(&X)", "Exit(&X)"};
inline constexpr Tr2 kRecentFiles{"最近的文档(Last documents)", "Last documents(最近的文档)"};

// Categories and their panels, in panel order.
inline constexpr Tr2 kCategoryInput{"输入控制", "Input"};
inline constexpr Tr2 kCategoryOutput{"输出调节", "Output"};
inline constexpr std::array<Tr2, 8> kPanelNames{{
    {"话筒音量", "Mic Vol"},
    {"效果总音量", "Efx Vol"},
    {"混响音量", "Reverb Vol"},
    {"回声音量", "Echo Vol"},
    {"音乐音量", "Music Vol"},
    {"音乐变调", "Music Pitch"},
    {"调用", "Load"},
    {"保存", "Save"},
}};
inline constexpr int kPitchPanel = 5;

// Level label prefixes ("%s%3d"); the noise gate and pitch have their own formats.
inline constexpr Tr2 kMicVolLabel{"话筒音量:", "Mic    Vol: "};
inline constexpr Tr2 kEffectVolLabel{"效果总音量:", "Effect    Vol:"};
inline constexpr Tr2 kReverbVolLabel{"混响音量:  ", "Reverb Vol:"};
inline constexpr Tr2 kEchoVolLabel{"回声音量:", "Echo Vol:"};
inline constexpr Tr2 kMusicVolLabel{"音乐音量:", "Music Vol:"};
inline constexpr Tr2 kNoiseGateLabel{"音乐噪声门:", "Noisegate:"};
inline constexpr Tr2 kPitchLabel{"音乐变调:", "Music Pitch:"};
inline constexpr Tr2 kMute{"静音", "Mute"};

inline constexpr Tr2 kLoadMode{"载入模式", "LoadMode"};
inline constexpr Tr2 kSaveMode{"保存模式", "SaveMode"};
inline constexpr Tr2 kLoadFile{"载入文件", "LoadFile"};
inline constexpr Tr2 kSaveFile{"保存文件", "SaveFile"};

// Button row beside the category tabs.
inline constexpr Tr2 kConnectIp{"网络连接", "Connect IP"};
inline constexpr Tr2 kFeatures{"特色功能", "Features"};
inline constexpr Tr2 kInputSource{"输入源", "Input Source"};
inline constexpr Tr2 kReset{"机器复位", "Reset"};
inline constexpr Tr2 kRemoteControl{"遥控学习", "Remote control"};
inline constexpr char kLanguageButton[] = "中/EN";

// Status bar.
inline constexpr Tr2 kUsbConnected{"USB：已连接", "USB:Connected"};
inline constexpr Tr2 kIpConnected{"IP：已连接", "IP:Connected"};
inline constexpr Tr2 kDisconnected{"未连接", "Disconnected"};
inline constexpr char kLinkPaneInitial[] = "USB:未连接";
inline constexpr Tr2 kCurrentMode{"当前模式:%s", "Current Mode:%s"};
inline constexpr char kModePaneInitial[] = "当前模式：模式一";
inline constexpr Tr2 kEqBypass{"均衡旁路", "Bypass"};
inline constexpr Tr2 kResetEq{"重置均衡", "Reset EQ"};

// Main window notices and questions.
inline constexpr Tr2 kMicOverMax{"不能超过最大话筒音量!", "Mic vol can't over max value!"};
inline constexpr Tr2 kMusicOverMax{"不能超过最大音乐音量!", "Music vol can't over max value!"};
inline constexpr Tr2 kChannelMuted{"当前是静音状态", "vol is mute"};
inline constexpr Tr2 kConnectFirst{"请先连接机器", "Please connect device"};
inline constexpr Tr2 kConnectDeviceFirst{"请先连接设备!", "Please connect device!"};
inline constexpr Tr2 kResetEqQuestion{"您确定重置当前均衡吗?", "Are you sure reset the EQ?"};
inline constexpr char kResetEqTitle[] = "提示";
inline constexpr Tr2 kSaveTitle{"保存?", "Save?"};
inline constexpr Tr2 kSaveQuestion{
    "参数已改动，请问是否需要保存?\r\n提示：保存成电脑文件并同时保存至机器的当前模式",
    "parameter value is changed, do you want save it ?"};
inline constexpr Tr2 kHostTimeout{"主机超时，网络断开!", "Host timeout,Disconnected!"};

// Network dialog (521) messages; its captions are in the tables.
inline constexpr Tr2 kConnectFailed{"错误%d，请确认IP地址和端口号正确!",
                                    "Connect failed. Error %d"};
inline constexpr Tr2 kDeviceConnected{"设备已连接，同步中……", "Device connected!"};
inline constexpr char kPortLabel[] = "通信端口：";
inline constexpr char kScanButton[] = "扫描网段";

// Synchronisation dialog (347).
inline constexpr Tr2 kSyncTitle{"同步过程", "Synchronize"};
inline constexpr Tr2 kSyncDefaultText{"当前正在与机器同步数据,请稍候......",
                                      "Please wait a moment……"};
inline constexpr char kSyncTimeout[] = "发生错误，与设备数据同步超时……";
inline constexpr char kErrorTitle[] = "错误";

// Information box (344) and wait dialog (486, Chinese only).
inline constexpr Tr2 kInfoTitle{"信息", "Information"};
inline constexpr Tr2 kInfoClose{"关闭", "Close"};
inline constexpr char kWaitTitle[] = "请稍等……";
inline constexpr char kWaitAbort[] = "强行中止";

// About box (100).
inline constexpr char kAboutTitle[] = "About";
inline constexpr char kAboutOk[] = "确定";
inline constexpr char kAboutPeak[] = "Peak";

// Start-up failures, shown before the language is known.
inline constexpr char kOleInitFailed[] = "OLE 初始化失败。请确保 OLE 库是正确的版本。";
inline constexpr char kSemaphoreFailed[] = "创建信标对象失败，程序退出！";
inline constexpr char kFirstCopyNotFound[] = "已有一个实例在运行，但找不到它的主窗口！";

} // namespace fenno::texts
