// The connection balloon: a tray icon message where a tray exists, else a toast in the window.
#pragma once

#include <QFrame>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QLabel;
class QSystemTrayIcon;

namespace fenno {

// The in-window stand-in for a balloon; a click removes it.
class CToast : public QFrame {
    Q_OBJECT
  public:
    explicit CToast(QWidget* parent);
    void SetMessage(const QString& title, const QString& text);
    QString Title() const;
    QString Message() const;
    void Place();

  signals:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    QLabel* m_title;
    QLabel* m_text;
};

class CNotifier : public QObject {
    Q_OBJECT
  public:
    // host is the main window: it carries the toast and gives the icon.
    explicit CNotifier(QWidget* host, QObject* parent = nullptr);
    ~CNotifier() override;

    // At most one icon (or toast) at a time; a newer message replaces the shown one and its time.
    void Notify(const QString& text, const QString& title, int ms);
    void Remove();
    bool Shown() const { return m_shown; }
    QString Title() const { return m_title; }
    QString Text() const { return m_text; }
    bool UsesTray() const;
    CToast* Toast() const { return m_toast; }

  private:
    QWidget* m_host;
    QPointer<QSystemTrayIcon> m_tray;
    QPointer<CToast> m_toast;
    QTimer m_life; // timer 990
    bool m_shown = false;
    QString m_title;
    QString m_text;
};

} // namespace fenno
