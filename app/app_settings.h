// The per-user settings store: the few keys the program keeps between runs, with their defaults.
#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace fenno {

inline constexpr char kAppKey[] = "Fenno V1.0";
inline constexpr int kApplicationLook = 215; // the blue ribbon theme, the only one offered
inline constexpr int kRecentFileCount = 10;
inline constexpr int kQtOptionSize = 8;

// Link flags FL+FR, SL+SR, SBL+SBR (1 = linked).
using LinkFlags = std::array<uint8_t, 3>;
inline constexpr LinkFlags kDefaultLinkFlags{1, 1, 1};

class AppSettings {
  public:
    // The store of the user's "Fenno V1.0" settings (INI, user scope).
    AppSettings();

    // 0 Chinese, 1 English; anything else counts as absent.
    int Language() const;
    void SetLanguage(int language);

    // The first three bytes of the 8-byte "QtOption" record; a record of another length is
    // ignored and the defaults apply.
    LinkFlags QtOption() const;
    void SetQtOption(const LinkFlags& flags);
    static QByteArray EncodeQtOption(const LinkFlags& flags);

    int ApplicationLook() const;
    void SetApplicationLook(int look);

    // Most recent first, at most ten.
    QStringList RecentFiles() const;
    void AddRecentFile(const QString& path);

    // The network dialog's address (empty when never saved) and port (30303 by default).
    QString IpAddress() const;
    uint16_t IpPort() const;
    void SetIp(const QString& address, uint16_t port);

    QSettings& Store() { return m_settings; }

  private:
    mutable QSettings m_settings;
};

} // namespace fenno
