#include "app/main_frame.h"

#include "app/app_icons.h"
#include "app/command_ids.h"
#include "app/lang/ribbon_captions.h"
#include "app/lang/shell_texts.h"
#include "app/master_controls.h"
#include "app/mode_commands.h"
#include "app/notifier.h"
#include "app/ribbon_bar.h"
#include "app/ui_text.h"
#include "app/velkorv13_app.h"
#include "app/velkorv13_view.h"
#include "protocol/device.h"
#include "protocol/mode_file.h"
#include "ui/controls/xbmp_slider.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QToolButton>
#include <QWheelEvent>

namespace fenno {
namespace {

constexpr int kVolumeSliderWidth = 90;
constexpr int kWideSliderWidth = 100;
constexpr int kInitialLevel = 100; // the labels' value before the first read

QString T(const Tr2& t, int language) {
    return t.pick(language);
}

QMenu* ModeMenu(QWidget* parent, int firstCommand) {
    auto* menu = new QMenu(parent);
    for (int m = 0; m < 4; ++m) {
        QAction* a = menu->addAction(QStringLiteral("M%1").arg(m + 1));
        a->setData(firstCommand + m);
        a->setCheckable(true);
    }
    return menu;
}

} // namespace

CMainFrame::CMainFrame(CVelkorv13App& app) : m_app(app) {
    setProperty(kAppKey, 1); // marks the main window, as the instance hand-over looks for it
    // The blue look is the only one; the setting is read and written back as it always was.
    (void)m_app.Settings().ApplicationLook();
    m_app.Settings().SetApplicationLook(kApplicationLook);
    setWindowTitle(QString::fromUtf8(kMainTitle));
    setWindowIcon(ProgramIcon());
    setMinimumSize(kMinimumSize);
    setAttribute(Qt::WA_InputMethodEnabled, false);

    const int lang = m_app.LanguageIndex();
    m_ribbon = new CRibbonBar(this);
    setMenuWidget(m_ribbon);
    BuildRibbon(lang);
    BuildStatusBar(lang);

    m_view = new CVelkorv13View(m_app, *this);
    setCentralWidget(m_view);

    connect(m_ribbon, &CRibbonBar::command, m_view, &CVelkorv13View::OnCommand);
    connect(m_ribbon, &CRibbonBar::categoryChanged, m_view, &CVelkorv13View::OnCategoryChanged);
    connect(m_bypass, &QCheckBox::clicked, m_view, [this] { m_view->OnCommand(cmd::kEqBypass); });
    connect(m_reset, &QPushButton::clicked, m_view, [this] { m_view->OnCommand(cmd::kEqReset); });
    auto* open = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
    connect(open, &QShortcut::activated, m_view, [this] { m_view->OnCommand(cmd::kFileOpen); });
    auto* save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
    connect(save, &QShortcut::activated, m_view, [this] { m_view->OnCommand(cmd::kFileSave); });

    // The wheel over the ribbon's panels is looked at before any control sees it.
    qApp->installEventFilter(this);
    resize(kMinimumSize);
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
}

void CMainFrame::BuildRibbon(int lang) {
    for (const int side : {0, 1}) {
        int c =
            m_ribbon->AddCategory(T(side ? texts::kCategoryOutput : texts::kCategoryInput, lang));
        const auto& specs = LevelSpecs();
        for (int ch = 0; ch < kLevelChannels; ++ch) {
            const LevelSpec& s = specs[size_t(ch)];
            CRibbonPanel* p = m_ribbon->AddPanel(c, T(texts::kPanelNames[size_t(ch)], lang));
            p->AddLabel(s.label[side], LevelLabelText(LevelChannel(ch), lang, kInitialLevel));
            p->AddSlider(s.slider[side], 0, 99, kVolumeSliderWidth);
            m_ribbon->SetSliderPos(s.slider[side], 99); // beside the labels' initial 100
            p->AddCheckBox(s.mute[side], T(texts::kMute, lang));
        }
        CRibbonPanel* pitch =
            m_ribbon->AddPanel(c, T(texts::kPanelNames[texts::kPitchPanel], lang));
        pitch->AddLabel(cmd::kGateLabel[side], NoiseGateLabel(lang, kInitialLevel));
        pitch->AddSlider(cmd::kGateSlider[side], 0, 100, kWideSliderWidth);
        m_ribbon->SetSliderPos(cmd::kGateSlider[side], 100);
        pitch->AddSlider(cmd::kPitchSlider[side], -5, 5, kWideSliderWidth);
        m_ribbon->SetSliderPos(cmd::kPitchSlider[side], 0);

        m_loadMenus[side] = ModeMenu(m_ribbon, cmd::kLoadMode1);
        m_saveMenus[side] = ModeMenu(m_ribbon, cmd::kStoreMode1);
        CRibbonPanel* load = m_ribbon->AddPanel(c, T(texts::kPanelNames[6], lang));
        load->AddButton(cmd::kLoadModeSplit[side], T(texts::kLoadMode, lang), m_loadMenus[side]);
        load->AddButton(cmd::kLoadFile[side], T(texts::kLoadFile, lang));
        CRibbonPanel* store = m_ribbon->AddPanel(c, T(texts::kPanelNames[7], lang));
        store->AddButton(cmd::kSaveModeSplit[side], T(texts::kSaveMode, lang), m_saveMenus[side]);
        store->AddButton(cmd::kSaveFile[side], T(texts::kSaveFile, lang));
    }

    m_ribbon->AddRowButton(cmd::kConnectIp, T(texts::kConnectIp, lang));
    m_ribbon->AddRowButton(cmd::kFeatures, T(texts::kFeatures, lang));
    m_ribbon->AddRowButton(cmd::kInputSource, T(texts::kInputSource, lang));
    m_ribbon->AddRowButton(cmd::kMachineReset, T(texts::kReset, lang));
    m_ribbon->AddRowButton(cmd::kRemoteControl, T(texts::kRemoteControl, lang));
    m_ribbon->AddRowButton(cmd::kLanguage, QString::fromUtf8(texts::kLanguageButton));
    QToolButton* about = m_ribbon->AddRowButton(cmd::kAbout, QString());
    about->setIcon(AboutIcon());
    about->setToolTip(QStringLiteral("About"));

    QToolButton* appButton = m_ribbon->ApplicationButton();
    appButton->setIcon(ProgramIcon());
    appButton->setText(QStringLiteral("Fenno"));
    QMenu* menu = m_ribbon->ApplicationMenu();
    m_openAction = menu->addAction(T(texts::kMenuOpen, lang));
    m_openAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    m_saveAction = menu->addAction(T(texts::kMenuSave, lang));
    m_saveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    m_recentTitle = menu->addSection(T(texts::kRecentFiles, lang));
    menu->addSeparator();
    m_exitAction = menu->addAction(T(texts::kMenuExit, lang));
    // The shortcuts are the frame's; in the menu they are only shown.
    for (QAction* a : {m_openAction, m_saveAction})
        a->setShortcutContext(Qt::WidgetShortcut);
    connect(m_openAction, &QAction::triggered, this, [this] { m_view->OnCommand(cmd::kFileOpen); });
    connect(m_saveAction, &QAction::triggered, this, [this] { m_view->OnCommand(cmd::kFileSave); });
    connect(m_exitAction, &QAction::triggered, this, [this] { m_view->OnCommand(cmd::kExit); });
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::RebuildRecentMenu);
    RebuildRecentMenu();
}

