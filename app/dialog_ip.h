// The network dialog: the device's address and port, the connect attempt and its error text.
#pragma once

#include "app/view_page.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QGroupBox;

namespace fenno {

class AppSettings;
class Device;

class CDialogIP : public QDialog, public CRefreshable {
    Q_OBJECT
  public:
    static constexpr int kTemplateId = 521;
    static constexpr char kDefaultAddress[] = "192.168.1.123";

    CDialogIP(AppSettings& settings, Device& device, int language, QWidget* parent);

    // Runs just before the connect attempt (the main view clears its device-busy flag).
    void SetBeforeConnect(std::function<void()> hook) { m_beforeConnect = std::move(hook); }

    // Fills the fields from the settings again.
    void RefreshFromStore() override;
    void ApplyLanguage(int language) override;

    QLineEdit* AddressField() const { return m_address; }
    QLineEdit* PortField() const { return m_port; }
    QPushButton* ConnectButton() const { return m_connect; }
    QString ErrorText() const;

    // The "Connect" button: 1 on success (the dialog closed), else the error shown.
    int TryConnect();

  signals:
    // The link is up; the main view runs its connected routine.
    void connected();

  private:
    AppSettings& m_settings;
    Device& m_device;
    int m_language;
    std::function<void()> m_beforeConnect;
    QLabel* m_addressLabel;
    QLineEdit* m_address;
    QLabel* m_error;
    QLabel* m_portLabel;
    QLineEdit* m_port;
    QPushButton* m_scan;
    QGroupBox* m_group;
    QPushButton* m_connect;
    QPushButton* m_cancel;
};

// "错误%d，请确认IP地址和端口号正确!" / "Connect failed. Error %d"
QString ConnectErrorText(int language, int code);

} // namespace fenno
