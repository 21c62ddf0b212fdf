// The timed information box: a small modeless window that destroys itself when its time is up.
#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

namespace fenno {

class CInfoDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kTemplateId = 344;

    CInfoDlg(int language, QWidget* parent);

    // Replaces the text and restarts the time.
    void ShowText(const QString& text, int ms);
    QString Text() const;
    int RemainingMs() const { return m_life.remainingTime(); }

  private:
    QLabel* m_text;
    QPushButton* m_close;
    QTimer m_life;
};

} // namespace fenno
