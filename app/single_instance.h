// One copy per user: the first claims a lock file and listens; a later copy asks it to come
// forward.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace fenno {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    enum class Claim {
        First,      // this copy runs; activateRequested fires when a later copy starts
        HandedOver, // another copy runs and was asked to raise its window: exit silently
        NoWindow,   // another copy holds the lock but does not answer
        Failed,     // the lock could not be created
    };

    // name is the lock and server name; both live in the user's runtime folder.
    explicit SingleInstance(QString name, QObject* parent = nullptr);
    ~SingleInstance() override;

    Claim TryClaim();

  signals:
    void activateRequested();

  private:
    void OnConnection();

    QString m_name;
    QString m_dir;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
};

// The message a start-up failure shows, before any language is known (Chinese only).
QString SingleInstanceMessage(SingleInstance::Claim claim);

} // namespace fenno
