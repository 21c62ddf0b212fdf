// The main view: the page area, the view timers and the user-interface side of the device link.
#pragma once

#include "app/lang/language.h"
#include "app/qt_event_sink.h"
#include "app/view_page.h"
#include "app/wait_dlg.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;

namespace fenno {

class CMainFrame;
class CNotifier;
class CVelkorv13App;
class Device;
class MasterControls;
class ModeCommands;

class CVelkorv13View : public QWidget {
    Q_OBJECT
  public:
    // The smallest area a page is laid out in, whatever the view's size.
    static constexpr QSize kMinPageSize{1024, 520};
    static constexpr int kStatusPollMs = 500;    // timer 3
    static constexpr int kPitchRefreshMs = 2000; // timer 4
    using PageFactory = std::function<CViewPage*(QWidget* parent)>;

    CVelkorv13View(CVelkorv13App& app, CMainFrame& frame);
    ~CVelkorv13View() override;

    // Commands of the ribbon, the status bar and the keyboard.
    void OnCommand(int id);
    void OnDeviceEvent(const DeviceEvent& event);

    // The connected routine: balloon, read job, modal CSynDlg, then timers 3 and 4.
    void RunConnected(int displayMs);
    void OnUsbArrival();
    void OnUsbRemoval(const QString& path);
    void OnSyncDone();
    // Language toggle (32805) and its re-captioning of the whole program.
    void ToggleLanguage();
    void ApplyLanguageToApplication();

    // Runs a plug job with the wait dialog (Parts that drive plugs call it).
    void RunWaitJob(const WaitJob& job);
    void CancelPendingWait() { m_waitTimer.stop(); }
    void ReplacePendingWaitText(const QString& text) { m_pendingWait.text = text; }
    // A cancelled key learning job (kind 0x13, second argument 192..255) marks key
    // (second argument - 192) of the node as not learned; the smart-plug window does that.
    void SetKeyLearnCancelled(std::function<void(int node, int key)> hook) {
        m_keyLearnCancelled = std::move(hook);
    }
    // The wait dialog timed out, or the user aborted it: the job is cancelled at the device.
    void OnWaitCancel(int kind, int arg1, int arg2);

    // Pages: one at a time in the page area; a kind without a factory leaves the area empty.
    void RegisterPage(int templateId, PageFactory factory);
    CViewPage* CurrentPage() const { return m_page.data(); }
    void ShowPage(int templateId);
    // Category change → page switch, then the ribbon refresh.
    void OnCategoryChanged();

    // Status panes, mute boxes, mode menu marks and the EQ controls follow the state.
    void UpdateUi();
    void RefreshAll();

    MasterControls& Levels() { return *m_levels; }
    ModeCommands& Modes() { return *m_modes; }
    CNotifier& Notifier() { return *m_notifier; }
    bool StatusPollRunning() const { return m_statusTimer.isActive(); }
    bool PitchRefreshRunning() const { return m_pitchTimer.isActive(); }
    QTimer& PitchTimer() { return m_pitchTimer; }
    // The Input Source window kind by model and board code: 543, or 512 and its variants.
    int InputSourceTemplate() const;
    // Opens a tool window, or says that this program does not have it yet.
    QWidget* OpenTool(int templateId, int variant = 0);

    // A mode file from the command line waits for the first synchronised link.
    void SetDeferredDocument(const QString& path) { m_deferredDocument = path; }
    QString DeferredDocument() const { return m_deferredDocument; }

  protected:
    void resizeEvent(QResizeEvent* e) override;

  private:
    RecaptionHooks Recaption();
    void FirstAttempt();
    void StatusPoll();
    void MachineReset();
    void ShowAbout();
    void OpenWaitDialog();
    void PlacePage();
    void StopLinkTimers();
    void OnHotplugReadable();
    bool NeedsLink();

    CVelkorv13App& m_app;
    CMainFrame& m_frame;
    Device& m_dev;
    std::unique_ptr<CNotifier> m_notifier;
    std::unique_ptr<MasterControls> m_levels;
    std::unique_ptr<ModeCommands> m_modes;

    std::map<int, PageFactory> m_pageFactories;
    QPointer<CViewPage> m_page;

    QTimer m_firstTimer;  // 1
    QTimer m_statusTimer; // 3
    QTimer m_pitchTimer;  // 4
    QTimer m_waitTimer;   // 5
    QTimer m_idleTimer;   // stands in for the idle-time command updates

    WaitJob m_pendingWait;
    std::function<void(int node, int key)> m_keyLearnCancelled;
    bool m_errorBoxAllowed = true;
    QString m_deferredDocument;
    QSocketNotifier* m_hotplugNotifier = nullptr;
};

} // namespace fenno
