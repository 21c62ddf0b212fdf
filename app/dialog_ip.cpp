#include "app/dialog_ip.h"

#include "app/app_settings.h"
#include "app/ui_text.h"
#include "link/tcp_link.h"
#include "protocol/device.h"
#include "ui/controls/control_id.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace fenno {

QString ConnectErrorText(int language, int code) {
    return Pick(language, "错误%1，请确认IP地址和端口号正确!", "Connect failed. Error %1")
        .arg(code);
}

CDialogIP::CDialogIP(AppSettings& settings, Device& device, int language, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_device(device), m_language(language) {
    PaintDialogBackground(this);

    m_addressLabel = new QLabel(this);
    SetControlId(m_addressLabel, 1005);
    m_address = new QLineEdit(this);
    SetControlId(m_address, 1242);
    static const QRegularExpression kDotted(
        QStringLiteral("^((25[0-5]|2[0-4]\\d|1?\\d?\\d)\\.){0,3}(25[0-5]|2[0-4]\\d|1?\\d?\\d)?$"));
    m_address->setValidator(new QRegularExpressionValidator(kDotted, m_address));
    m_address->setMinimumWidth(170);

    m_error = new QLabel(this);
    SetControlId(m_error, 1006);
    QPalette red = m_error->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    m_error->setPalette(red);
    m_error->setWordWrap(true);
    m_error->setMinimumHeight(34);

    // The port, its label, the scan button and their frame exist but are not offered.
    m_group = new QGroupBox(this);
    SetControlId(m_group, 1008);
    m_portLabel = new QLabel(QStringLiteral("通信端口："), this);
    SetControlId(m_portLabel, 1007);
    m_port = new QLineEdit(this);
    SetControlId(m_port, 1039);
    m_port->setValidator(new QRegularExpressionValidator(QRegularExpression("^\\d{0,5}$"), m_port));
    m_scan = new QPushButton(QStringLiteral("扫描网段"), this);
    SetControlId(m_scan, 3);
    for (QWidget* w : {static_cast<QWidget*>(m_group), static_cast<QWidget*>(m_portLabel),
                       static_cast<QWidget*>(m_port), static_cast<QWidget*>(m_scan)})
        w->hide();

    m_connect = new QPushButton(this);
    SetControlId(m_connect, 1);
    m_connect->setDefault(true);
    m_cancel = new QPushButton(this);
    SetControlId(m_cancel, 2);
    connect(m_connect, &QPushButton::clicked, this, [this] { TryConnect(); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(m_addressLabel);
    row->addWidget(m_address, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_connect);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(10);
    layout->addLayout(row);
    layout->addWidget(m_error);
    layout->addLayout(buttons);

    // The template's own captions, in Chinese; the language tables replace them.
    setWindowTitle(QStringLiteral("网络连接"));
    m_addressLabel->setText(QStringLiteral("机器IP地址："));
    m_connect->setText(QStringLiteral("尝试连接"));
    m_cancel->setText(QStringLiteral("取消"));
    RefreshFromStore();
}

void CDialogIP::ApplyLanguage(int language) {
    // The captions come from the language tables (template 521); the error text is built here.
    m_language = language;
}

void CDialogIP::RefreshFromStore() {
    m_port->setText(QString::number(m_settings.IpPort()));
    QString address = m_settings.IpAddress();
    m_address->setText(address.isEmpty() ? QString::fromLatin1(kDefaultAddress) : address);
    m_error->clear();
}

QString CDialogIP::ErrorText() const {
    return m_error->text();
}

int CDialogIP::TryConnect() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_beforeConnect) m_beforeConnect();
    QString address = m_address->text().trimmed();
    bool ok = false;
    uint port = m_port->text().toUInt(&ok);
    if (!ok || port == 0 || port > 0xFFFF) port = kDefaultDevicePort;
    int r = m_device.ConnectTcp(address.toStdString(), uint16_t(port));
    QApplication::restoreOverrideCursor();
    if (r == 1) {
        m_settings.SetIp(address, uint16_t(port));
        m_error->clear();
        accept();
        emit connected();
        return 1;
    }
    m_error->setText(ConnectErrorText(m_language, r));
    return r;
}

} // namespace fenno
