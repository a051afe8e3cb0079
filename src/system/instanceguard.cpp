#include "system/instanceguard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>

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
    return m_lock->error() == QLockFile::LockFailedError;
}
