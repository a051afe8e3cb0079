#include "system/instanceguard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Beside the lock: the same name with another ending.
QString socketPath(const QString &lockPath)
{
    return lockPath.chopped(int(qstrlen(".lock"))) + QStringLiteral(".raise");
}

// A local socket, not Qt's: Qt's needs its network library, whose loading alone would make every
// start slower. False when the path is too long for a socket.
bool socketAddress(const QString &path, sockaddr_un *address)
{
    const QByteArray name = QFile::encodeName(path);
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof address->sun_path)
        return false;
    std::memcpy(address->sun_path, name.constData(), size_t(name.size()));
    return true;
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

InstanceGuard::~InstanceGuard()
{
    if (m_socket < 0)
        return;
    m_asked.reset();
    ::close(m_socket);
    ::unlink(QFile::encodeName(socketPath(m_path)).constData());
}

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
    sockaddr_un address;
    if (m_socket >= 0 || !socketAddress(socketPath(m_path), &address))
        return; // no raising then; the guard itself still works
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    // We hold the lock, so a socket file still there was left by a run that crashed.
    ::unlink(address.sun_path);
    // Only this user's later starts may ask.
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::chmod(address.sun_path, 0600) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return;
    }
    m_socket = fd;
    m_asked = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(m_asked.get(), &QSocketNotifier::activated, [this] {
        for (int asker; (asker = ::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;)
            ::close(asker);
        if (m_raise)
            m_raise();
    });
}

void InstanceGuard::askRunningToRaise()
{
    sockaddr_un address;
    if (!socketAddress(socketPath(m_path), &address))
        return;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    // A copy too busy to take the connection at once gets a second.
    constexpr int kStepMs = 50;
    for (int waited = 0; waited < 1000; waited += kStepMs) {
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 ||
            errno != EAGAIN)
            break;
        ::usleep(kStepMs * 1000);
    }
    ::close(fd);
}