void CMainFrame::RebuildRecentMenu() {
    QMenu* menu = m_ribbon->ApplicationMenu();
    for (QAction* a : m_recentActions) {
        menu->removeAction(a);
        a->deleteLater();
    }
    m_recentActions.clear();
    const QStringList files = m_app.Settings().RecentFiles();
    QAction* before = m_exitAction;
    // Exit stays at the bottom below a separator; the list goes just above it.
    const QList<QAction*> all = menu->actions();
    int exitAt = all.indexOf(m_exitAction);
    if (exitAt > 0) before = all[exitAt - 1];
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        auto* a = new QAction(
            QStringLiteral("&%1 %2").arg((i + 1) % 10).arg(QFileInfo(path).fileName()), menu);
        a->setToolTip(path);
        a->setStatusTip(path);
        connect(a, &QAction::triggered, this, [this, path] { m_view->Modes().OpenDocument(path); });
        menu->insertAction(before, a);
        m_recentActions << a;
    }
}

void CMainFrame::BuildStatusBar(int lang) {
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(false);
    bar->setStyleSheet(QStringLiteral("QStatusBar QLabel { padding: 0 6px; }"));
    m_linkPane = new QLabel(QStringLiteral("USB:未连接"), bar);
    m_linkPane->setProperty("controlId", cmd::kLinkPane);
    m_linkPane->setMinimumWidth(fontMetrics().averageCharWidth() * 26);
    m_modePane = new QLabel(QStringLiteral("当前模式：模式一"), bar);
    m_modePane->setProperty("controlId", cmd::kModePane);
    auto* separator = new QFrame(bar);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    bar->addWidget(m_linkPane);
    bar->addWidget(separator);
    bar->addWidget(m_modePane, 1);
    m_bypass = new QCheckBox(bar);
    m_bypass->setProperty("controlId", cmd::kEqBypass);
    m_bypass->setFocusPolicy(Qt::NoFocus);
    m_reset = new QPushButton(bar);
    m_reset->setProperty("controlId", cmd::kEqReset);
    m_reset->setFocusPolicy(Qt::NoFocus);
    bar->addPermanentWidget(m_bypass);
    bar->addPermanentWidget(m_reset);
    m_bypass->setText(Pick(lang, "均衡旁路", "Bypass"));
    m_reset->setText(Pick(lang, "重置均衡", "Reset EQ"));
    m_bypass->setEnabled(false);
    m_reset->setEnabled(false);
}

