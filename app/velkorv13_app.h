// The application object: settings, language, the Device, tool windows and the shell's dialogs.
#pragma once

#include "app/app_settings.h"
#include "app/lang/language.h"
#include "app/lang/shell_texts.h"
#include "app/qt_event_sink.h"
#include "app/tool_windows.h"
#include "app/wait_dlg.h"
#include "link/hid_backend.h"
#include "link/hotplug_monitor.h"
#include "sim/sim_device.h"
#include "sim/sim_tcp_server.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace fenno {

class CInfoDlg;
class CMainFrame;
class CSynDlg;
class CVelkorv13View;
class Device;
class SingleInstance;

using texts::kMainTitle;
inline constexpr char kAppUserModelId[] = "Brenvik.Fenno.1.0";

struct AppOptions {
    QString file;                  // a mode file from the command line
    std::optional<SimConfig> demo; // run the built-in simulator and connect to it over TCP
    SimServerConfig demoServer;    // its network side (faults); always loopback, a free port
    std::unique_ptr<SimHomeControl> demoHome; // its Z-Wave module; null: one without plugs
    bool singleInstance = true;
    QString instanceName = QString::fromLatin1(kAppKey);
    std::unique_ptr<HidBackend> hid; // null: the system's hidraw devices
    // Arrival and removal notices; null: udev when it is reachable.
    std::unique_ptr<HotplugSource> hotplug;
    bool systemHotplug = true; // without a given source, watch udev when it is reachable
    int firstAttemptMs = 250;
};

// File dialogs, replaceable so that tests can answer them.
struct FileChooser {
    std::function<QString(QWidget* parent, const QString& title)> open;
    std::function<QString(QWidget* parent, const QString& title, const QString& name)> save;
};

class CVelkorv13App : public QObject {
    Q_OBJECT
  public:
    explicit CVelkorv13App(AppOptions options);
    ~CVelkorv13App() override;

    // Start-up up to the shown main window. False when the program must end at once (another
    // copy runs, or the instance lock failed); the message, if any, was shown.
    bool Start();
    // Closes the frame as the Exit command would; false when the user kept it open.
    bool CloseMainWindow();
    // The demo's connect to its own simulator: the network dialog's steps, without saving the
    // simulator's passing port as the user's address.
    int ConnectDemo();

    AppSettings& Settings() { return m_settings; }
    Device& Dev() { return *m_device; }
    CMainFrame* Frame() const { return m_frame.get(); }
    CVelkorv13View* View() const;
    ToolWindows& Tools() { return m_tools; }
    SimDevice* DemoDevice() const { return m_simDevice.get(); }
    SimTcpServer* DemoServer() const { return m_simServer.get(); }
    SingleInstance* Instance() const { return m_instance.get(); }
    HotplugSource* Hotplug() const { return m_options.hotplug.get(); }
    const AppOptions& Options() const { return m_options; }

    int LanguageIndex() const { return m_lang->index(); }
    fenno::Language& Lang() { return *m_lang; }

    LinkFlags& Links() { return m_links; }
    int OutputChannel() const { return m_outputChannel; }
    void SetOutputChannel(int ch) { m_outputChannel = ch; }
    int PendingMode() const { return m_pendingMode; }
    void SetPendingMode(int mode) { m_pendingMode = mode; }
    bool DeviceBusy() const { return m_deviceBusy; }
    void SetDeviceBusy(bool busy) { m_deviceBusy = busy; }
    bool& LevelPolling() { return m_levelPolling; }
    // Converter boards from the last status answer that carried them (the About box shows them).
    const CodecBoards& Codecs() const { return m_codecs; }
    void SetCodecs(const CodecBoards& codecs) { m_codecs = codecs; }

    // Shows the information box with text for ms, replacing a shown one's text and time.
    void ShowInfo(const QString& text, int ms);
    CInfoDlg* InfoBox() const;

    // Runs CSynDlg modally; when one runs already, only shows it again and returns at once.
    void RunSyncDialog(const QString& text);
    CSynDlg* SyncDialog() const;
    // Stops timer 110 and closes the running synchronisation dialog.
    void EndSyncDialog();

    // Runs the wait dialog modally, or restarts the timers of the one that runs.
    void RunWaitDialog(const WaitJob& job);
    CWaitDlg* WaitDialog() const { return m_waitDlg.data(); }

    FileChooser& Files() { return m_files; }

  signals:
    // Emitted when another copy asked this one to come forward (after the window was raised).
    void activated();

  protected:
    // F6 and F7 are looked at on release, before any window sees them.
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void OnDeviceEvent(const DeviceEvent& event);
    void RegisterShellWindows();
    void StartDemo();
    void Activate();

    AppOptions m_options;
    AppSettings m_settings;
    std::unique_ptr<fenno::Language> m_lang;
    LinkFlags m_links = kDefaultLinkFlags;
    int m_outputChannel = 0;
    int m_pendingMode = -1;
    bool m_deviceBusy = false;
    bool m_levelPolling = true;
    CodecBoards m_codecs;

    QPointer<CSynDlg> m_synDlg;
    QPointer<CWaitDlg> m_waitDlg;
    QPointer<CInfoDlg> m_info;
    ToolWindows m_tools;
    FileChooser m_files;

    std::unique_ptr<SingleInstance> m_instance;
    QtEventSink m_sink;
    std::unique_ptr<SimDevice> m_simDevice;
    std::unique_ptr<SimTcpServer> m_simServer;
    std::unique_ptr<Device> m_device;
    std::unique_ptr<CMainFrame> m_frame;
};

} // namespace fenno
