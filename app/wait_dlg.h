// The modal wait dialog of a device job that needs the user at a plug (add, remove, switch, learn).
#pragma once

#include <QColor>
#include <QDialog>
#include <QTimer>
#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

namespace fenno {

// Job kinds are the Z-Wave function codes of the request that starts the job.
enum WaitJobKind : int {
    kWaitSwitchNode = 0x13,
    kWaitAddNode = 0x4A,
    kWaitRemoveNode = 0x4B,
};

struct WaitJob {
    QString text;
    int kind = 0;
    int delayMs = 0;
    int arg1 = 0;
    int arg2 = 0;
};

class CWaitDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kTemplateId = 486;
    static constexpr int kStepMs = 150;      // timer 1
    static constexpr int kTimeoutMs = 30000; // timer 110
    static constexpr int kRestartTimeoutMs = 20000;

    CWaitDlg(const QString& text, int kind, uint8_t arg1, uint8_t arg2, QWidget* parent);

    int Kind() const { return m_kind; }
    uint8_t Arg1() const { return m_arg1; }
    uint8_t Arg2() const { return m_arg2; }
    QString Text() const;
    QColor TextColour() const { return m_colour; }
    int Progress() const;
    bool TimeoutRunning() const { return m_timeout.isActive(); }
    int TimeoutInterval() const { return m_timeout.interval(); }

    void RestartTimers();
    void SetText(const QString& text);
    void SetTextColour(const QColor& colour);
    // 0 closes at once; otherwise the bar is filled and the dialog closes after ms.
    void Finish(int ms);

  signals:
    // Time-out, "强行中止" or closing the window: the job must be cancelled at the device.
    void cancelRequested(int kind, uint8_t arg1, uint8_t arg2);
    void timedOut();

  protected:
    void reject() override;

  private:
    void StopTimers();

    int m_kind;
    uint8_t m_arg1;
    uint8_t m_arg2;
    QColor m_colour{0, 0, 255};
    QLabel* m_text;
    QProgressBar* m_progress;
    QPushButton* m_abort;
    QTimer m_step;    // timer 1
    QTimer m_timeout; // timer 110
    QTimer m_finish;  // timer 2
};

// The information shown when a wait dialog timed out (Chinese only).
QString WaitTimeoutText();

} // namespace fenno
