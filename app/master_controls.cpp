#include "app/master_controls.h"

#include "app/command_ids.h"
#include "app/lang/ribbon_captions.h"
#include "app/lang/shell_texts.h"
#include "app/ribbon_bar.h"
#include "protocol/device.h"
#include "ui/controls/xbmp_slider.h"

#include <QCheckBox>
#include <QLabel>
#include <QPoint>
#include <algorithm>
#include <cmath>

namespace fenno {
namespace {

constexpr int kLevelMin = 0, kLevelMax = 99;
constexpr int kGateMin = 0, kGateMax = 100;
constexpr int kPitchMin = -5, kPitchMax = 5;
constexpr int kPitchBias = 5; // the device word's last byte is pitch + 5
constexpr int kMuted = 0, kSounding = 100;
constexpr int kNoticeMs = 1100;
constexpr int kGateModule = 4, kGateIndex = 17;
constexpr int kPitchModule = 4, kPitchIndex = 16;

constexpr Tr2 kNoLimit{"", ""};
// clang-format off
const std::array<LevelSpec, kLevelChannels> kSpecs{{
    {1, 14, 1, 15, texts::kMicVolLabel, {32832, 32857}, {32829, 32858}, {32847, 32859}, 5,
     texts::kMicOverMax, true},
    {1, 16, 1, 17, texts::kEffectVolLabel, {32833, 32860}, {32830, 32861}, {32939, 32940}, -1,
     kNoLimit, false},
    {3, 24, 3, 25, texts::kReverbVolLabel, {32920, 32921}, {32918, 32919}, {32848, 32862}, -1,
     kNoLimit, true},
    {2, 34, 2, 35, texts::kEchoVolLabel, {32837, 32863}, {32806, 32864}, {32849, 32865}, -1,
     kNoLimit, true},
    {4, 12, 4, 13, texts::kMusicVolLabel, {32834, 32866}, {32831, 32867}, {32850, 32868}, 6,
     texts::kMusicOverMax, true},
}};
// clang-format on

// Panel names a language switch sets; they differ a little from the names the ribbon is
// built with (texts::kPanelNames).
constexpr std::array<Tr2, 8> kSwitchedPanelNames{{
    {"话筒音量", "Mic  Vol"},
    {"效果总音量", "Effect Vol"},
    {"混响音量", "Reverb Vol"},
    {"回声音量", "Echo Vol"},
    {"音乐音量", "Music Vol"},
    {"音乐变调", "Music Pitch"},
    {"调用", "Load"},
    {"保存", "Save"},
}};

const LevelSpec& Spec(LevelChannel ch) {
    return kSpecs[size_t(ch)];
}

bool IsName(const QString& n, const Tr2& pair) {
    return n == QString::fromUtf8(pair.en) || n == QString::fromUtf8(pair.zh);
}
bool IsOutputName(const QString& n) {
    return IsName(n, texts::kCategoryOutput);
}
bool IsInputName(const QString& n) {
    return IsName(n, texts::kCategoryInput);
}

int HostInt(Device& d, int module, int index) {
    return int(std::lround(d.Store().Host(module, index)));
}

} // namespace

const std::array<LevelSpec, kLevelChannels>& LevelSpecs() {
    return kSpecs;
}

QString LevelLabelText(LevelChannel ch, int language, int value) {
    return LevelLabel(Spec(ch).prefix, language, value);
}

QString SwitchedPitchPanelName(int language, int pitch) {
    return kSwitchedPanelNames[texts::kPitchPanel].pick(language) +
           QString::asprintf("%+-d", pitch);
}

MasterControls::MasterControls(CRibbonBar& ribbon, Device& device, Hooks hooks)
    : m_ribbon(ribbon), m_dev(device), m_hooks(std::move(hooks)) {}

bool MasterControls::OutputActive() const {
    return IsOutputName(m_ribbon.ActiveCategoryName());
}

bool MasterControls::MasterCategoryActive() const {
    QString n = m_ribbon.ActiveCategoryName();
    return IsInputName(n) || IsOutputName(n);
}

CXBmpSlider* MasterControls::SliderOf(const int (&ids)[2], int side) const {
    return m_ribbon.Slider(ids[side]);
}

void MasterControls::SetBoth(const int (&ids)[2], int value) {
    for (int side : {0, 1})
        m_ribbon.SetSliderPos(ids[side], value);
}

void MasterControls::SetLabels(LevelChannel ch, int value) {
    QString text = LevelLabelText(ch, Lang(), value);
    for (int id : Spec(ch).label)
        if (QLabel* l = m_ribbon.Label(id)) l->setText(text);
}

void MasterControls::SetGateLabels(int value) {
    QString text = NoiseGateLabel(Lang(), value);
    for (int id : cmd::kGateLabel)
        if (QLabel* l = m_ribbon.Label(id)) l->setText(text);
}

int MasterControls::Limit(const LevelSpec& spec) const {
    if (spec.limitByte < 0) return kLevelMax;
    // The maximum the device applies is the record last sent to it or reported by it.
    std::lock_guard lock(m_dev.State().mutex);
    return m_dev.State().machineSettingsSent[size_t(spec.limitByte)];
}

bool MasterControls::OnCommand(int id) {
    for (int c = 0; c < kLevelChannels; ++c) {
        const LevelSpec& s = kSpecs[size_t(c)];
        if (id == s.slider[0] || id == s.slider[1]) {
            OnLevel(LevelChannel(c));
            return true;
        }
        if (id == s.mute[0] || id == s.mute[1]) {
            OnMute(LevelChannel(c));
            return true;
        }
        if (id == s.label[0] || id == s.label[1]) return true; // labels do nothing
    }
    if (id == cmd::kGateSlider[0] || id == cmd::kGateSlider[1]) {
        OnNoiseGate();
        return true;
    }
    if (id == cmd::kPitchSlider[0] || id == cmd::kPitchSlider[1]) {
        OnPitch();
        return true;
    }
    return id == cmd::kGateLabel[0] || id == cmd::kGateLabel[1];
}

void MasterControls::OnLevel(LevelChannel ch) {
    const LevelSpec& s = Spec(ch);
    CXBmpSlider* source = SliderOf(s.slider, Side());
    if (!source) return;
    int v = source->getPos();
    if (s.limitByte >= 0) {
        int max = Limit(s);
        if (v > max) {
            if (m_hooks.showInfo) m_hooks.showInfo(s.limitNotice.pick(Lang()), kNoticeMs);
            v = max;
        }
    }
    SetBoth(s.slider, v);
    m_dev.Cmd().SetParam(s.module, s.index, v);
    if (s.muteNotice && HostInt(m_dev, s.onModule, s.onIndex) == kMuted && m_hooks.showInfo)
        m_hooks.showInfo(texts::kChannelMuted.pick(Lang()), kNoticeMs);
    SetLabels(ch, v);
}

void MasterControls::OnMute(LevelChannel ch) {
    const LevelSpec& s = Spec(ch);
    int on = HostInt(m_dev, s.onModule, s.onIndex);
    m_dev.Cmd().SetParam(s.onModule, s.onIndex, on != kMuted ? kMuted : kSounding);
    UpdateMuteBoxes();
}

void MasterControls::UpdateMuteBoxes() {
    for (const LevelSpec& s : kSpecs) {
        bool muted = HostInt(m_dev, s.onModule, s.onIndex) == kMuted;
        for (int id : s.mute)
            if (QCheckBox* c = m_ribbon.CheckBox(id)) c->setChecked(muted);
    }
}

void MasterControls::OnNoiseGate() {
    CXBmpSlider* source = SliderOf(cmd::kGateSlider, Side());
    if (!source) return;
    int v = source->getPos();
    SetBoth(cmd::kGateSlider, v);
    m_dev.Cmd().SetParam(kGateModule, kGateIndex, v);
    SetGateLabels(v);
}

void MasterControls::ShowPitchName(int pitch) {
    if (CRibbonPanel* p = m_ribbon.Panel(m_ribbon.ActiveCategory(), texts::kPitchPanel))
        p->SetName(PitchPanelName(Lang(), pitch));
    m_ribbon.Relayout();
}

void MasterControls::OnPitch() {
    if (!MasterCategoryActive()) return;
    CXBmpSlider* source = SliderOf(cmd::kPitchSlider, Side());
    if (!source) return;
    int p = std::clamp(source->getPos(), kPitchMin, kPitchMax);
    if (m_dev.IsConnected() && m_hooks.pitchChanged) m_hooks.pitchChanged();
    m_dev.Store().musicPitch = p;
    const uint8_t word[4] = {0, 0, 0, uint8_t(p + kPitchBias)};
    m_dev.Cmd().SetParamArray(kPitchModule, kPitchIndex, word, 1);
    SetBoth(cmd::kPitchSlider, p);
    ShowPitchName(p);
}

void MasterControls::RefreshPitch() {
    if (!MasterCategoryActive()) return;
    int p = m_dev.Store().musicPitch;
    SetBoth(cmd::kPitchSlider, p);
    ShowPitchName(p);
}

void MasterControls::RefreshFromStore() {
    for (int c = 0; c < kLevelChannels; ++c) {
        const LevelSpec& s = kSpecs[size_t(c)];
        int v = HostInt(m_dev, s.module, s.index);
        SetBoth(s.slider, v);
        SetLabels(LevelChannel(c), v);
    }
    int gate = HostInt(m_dev, kGateModule, kGateIndex);
    SetBoth(cmd::kGateSlider, gate);
    SetGateLabels(gate);
    if (MasterCategoryActive()) {
        for (int side : {0, 1})
            if (CXBmpSlider* s = SliderOf(cmd::kPitchSlider, side))
                s->setRange(kPitchMin, kPitchMax);
        RefreshPitch();
    }
    UpdateMuteBoxes();
    m_ribbon.update();
}

void MasterControls::ApplyLanguage(int language) {
    for (int c = 0; c < m_ribbon.CategoryCount(); ++c) {
        const QString renamed = RecaptionedCategory(m_ribbon.CategoryName(c), language);
        if (renamed.isEmpty()) continue;
        m_ribbon.SetCategoryName(c, renamed);
        for (int i = 0; i < int(kSwitchedPanelNames.size()); ++i) {
            CRibbonPanel* p = m_ribbon.Panel(c, i);
            if (!p) continue;
            p->SetName(i == texts::kPitchPanel
                           ? SwitchedPitchPanelName(language, m_dev.Store().musicPitch)
                           : kSwitchedPanelNames[size_t(i)].pick(language));
        }
    }
    for (int c = 0; c < kLevelChannels; ++c) {
        const LevelSpec& s = kSpecs[size_t(c)];
        SetLabels(LevelChannel(c), HostInt(m_dev, s.module, s.index));
        for (int id : s.mute)
            if (QCheckBox* box = m_ribbon.CheckBox(id)) box->setText(texts::kMute.pick(language));
    }
    SetGateLabels(HostInt(m_dev, kGateModule, kGateIndex));
    m_ribbon.Relayout();
}

bool MasterControls::Wheel(QPoint ribbonPos, int angleDelta) {
    if (!MasterCategoryActive()) return false;
    const int step = angleDelta > 0 ? 1 : -1;
    const int side = m_ribbon.ActiveCategory() == 1 ? 1 : 0;
    const int(*ids)[2] = nullptr;
    int panel = m_ribbon.PanelAt(ribbonPos);
    if (panel >= 0 && panel < kLevelChannels) {
        ids = &kSpecs[size_t(panel)].slider;
    } else {
        auto over = [&](const int(&sliders)[2]) {
            CXBmpSlider* s = SliderOf(sliders, side);
            return s && s->isVisible() &&
                   QRect(s->mapTo(&m_ribbon, QPoint(0, 0)), s->size()).contains(ribbonPos);
        };
        if (over(cmd::kPitchSlider))
            ids = &cmd::kPitchSlider;
        else if (over(cmd::kGateSlider))
            ids = &cmd::kGateSlider;
    }
    if (!ids) return false;
    // Both sliders move first; each then fires its command, as two posted notifications would.
    for (int s : {0, 1})
        if (CXBmpSlider* slider = SliderOf(*ids, s))
            m_ribbon.SetSliderPos((*ids)[s], slider->getPos() + step);
    for (int s : {0, 1})
        m_ribbon.Fire((*ids)[s]);
    return true;
}

} // namespace fenno
