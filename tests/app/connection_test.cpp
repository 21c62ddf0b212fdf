// Connecting as the user sees it: the demo's TCP link with its sync dialog and timers, the
// version check, the network dialog, busy devices, USB arrival and removal, machine reset, and
// the information and wait dialogs.
#include "app/command_ids.h"
#include "app/dialog_ip.h"
#include "app/info_dlg.h"
#include "app/notifier.h"
#include "app/syn_dlg.h"
#include "app/wait_dlg.h"
#include "link/hotplug_monitor.h"
#include "link/memory_hid_backend.h"
#include "sim/sim_hid_adapter.h"
#include "tests/app/app_rig.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

namespace fenno::test {
namespace {

class ConnectionTest : public AppTest {};

TEST_F(ConnectionTest, DemoConnectsThroughTheSyncDialogAndStartsTheTimers) {
    AppSettings().SetLanguage(1);
    AppRig rig;
    ASSERT_TRUE(rig.started);
    // The dialog runs modally while the read job does; a timer sees it from inside its loop.
    QString shownText;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (CSynDlg* d = rig.app->SyncDialog()) shownText = d->Text();
    });
    watch.start(2);
    ASSERT_TRUE(rig.WaitSynced());
    EXPECT_EQ(shownText, QStringLiteral("Please wait a moment……"));

    EXPECT_EQ(rig.app->SyncDialog(), nullptr);
    EXPECT_TRUE(rig.View().PitchRefreshRunning());
    EXPECT_EQ(rig.Sim().FramesIn(kCmdReadImage), 70u);
    EXPECT_EQ(rig.View().Notifier().Text(), QStringLiteral("Device connected!"));
    EXPECT_EQ(rig.View().Notifier().Title(), QStringLiteral("Information"));
    rig.View().UpdateUi();
    EXPECT_EQ(rig.Frame().LinkPane()->text(), QStringLiteral("IP:Connected"));
    EXPECT_EQ(rig.Frame().LinkPane()->palette().color(QPalette::WindowText), QColor(0, 150, 0));
    // The 500 ms status poll runs while the link allows it.
    const uint64_t polls = rig.Sim().FramesIn(kCmdStatus);
    EXPECT_TRUE(WaitFor([&] { return rig.Sim().FramesIn(kCmdStatus) >= polls + 2; }, 3000));
}

TEST_F(ConnectionTest, WrongCommandSetVersionClosesTheLinkWithTheMismatchBox) {
    RigOptions o;
    o.sim.identity.commandSet = 23;
    BoxAnswerer boxes;
    AppRig rig(o);
    ASSERT_TRUE(WaitFor([&] { return boxes.Count() == 1; }, 15000));
    EXPECT_EQ(boxes.Last().text, QStringLiteral("E:Fenno_17 通信版本不匹配!"));
    EXPECT_EQ(boxes.Last().title, QStringLiteral("错误"));
    EXPECT_EQ(boxes.Last().icon, QMessageBox::Critical);
    ASSERT_TRUE(WaitFor([&] { return !rig.app->SyncDialog(); }));
    EXPECT_FALSE(rig.Dev().IsConnected());
    EXPECT_FALSE(rig.View().StatusPollRunning());
    EXPECT_FALSE(rig.View().PitchRefreshRunning());
    // Identity asked twice, no image requested, and the farewell sent.
    EXPECT_EQ(rig.Sim().FramesIn(kCmdCommandSet), 2u);
    EXPECT_EQ(rig.Sim().FramesIn(kCmdReadImage), 0u);
    EXPECT_TRUE(WaitFor([&] { return rig.Sim().FramesIn(kCmdBye) == 1; }, 3000));
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(ConnectionTest, SlowDeviceEndsTheSyncDialogAfterThirtySecondsAndDropsTheLink) {
    RigOptions o;
    // Every answer comes late, so the 77 paced commands of a read take minutes; the heartbeat
    // keeps coming, so only the dialog's own limit ends it.
    o.tweak = [](AppOptions& a) { a.demoServer.answerDelay = std::chrono::milliseconds(2500); };
    BoxAnswerer boxes;
    QElapsedTimer clock;
    clock.start();
    AppRig rig(o);
    ASSERT_TRUE(WaitFor([&] { return boxes.Count() == 1; }, 45000));
    const qint64 took = clock.elapsed();
    EXPECT_GE(took, 29000);
    EXPECT_LE(took, 38000);
    EXPECT_EQ(boxes.Last().text, QStringLiteral("发生错误，与设备数据同步超时……"));
    EXPECT_EQ(boxes.Last().title, QStringLiteral("错误"));
    EXPECT_EQ(boxes.Last().icon, QMessageBox::Critical);
    EXPECT_FALSE(rig.Dev().IsConnected());
    ASSERT_TRUE(WaitFor([&] { return !rig.app->SyncDialog(); }, 3000));
    EXPECT_FALSE(rig.View().StatusPollRunning());
}

TEST_F(ConnectionTest, DeviceFallingSilentIsReportedAsAHostTimeout) {
    AppSettings().SetLanguage(1);
    RigOptions o;
    // Enough frames for the whole read and a few status polls, then silence.
    o.tweak = [](AppOptions& a) { a.demoServer.silentAfter = 82; };
    BoxAnswerer boxes;
    AppRig rig(o);
    ASSERT_TRUE(rig.WaitSynced());
    ASSERT_TRUE(WaitFor([&] { return boxes.Count() == 1; }, 15000));
    EXPECT_EQ(boxes.Last().text, QStringLiteral("Host timeout,Disconnected!"));
    EXPECT_FALSE(rig.Dev().IsConnected());
    rig.View().UpdateUi();
    EXPECT_EQ(rig.Frame().LinkPane()->text(), "Disconnected");
    EXPECT_EQ(rig.Frame().LinkPane()->palette().color(QPalette::WindowText), QColor(220, 0, 0));
}

// A demo simulator that the app does not connect to by itself.
RigOptions Idle() {
    RigOptions o;
    o.firstAttemptMs = 60000;
    return o;
}

uint16_t ClosedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    uint16_t port = probe.serverPort();
    probe.close();
    return port;
}

