#include "app/wait_dlg.h"

#include "app/ui_text.h"
#include "ui/controls/control_id.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace fenno {
namespace {
constexpr int kProgressStep = 10;
}

CWaitDlg::CWaitDlg(const QString& text, int kind, uint8_t arg1, uint8_t arg2, QWidget* parent)
    : QDialog(parent), m_kind(kind), m_arg1(arg1), m_arg2(arg2) {
    setWindowTitle(QStringLiteral("请稍等……"));
    setModal(true);
    PaintDialogBackground(this);
    setCursor(Qt::WaitCursor);

    m_progress = new QProgressBar(this);
    SetControlId(m_progress, 1217);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);

    m_text = new QLabel(this);
    SetControlId(m_text, 1218);
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setWordWrap(true);
    SetText(text);
    SetTextColour(m_colour);

    m_abort = new QPushButton(QStringLiteral("强行中止"), this);
    SetControlId(m_abort, 3);
    connect(m_abort, &QPushButton::clicked, this, &CWaitDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_abort);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(12);
    layout->addWidget(m_text);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);
    setFixedSize(380, 150);

    m_step.setInterval(kStepMs);
    connect(&m_step, &QTimer::timeout, this, [this] {
        int v = m_progress->value() + kProgressStep;
        m_progress->setValue(v > m_progress->maximum() ? 0 : v);
    });
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(kTimeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        emit cancelRequested(m_kind, m_arg1, m_arg2);
        StopTimers();
        done(QDialog::Rejected);
        emit timedOut();
    });
    m_finish.setSingleShot(true);
    connect(&m_finish, &QTimer::timeout, this, [this] {
        StopTimers();
        done(QDialog::Accepted);
    });
    m_step.start();
    m_timeout.start();
}

QString CWaitDlg::Text() const {
    return m_text->text();
}
int CWaitDlg::Progress() const {
    return m_progress->value();
}

void CWaitDlg::StopTimers() {
    m_step.stop();
    m_timeout.stop();
}

void CWaitDlg::RestartTimers() {
    m_step.start(kStepMs);
    m_timeout.start(kRestartTimeoutMs);
}

void CWaitDlg::SetText(const QString& text) {
    m_text->setText(text);
}

void CWaitDlg::SetTextColour(const QColor& colour) {
    m_colour = colour;
    QPalette pal = m_text->palette();
    pal.setColor(QPalette::WindowText, colour);
    m_text->setPalette(pal);
}

void CWaitDlg::Finish(int ms) {
    StopTimers();
    if (ms <= 0) {
        done(QDialog::Accepted);
        return;
    }
    m_progress->setValue(m_progress->maximum());
    m_finish.start(ms);
}

void CWaitDlg::reject() {
    StopTimers();
    m_finish.stop();
    emit cancelRequested(m_kind, m_arg1, m_arg2);
    done(QDialog::Rejected);
}

QString WaitTimeoutText() {
    return QStringLiteral("发生错误，操作超时……");
}

} // namespace fenno
