// Device modes and mode files as the user reaches them, and closing the window with unsaved
// changes.
#include "app/command_ids.h"
#include "app/info_dlg.h"
#include "app/mode_commands.h"
#include "protocol/mode_file.h"
#include "tests/app/app_rig.h"

#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>

namespace fenno::test {
namespace {

class ModeTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }
    // A mode file as the program saves it: version 24, the factory image with one change.
    QString WriteModeFile(const QString& name, int32_t version = kRequiredCommandVersion) {
        ParamStore store;
        store.LoadFactoryImage();
        store.ApplyDeviceImage();
        store.image[kParamSectionOffset + 10] ^= 0x5A; // something the device does not have yet
        std::copy_n(store.image.begin(), kEqImageSize, store.eq.begin());
        DeviceInfo info;
        info.commandVersion = version;
        const QString path = dir.filePath(name);
        EXPECT_TRUE(SaveModeFile(path.toStdString(), store, info));
        image = store.image;
        return path;
    }
    void Choose(AppRig& rig, const QString& path) {
        rig.app->Files().open = [path](QWidget*, const QString&) { return path; };
        rig.app->Files().save = [path](QWidget*, const QString&, const QString&) { return path; };
    }
    // A parameter change the device acknowledges, so that the program counts it as unsaved.
    void MakeUnsavedChange(AppRig& rig) {
        DragSlider(rig.Ribbon().Slider(32829), 40);
        ASSERT_TRUE(rig.Drain());
        ASSERT_TRUE(WaitFor([&] { return bool(rig.Dev().State().settingsChanged); }, 3000));
    }

    QTemporaryDir dir;
    std::array<uint8_t, kDeviceImageSize> image{};
};

TEST_F(ModeTest, FileNamedM3IsWrittenThenStoredAsModeThree) {
    AppSettings().SetLanguage(1);
    AppRig rig;
    ASSERT_TRUE(rig.WaitSynced());
    const QString path = WriteModeFile("M3 club.mode");
    Choose(rig, path);

    rig.View().OnCommand(cmd::kLoadFile[0]);
    // The write job ran under the sync dialog; then 03 02, and 20 ms later 04 02.
    EXPECT_EQ(rig.Sim().FramesIn(kCmdWriteImage), 70u);
    EXPECT_EQ(rig.Sim().FramesIn(kCmdWriteImageEnd), 1u);
    ASSERT_TRUE(WaitFor([&] { return rig.Sim().FramesIn(kCmdStoreMode) == 1; }, 3000));
    EXPECT_EQ(rig.Sim().FramesIn(kCmdSetCurrentMode), 1u);
    EXPECT_EQ(rig.Sim().CurrentMode(), 2);
    EXPECT_EQ(rig.Sim().StoredMode(2), image);
    EXPECT_EQ(rig.app->PendingMode(), -1);
    rig.View().UpdateUi();
    EXPECT_EQ(rig.Frame().ModePane()->text(), "Current Mode:M3");
    for (int category : {0, 1}) {
        const QList<QAction*> items = rig.Frame().LoadModeMenu(category)->actions();
        ASSERT_EQ(items.size(), 4);
        EXPECT_TRUE(items[2]->isChecked());
        EXPECT_FALSE(items[0]->isChecked());
    }
    EXPECT_EQ(AppSettings().RecentFiles().value(0), path);
}

TEST_F(ModeTest, RefusedFileChangesNothingAndSetsNoPendingMode) {
    AppRig rig;
    ASSERT_TRUE(rig.WaitSynced());
    Choose(rig, WriteModeFile("m2 old.mode", 23));
    BoxAnswerer boxes;
    rig.View().OnCommand(cmd::kFileOpen);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().text, "Mode file version not support!");
    EXPECT_EQ(boxes.Last().title, "Info");
    EXPECT_EQ(boxes.Last().icon, QMessageBox::Information);
    EXPECT_EQ(rig.Sim().FramesIn(kCmdWriteImage), 0u);
    EXPECT_EQ(rig.app->PendingMode(), -1);
    EXPECT_TRUE(AppSettings().RecentFiles().isEmpty());
}

TEST_F(ModeTest, FileCommandsWithoutALinkOnlySaySo) {
    RigOptions o;
    o.demo = false;
    o.firstAttemptMs = 60000;
    AppRig rig(o);
    bool asked = false;
    rig.app->Files().open = [&](QWidget*, const QString&) {
        asked = true;
        return QString();
    };
    for (int id : {cmd::kLoadFile[0], cmd::kSaveFile[1], cmd::kFileSave}) {
        if (CInfoDlg* info = rig.app->InfoBox()) delete info;
        rig.View().OnCommand(id);
        ASSERT_NE(rig.app->InfoBox(), nullptr) << id;
        EXPECT_EQ(rig.app->InfoBox()->Text(), QStringLiteral("请先连接设备!"));
    }
    EXPECT_FALSE(asked);
}

TEST_F(ModeTest, LoadModeAsksFirstWhenSettingsChanged) {
    AppRig rig;
    ASSERT_TRUE(rig.WaitSynced());
    MakeUnsavedChange(rig);

    BoxAnswerer no({QMessageBox::No});
    rig.View().OnCommand(cmd::kLoadMode1 + 1);
    ASSERT_EQ(no.Count(), 1u);
    EXPECT_EQ(no.Last().text, QStringLiteral("参数已更改，确定要直接载入模式二?"));
    EXPECT_EQ(no.Last().title, QStringLiteral("信息"));
    QTest::qWait(100);
    EXPECT_EQ(rig.Sim().FramesIn(kCmdLoadMode), 0u);

    BoxAnswerer yes({QMessageBox::Yes});
    rig.View().OnCommand(cmd::kLoadMode1 + 1);
    // The device answers 05, which starts the read that closes the dialog.
    ASSERT_TRUE(WaitFor([&] { return rig.Sim().FramesIn(kCmdLoadMode) == 1; }, 3000));
    ASSERT_TRUE(WaitFor([&] { return rig.Sim().FramesIn(kCmdReadImage) == 140; }, 15000));
    ASSERT_TRUE(WaitFor([&] { return !rig.app->SyncDialog(); }, 5000));
    EXPECT_EQ(rig.Dev().State().currentMode, 1);
    EXPECT_FALSE(rig.Dev().State().settingsChanged);
}

