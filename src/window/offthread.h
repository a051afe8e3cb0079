#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <thread>
#include <utility>

// Runs `work` on a thread of its own and hands its result to `done` on the GUI thread, unless
// `context` has gone by then. The thread is never waited for: a print service that hangs holds
// up nothing, not even closing the window. `work` must own all it uses.
template <typename Work, typename Done> void runOffThread(QObject *context, Work work, Done done)
{
    QPointer<QObject> guard(context);
    std::thread([guard, work = std::move(work), done = std::move(done)]() mutable {
        auto result = work();
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app,
                [guard, done = std::move(done), result = std::move(result)]() mutable {
                    if (guard)
                        done(std::move(result));
                },
                Qt::QueuedConnection);
    }).detach();
}
