// Start-up from the settings, the settings store itself, the language switch and the single
// instance hand-over.
#include "app/command_ids.h"
#include "app/dialog_ip.h"
#include "app/master_controls.h"
#include "app/single_instance.h"
#include "tests/app/app_rig.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLockFile>
#include <QSignalSpy>
#include <QToolButton>
#include <QUuid>

namespace fenno::test {
namespace {

// No device and no simulator: the window as it comes up before any link.
RigOptions Offline() {
    RigOptions o;
    o.demo = false;
    o.firstAttemptMs = 60000;
    return o;
}

class StartupTest : public AppTest {};

TEST_F(StartupTest, StartsInTheStoredLanguage) {
    struct Case {
        std::optional<QVariant> stored;
        bool english;
    } cases[] = {{std::nullopt, false}, {0, false}, {1, true}, {7, false}, {QString("en"), false}};
    for (const Case& c : cases) {
        AppSettings settings;
        settings.Store().clear();
        if (c.stored) settings.Store().setValue("language", *c.stored);
        AppRig rig(Offline());
        ASSERT_TRUE(rig.started);
        rig.View().UpdateUi();
        const QString stored = c.stored ? c.stored->toString() : QStringLiteral("none");
        EXPECT_EQ(rig.app->LanguageIndex(), c.english ? 1 : 0) << stored.toStdString();
        EXPECT_EQ(rig.Ribbon().CategoryName(0), c.english ? "Input" : "输入控制");
        EXPECT_EQ(rig.Ribbon().Label(LevelSpecs()[0].label[0])->text(),
                  c.english ? "Mic    Vol: 100" : "话筒音量:100");
        EXPECT_EQ(rig.Frame().LinkPane()->text(), c.english ? "Disconnected" : "未连接");
        EXPECT_EQ(rig.Frame().windowTitle(), QStringLiteral("调音软件_V24.01_20180920"));
    }
}

TEST_F(StartupTest, QtOptionOfAnotherLengthIsIgnored) {
    struct Case {
        QVariant stored;
        LinkFlags flags;
    } cases[] = {
        {QVariant(), {1, 1, 1}},
        {QByteArray("\x00\x01\x00\x00\x00\x00\x00\x00", 8), {0, 1, 0}},
        {QByteArray("\x00\x00\x00\x00\x00", 5), {1, 1, 1}},
        {QByteArray(9, '\0'), {1, 1, 1}},
        {QString("00000000"), {1, 1, 1}}, // eight characters, but not a record
    };
    for (const Case& c : cases) {
        AppSettings settings;
        settings.Store().clear();
        if (c.stored.isValid()) settings.Store().setValue("QtOption", c.stored);
        settings.Store().sync();
        AppRig rig(Offline());
        EXPECT_EQ(rig.app->Links(), c.flags) << c.stored.toByteArray().toHex().toStdString();
    }
}

TEST_F(StartupTest, FrameWritesTheLookAndKeepsItsMinimumSize) {
    AppSettings().Store().setValue("ApplicationLook", 3);
    AppRig rig(Offline());
    EXPECT_EQ(AppSettings().ApplicationLook(), 215);
    EXPECT_EQ(rig.Frame().minimumSize(), QSize(1040, 700));
    rig.Frame().resize(800, 500);
    EXPECT_GE(rig.Frame().width(), 1040);
    EXPECT_GE(rig.Frame().height(), 700);
}

TEST_F(StartupTest, RecentListKeepsTenMostRecentFirst) {
    AppSettings s;
    for (int i = 0; i < 12; ++i)
        s.AddRecentFile(QStringLiteral("/m/%1.mode").arg(i));
    s.AddRecentFile("/m/5.mode"); // again: moves to the front, no duplicate
    QStringList list = AppSettings().RecentFiles();
    ASSERT_EQ(list.size(), 10);
    EXPECT_EQ(list.front(), "/m/5.mode");
    EXPECT_EQ(list[1], "/m/11.mode");
    EXPECT_FALSE(list.contains("/m/1.mode"));
    EXPECT_EQ(list.count("/m/5.mode"), 1);
}

TEST_F(StartupTest, NetworkSettingsDefaults) {
    AppSettings s;
    EXPECT_EQ(s.IpPort(), 30303);
    EXPECT_TRUE(s.IpAddress().isEmpty());
    s.SetIp("10.0.0.7", 4001);
    EXPECT_EQ(AppSettings().IpPort(), 4001);
    EXPECT_EQ(AppSettings().IpAddress(), "10.0.0.7");
    s.Store().setValue("IPPort", "not a port");
    EXPECT_EQ(AppSettings().IpPort(), 30303);
}

TEST_F(StartupTest, LanguageToggleTwiceReturnsAndRecaptions) {
    AppRig rig(Offline());
    auto* dlg = qobject_cast<CDialogIP*>(rig.View().OpenTool(521));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->windowTitle(), "网络连接");

