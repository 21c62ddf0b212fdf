// The view's page area and status bar EQ controls, the tool-window registry with F6 and F7, the
// Input Source choice by model and board code, and the About box's hidden items.
#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "app/info_dlg.h"
#include "app/tool_windows.h"
#include "app/view_page.h"
#include "tests/app/app_rig.h"

#include <QCheckBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace fenno::test {
namespace {

// A page that edits an EQ, standing in for the editor pages.
class EqPage : public CViewPage {
  public:
    EqPage(int templateId, QWidget* parent) : CViewPage(parent), m_template(templateId) {}
    int TemplateId() const override { return m_template; }
    void RefreshFromStore() override { ++refreshes; }
    void ApplyLanguage(int language) override { this->language = language; }
    bool SupportsEq() const override { return true; }
    bool EqBypass() const override { return bypass; }
    void ToggleEqBypass() override { bypass = !bypass; }
    void ResetEq() override { ++resets; }
    void ShowOutputChannel(int channel) override { shownChannel = channel; }

    int m_template;
    int refreshes = 0, resets = 0, language = -1, shownChannel = -1;
    bool bypass = false;
};

// A page without an EQ.
class PlainPage : public EqPage {
  public:
    using EqPage::EqPage;
    bool SupportsEq() const override { return false; }
};

// A tool window standing in for the ones other parts of the program add.
class ToolFixture : public QDialog, public CRefreshable {
  public:
    ToolFixture(QWidget* parent, int variant) : QDialog(parent), variant(variant) {}
    void RefreshFromStore() override { ++refreshes; }
    void ApplyLanguage(int) override {}
    int variant;
    int refreshes = 0;
};

RigOptions Offline() {
    RigOptions o;
    o.demo = false;
    o.firstAttemptMs = 60000;
    return o;
}

class ViewTest : public AppTest {};

TEST_F(ViewTest, EqControlsFollowThePageInTheArea) {
    AppRig rig(Offline());
    CVelkorv13View& view = rig.View();
    EXPECT_EQ(view.CurrentPage(), nullptr); // no editor pages yet: the area stays empty
    EXPECT_FALSE(rig.Frame().EqBypassBox()->isEnabled());

    QPointer<EqPage> output;
    view.RegisterPage(kOutputPage, [&](QWidget* p) { return output = new EqPage(kOutputPage, p); });
    view.RegisterPage(kMusicPage, [](QWidget* p) { return new PlainPage(kMusicPage, p); });
    rig.app->SetOutputChannel(5);
    rig.Ribbon().SetActiveCategory(1);
    ASSERT_TRUE(output);
    EXPECT_EQ(view.CurrentPage(), output.data());
    EXPECT_EQ(output->shownChannel, 5);
    EXPECT_GE(output->width(), 1024); // never laid out smaller than the page area minimum
    EXPECT_GE(output->height(), 520);
    EXPECT_TRUE(rig.Frame().EqBypassBox()->isEnabled());
    EXPECT_TRUE(rig.Frame().EqResetButton()->isEnabled());

    QTest::mouseClick(rig.Frame().EqBypassBox(), Qt::LeftButton);
    EXPECT_TRUE(output->bypass);
    EXPECT_TRUE(rig.Frame().EqBypassBox()->isChecked());

    BoxAnswerer boxes({QMessageBox::No, QMessageBox::Yes});
    QTest::mouseClick(rig.Frame().EqResetButton(), Qt::LeftButton);
    EXPECT_EQ(output->resets, 0);
    QTest::mouseClick(rig.Frame().EqResetButton(), Qt::LeftButton);
    EXPECT_EQ(output->resets, 1);
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.Last().text, QStringLiteral("您确定重置当前均衡吗?"));
    EXPECT_EQ(boxes.Last().title, QStringLiteral("提示"));

    // Back to Input: the output page goes, the music page (no EQ here) comes.
    rig.Ribbon().SetActiveCategory(0);
    EXPECT_TRUE(WaitFor([&] { return output.isNull(); }, 1000));
    ASSERT_NE(view.CurrentPage(), nullptr);
    EXPECT_EQ(view.CurrentPage()->TemplateId(), kMusicPage);
    EXPECT_FALSE(rig.Frame().EqBypassBox()->isEnabled());
    EXPECT_FALSE(rig.Frame().EqResetButton()->isEnabled());
}