void CMainFrame::ApplyLanguage(int lang) {
    m_view->Levels().ApplyLanguage(lang);
    for (int side : {0, 1}) {
        m_ribbon->Button(cmd::kLoadModeSplit[side])->setText(T(texts::kLoadMode, lang));
        m_ribbon->Button(cmd::kLoadFile[side])->setText(T(texts::kLoadFile, lang));
        m_ribbon->Button(cmd::kSaveModeSplit[side])->setText(T(texts::kSaveMode, lang));
        m_ribbon->Button(cmd::kSaveFile[side])->setText(T(texts::kSaveFile, lang));
    }
    m_ribbon->Button(cmd::kConnectIp)->setText(T(texts::kConnectIp, lang));
    m_ribbon->Button(cmd::kFeatures)->setText(T(texts::kFeatures, lang));
    m_ribbon->Button(cmd::kInputSource)->setText(T(texts::kInputSource, lang));
    m_ribbon->Button(cmd::kMachineReset)->setText(T(texts::kReset, lang));
    m_ribbon->Button(cmd::kRemoteControl)->setText(T(texts::kRemoteControl, lang));
    m_ribbon->Button(cmd::kLanguage)->setText(QString::fromUtf8(texts::kLanguageButton));
    m_openAction->setText(T(texts::kMenuOpen, lang));
    m_saveAction->setText(T(texts::kMenuSave, lang));
    m_exitAction->setText(T(texts::kMenuExit, lang));
    m_recentTitle->setText(T(texts::kRecentFiles, lang));
    m_bypass->setText(Pick(lang, "均衡旁路", "Bypass"));
    m_reset->setText(Pick(lang, "重置均衡", "Reset EQ"));
    m_ribbon->Relayout();
    UpdateStatus();
}

void CMainFrame::UpdateStatus() {
    const int lang = m_app.LanguageIndex();
    Device& dev = m_app.Dev();
    QPalette pal = m_linkPane->palette();
    if (dev.IsConnected()) {
        m_linkPane->setText(dev.IsNetwork() ? Pick(lang, "IP：已连接", "IP:Connected")
                                            : Pick(lang, "USB：已连接", "USB:Connected"));
        pal.setColor(QPalette::WindowText, LinkUpColour());
    } else {
        m_linkPane->setText(Pick(lang, "未连接", "Disconnected"));
        pal.setColor(QPalette::WindowText, LinkDownColour());
    }
    m_linkPane->setPalette(pal);
    const int mode = std::clamp(int(dev.State().currentMode), 0, 3);
    m_modePane->setText(
        Pick(lang, "当前模式:%1", "Current Mode:%1").arg(QStringLiteral("M%1").arg(mode + 1)));
    for (QMenu* menu : {m_loadMenus[0], m_loadMenus[1], m_saveMenus[0], m_saveMenus[1]}) {
        const QList<QAction*> actions = menu->actions();
        for (int i = 0; i < actions.size(); ++i)
            actions[i]->setChecked(i == mode);
    }
}

bool CMainFrame::AskSaveChanges() {
    Device& dev = m_app.Dev();
    if (!dev.State().settingsChanged) return true;
    const int lang = m_app.LanguageIndex();
    auto answer = QMessageBox::question(
        this, Pick(lang, "保存?", "Save?"),
        Pick(lang,
             "参数已改动，请问是否需要保存?\r\n提示：保存成电脑文件并同时保存至机器的当前模式",
             "parameter value is changed, do you want save it ?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Cancel || answer == QMessageBox::Escape) return false;
    if (answer != QMessageBox::Yes) return true;
    QString path = m_app.Files().save(this, Pick(lang, "保存?", "Save?"), QStringLiteral("preset"));
    if (path.isEmpty()) return true;
    dev.Cmd().SaveDeviceMode(dev.State().currentMode);
    ModeFileError error;
    if (!SaveModeFile(path.toStdString(), dev.Store(), dev.State().Info(), &error))
        QMessageBox::warning(this, QStringLiteral("Can't write to file"),
                             QString::fromStdString(error.message));
    else
        m_app.Settings().AddRecentFile(path);
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    if (!m_closing) {
        if (!AskSaveChanges()) {
            e->ignore();
            return;
        }
        m_closing = true;
        m_app.Dev().Disconnect(true);
        m_view->Notifier().Remove();
    }
    QMainWindow::closeEvent(e);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::Wheel && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w == m_ribbon || m_ribbon->isAncestorOf(w)) {
            auto* wheel = static_cast<QWheelEvent*>(e);
            const QPoint pos = m_ribbon->mapFromGlobal(wheel->globalPosition().toPoint());
            // Fine-grained wheels send parts of a notch; a notch is 120.
            m_wheelRemainder += wheel->angleDelta().y();
            while (std::abs(m_wheelRemainder) >= QWheelEvent::DefaultDeltasPerStep) {
                const int step = m_wheelRemainder > 0 ? 1 : -1;
                m_wheelRemainder -= step * QWheelEvent::DefaultDeltasPerStep;
                m_view->Levels().Wheel(pos, step);
            }
            // Away from the channels the ribbon ignores the wheel: it never switches
            // categories with it.
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

} // namespace fenno
