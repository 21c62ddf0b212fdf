// The modal "synchronising" dialog that holds the user interface while a whole-device job runs.
#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;

namespace fenno {

class CSynDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kTemplateId = 347;
    static constexpr int kTimeoutMs = 30000; // timer 110

    // An empty text shows the default "please wait" text of the language.
    CSynDlg(int language, const QString& text, QWidget* parent);

    // The main view stops timer 110 before it closes the dialog (sync done, busy, removal).
    void StopTimeout() { m_timeout.stop(); }
    bool TimeoutRunning() const { return m_timeout.isActive(); }
    QString Text() const;

    // Closes the dialog as the owner asks (the user cannot).
    void Finish();

  signals:
    // Timer 110 fired; the dialog has closed itself.
    void timedOut();

  protected:
    void showEvent(QShowEvent* e) override;
    void reject() override; // Esc and the close button: the job cannot be abandoned here

  private:
    QLabel* m_text;
    QProgressBar* m_progress;
    QTimer m_timeout;
};

// The text of the box shown when timer 110 fires (Chinese only).
QString SyncTimeoutText();

} // namespace fenno