    rig.View().OnCommand(cmd::kLanguage);
    EXPECT_EQ(AppSettings().Language(), 1);
    EXPECT_EQ(rig.Ribbon().CategoryName(0), "Input");
    EXPECT_EQ(rig.Ribbon().CategoryName(1), "Output");
    for (int c : {0, 1}) {
        EXPECT_EQ(rig.Ribbon().Panel(c, 0)->Name(), "Mic  Vol");
        EXPECT_EQ(rig.Ribbon().Panel(c, 1)->Name(), "Effect Vol");
        EXPECT_EQ(rig.Ribbon().Panel(c, 5)->Name(), "Music Pitch+0");
    }
    EXPECT_EQ(rig.Ribbon().CheckBox(LevelSpecs()[2].mute[1])->text(), "Mute");
    EXPECT_EQ(rig.Ribbon().Button(cmd::kLoadFile[0])->text(), "LoadFile");
    EXPECT_EQ(rig.Ribbon().Button(cmd::kConnectIp)->text(), "Connect IP");
    EXPECT_EQ(rig.Frame().LinkPane()->text(), "Disconnected");
    EXPECT_EQ(dlg->windowTitle(), "Connect IP");

    rig.View().OnCommand(cmd::kLanguage);
    EXPECT_EQ(AppSettings().Language(), 0);
    EXPECT_EQ(rig.app->LanguageIndex(), 0);
    EXPECT_EQ(rig.Ribbon().CategoryName(0), "输入控制");
    EXPECT_EQ(rig.Ribbon().CategoryName(1), "输出调节");
    EXPECT_EQ(rig.Ribbon().Panel(1, 5)->Name(), "音乐变调+0");
    // Labels are rewritten with the current values, here the factory ones.
    const int effect = int(rig.Dev().Store().Host(1, 16));
    EXPECT_EQ(rig.Ribbon().Label(LevelSpecs()[1].label[0])->text(),
              QString::asprintf("效果总音量:%3d", effect));
    EXPECT_EQ(rig.Ribbon().Button(cmd::kConnectIp)->text(), "网络连接");
    EXPECT_EQ(dlg->windowTitle(), "网络连接");
}

QString UniqueName() {
    return QStringLiteral("fenno-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

TEST(SingleInstanceTest, SecondCopyHandsOverOrReportsAMissingWindow) {
    const QString name = UniqueName();
    SingleInstance first(name);
    ASSERT_EQ(first.TryClaim(), SingleInstance::Claim::First);
    QSignalSpy activated(&first, &SingleInstance::activateRequested);
    {
        SingleInstance second(name);
        EXPECT_EQ(second.TryClaim(), SingleInstance::Claim::HandedOver);
    }
    EXPECT_TRUE(activated.wait(3000) || activated.count() == 1);
    EXPECT_EQ(activated.count(), 1);

    // A lock held by a copy that does not listen: no window to hand over to.
    const QString orphan = UniqueName();
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    QDir().mkpath(dir);
    QLockFile held(QDir(dir).filePath(orphan + ".lock"));
    ASSERT_TRUE(held.tryLock(0));
    SingleInstance late(orphan);
    EXPECT_EQ(late.TryClaim(), SingleInstance::Claim::NoWindow);
    EXPECT_EQ(SingleInstanceMessage(SingleInstance::Claim::NoWindow),
              QStringLiteral("已有一个实例在运行，但找不到它的主窗口！"));
}

TEST_F(StartupTest, SecondCopyRestoresTheMinimisedFirstWindow) {
    const QString name = UniqueName();
    RigOptions o = Offline();
    o.tweak = [&](AppOptions& a) {
        a.singleInstance = true;
        a.instanceName = name;
    };
    AppRig first(o);
    ASSERT_TRUE(first.started);
    first.Frame().showMinimized();
    ASSERT_TRUE(first.Frame().windowState() & Qt::WindowMinimized);
    QSignalSpy activated(first.app.get(), &CVelkorv13App::activated);

    AppOptions secondOptions;
    secondOptions.instanceName = name;
    secondOptions.systemHotplug = false;
    CVelkorv13App second(std::move(secondOptions));
    EXPECT_FALSE(second.Start()); // ends at once, no message, no window
    EXPECT_EQ(second.Frame(), nullptr);

    ASSERT_TRUE(WaitFor([&] { return activated.count() == 1; }, 3000));
    EXPECT_FALSE(first.Frame().windowState() & Qt::WindowMinimized);
}

} // namespace
} // namespace fenno::test
