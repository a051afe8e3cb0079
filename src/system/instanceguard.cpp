#include "system/instanceguard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// A running instance holds an flock on its lock file from the moment the file exists; the
// content (pid, host, name) may be missing or garbled after a full disk or a power cut, and Qt
// then never takes the file for stale.
static bool heldByAnyone(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

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

bool InstanceGuard::anotherInstanceRunning()
{
    if (m_lock && m_lock->isLocked())
        return false;
    m_lock = std::make_unique<QLockFile>(m_path);
    // Never stale by age: the first instance may run all day. A lock whose owner has died
    // (a crash, a power cut) is still taken over.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return false;
    // An unreadable runtime directory must not keep the clerk from working.
    if (m_lock->error() != QLockFile::LockFailedError)
        return false;
    qint64 pid = 0;
    QString host, application;
    if (m_lock->getLockInfo(&pid, &host, &application) || heldByAnyone(m_path))
        return true;
    QFile::remove(m_path);
    return !m_lock->tryLock(0) && m_lock->error() == QLockFile::LockFailedError;
}
