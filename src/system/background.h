#pragma once

#include <QList>
#include <QPointer>
#include <QString>

#include <exception>
#include <functional>
#include <memory>

class QObject;
class QThread;

// Work handed to a lane runs in the order handed, one piece at a time, always on the same
// thread: what a piece opens (a database connection) is there for the next.
class Lane
{
public:
    virtual ~Lane() = default;
    // Runs `work` after everything handed before it, then `done` on the thread of `receiver`.
    // The receiver must outlive the lane. `work` must not throw.
    virtual void run(QObject *receiver, std::function<void()> work, std::function<void()> done) = 0;
    // Returns once everything handed so far has run; false when that took longer than `ms`.
    virtual bool waitForIdle(int ms) = 0;
};

// Work that may wait on the outside world (the print service, a large file), kept off the GUI
// thread so that the window never freezes.
class Background
{
public:
    virtual ~Background() = default;
    // Runs `work` away from the calling thread, then `done` back on the thread of `receiver`,
    // unless the receiver has gone by then. `work` must not throw.
    virtual void run(QObject *receiver, std::function<void()> work, std::function<void()> done) = 0;
    // A lane of its own, which may outlive this. Going away, it finishes what it was handed.
    virtual std::unique_ptr<Lane> lane(const QString &name) = 0;
};

// A thread per piece of work, and one per lane. Going away waits for work still running, so no
// thread outlives what it uses (the print service connection, the choice of printer); every
// such wait is bounded.
class ThreadBackground : public Background
{
public:
    ThreadBackground() = default;
    ThreadBackground(const ThreadBackground &) = delete;
    ThreadBackground &operator=(const ThreadBackground &) = delete;
    ~ThreadBackground() override;
    void run(QObject *receiver, std::function<void()> work, std::function<void()> done) override;
    std::unique_ptr<Lane> lane(const QString &name) override;

private:
    QList<QPointer<QThread>> m_threads;
};

// What a failure nobody foresaw is told as, in Japanese.
QString unforeseenFailure(const std::exception &error);
