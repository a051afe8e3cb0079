#include "system/instanceguard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Beside the lock: the same name with another ending.
QString socketPath(const QString &lockPath)
{
    return lockPath.chopped(int(qstrlen(".lock"))) + QStringLiteral(".raise");
}

} // namespace

// A running instance holds an flock on its lock file from the moment the file exists. What the
// file says (pid, host, name) proves nothing: it may be garbled after a full disk or a power cut,
// name another host after the machine was renamed, or a pid taken since by another process; Qt
// then never takes the file for stale. Such a file is removed unless a live process holds it:
// only while held here and still the file of that name, so two starts at once cannot remove
// the fresh lock one of them has just taken. False when a live process holds it.
static bool removeIfUnheld(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return true;
    const bool unheld = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    struct stat opened, named;
    if (unheld && ::fstat(fd, &opened) == 0 && ::stat(name.constData(), &named) == 0 &&
        opened.st_dev == named.st_dev && opened.st_ino == named.st_ino)
        ::unlink(name.constData());
    ::close(fd);
    return unheld;
}

InstanceGuard::InstanceGuard(const QString &executablePath, QString directory)
{
    if (directory.isEmpty())
        directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
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
    if (m_lock->error() != QLockFile::LockFailedError)
        return false;
    // The folder is this user's on this machine, so only a lock held here counts.
    if (!removeIfUnheld(m_path))
        return true;
    if (m_lock->tryLock(0)) {
        listen();
        return false;
    }
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
