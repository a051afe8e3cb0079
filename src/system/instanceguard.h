#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// Keeps a second copy of the same executable from running. The lock lives in the user's
// runtime directory and is keyed by the executable's path, so two installed copies do not
// block each other; a lock left by a crashed run names a dead process and is taken over, and
// one whose content names no process is taken over when no process holds it.
class InstanceGuard
{
public:
    explicit InstanceGuard(const QString &executablePath);
    // True when another running process holds the lock. Holds the lock from then on otherwise.
    bool anotherInstanceRunning();
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
