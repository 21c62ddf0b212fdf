#include "app/app_settings.h"

#include "link/tcp_link.h"

namespace fenno {
namespace {

constexpr char kLanguageKey[] = "language";
constexpr char kQtOptionKey[] = "QtOption";
constexpr char kLookKey[] = "ApplicationLook";
constexpr char kIpAddrKey[] = "IPAddr";
constexpr char kIpPortKey[] = "IPPort";
constexpr char kRecentGroup[] = "Recent File List";

QString RecentKey(int i) {
    return QStringLiteral("File%1").arg(i + 1);
}

} // namespace

AppSettings::AppSettings()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, kAppKey, QStringLiteral("fenno")) {}

int AppSettings::Language() const {
    bool ok = false;
    int v = m_settings.value(kLanguageKey, 0).toInt(&ok);
    return ok && (v == 0 || v == 1) ? v : 0;
}

void AppSettings::SetLanguage(int language) {
    m_settings.setValue(kLanguageKey, language);
    m_settings.sync();
}

LinkFlags AppSettings::QtOption() const {
    QVariant v = m_settings.value(kQtOptionKey);
    if (v.typeId() != QMetaType::QByteArray) return kDefaultLinkFlags;
    QByteArray bytes = v.toByteArray();
    if (bytes.size() != kQtOptionSize) return kDefaultLinkFlags;
    return {uint8_t(bytes[0]), uint8_t(bytes[1]), uint8_t(bytes[2])};
}

QByteArray AppSettings::EncodeQtOption(const LinkFlags& flags) {
    QByteArray bytes(kQtOptionSize, '\0');
    for (size_t i = 0; i < flags.size(); ++i)
        bytes[qsizetype(i)] = char(flags[i]);
    return bytes;
}

void AppSettings::SetQtOption(const LinkFlags& flags) {
    m_settings.setValue(kQtOptionKey, EncodeQtOption(flags));
    m_settings.sync();
}

int AppSettings::ApplicationLook() const {
    bool ok = false;
    int v = m_settings.value(kLookKey, kApplicationLook).toInt(&ok);
    return ok ? v : kApplicationLook;
}

void AppSettings::SetApplicationLook(int look) {
    m_settings.setValue(kLookKey, look);
    m_settings.sync();
}

QStringList AppSettings::RecentFiles() const {
    QStringList list;
    m_settings.beginGroup(kRecentGroup);
    for (int i = 0; i < kRecentFileCount; ++i) {
        QString path = m_settings.value(RecentKey(i)).toString();
        if (!path.isEmpty() && !list.contains(path)) list << path;
    }
    m_settings.endGroup();
    return list;
}

void AppSettings::AddRecentFile(const QString& path) {
    if (path.isEmpty()) return;
    QStringList list = RecentFiles();
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > kRecentFileCount)
        list.removeLast();
    m_settings.beginGroup(kRecentGroup);
    m_settings.remove(QString());
    for (int i = 0; i < list.size(); ++i)
        m_settings.setValue(RecentKey(i), list[i]);
    m_settings.endGroup();
    m_settings.sync();
}

QString AppSettings::IpAddress() const {
    return m_settings.value(kIpAddrKey).toString();
}

uint16_t AppSettings::IpPort() const {
    bool ok = false;
    uint v = m_settings.value(kIpPortKey, kDefaultDevicePort).toUInt(&ok);
    return ok && v > 0 && v <= 0xFFFF ? uint16_t(v) : kDefaultDevicePort;
}

void AppSettings::SetIp(const QString& address, uint16_t port) {
    m_settings.setValue(kIpAddrKey, address);
    m_settings.setValue(kIpPortKey, port);
    m_settings.sync();
}

} // namespace fenno
