// The main frame: ribbon, status bar and the view, the close question and the wheel over panels.
#pragma once

#include <QMainWindow>

class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;

namespace fenno {

class CRibbonBar;
class CVelkorv13App;
class CVelkorv13View;

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr QSize kMinimumSize{1040, 700};

    explicit CMainFrame(CVelkorv13App& app);
    ~CMainFrame() override;

    CRibbonBar& Ribbon() const { return *m_ribbon; }
    CVelkorv13View& View() const { return *m_view; }
    QLabel* LinkPane() const { return m_linkPane; }
    QLabel* ModePane() const { return m_modePane; }
    QCheckBox* EqBypassBox() const { return m_bypass; }
    QPushButton* EqResetButton() const { return m_reset; }
    QMenu* LoadModeMenu(int category) const { return m_loadMenus[category]; }
    QMenu* SaveModeMenu(int category) const { return m_saveMenus[category]; }

    // Re-captions buttons, menus and status bar controls for the language.
    void ApplyLanguage(int language);
    // Link pane, mode pane and the mode menus' check marks.
    void UpdateStatus();
    void RebuildRecentMenu();

  protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void BuildRibbon(int language);
    void BuildStatusBar(int language);
    // The save-changes question; false when the user chose Cancel.
    bool AskSaveChanges();

    CVelkorv13App& m_app;
    CRibbonBar* m_ribbon;
    CVelkorv13View* m_view;
    QLabel* m_linkPane;
    QLabel* m_modePane;
    QCheckBox* m_bypass;
    QPushButton* m_reset;
    QMenu* m_loadMenus[2] = {};
    QMenu* m_saveMenus[2] = {};
    QAction* m_openAction = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_exitAction = nullptr;
    QAction* m_recentTitle = nullptr;
    QList<QAction*> m_recentActions;
    bool m_closing = false;
    int m_wheelRemainder = 0;
};

} // namespace fenno
