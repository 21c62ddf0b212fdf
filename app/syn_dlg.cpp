#include "app/syn_dlg.h"

#include "app/ui_text.h"
#include "ui/controls/control_id.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace fenno {

CSynDlg::CSynDlg(int language, const QString& text, QWidget* parent) : QDialog(parent) {
    setWindowTitle(Pick(language, "同步过程", "Synchronize"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    PaintDialogBackground(this);
    setCursor(Qt::WaitCursor);

    m_text = new QLabel(text.isEmpty() ? Pick(language, "当前正在与机器同步数据,请稍候......",
                                              "Please wait a moment……")
                                       : text,
                        this);
    SetControlId(m_text, 1218);
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setWordWrap(true);

    m_progress = new QProgressBar(this);
    SetControlId(m_progress, 1217);
    m_progress->setRange(0, 0); // marquee
    m_progress->setTextVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(14);
    layout->addWidget(m_text);
    layout->addWidget(m_progress);
    setFixedSize(360, 130);

    m_timeout.setSingleShot(true);
    m_timeout.setInterval(kTimeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        done(QDialog::Rejected);
        emit timedOut();
    });
}

QString CSynDlg::Text() const {
    return m_text->text();
}

void CSynDlg::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!m_timeout.isActive()) m_timeout.start();
}

void CSynDlg::reject() {}

void CSynDlg::Finish() {
    m_timeout.stop();
    done(QDialog::Accepted);
}

QString SyncTimeoutText() {
    return QStringLiteral("发生错误，与设备数据同步超时……");
}

} // namespace fenno
