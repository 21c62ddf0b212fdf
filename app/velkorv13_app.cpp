#include "app/velkorv13_app.h"

#include "app/app_icons.h"
#include "app/dialog_ip.h"
#include "app/info_dlg.h"
#include "app/main_frame.h"
#include "app/mode_commands.h"
#include "app/single_instance.h"
#include "app/syn_dlg.h"
#include "app/velkorv13_view.h"
#include "link/hotplug_monitor.h"
#include "protocol/device.h"
#include "sim/sim_tcp_server.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>

namespace fenno {
namespace {

constexpr char kModeFilter[] = "Mode Files (*.mode)";
constexpr char kLoopback[] = "127.0.0.1";
constexpr int kNetworkConnectedNoticeMs = 5000;
constexpr int kWaitTimeoutInfoMs = 1100;
constexpr int kJobEndWaitMs = 3000;

FileChooser DefaultFileChooser() {
    FileChooser f;
    f.open = [](QWidget* parent, const QString& title) {
        return QFileDialog::getOpenFileName(parent, title, QString(),
                                            QString::fromLatin1(kModeFilter));
    };
    f.save = [](QWidget* parent, const QString& title, const QString& name) {
        QFileDialog dialog(parent, title);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(QString::fromLatin1(kModeFilter));
        dialog.setDefaultSuffix(QStringLiteral("mode"));
        dialog.selectFile(name);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    };
    return f;
}

} // namespace

CVelkorv13App::CVelkorv13App(AppOptions options)
    : m_options(std::move(options)), m_files(DefaultFileChooser()),
      m_sink(this, [this](const DeviceEvent& e) { OnDeviceEvent(e); }) {
    m_device = std::make_unique<Device>(&m_sink, std::move(m_options.hid));
    m_lang = std::make_unique<fenno::Language>(m_settings.Language());
    connect(m_lang.get(), &Language::indexChanged, this,
            [this](int index) { m_settings.SetLanguage(index); });
    if (!m_options.hotplug && m_options.systemHotplug) m_options.hotplug = HotplugMonitor::Create();
    QApplication::setWindowIcon(ProgramIcon());
    // One family for both languages: the first CJK family present also carries the Latin text.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Microsoft YaHei"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
                      font.family()});
    QApplication::setFont(font);
}