TEST_F(ConnectionTest, NetworkDialogShowsTheRefusalAndThenConnects) {
    AppRig rig(Idle());
    auto* dlg = qobject_cast<CDialogIP*>(rig.View().OpenTool(521));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->AddressField()->text(), "192.168.1.123");
    EXPECT_EQ(dlg->PortField()->text(), "30303");
    EXPECT_FALSE(dlg->PortField()->isVisible()); // present but not offered

    dlg->AddressField()->setText("127.0.0.1");
    dlg->PortField()->setText(QString::number(ClosedPort()));
    QTest::mouseClick(dlg->ConnectButton(), Qt::LeftButton);
    EXPECT_EQ(dlg->ErrorText(), QStringLiteral("错误111，请确认IP地址和端口号正确!"));
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(AppSettings().IpAddress().isEmpty()); // saved only on success

    dlg->PortField()->setText(QString::number(rig.app->DemoServer()->Port()));
    QTest::mouseClick(dlg->ConnectButton(), Qt::LeftButton);
    EXPECT_FALSE(dlg->isVisible());
    ASSERT_TRUE(rig.WaitSynced());
    EXPECT_EQ(AppSettings().IpAddress(), "127.0.0.1");
    EXPECT_EQ(AppSettings().IpPort(), rig.app->DemoServer()->Port());

    // Opened again, it shows what was saved.
    dlg = qobject_cast<CDialogIP*>(rig.View().OpenTool(521));
    EXPECT_EQ(dlg->AddressField()->text(), "127.0.0.1");
}

TEST_F(ConnectionTest, BusyDeviceClosesTheSyncDialogAndSaysSo) {
    AppSettings().SetLanguage(1);
    AppRig rig(Idle());
    // Another host got there first.
    QTcpSocket other;
    other.connectToHost(QHostAddress::LocalHost, rig.app->DemoServer()->Port());
    ASSERT_TRUE(other.waitForConnected(3000));
    ASSERT_TRUE(WaitFor([&] { return rig.app->DemoServer()->ClientConnected(); }, 3000));

    auto* dlg = qobject_cast<CDialogIP*>(rig.View().OpenTool(521));
    dlg->AddressField()->setText("127.0.0.1");
    dlg->PortField()->setText(QString::number(rig.app->DemoServer()->Port()));
    QTest::mouseClick(dlg->ConnectButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return rig.app->DeviceBusy(); }, 5000));
    ASSERT_TRUE(WaitFor([&] { return !rig.app->SyncDialog(); }, 3000));
    ASSERT_NE(rig.app->InfoBox(), nullptr);
    EXPECT_EQ(rig.app->InfoBox()->Text(), QStringLiteral("Host is connected!"));
}

