#pragma once

#include <QList>
#include <QPointer>

#include <functional>

class QObject;
class QThread;

// Work that may wait on the outside world (the print service, a large file), kept off the GUI
// thread so that the window never freezes.
class Background
{
public:
    virtual ~Background() = default;
    // Runs `work` away from the calling thread, then `done` back on the thread of `receiver`,
    // unless the receiver has gone by then. `work` must not throw.
    virtual void run(QObject *receiver, std::function<void()> work, std::function<void()> done) = 0;
};

// A thread per piece of work. Going away waits for work still running, so no thread outlives
// what it uses (the print service connection, the choice of printer); every such wait is bounded.
class ThreadBackground : public Background
{
public:
    ThreadBackground() = default;
    ThreadBackground(const ThreadBackground &) = delete;
    ThreadBackground &operator=(const ThreadBackground &) = delete;
    ~ThreadBackground() override;
    void run(QObject *receiver, std::function<void()> work, std::function<void()> done) override;

private:
    QList<QPointer<QThread>> m_threads;
};
