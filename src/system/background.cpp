#include "system/background.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSemaphore>
#include <QThread>

#include <new>

namespace {

// The longest any work here may rightly take: a call to the print service gives up after at
// most 10 s to connect and 5 s to answer. Work still running after that is stuck; it is left
// running, thread and all, rather than deleted under its feet, and ends with the process.
constexpr int kLongestWorkMs = 16000;

class ThreadLane : public Lane
{
public:
    explicit ThreadLane(const QString &name) : m_context(new QObject)
    {
        m_thread->setObjectName(name);
        m_context->moveToThread(m_thread);
        m_thread->start();
    }
    ~ThreadLane() override
    {
        // Quit is queued behind the work already handed, so all of it runs first.
        QThread *thread = m_thread;
        QMetaObject::invokeMethod(
            m_context, [thread] { thread->quit(); }, Qt::QueuedConnection);
        if (!m_thread->wait(kLongestWorkMs))
            return; // stuck: see kLongestWorkMs
        delete m_context;
        delete m_thread;
    }
    void run(QObject *receiver, std::function<void()> work, std::function<void()> done) override
    {
        QMetaObject::invokeMethod(
            m_context,
            [receiver, work = std::move(work), done = std::move(done)] {
                work();
                QMetaObject::invokeMethod(receiver, done, Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    }
    bool waitForIdle(int ms) override
    {
        auto idle = std::make_shared<QSemaphore>();
        QMetaObject::invokeMethod(
            m_context, [idle] { idle->release(); }, Qt::QueuedConnection);
        return idle->tryAcquire(1, ms);
    }

private:
    QThread *m_thread = new QThread;
    QObject *m_context;
};

} // namespace

ThreadBackground::~ThreadBackground()
{
    // One bound for all of them together, not one each.
    const QDeadlineTimer deadline(kLongestWorkMs);
    for (const QPointer<QThread> &thread : std::as_const(m_threads)) {
        if (!thread)
            continue;
        if (thread->wait(deadline))
            delete thread.data();
        // Otherwise stuck: see kLongestWorkMs.
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

std::unique_ptr<Lane> ThreadBackground::lane(const QString &name)
{
    return std::make_unique<ThreadLane>(name);
}

QString unforeseenFailure(const std::exception &error)
{
    if (dynamic_cast<const std::bad_alloc *>(&error))
        return QCoreApplication::translate(
            "Background",
            "メモリが足りません。ほかのプログラムを終了してから、もう一度お試しください。");
    return QCoreApplication::translate(
               "Background", "予期しないエラーが発生しました。もう一度お試しください。"
                             "繰り返し起きるときは、この内容を管理者にお知らせください。\n"
                             "（詳細：%1）")
        .arg(QString::fromLocal8Bit(error.what()));
}