TEST_F(ModeTest, StoreAsksAndRestoreRereadsTheDevice) {
    AppSettings().SetLanguage(1);
    AppRig rig;
    ASSERT_TRUE(rig.WaitSynced());
    BoxAnswerer boxes({QMessageBox::No, QMessageBox::Yes});
    rig.View().OnCommand(cmd::kStoreMode1 + 3);
    EXPECT_EQ(boxes.Last().text, "Save to machine mode 4?");
    EXPECT_EQ(boxes.Last().title, "Information");
    rig.View().OnCommand(cmd::kStoreMode1 + 3);
    ASSERT_TRUE(rig.Drain());
    EXPECT_EQ(rig.Sim().FramesIn(kCmdStoreMode), 1u); // only the answer Yes stored
    EXPECT_EQ(rig.Sim().StoredMode(3), rig.Sim().Memory());
    ASSERT_TRUE(WaitFor([&] { return rig.app->InfoBox() != nullptr; }, 2000));
    EXPECT_EQ(rig.app->InfoBox()->Text(), QStringLiteral("Saving Mode 4 ……"));

    // Factory restore asks nothing; the device's 06 answer starts a read.
    const size_t asked = boxes.Count();
    rig.View().OnCommand(cmd::kRestoreMode1 + 1);
    ASSERT_TRUE(WaitFor([&] { return rig.Sim().FramesIn(kCmdReadImage) == 140; }, 15000));
    ASSERT_TRUE(WaitFor([&] { return !rig.app->SyncDialog(); }, 5000));
    EXPECT_EQ(boxes.Count(), asked);
    EXPECT_EQ(rig.Sim().FramesIn(kCmdRestoreMode), 1u);
    EXPECT_EQ(rig.Dev().State().currentMode, 1);
}

TEST_F(ModeTest, SaveModeFileStoresTheCurrentModeAndWritesTheFile) {
    AppRig rig;
    ASSERT_TRUE(rig.WaitSynced());
    const QString path = dir.filePath("mine.mode");
    Choose(rig, path);
    rig.View().OnCommand(cmd::kSaveFile[1]);
    ASSERT_TRUE(rig.Drain());
    EXPECT_EQ(rig.Sim().FramesIn(kCmdStoreMode), 1u);
    EXPECT_EQ(QFileInfo(path).size(), kModeFileSize);
    EXPECT_EQ(AppSettings().RecentFiles().value(0), path);

    // And it loads back into the same image.
    ParamStore loaded;
    ASSERT_TRUE(LoadModeFile(path.toStdString(), loaded, "Fenno"));
    EXPECT_EQ(loaded.image, rig.Dev().Store().image);
}

TEST_F(ModeTest, ClosingWithChangesAndCancelKeepsWindowAndLink) {
    AppRig rig;
    ASSERT_TRUE(rig.WaitSynced());
    MakeUnsavedChange(rig);
    BoxAnswerer boxes({QMessageBox::Cancel});
    EXPECT_FALSE(rig.app->CloseMainWindow());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().title, QStringLiteral("保存?"));
    EXPECT_TRUE(rig.Frame().isVisible());
    EXPECT_TRUE(rig.Dev().IsConnected());
    EXPECT_EQ(rig.Sim().FramesIn(kCmdBye), 0u);
}

TEST_F(ModeTest, ClosingWithYesButNoFileStoresNothingAndSaysGoodbye) {
    AppRig rig;
    ASSERT_TRUE(rig.WaitSynced());
    MakeUnsavedChange(rig);
    rig.app->Files().save = [](QWidget*, const QString&, const QString& name) {
        EXPECT_EQ(name, "preset");
        return QString(); // the user cancels the file dialog
    };
    BoxAnswerer boxes({QMessageBox::Yes});
    EXPECT_TRUE(rig.app->CloseMainWindow());
    EXPECT_FALSE(rig.Frame().isVisible());
    ASSERT_TRUE(WaitFor([&] { return rig.Sim().FramesIn(kCmdBye) == 1; }, 3000));
    EXPECT_EQ(rig.Sim().FramesIn(kCmdStoreMode), 0u);
    EXPECT_FALSE(rig.Dev().IsConnected());
}

TEST_F(ModeTest, CommandLineFileWaitsForTheFirstSynchronisation) {
    const QString path = WriteModeFile("m4.mode");
    RigOptions o;
    o.tweak = [&](AppOptions& a) { a.file = path; };
    AppRig rig(o);
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(WaitFor([&] { return rig.Sim().FramesIn(kCmdStoreMode) == 1; }, 20000));
    EXPECT_EQ(rig.Sim().FramesIn(kCmdWriteImage), 70u);
    EXPECT_EQ(rig.Sim().StoredMode(3), image);

    // A file that is not there says so at once.
    BoxAnswerer boxes;
    rig.View().Modes().OpenDocument(dir.filePath("gone.mode"));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().text, QStringLiteral("文件不存在！"));
    EXPECT_EQ(boxes.Last().title, QStringLiteral("文件打开错误"));
}

} // namespace
} // namespace fenno::test