// A USB amplifier behind the in-memory HID backend, with hot-plug events put in by hand.
struct UsbRig {
    UsbRig() {
        auto hid = std::make_unique<MemoryHidBackend>();
        backend = hid.get();
        auto source = std::make_unique<InjectedHotplugSource>();
        hotplug = source.get();
        RigOptions o = Idle();
        o.tweak = [&](AppOptions& a) {
            a.hid = std::move(hid);
            a.hotplug = std::move(source);
        };
        rig = std::make_unique<AppRig>(o);
        adapter = std::make_unique<SimHidAdapter>(usbDevice, *backend);
    }
    // The backend belongs to the app's Device: the adapter must go first.
    ~UsbRig() {
        adapter.reset();
        rig.reset();
    }
    void Plug() {
        path = adapter->Attach();
        hotplug->Inject({HotplugEvent::Kind::Arrival, path});
    }

    SimDevice usbDevice;
    MemoryHidBackend* backend;
    InjectedHotplugSource* hotplug;
    std::unique_ptr<AppRig> rig;
    std::unique_ptr<SimHidAdapter> adapter;
    std::string path;
};

TEST_F(ConnectionTest, UsbArrivalConnectsAndOnlyItsOwnRemovalDisconnects) {
    AppSettings().SetLanguage(1);
    UsbRig usb;
    AppRig& rig = *usb.rig;
    usb.Plug();
    ASSERT_TRUE(rig.WaitSynced());
    EXPECT_FALSE(rig.Dev().IsNetwork());
    EXPECT_EQ(usb.usbDevice.FramesIn(kCmdReadImage), 70u);
    rig.View().UpdateUi();
    EXPECT_EQ(rig.Frame().LinkPane()->text(), "USB:Connected");

    // Another HID device goes away: nothing happens.
    usb.hotplug->Inject({HotplugEvent::Kind::Removal, "/dev/hidraw99"});
    QTest::qWait(100);
    EXPECT_TRUE(rig.Dev().IsConnected());
    EXPECT_EQ(rig.View().Notifier().Text(), "Device connected!");

    usb.adapter->Detach();
    usb.hotplug->Inject({HotplugEvent::Kind::Removal, usb.path});
    ASSERT_TRUE(WaitFor([&] { return !rig.Dev().IsConnected(); }, 3000));
    EXPECT_FALSE(rig.View().StatusPollRunning());
    EXPECT_EQ(rig.View().Notifier().Text(), "Device Disconnected!");
}

TEST_F(ConnectionTest, UsbArrivalWhileOnTcpChangesNothing) {
    UsbRig usb;
    AppRig& rig = *usb.rig;
    ASSERT_EQ(rig.app->ConnectDemo(), 1);
    rig.View().RunConnected(5000);
    ASSERT_TRUE(rig.WaitSynced());
    usb.Plug();
    QTest::qWait(200);
    EXPECT_TRUE(rig.Dev().IsNetwork());
    EXPECT_EQ(usb.backend->OpenCount(usb.path), 0);
    // And its removal is not the TCP link's business either.
    usb.hotplug->Inject({HotplugEvent::Kind::Removal, usb.path});
    QTest::qWait(100);
    EXPECT_TRUE(rig.Dev().IsConnected());
}

TEST_F(ConnectionTest, MachineResetAsksSendsAndRestoresTheLinkFlags) {
    AppSettings().SetLanguage(1);
    BoxAnswerer boxes({QMessageBox::Yes});
    AppRig offline([] {
        RigOptions o = Idle();
        o.demo = false;
        return o;
    }());
    offline.View().OnCommand(cmd::kMachineReset);
    QTest::qWait(50);
    EXPECT_EQ(boxes.Count(), 0u); // without a device: nothing, not even the question

    AppRig rig;
    ASSERT_TRUE(rig.WaitSynced());
    AppSettings().SetQtOption({0, 0, 0});
    rig.app->Links() = {0, 0, 0};
    rig.View().OnCommand(cmd::kMachineReset);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().text, "Are you sure reset machine? ");
    EXPECT_EQ(boxes.Last().title, QStringLiteral("提示"));
    ASSERT_TRUE(rig.Drain());
    EXPECT_EQ(rig.Sim().FramesIn(kCmdResetMachine), 1u);
    EXPECT_EQ(rig.app->Links(), (LinkFlags{1, 1, 1}));
    EXPECT_EQ(AppSettings().Store().value("QtOption").toByteArray(),
              QByteArray("\x01\x01\x01\x00\x00\x00\x00\x00", 8));
    EXPECT_EQ(rig.app->InfoBox()->Text(), QStringLiteral("Please restart……"));
}

