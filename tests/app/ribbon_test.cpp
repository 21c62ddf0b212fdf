// The ribbon's master controls against the simulator: what reaches the device, what both
// categories show, the limit and mute notices, the pitch words and the wheel.
#include "app/command_ids.h"
#include "app/info_dlg.h"
#include "app/master_controls.h"
#include "tests/app/app_rig.h"

#include <QCheckBox>
#include <QLabel>

namespace fenno::test {
namespace {

constexpr int kInput = 0, kOutput = 1;
const LevelSpec& Mic() {
    return LevelSpecs()[0];
}
const LevelSpec& Echo() {
    return LevelSpecs()[3];
}
const LevelSpec& Music() {
    return LevelSpecs()[4];
}

class RibbonTest : public AppTest {
  protected:
    void StartSynced(int language = 1) {
        AppSettings().SetLanguage(language);
        rig = std::make_unique<AppRig>();
        ASSERT_TRUE(rig->started);
        ASSERT_TRUE(rig->WaitSynced());
    }
    CXBmpSlider* Slider(int id) { return rig->Ribbon().Slider(id); }
    QString Label(int id) { return rig->Ribbon().Label(id)->text(); }
    QString InfoText() {
        CInfoDlg* info = rig->app->InfoBox();
        return info ? info->Text() : QString();
    }

