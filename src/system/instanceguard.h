#pragma once

#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>

class QSocketNotifier;

// Keeps a second copy of the same executable from running. The lock lives in the user's
// runtime directory and is keyed by the executable's path, so two installed copies do not
// block each other; a lock no running copy holds is taken over, whatever process or host it
// names.
// Beside the lock the running copy listens on a local socket, so that a second start, which
// only warns and ends, can bring the running window to the front for the clerk.
class InstanceGuard
{
public:
    // The lock goes into lockFolder when one is given (tests use this).
    explicit InstanceGuard(const QString &executablePath, QString lockFolder = QString());
    ~InstanceGuard();
    // True when another running process holds the lock. Holds the lock from then on otherwise,
    // and listens for raise requests.
    bool anotherInstanceRunning();
    QString lockPath() const { return m_path; }

    // What the running copy does when a later start asks it to show itself.
    void onRaiseRequested(std::function<void()> raise) { m_raise = std::move(raise); }
    // From a copy that found another running: asks that one to show itself. Waits at most a
    // second; a copy that does not answer is left alone.
    void askRunningToRaise();

private:
    void listen();

    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    // The listening socket and what wakes us when a later start connects.
    int m_socket = -1;
    std::unique_ptr<QSocketNotifier> m_asked;
    std::function<void()> m_raise;
};