TEST_F(ConnectionTest, InformationBoxIsReplacedAndGoesWhenItsTimeIsUp) {
    AppRig rig(Idle());
    rig.app->ShowInfo("first", 5000);
    QPointer<CInfoDlg> box = rig.app->InfoBox();
    ASSERT_TRUE(box);
    rig.app->ShowInfo("second", 60);
    EXPECT_EQ(rig.app->InfoBox(), box.data()); // one box, new text and time
    EXPECT_EQ(box->Text(), "second");
    ASSERT_TRUE(WaitFor([&] { return box.isNull(); }, 2000));
    EXPECT_EQ(rig.app->InfoBox(), nullptr);
}

// The simulator's Z-Wave module, keeping the function bytes of every request it receives.
class RecordingHome : public SimNoHomeControl {
  public:
    void HandleZWaveFrame(const uint8_t* frame, size_t n, const Emit& out) override {
        // SOF, length, request type, then the function and its parameters, then a check byte.
        if (n > 4) {
            std::lock_guard lock(m_mutex);
            m_requests.emplace_back(frame + 3, frame + n - 1);
        }
        SimNoHomeControl::HandleZWaveFrame(frame, n, out);
    }
    std::vector<std::vector<uint8_t>> Requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

  private:
    mutable std::mutex m_mutex;
    std::vector<std::vector<uint8_t>> m_requests;
};

TEST_F(ConnectionTest, WaitJobStartsOpensAfterItsDelayAndCancelsOnAbort) {
    auto home = std::make_unique<RecordingHome>();
    RecordingHome* zwave = home.get();
    RigOptions o;
    o.tweak = [&](AppOptions& a) { a.demoHome = std::move(home); };
    AppRig rig(o);
    ASSERT_TRUE(rig.WaitSynced());
    using Bytes = std::vector<uint8_t>;
    auto requestsAre = [&](std::vector<Bytes> expected) {
        return WaitFor([&] { return zwave->Requests() == expected; }, 3000);
    };

    // The dialog runs modally; this timer plays the user from inside its loop.
    struct Seen {
        QString text, button;
        QColor colour;
        int timeout = 0, progress = -1;
    };
    std::vector<Seen> seen;
    std::function<void(CWaitDlg*)> act;
    QPointer<CWaitDlg> handled;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        CWaitDlg* d = rig.app->WaitDialog();
        if (!d || !d->isVisible() || d == handled) return;
        handled = d;
        auto* abort = d->findChild<QPushButton*>();
        seen.push_back({d->Text(), abort ? abort->text() : QString(), d->TextColour(),
                        d->TimeoutInterval(), d->Progress()});
        act(d);
    });
    user.start(5);

    act = [](CWaitDlg* d) { QTest::mouseClick(d->findChild<QPushButton*>(), Qt::LeftButton); };
    rig.View().RunWaitJob({QStringLiteral("加入中"), kWaitAddNode, 50, 0, 0});
    EXPECT_EQ(rig.app->WaitDialog(), nullptr);      // not before its delay
    EXPECT_TRUE(requestsAre({{0x4A, 0x01, 0x30}})); // the start request goes out at once
    ASSERT_TRUE(WaitFor([&] { return seen.size() == 1 && !rig.app->WaitDialog(); }, 3000));
    EXPECT_EQ(seen[0].text, QStringLiteral("加入中"));
    EXPECT_EQ(seen[0].button, QStringLiteral("强行中止"));
    EXPECT_EQ(seen[0].colour, QColor(0, 0, 255));
    EXPECT_EQ(seen[0].timeout, 30000);
    EXPECT_TRUE(requestsAre({{0x4A, 0x01, 0x30}, {0x4A, 0x05, 0x00}}));

    // A finished job closes its dialog with a full bar, without cancelling anything.
    int progressAfterFinish = -1;
    act = [&](CWaitDlg* d) {
        d->Finish(20);
        progressAfterFinish = d->Progress();
    };
    rig.View().RunWaitJob({QStringLiteral("切换"), kWaitRemoveNode, 0, 0, 0});
    ASSERT_TRUE(WaitFor([&] { return seen.size() == 2 && !rig.app->WaitDialog(); }, 3000));
    EXPECT_EQ(progressAfterFinish, 100);
    EXPECT_TRUE(requestsAre({{0x4A, 0x01, 0x30}, {0x4A, 0x05, 0x00}, {0x4B, 0x01, 0x09}}));
}

} // namespace
} // namespace fenno::test
