#include "system/instanceguard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

// Beside the lock: the same name with another ending.
QString socketPath(const QString &lockPath)
{
    return lockPath.chopped(int(qstrlen(".lock"))) + QStringLiteral(".raise");
}

} // namespace

InstanceGuard::InstanceGuard(const QString &executablePath)
{
    QString directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (directory.isEmpty())
        directory = QDir::tempPath();
    const QByteArray key =
        QCryptographicHash::hash(QDir::cleanPath(executablePath).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    m_path =
        directory + QStringLiteral("/sorafu-") + QString::fromLatin1(key) + QStringLiteral(".lock");
}

InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::anotherInstanceRunning()
{
    if (m_lock && m_lock->isLocked())
        return false;
    m_lock = std::make_unique<QLockFile>(m_path);
    // Never stale by age: the first instance may run all day. A lock whose owner has died
    // (a crash, a power cut) is still taken over.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        listen();
        return false;
    }
    // An unreadable runtime directory must not keep the clerk from working.
    return m_lock->error() == QLockFile::LockFailedError;
}

void InstanceGuard::listen()
{
    m_server = std::make_unique<QLocalServer>();
    // Only this user's later starts may ask.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = socketPath(m_path);
    // We hold the lock, so a socket file still there was left by a run that crashed.
    QLocalServer::removeServer(path);
    if (!m_server->listen(path)) {
        m_server.reset(); // no raising then; the guard itself still works
        return;
    }
    QObject::connect(m_server.get(), &QLocalServer::newConnection, [this] {
        while (QLocalSocket *asker = m_server->nextPendingConnection())
            asker->deleteLater();
        if (m_raise)
            m_raise();
    });
}

void InstanceGuard::askRunningToRaise()
{
    QLocalSocket socket;
    socket.connectToServer(socketPath(m_path));
    if (socket.waitForConnected(1000))
        socket.disconnectFromServer();
}
