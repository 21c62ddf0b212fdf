#include "app/velkorv13_view.h"

#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/master_controls.h"
#include "app/mode_commands.h"
#include "app/notifier.h"
#include "app/syn_dlg.h"
#include "app/tool_windows.h"
#include "app/ui_text.h"
#include "app/velkorv13_app.h"
#include "link/debug_output.h"
#include "link/hotplug_monitor.h"
#include "protocol/device.h"
#include "protocol/home_control.h"
#include "protocol/model_rules.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>

namespace fenno {
namespace {

constexpr int kIdleUpdateMs = 200;
constexpr int kNoteMs = 1100;
constexpr int kBusyInfoMs = 3000;
constexpr int kRemovedNoticeMs = 5000;
constexpr int kResetInfoMs = 10000;
constexpr int kUsbConnectedNoticeMs = 4000;
constexpr int kStoreAfterSetMs = 20;

struct ToolName {
    int id;
    const char* zh;
    const char* en;
};
constexpr ToolName kToolNames[] = {
    {kToolMachineSettings, "机器设置", "Machine Set"},
    {kToolRemote, "遥控学习", "Remote control"},
    {kToolAutoSub, "自动超低音量衰减", "Auto SUB vol decay"},
    {kToolHomeTheater, "智能插座", "Smart plug"},
    {kToolInputSource, "音源设置", "Music source setting"},
    {kToolFeatures, "特色功能", "Features"},
    {kToolAdvEq, "高级均衡", "Advanced EQ"},
    {kToolInputSourceSet, "音源设置", "Input Source"},
};

// Device values shown by these tool windows are re-read after every synchronisation.
constexpr std::initializer_list<int> kDeviceValueTools = {kToolMachineSettings, kToolAutoSub,
                                                          kToolInputSource,     kToolInputSourceSet,
                                                          kToolAdvEq,           kToolFeatures};

} // namespace

CVelkorv13View::CVelkorv13View(CVelkorv13App& app, CMainFrame& frame)
    : QWidget(&frame), m_app(app), m_frame(frame), m_dev(app.Dev()) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xe9, 0xef, 0xf7));
    setPalette(pal);

    m_notifier = std::make_unique<CNotifier>(&frame);
    MasterControls::Hooks hooks;
    hooks.language = [this] { return m_app.LanguageIndex(); };
    hooks.showInfo = [this](const QString& text, int ms) { m_app.ShowInfo(text, ms); };
    hooks.pitchChanged = [this] { m_pitchTimer.start(kPitchRefreshMs); };
    m_levels = std::make_unique<MasterControls>(frame.Ribbon(), m_dev, std::move(hooks));
    m_modes = std::make_unique<ModeCommands>(app);

    // The view starts from factory content and the link flags of the settings.
    m_dev.ResetToFactory();
    m_app.Links() = m_app.Settings().QtOption();

    m_firstTimer.setSingleShot(true);
    connect(&m_firstTimer, &QTimer::timeout, this, &CVelkorv13View::FirstAttempt);
    m_statusTimer.setInterval(kStatusPollMs);
    connect(&m_statusTimer, &QTimer::timeout, this, &CVelkorv13View::StatusPoll);
    m_pitchTimer.setInterval(kPitchRefreshMs);
    connect(&m_pitchTimer, &QTimer::timeout, this, [this] { m_levels->RefreshPitch(); });
    m_waitTimer.setSingleShot(true);
    connect(&m_waitTimer, &QTimer::timeout, this, &CVelkorv13View::OpenWaitDialog);
    m_idleTimer.setInterval(kIdleUpdateMs);
    connect(&m_idleTimer, &QTimer::timeout, this, &CVelkorv13View::UpdateUi);
    m_idleTimer.start();

    if (HotplugSource* source = m_app.Hotplug()) {
        m_hotplugNotifier = new QSocketNotifier(source->Fd(), QSocketNotifier::Read, this);
        connect(m_hotplugNotifier, &QSocketNotifier::activated, this,
                &CVelkorv13View::OnHotplugReadable);
    }

    ShowPage(kMusicPage);
    m_firstTimer.start(m_app.Options().firstAttemptMs);
}

CVelkorv13View::~CVelkorv13View() = default;

void CVelkorv13View::OnHotplugReadable() {
    HotplugSource* source = m_app.Hotplug();
    if (!source) return;
    for (const HotplugEvent& e : source->Drain()) {
        if (e.kind == HotplugEvent::Kind::Arrival)
            OnUsbArrival();
        else
            OnUsbRemoval(QString::fromStdString(e.devnode));
    }
}

// ---- pages ----