    std::unique_ptr<AppRig> rig;
};

TEST_F(RibbonTest, OutputMicSliderAt40SendsOnceAndSetsBothCategories) {
    StartSynced(1);
    rig->Ribbon().SetActiveCategory(kOutput);
    const uint64_t writesBefore = rig->Sim().FramesIn(kCmdSetParam);

    ASSERT_EQ(DragSlider(Slider(Mic().slider[kOutput]), 40), 40);
    ASSERT_TRUE(rig->Drain());

    EXPECT_EQ(rig->Sim().FramesIn(kCmdSetParam) - writesBefore, 1u);
    EXPECT_DOUBLE_EQ(SimValue(rig->Sim(), 1, 14), 40.0);
    EXPECT_EQ(Slider(Mic().slider[kInput])->getPos(), 40);
    EXPECT_EQ(Slider(Mic().slider[kOutput])->getPos(), 40);
    for (int id : Mic().label)
        EXPECT_EQ(Label(id), QStringLiteral("Mic    Vol:  40"));
}

TEST_F(RibbonTest, LevelAboveTheDeviceMaximumIsCutToItWithANotice) {
    StartSynced(1);
    {
        // The device's machine settings say: microphone at most 60, music at most 30.
        std::lock_guard lock(rig->Dev().State().mutex);
        rig->Dev().State().machineSettings[5] = 60;
        rig->Dev().State().machineSettings[6] = 30;
    }
    rig->Dev().Cmd().SendMachineSettings();
    ASSERT_TRUE(rig->Drain());

    struct Case {
        const LevelSpec& spec;
        int asked;
        int sent;
        const char* notice;
    } cases[] = {
        {Mic(), 80, 60, "Mic vol can't over max value!"},
        {Music(), 33, 30, "Music vol can't over max value!"},
        {Mic(), 55, 55, ""}, // below the maximum: no notice, the value as asked
    };
    for (const Case& c : cases) {
        if (CInfoDlg* info = rig->app->InfoBox()) info->close();
        QTest::qWait(10);
        DragSlider(Slider(c.spec.slider[kInput]), c.asked);
        ASSERT_TRUE(rig->Drain());
        EXPECT_DOUBLE_EQ(SimValue(rig->Sim(), c.spec.module, c.spec.index), c.sent) << c.asked;
        EXPECT_EQ(Slider(c.spec.slider[kOutput])->getPos(), c.sent);
        EXPECT_EQ(InfoText(), QString::fromUtf8(c.notice)) << c.asked;
    }
}

TEST_F(RibbonTest, MuteBoxFlipsTheOnParameterAndBothBoxesFollow) {
    StartSynced(1);
    const LevelSpec& m = Music();
    // sounding → muted → sounding, clicking alternately in the two categories
    const struct {
        int category;
        double expected;
    } steps[] = {{kInput, 0}, {kOutput, 100}, {kOutput, 0}};
    for (auto step : steps) {
        rig->Ribbon().SetActiveCategory(step.category);
        QCheckBox* box = rig->Ribbon().CheckBox(m.mute[step.category]);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        ASSERT_TRUE(rig->Drain());
        EXPECT_DOUBLE_EQ(SimValue(rig->Sim(), m.onModule, m.onIndex), step.expected);
        for (int id : m.mute)
            EXPECT_EQ(rig->Ribbon().CheckBox(id)->isChecked(), step.expected == 0);
    }
    // A level change on the muted channel is sent and only noted.
    ASSERT_EQ(DragSlider(Slider(m.slider[kOutput]), 25), 25);
    ASSERT_TRUE(rig->Drain());
    EXPECT_DOUBLE_EQ(SimValue(rig->Sim(), m.module, m.index), 25.0);
    EXPECT_EQ(InfoText(), QStringLiteral("vol is mute"));
}

TEST_F(RibbonTest, PitchEndsSendTheBiasedWordAndNameTheActivePanel) {
    StartSynced(1);
    const struct {
        int pitch;
        uint8_t last;
        const char* name;
    } cases[] = {{-5, 0, "Music Pitch:-5"}, {5, 10, "Music Pitch:+5"}, {0, 5, "Music Pitch:+0"}};
    for (auto c : cases) {
        ASSERT_EQ(DragSlider(Slider(cmd::kPitchSlider[kInput]), c.pitch), c.pitch);
        ASSERT_TRUE(rig->Drain());
        EXPECT_EQ(SimWord(rig->Sim(), 4, 16), (std::array<uint8_t, 4>{0, 0, 0, c.last}));
        EXPECT_EQ(rig->Dev().Store().musicPitch, c.pitch);
        EXPECT_EQ(Slider(cmd::kPitchSlider[kOutput])->getPos(), c.pitch);
        EXPECT_EQ(rig->Ribbon().Panel(kInput, 5)->Name(), QString::fromUtf8(c.name));
    }
    // The other category's pitch panel keeps its name.
    EXPECT_EQ(rig->Ribbon().Panel(kOutput, 5)->Name(), QStringLiteral("Music Pitch"));
}

TEST_F(RibbonTest, OneWheelNotchOverTheEchoPanelMovesTheChannelOneStep) {
    StartSynced(1);
    const int before = Slider(Echo().slider[kInput])->getPos();
    CRibbonPanel* echo = rig->Ribbon().Panel(kInput, 3);
    // Over the panel's label, not over the slider itself: the whole panel takes the wheel.
    QLabel* label = rig->Ribbon().Label(Echo().label[kInput]);
    SendWheel(label, label->rect().center(), 1);
    ASSERT_TRUE(rig->Drain());
    EXPECT_EQ(Slider(Echo().slider[kInput])->getPos(), before + 1);
    EXPECT_EQ(Slider(Echo().slider[kOutput])->getPos(), before + 1);
    EXPECT_DOUBLE_EQ(SimValue(rig->Sim(), 2, 34), before + 1);

    SendWheel(echo, echo->rect().center(), -1);
    ASSERT_TRUE(rig->Drain());
    EXPECT_EQ(Slider(Echo().slider[kOutput])->getPos(), before);
    // Over the tabs the wheel does nothing: it never switches categories.
    SendWheel(rig->Ribbon().Tabs(), QPoint(5, 5), -1);
    EXPECT_EQ(rig->Ribbon().ActiveCategory(), kInput);
}

TEST_F(RibbonTest, NoiseGateLabelWidthsDifferByLanguage) {
    for (int lang : {0, 1}) {
        StartSynced(lang);
        ASSERT_EQ(DragSlider(Slider(cmd::kGateSlider[kInput]), 8), 8);
        ASSERT_TRUE(rig->Drain());
        EXPECT_DOUBLE_EQ(SimValue(rig->Sim(), 4, 17), 8.0);
        EXPECT_EQ(Label(cmd::kGateLabel[kOutput]),
                  lang ? QStringLiteral("Noisegate:      8") : QStringLiteral("音乐噪声门:  8"));
        rig.reset();
    }
}

} // namespace
} // namespace fenno::test
