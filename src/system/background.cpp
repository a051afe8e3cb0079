#include "system/background.h"

#include <QThread>

ThreadBackground::~ThreadBackground()
{
    for (const QPointer<QThread> &thread : std::as_const(m_threads)) {
        if (!thread)
            continue;
        thread->wait();
        delete thread.data();
    }
}

void ThreadBackground::run(QObject *receiver, std::function<void()> work,
                           std::function<void()> done)
{
    QThread *thread = QThread::create(std::move(work));
    // finished is emitted on the worker thread: both of these are queued to the GUI thread.
    QObject::connect(thread, &QThread::finished, receiver, std::move(done));
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_threads.removeIf([](const QPointer<QThread> &old) { return old.isNull(); });
    m_threads.append(thread);
    thread->start();
}