void CVelkorv13View::RegisterPage(int templateId, PageFactory factory) {
    m_pageFactories[templateId] = std::move(factory);
}

void CVelkorv13View::ShowPage(int templateId) {
    if (m_page && m_page->TemplateId() == templateId) {
        m_page->RefreshFromStore();
        return;
    }
    // A page may ask for its successor from one of its own handlers: let it finish first.
    if (CViewPage* old = m_page.data()) {
        old->hide();
        old->deleteLater();
        m_page = nullptr;
    }
    auto f = m_pageFactories.find(templateId);
    if (f == m_pageFactories.end()) {
        UpdateUi();
        return; // this page is not part of the program yet: the area stays empty
    }
    m_page = f->second(this);
    if (m_page) {
        m_page->ApplyLanguage(m_app.LanguageIndex());
        PlacePage();
        m_page->show();
    }
    UpdateUi();
}

void CVelkorv13View::PlacePage() {
    if (!m_page) return;
    m_page->setGeometry(QRect(QPoint(0, 0), size().expandedTo(kMinPageSize)));
}

void CVelkorv13View::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    PlacePage();
}

void CVelkorv13View::OnCategoryChanged() {
    if (m_levels->OutputActive()) {
        // A new output page, like the one already shown, shows the channel last shown.
        if (!m_page || m_page->TemplateId() != kOutputPage) ShowPage(kOutputPage);
        if (m_page && m_page->TemplateId() == kOutputPage)
            m_page->ShowOutputChannel(m_app.OutputChannel());
    } else if (m_levels->MasterCategoryActive()) {
        ShowPage(kMusicPage);
    }
    m_levels->RefreshFromStore();
}

// ---- commands ----