void Release(QWidget* w, Qt::Key key) {
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

TEST_F(ViewTest, ToolWindowsAreMadeOnceAndF6NeedsADevice) {
    AppSettings().SetLanguage(1);
    RigOptions idle;
    idle.firstAttemptMs = 60000; // the simulator runs, but nothing connects yet
    AppRig rig(idle);
    int made = 0;
    for (int id : {kToolAdvEq, kToolMachineSettings})
        rig.app->Tools().Register(id, [&made](QWidget* parent, int variant) -> QWidget* {
            ++made;
            return new ToolFixture(parent, variant);
        });

    // F6 before the device is there: nothing, and the key is not used up.
    Release(&rig.Frame(), Qt::Key_F6);
    EXPECT_EQ(rig.app->Tools().Find(kToolAdvEq), nullptr);

    ASSERT_EQ(rig.app->ConnectDemo(), 1);
    rig.View().RunConnected(5000);
    ASSERT_TRUE(rig.WaitSynced());
    Release(&rig.Frame(), Qt::Key_F6);
    auto* eq = dynamic_cast<ToolFixture*>(rig.app->Tools().Find(kToolAdvEq));
    ASSERT_NE(eq, nullptr);
    EXPECT_TRUE(eq->isVisible());
    const int refreshes = eq->refreshes;

    eq->hide();
    Release(&rig.Frame(), Qt::Key_F6); // shown again, the same window, refreshed
    EXPECT_EQ(rig.app->Tools().Find(kToolAdvEq), eq);
    EXPECT_TRUE(eq->isVisible());
    EXPECT_EQ(eq->refreshes, refreshes + 1);

    Release(&rig.Frame(), Qt::Key_F7);
    QPointer<QWidget> settings = rig.app->Tools().Find(kToolMachineSettings);
    ASSERT_TRUE(settings);
    EXPECT_EQ(made, 2);

    // A destroyed window clears its pointer; the next opening makes a new one.
    delete settings.data();
    EXPECT_EQ(rig.app->Tools().Find(kToolMachineSettings), nullptr);
    Release(&rig.Frame(), Qt::Key_F7);
    EXPECT_NE(rig.app->Tools().Find(kToolMachineSettings), nullptr);
    EXPECT_EQ(made, 3);

    // A window no part of the program provides yet says so instead of opening.
    rig.View().OnCommand(cmd::kFeatures);
    ASSERT_NE(rig.app->InfoBox(), nullptr);
    EXPECT_EQ(rig.app->InfoBox()->Text(), QStringLiteral("\"Features\" is not available yet"));
}

TEST_F(ViewTest, InputSourceWindowIsChosenByBoardCodeThenModel) {
    struct Case {
        const char* model;
        uint8_t board0;
        int tool;
        int variant;
    } cases[] = {
        {"Cirra", 0x01, kToolInputSource, 538},
        {"Pellin", 0x01, kToolInputSource, 541},
        {"Zeta", 0x01, kToolInputSource, 512},
        {"Cirra", 0x55, kToolInputSourceSet, 543}, // 'U': the board decides
    };
    for (const Case& c : cases) {
        RigOptions o;
        o.sim.identity.model = c.model;
        o.sim.identity.board[0] = c.board0;
        AppRig rig(o);
        ASSERT_TRUE(rig.WaitSynced()) << c.model;
        int variant = -1, tool = -1;
        for (int id : {kToolInputSource, kToolInputSourceSet})
            rig.app->Tools().Register(id, [&, id](QWidget* parent, int v) -> QWidget* {
                tool = id;
                variant = v;
                return new ToolFixture(parent, v);
            });
        rig.View().OnCommand(cmd::kInputSource);
        EXPECT_EQ(tool, c.tool) << c.model;
        EXPECT_EQ(variant, c.variant) << c.model;
    }
}

TEST_F(ViewTest, AboutBoxShowsTheIdentityAndHidesModelAndPeakUntilTheKey) {
    AppRig rig;
    ASSERT_TRUE(rig.WaitSynced());
    bool polling = true;
    auto status = rig.Dev().State().Status();
    CAboutDlg about(MakeIdentityText(rig.Dev().State().Info(),
                                     CodecBoardsFromStatus(status.data(), status.size())),
                    &polling, &rig.Frame());
    about.show();
    EXPECT_TRUE(about.Line(1007)->isVisible());
    EXPECT_TRUE(about.Line(1007)->text().endsWith("CMD Ver:24"));
    EXPECT_FALSE(about.Line(1005)->isVisible());
    EXPECT_FALSE(about.PeakBox()->isVisible());

    QKeyEvent plain(QEvent::KeyRelease, Qt::Key_F11, Qt::ControlModifier);
    QApplication::sendEvent(&about, &plain);
    EXPECT_FALSE(about.HiddenItemsShown()); // Ctrl alone is not the key
    QKeyEvent key(QEvent::KeyRelease, Qt::Key_F11, Qt::ControlModifier | Qt::ShiftModifier);
    QApplication::sendEvent(&about, &key);
    EXPECT_TRUE(about.Line(1005)->isVisible());
    EXPECT_EQ(about.Line(1005)->text(), "Module:Fenno");
    ASSERT_TRUE(about.PeakBox()->isVisible());
    EXPECT_TRUE(about.PeakBox()->isChecked());
    QTest::mouseClick(about.PeakBox(), Qt::LeftButton, {},
                      QPoint(4, about.PeakBox()->height() / 2));
    EXPECT_FALSE(polling);
}

TEST_F(ViewTest, PeakSwitchOffStopsTheStatusPoll) {
    AppRig rig;
    ASSERT_TRUE(rig.WaitSynced());
    rig.app->LevelPolling() = false;
    QTest::qWait(600); // a poll already on its way may still land
    const uint64_t polls = rig.Sim().FramesIn(kCmdStatus);
    QTest::qWait(1200);
    EXPECT_EQ(rig.Sim().FramesIn(kCmdStatus), polls);
    rig.app->LevelPolling() = true;
    EXPECT_TRUE(WaitFor([&] { return rig.Sim().FramesIn(kCmdStatus) > polls; }, 3000));
}

} // namespace
} // namespace fenno::test