CVelkorv13App::~CVelkorv13App() {
    qApp->removeEventFilter(this);
    // Links first (with the farewell when one is still up), then the windows, then the Device
    // joins whatever job thread is left; the simulator goes last.
    if (m_device->IsConnected()) m_device->Disconnect(true);
    m_frame.reset();
    // A job thread may be waiting inside Send for this thread; keep delivering until every job
    // has seen the link down and ended, so that joining them cannot block on each other.
    m_sink.Close();
    QElapsedTimer waited;
    waited.start();
    while (m_device->Jobs().Busy() && waited.elapsed() < kJobEndWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    m_device.reset();
    if (m_simServer) m_simServer->Stop();
}

CInfoDlg* CVelkorv13App::InfoBox() const {
    return m_info.data();
}
CSynDlg* CVelkorv13App::SyncDialog() const {
    return m_synDlg.data();
}

CVelkorv13View* CVelkorv13App::View() const {
    return m_frame ? &m_frame->View() : nullptr;
}

bool CVelkorv13App::Start() {
    if (m_options.singleInstance) {
        m_instance = std::make_unique<SingleInstance>(m_options.instanceName);
        const SingleInstance::Claim claim = m_instance->TryClaim();
        if (claim == SingleInstance::Claim::HandedOver) return false;
        if (claim != SingleInstance::Claim::First) {
            QMessageBox::critical(nullptr, QString::fromUtf8(kMainTitle),
                                  SingleInstanceMessage(claim));
            return false;
        }
        connect(m_instance.get(), &SingleInstance::activateRequested, this,
                &CVelkorv13App::Activate);
    }

    if (m_options.demo) StartDemo();

    m_frame = std::make_unique<CMainFrame>(*this);
    m_tools.SetHost(m_frame.get());
    m_tools.SetCaptionHook(
        [this](QWidget* window, int templateId) { m_lang->applyTo(window, templateId); });
    RegisterShellWindows();
    qApp->installEventFilter(this);

    m_frame->setWindowTitle(QString::fromUtf8(kMainTitle));
    m_frame->show();

    // Nothing can be loaded before a link is up: a file from the command line waits for the
    // first synchronisation instead of being dropped.
    if (!m_options.file.isEmpty()) {
        if (!QFileInfo::exists(m_options.file) || m_device->IsConnected())
            View()->Modes().OpenDocument(m_options.file);
        else
            View()->SetDeferredDocument(m_options.file);
    }
    return true;
}

bool CVelkorv13App::CloseMainWindow() {
    return m_frame && m_frame->close();
}

void CVelkorv13App::Activate() {
    if (!m_frame) return;
    m_frame->setWindowState(m_frame->windowState() & ~Qt::WindowMinimized);
    m_frame->show();
    m_frame->raise();
    m_frame->activateWindow();
    emit activated();
}

void CVelkorv13App::StartDemo() {
    m_simDevice = std::make_unique<SimDevice>(*m_options.demo);
    if (m_options.demoHome) m_simDevice->SetHomeControl(std::move(m_options.demoHome));
    SimServerConfig config = m_options.demoServer;
    config.bind = kLoopback;
    config.port = 0;
    m_simServer = std::make_unique<SimTcpServer>(*m_simDevice, config);
    if (int err = m_simServer->Start(); err != 0) {
        QMessageBox::warning(
            nullptr, QString::fromUtf8(kMainTitle),
            QStringLiteral("Simulator: %1").arg(QString::fromLocal8Bit(strerror(err))));
        m_simServer.reset();
        m_simDevice.reset();
    }
}

int CVelkorv13App::ConnectDemo() {
    if (!m_simServer) return 0;
    m_deviceBusy = false;
    return m_device->ConnectTcp(kLoopback, m_simServer->Port());
}

void CVelkorv13App::RegisterShellWindows() {
    m_tools.Register(kToolNetwork, [this](QWidget* parent, int) -> QWidget* {
        auto* dlg = new CDialogIP(m_settings, *m_device, LanguageIndex(), parent);
        dlg->SetBeforeConnect([this] { m_deviceBusy = false; });
        connect(dlg, &CDialogIP::connected, this, [this] {
            // After the dialog's own click handler has returned.
            QTimer::singleShot(0, this, [this] {
                if (CVelkorv13View* v = View()) v->RunConnected(kNetworkConnectedNoticeMs);
            });
        });
        return dlg;
    });
}

void CVelkorv13App::OnDeviceEvent(const DeviceEvent& event) {
    if (CVelkorv13View* v = View()) v->OnDeviceEvent(event);
}

void CVelkorv13App::ShowInfo(const QString& text, int ms) {
    if (!m_frame) return;
    if (!m_info) {
        m_info = new CInfoDlg(LanguageIndex(), m_frame.get());
        m_info->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    m_info->ShowText(text, ms);
    CentreOn(m_info, m_frame.get());
    m_info->show();
    m_info->raise();
}

void CVelkorv13App::RunSyncDialog(const QString& text) {
    if (m_synDlg) {
        m_synDlg->show();
        m_synDlg->raise();
        return;
    }
    if (!m_frame) return;
    QPointer<CSynDlg> dlg = new CSynDlg(LanguageIndex(), text, m_frame.get());
    m_synDlg = dlg;
    connect(dlg, &CSynDlg::timedOut, this, [this] {
        // The link is dropped before the box, so that nothing keeps syncing behind it.
        if (m_device->IsNetwork()) m_device->Tcp().NetDisconnect(false);
        QMessageBox::critical(m_frame.get(), QStringLiteral("错误"), SyncTimeoutText());
    });
    dlg->exec();
    delete dlg.data();
}

void CVelkorv13App::EndSyncDialog() {
    if (m_synDlg) m_synDlg->Finish();
}

void CVelkorv13App::RunWaitDialog(const WaitJob& job) {
    if (m_waitDlg) {
        m_waitDlg->RestartTimers();
        return;
    }
    if (!m_frame) return;
    QPointer<CWaitDlg> dlg =
        new CWaitDlg(job.text, job.kind, uint8_t(job.arg1), uint8_t(job.arg2), m_frame.get());
    m_waitDlg = dlg;
    connect(dlg, &CWaitDlg::cancelRequested, this, [this](int kind, uint8_t a1, uint8_t a2) {
        if (CVelkorv13View* v = View()) v->OnWaitCancel(kind, a1, a2);
    });
    connect(dlg, &CWaitDlg::timedOut, this,
            [this] { ShowInfo(WaitTimeoutText(), kWaitTimeoutInfoMs); });
    dlg->exec();
    delete dlg.data();
}

bool CVelkorv13App::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyRelease && m_frame && !m_synDlg) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (!key->isAutoRepeat() && key->modifiers() == Qt::NoModifier) {
            if (key->key() == Qt::Key_F7) {
                View()->OpenTool(kToolMachineSettings);
                return true;
            }
            if (key->key() == Qt::Key_F6 && m_device->IsConnected()) {
                View()->OpenTool(kToolAdvEq);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, e);
}

} // namespace fenno
