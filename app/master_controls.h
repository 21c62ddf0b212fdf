// The ribbon's master levels, mutes, noise gate and pitch, kept the same in both categories.
#pragma once

#include "app/lang/tr2.h"

#include <QString>
#include <array>
#include <functional>

class QPoint;

namespace fenno {

class CRibbonBar;
class CXBmpSlider;
class Device;

enum class LevelChannel { Mic, Effect, Reverb, Echo, Music };
inline constexpr int kLevelChannels = 5;

struct LevelSpec {
    int module, index;     // level parameter
    int onModule, onIndex; // 100 sounding, 0 muted
    Tr2 prefix;
    int label[2], slider[2], mute[2]; // Input, Output category
    int limitByte;                    // machine settings byte with the maximum, -1 for none
    Tr2 limitNotice;
    bool muteNotice;
};

const std::array<LevelSpec, kLevelChannels>& LevelSpecs();

// "%s%3d" with the channel's prefix.
QString LevelLabelText(LevelChannel ch, int language, int value);
// The pitch panel's name right after a language switch: "Music Pitch+2", "音乐变调-1" (the
// pitch display itself reads "Music Pitch:+2").
QString SwitchedPitchPanelName(int language, int pitch);

class MasterControls {
  public:
    struct Hooks {
        std::function<int()> language;
        std::function<void(const QString& text, int ms)> showInfo;
        std::function<void()> pitchChanged; // restarts the pitch refresh timer while connected
    };

    MasterControls(CRibbonBar& ribbon, Device& device, Hooks hooks);

    // Routes a ribbon command; false when the id is not one of these controls.
    bool OnCommand(int id);

    void OnLevel(LevelChannel ch);
    void OnMute(LevelChannel ch);
    void OnNoiseGate();
    void OnPitch();
    // Timer 4.
    void RefreshPitch();
    // After a synchronisation and after a category change.
    void RefreshFromStore();
    // Both boxes of a channel ticked exactly while its on parameter is 0.
    void UpdateMuteBoxes();
    // The ribbon side of a language switch.
    void ApplyLanguage(int language);
    // One notch over a panel of the active category; false when the point is over none.
    bool Wheel(QPoint ribbonPos, int angleDelta);

    // "Output"/"输出调节" active: values are read from the Output category's sliders.
    bool OutputActive() const;
    // One of the two master categories is active (the pitch logic runs only then).
    bool MasterCategoryActive() const;

  private:
    int Side() const { return OutputActive() ? 1 : 0; }
    CXBmpSlider* SliderOf(const int (&ids)[2], int side) const;
    void SetBoth(const int (&ids)[2], int value);
    void SetLabels(LevelChannel ch, int value);
    void SetGateLabels(int value);
    void ShowPitchName(int pitch);
    int Limit(const LevelSpec& spec) const;
    int Lang() const { return m_hooks.language ? m_hooks.language() : 0; }

    CRibbonBar& m_ribbon;
    Device& m_dev;
    Hooks m_hooks;
};

} // namespace fenno
