#include "app/notifier.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

namespace fenno {
namespace {
constexpr int kToastMargin = 14;
constexpr int kToastBottom = 34; // keeps it clear of the status bar
} // namespace

CToast::CToast(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("toast"));
    setStyleSheet(QStringLiteral("#toast { background: #fffff4; border: 1px solid #7f9db9;"
                                 " border-radius: 4px; }"));
    setCursor(Qt::PointingHandCursor);
    m_title = new QLabel(this);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_text = new QLabel(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 10);
    layout->setSpacing(4);
    layout->addWidget(m_title);
    layout->addWidget(m_text);
    parent->installEventFilter(this);
}

void CToast::SetMessage(const QString& title, const QString& text) {
    m_title->setText(title);
    m_text->setText(text);
    adjustSize();
    Place();
}

QString CToast::Title() const {
    return m_title->text();
}
QString CToast::Message() const {
    return m_text->text();
}

void CToast::Place() {
    QWidget* p = parentWidget();
    move(p->width() - width() - kToastMargin, p->height() - height() - kToastBottom);
    raise();
}

void CToast::mousePressEvent(QMouseEvent*) {
    emit clicked();
}

bool CToast::eventFilter(QObject* watched, QEvent* e) {
    if (watched == parentWidget() && e->type() == QEvent::Resize) Place();
    return QFrame::eventFilter(watched, e);
}

CNotifier::CNotifier(QWidget* host, QObject* parent) : QObject(parent), m_host(host) {
    m_life.setSingleShot(true);
    connect(&m_life, &QTimer::timeout, this, &CNotifier::Remove);
}

CNotifier::~CNotifier() {
    Remove();
}

bool CNotifier::UsesTray() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CNotifier::Notify(const QString& text, const QString& title, int ms) {
    m_title = title;
    m_text = text;
    if (UsesTray()) {
        if (!m_tray) {
            m_tray = new QSystemTrayIcon(QApplication::windowIcon(), this);
            connect(m_tray, &QSystemTrayIcon::activated, this, &CNotifier::Remove);
            connect(m_tray, &QSystemTrayIcon::messageClicked, this, &CNotifier::Remove);
        }
        m_tray->show();
        m_tray->showMessage(title, text, QSystemTrayIcon::Information, ms);
    } else {
        if (!m_toast) {
            m_toast = new CToast(m_host);
            connect(m_toast, &CToast::clicked, this, &CNotifier::Remove);
        }
        m_toast->SetMessage(title, text);
        m_toast->show();
    }
    m_shown = true;
    m_life.start(ms);
}

void CNotifier::Remove() {
    m_life.stop();
    // Removal may come from the icon's or the toast's own signal: delete them later.
    if (m_tray) {
        m_tray->hide();
        m_tray->deleteLater();
        m_tray = nullptr;
    }
    if (m_toast) {
        m_toast->hide();
        m_toast->deleteLater();
        m_toast = nullptr;
    }
    m_shown = false;
}

} // namespace fenno
