#include "app/master_controls.h"

#include "app/command_ids.h"
#include "app/ribbon_bar.h"
#include "app/ribbon_texts.h"
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

const std::array<LevelSpec, kLevelChannels> kSpecs{{
    {1,
     14,
     1,
     15,
     "话筒音量:",
     "Mic    Vol: ",
     {32832, 32857},
     {32829, 32858},
     {32847, 32859},
     5,
     "不能超过最大话筒音量!",
     "Mic vol can't over max value!",
     true},
    {1,
     16,
     1,
     17,
     "效果总音量:",
     "Effect    Vol:",
     {32833, 32860},
     {32830, 32861},
     {32939, 32940},
     -1,
     nullptr,
     nullptr,
     false},
    {3,
     24,
     3,
     25,
     "混响音量:  ",
     "Reverb Vol:",
     {32920, 32921},
     {32918, 32919},
     {32848, 32862},
     -1,
     nullptr,
     nullptr,
     true},
    {2,
     34,
     2,
     35,
     "回声音量:",
     "Echo Vol:",
     {32837, 32863},
     {32806, 32864},
     {32849, 32865},
     -1,
     nullptr,
     nullptr,
     true},
    {4,
     12,
     4,
     13,
     "音乐音量:",
     "Music Vol:",
     {32834, 32866},
     {32831, 32867},
     {32850, 32868},
     6,
     "不能超过最大音乐音量!",
     "Music vol can't over max value!",
     true},
}};

const LevelSpec& Spec(LevelChannel ch) {
    return kSpecs[size_t(ch)];
}

bool IsOutputName(const QString& n) {
    return n == QLatin1String(ribbon::kOutputCategory.en) ||
           n == QString::fromUtf8(ribbon::kOutputCategory.zh);
}
bool IsInputName(const QString& n) {
    return n == QLatin1String(ribbon::kInputCategory.en) ||
           n == QString::fromUtf8(ribbon::kInputCategory.zh);
}

int HostInt(Device& d, int module, int index) {
    return int(std::lround(d.Store().Host(module, index)));
}

} // namespace

const std::array<LevelSpec, kLevelChannels>& LevelSpecs() {
    return kSpecs;
}

QString LevelLabelText(LevelChannel ch, int language, int value) {
    const LevelSpec& s = Spec(ch);
    return QString::asprintf("%s%3d", language == 1 ? s.prefixEn : s.prefixZh, value);
}

QString GateLabelText(int language, int value) {
    return language == 1 ? QString::asprintf("%s%7d", "Noisegate:", value)
                         : QString::asprintf("%s%3d", "音乐噪声门:", value);
}

QString PitchPanelName(int language, int pitch, bool afterSwitch) {
    const char* prefix = afterSwitch ? (language == 1 ? "Music Pitch" : "音乐变调")
                                     : (language == 1 ? "Music Pitch:" : "音乐变调:");
    return QString::asprintf("%s%+-d", prefix, pitch);
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
        if (CXBmpSlider* s = SliderOf(ids, side)) s->setPos(value);
}

void MasterControls::SetLabels(LevelChannel ch, int value) {
    QString text = LevelLabelText(ch, Lang(), value);
    for (int id : Spec(ch).label)
        if (QLabel* l = m_ribbon.Label(id)) l->setText(text);
}

void MasterControls::SetGateLabels(int value) {
    QString text = GateLabelText(Lang(), value);
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
            if (m_hooks.showInfo)
                m_hooks.showInfo(QString::fromUtf8(Lang() == 1 ? s.limitEn : s.limitZh), kNoticeMs);
            v = max;
        }
    }
    SetBoth(s.slider, v);
    m_dev.Cmd().SetParam(s.module, s.index, v);
    if (s.muteNotice && HostInt(m_dev, s.onModule, s.onIndex) == kMuted && m_hooks.showInfo)
        m_hooks.showInfo(Lang() == 1 ? QStringLiteral("vol is mute")
                                     : QStringLiteral("当前是静音状态"),
                         kNoticeMs);
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
    if (CRibbonPanel* p = m_ribbon.Panel(m_ribbon.ActiveCategory(), ribbon::kPitchPanel))
        p->SetName(PitchPanelName(Lang(), pitch, false));
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
    const auto text = [language](const ribbon::TextPair& t) {
        return QString::fromUtf8(ribbon::Text(t, language));
    };
    for (int c = 0; c < m_ribbon.CategoryCount(); ++c) {
        QString name = m_ribbon.CategoryName(c);
        QString renamed;
        if (IsInputName(name) && name != text(ribbon::kInputCategory))
            renamed = text(ribbon::kInputCategory);
        else if (IsOutputName(name) && name != text(ribbon::kOutputCategory))
            renamed = text(ribbon::kOutputCategory);
        if (renamed.isEmpty()) continue;
        m_ribbon.SetCategoryName(c, renamed);
        for (int i = 0; i < ribbon::kPanelCount; ++i) {
            CRibbonPanel* p = m_ribbon.Panel(c, i);
            if (!p) continue;
            p->SetName(i == ribbon::kPitchPanel
                           ? PitchPanelName(language, m_dev.Store().musicPitch, true)
                           : text(ribbon::kSwitchedPanelNames[size_t(i)]));
        }
    }
    for (int c = 0; c < kLevelChannels; ++c) {
        const LevelSpec& s = kSpecs[size_t(c)];
        if (CXBmpSlider* slider = SliderOf(s.slider, 0))
            SetLabels(LevelChannel(c), slider->getPos());
        for (int id : s.mute)
            if (QCheckBox* box = m_ribbon.CheckBox(id)) box->setText(text(ribbon::kMute));
    }
    if (CXBmpSlider* gate = SliderOf(cmd::kGateSlider, 0)) SetGateLabels(gate->getPos());
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
        if (CXBmpSlider* slider = SliderOf(*ids, s)) slider->setPos(slider->getPos() + step);
    for (int s : {0, 1})
        m_ribbon.Fire((*ids)[s]);
    return true;
}

} // namespace fenno
