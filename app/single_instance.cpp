#include "app/single_instance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace fenno {
namespace {

constexpr char kActivate[] = "activate";
constexpr int kHandOverWaitMs = 1000;

QString RuntimeDir() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    QDir().mkpath(dir);
    return dir;
}

} // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), m_name(std::move(name)), m_dir(RuntimeDir()) {
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
}

SingleInstance::~SingleInstance() {
    m_server.close();
}

SingleInstance::Claim SingleInstance::TryClaim() {
    QString base = QDir(m_dir).filePath(m_name);
    m_lock = std::make_unique<QLockFile>(base + QStringLiteral(".lock"));
    // A lock whose owner died is taken over; a live owner's lock never goes stale.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        QLocalServer::removeServer(base);
        m_server.setSocketOptions(QLocalServer::UserAccessOption);
        if (!m_server.listen(base)) return Claim::Failed;
        return Claim::First;
    }
    if (m_lock->error() != QLockFile::LockFailedError) return Claim::Failed;

    QLocalSocket socket;
    socket.connectToServer(base);
    if (!socket.waitForConnected(kHandOverWaitMs)) return Claim::NoWindow;
    socket.write(kActivate);
    socket.waitForBytesWritten(kHandOverWaitMs);
    socket.disconnectFromServer();
    return Claim::HandedOver;
}

void SingleInstance::OnConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        // The later copy may write and leave before readyRead is connected: check both moments.
        auto check = [this, socket] {
            if (socket->readAll().contains(kActivate)) emit activateRequested();
        };
        connect(socket, &QLocalSocket::readyRead, this, check);
        connect(socket, &QLocalSocket::disconnected, this, [socket, check] {
            check();
            socket->deleteLater();
        });
        check();
    }
}

QString SingleInstanceMessage(SingleInstance::Claim claim) {
    switch (claim) {
    case SingleInstance::Claim::NoWindow:
        return QStringLiteral("已有一个实例在运行，但找不到它的主窗口！");
    case SingleInstance::Claim::Failed:
        return QStringLiteral("创建信标对象失败，程序退出！");
    default:
        return {};
    }
}

} // namespace fenno