void CVelkorv13View::OnCommand(int id) {
    if (m_levels->OnCommand(id) || m_modes->OnCommand(id)) {
        UpdateUi();
        return;
    }
    switch (id) {
    case cmd::kLanguage:
        ToggleLanguage();
        break;
    case cmd::kMachineReset:
        MachineReset();
        break;
    case cmd::kConnectIp:
        OpenTool(kToolNetwork);
        break;
    case cmd::kFeatures:
        OpenTool(kToolFeatures);
        break;
    case cmd::kInputSource: {
        int t = InputSourceTemplate();
        OpenTool(t == kToolInputSourceSet ? kToolInputSourceSet : kToolInputSource, t);
        break;
    }
    case cmd::kRemoteControl:
        if (m_dev.IsConnected()) OpenTool(kToolRemote);
        break;
    case cmd::kHomeTheater:
        if (!m_dev.IsConnected())
            m_app.ShowInfo(Pick(m_app.LanguageIndex(), "请先连接机器", "Please connect device"),
                           kNoteMs);
        OpenTool(kToolHomeTheater);
        break;
    case cmd::kAutoSub:
        OpenTool(kToolAutoSub);
        break;
    case cmd::kEqBypass:
        if (m_page && m_page->SupportsEq()) m_page->ToggleEqBypass();
        break;
    case cmd::kEqReset:
        if (m_page && m_page->SupportsEq() &&
            QMessageBox::question(
                &m_frame, QStringLiteral("提示"),
                Pick(m_app.LanguageIndex(), "您确定重置当前均衡吗?", "Are you sure reset the EQ?"),
                QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
            m_page->ResetEq();
        break;
    case cmd::kAbout:
        ShowAbout();
        break;
    case cmd::kExit:
        m_frame.close();
        break;
    default:
        break; // split buttons and labels carry commands that do nothing
    }
    UpdateUi();
}

int CVelkorv13View::InputSourceTemplate() const {
    return InputPageTemplate(m_dev.State().Info());
}

QWidget* CVelkorv13View::OpenTool(int templateId, int variant) {
    if (QWidget* w = m_app.Tools().Open(templateId, variant)) return w;
    const int lang = m_app.LanguageIndex();
    QString name = QString::number(templateId);
    for (const ToolName& t : kToolNames)
        if (t.id == templateId) name = Pick(lang, t.zh, t.en);
    m_app.ShowInfo(Pick(lang, "“%1”窗口尚未提供", "\"%1\" is not available yet").arg(name), 2000);
    return nullptr;
}

void CVelkorv13View::ShowAbout() {
    std::optional<IdentityText> identity;
    if (m_dev.IsConnected()) {
        UpdateUi();
        identity = MakeIdentityText(m_dev.State().Info(), m_app.Codecs());
    }
    CAboutDlg about(identity, &m_app.LevelPolling(), &m_frame);
    about.exec();
}

void CVelkorv13View::MachineReset() {
    if (!m_dev.IsConnected()) return;
    const int lang = m_app.LanguageIndex();
    if (QMessageBox::question(&m_frame, QStringLiteral("提示"),
                              Pick(lang, "您确定要将机器复位吗? \n机器复位后请手动重启机器.",
                                   "Are you sure reset machine? "),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    m_dev.Cmd().SendCommand({kCmdResetMachine, 0xAA});
    m_app.Links() = kDefaultLinkFlags;
    m_app.Settings().SetQtOption(kDefaultLinkFlags);
    m_app.ShowInfo(Pick(lang, "请手动重启……", "Please restart……"), kResetInfoMs);
}

// ---- language ----

RecaptionHooks CVelkorv13View::Recaption() {
    RecaptionHooks hooks;
    hooks.ribbon = [this] { m_frame.ApplyLanguage(m_app.LanguageIndex()); };
    hooks.window = [this](LanguageTarget target) {
        const int lang = m_app.LanguageIndex();
        if (target != LanguageTarget::CurrentPage) {
            m_app.Tools().ApplyLanguage(lang, {TemplateOf(target)});
        } else if (m_page) {
            m_app.Lang().applyTo(m_page, m_page->TemplateId());
            m_page->ApplyLanguage(lang);
        }
    };
    return hooks;
}

void CVelkorv13View::ToggleLanguage() {
    m_app.Lang().toggle(Recaption());
    UpdateUi();
}

void CVelkorv13View::ApplyLanguageToApplication() {
    m_app.Lang().applyToApplication(Recaption());
    UpdateUi();
}

// ---- connection ----

void CVelkorv13View::FirstAttempt() {
    m_firstTimer.stop();
    if (m_dev.IsConnected()) return;
    // The demo connects to its simulator as the network dialog would; otherwise USB is tried
    // unless the network dialog switched the link over.
    const int r = m_app.DemoServer() ? m_app.ConnectDemo() : m_dev.OpenLink();
    if (r == 1) RunConnected(5000);
}

void CVelkorv13View::RunConnected(int displayMs) {
    const int lang = m_app.LanguageIndex();
    m_notifier->Notify(Pick(lang, "设备已连接，同步中……", "Device connected!"),
                       Pick(lang, "信息", "Information"), displayMs);
    UpdateUi();
    DebugOutput("Start thread:SynchronizeData\n");
    m_dev.Jobs().StartReadJob();
    m_app.RunSyncDialog({});
    // A link that failed its synchronisation (wrong version) is already closed here.
    if (m_dev.IsConnected()) {
        m_statusTimer.start(kStatusPollMs);
        m_pitchTimer.start(kPitchRefreshMs);
    }
    UpdateUi();
}

void CVelkorv13View::OnUsbArrival() {
    if (m_dev.IsConnected()) return;
    if (m_dev.OpenUsb() != 1) return;
    for (int id : {kToolMachineSettings, kToolAutoSub, kToolInputSource, kToolInputSourceSet,
                   kToolAdvEq, kToolRemote, kToolHomeTheater, kToolFeatures, kToolNetwork})
        m_app.Tools().Destroy(id);
    RunConnected(kUsbConnectedNoticeMs);
}

void CVelkorv13View::OnUsbRemoval(const QString& path) {
    if (m_dev.IsConnected() && m_dev.IsNetwork()) return;
    DebugOutput("removed!\n");
    if (!m_dev.Usb().IsDevicePath(path.toStdString())) return;
    m_dev.Usb().UsbRemoved();
    StopLinkTimers();
    m_app.EndSyncDialog();
    const int lang = m_app.LanguageIndex();
    m_notifier->Notify(Pick(lang, "设备已断开!", "Device Disconnected!"),
                       Pick(lang, "信息", "Information"), kRemovedNoticeMs);
    UpdateUi();
}

void CVelkorv13View::StopLinkTimers() {
    m_statusTimer.stop();
    m_pitchTimer.stop();
}

void CVelkorv13View::StatusPoll() {
    if (m_dev.Link().statusPoll && m_dev.IsConnected() && m_app.LevelPolling())
        m_dev.Cmd().SendCommand({kCmdStatus});
}

void CVelkorv13View::OnDeviceEvent(const DeviceEvent& e) {
    const int lang = m_app.LanguageIndex();
    switch (e.id) {
    case kEvSyncDone:
        OnSyncDone();
        break;
    case kEvTimeout:
        QMessageBox::warning(&m_frame, QString::fromUtf8(kMainTitle),
                             Pick(lang, "主机超时，网络断开!", "Host timeout,Disconnected!"));
        break;
    case kEvBusy:
        m_app.EndSyncDialog();
        m_app.SetDeviceBusy(true);
        m_app.ShowInfo(Pick(lang, "主机已连接其他设备，请先断开!", "Host is connected!"),
                       kBusyInfoMs);
        break;
    case kEvDeviceError:
        QMessageBox::critical(&m_frame, QStringLiteral("Error"), e.text);
        break;
    case kEvRemoteKey:
        if (auto* t = dynamic_cast<CDeviceEventTarget*>(m_app.Tools().Find(kToolRemoteStudy)))
            t->OnDeviceEvent(e.id, e.w, e.l);
        break;
    case kEvZWaveEvent:
    case kEvZWaveProgress:
        if (auto* t = dynamic_cast<CDeviceEventTarget*>(m_app.Tools().Find(kToolHomeTheater)))
            t->OnDeviceEvent(e.id, e.w, e.l);
        break;
    default:
        break;
    }
    UpdateUi();
}

void CVelkorv13View::OnSyncDone() {
    m_app.EndSyncDialog();
    // A job cut short by a lost link ends here too; its identity is stale, so a version box
    // would blame the wrong thing.
    if (!m_dev.IsConnected()) {
        StopLinkTimers();
        UpdateUi();
        return;
    }
    const DeviceInfo info = m_dev.State().Info();
    if (!IsSupportedCommandVersion(info.commandVersion)) {
        const std::string model(info.Model());
        QString text = QString::asprintf("E:%s_%02x 通信版本不匹配!", model.c_str(),
                                         unsigned(info.commandVersion));
        m_dev.Disconnect(true);
        StopLinkTimers();
        UpdateUi();
        if (m_errorBoxAllowed) {
            m_errorBoxAllowed = false;
            QMessageBox::critical(&m_frame, QStringLiteral("错误"), text);
            m_errorBoxAllowed = true;
        }
        return;
    }
    if (m_app.PendingMode() >= 0) {
        const uint8_t m = uint8_t(std::clamp(m_app.PendingMode(), 0, 3));
        m_app.SetPendingMode(-1);
        m_dev.State().currentMode = m;
        // The settings just written become device mode m.
        m_dev.Cmd().SendCommand({kCmdSetCurrentMode, m});
        QTimer::singleShot(kStoreAfterSetMs, this, [this, m] {
            m_dev.Cmd().SendCommand({kCmdStoreMode, m});
        });
    }
    RefreshAll();
    if (!m_deferredDocument.isEmpty()) {
        QString path = std::exchange(m_deferredDocument, QString());
        QTimer::singleShot(0, this, [this, path] { m_modes->OpenDocument(path); });
    }
}

void CVelkorv13View::RefreshAll() {
    m_levels->RefreshFromStore();
    if (m_page) m_page->RefreshFromStore();
    for (QWidget* w : m_app.Tools().Existing(kDeviceValueTools))
        if (auto* r = dynamic_cast<CRefreshable*>(w)) r->RefreshFromStore();
    UpdateUi();
}

void CVelkorv13View::UpdateUi() {
    // The status block is cleared around every job; only an answer that carries boards counts.
    const auto status = m_dev.State().Status();
    const CodecBoards boards = CodecBoardsFromStatus(status.data(), status.size());
    if (boards.mic || boards.music || boards.ch12 || boards.ch34 || boards.ch56 || boards.ch78)
        m_app.SetCodecs(boards);
    m_frame.UpdateStatus();
    m_levels->UpdateMuteBoxes();
    const bool eq = m_page && m_page->SupportsEq();
    m_frame.EqBypassBox()->setEnabled(eq);
    m_frame.EqResetButton()->setEnabled(eq);
    m_frame.EqBypassBox()->setChecked(eq && m_page->EqBypass());
}

// ---- wait dialog ----

void CVelkorv13View::RunWaitJob(const WaitJob& job) {
    m_pendingWait = job;
    m_dev.Home().SendZWaveJobStart(job.kind, job.arg1, job.arg2);
    m_waitTimer.start(std::max(0, job.delayMs));
}

void CVelkorv13View::OpenWaitDialog() {
    m_waitTimer.stop();
    m_app.RunWaitDialog(m_pendingWait);
}

void CVelkorv13View::OnWaitCancel(int kind, int arg1, int arg2) {
    if (kind != kWaitSwitchNode && kind != kWaitAddNode && kind != kWaitRemoveNode) return;
    m_dev.Home().SendZWaveJobCancel(kind);
    constexpr int kFirstLearnKey = 192;
    if (kind == kWaitSwitchNode && arg2 >= kFirstLearnKey && arg2 <= 255 && m_keyLearnCancelled &&
        m_app.Tools().Find(kToolHomeTheater))
        m_keyLearnCancelled(arg1, arg2 - kFirstLearnKey);
}

} // namespace fenno
