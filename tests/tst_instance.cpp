// One copy at a time: the lock itself, and two real processes on a real X display.

#include "system/instanceguard.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void guard_data();
    void guard();
    void secondProcessOnlyWarns();
    void staleLockDoesNotBlock();

private:
    QProcess *startApp();
    QString findWindow(qint64 pid, bool mainWindow, int timeoutMs);
    static QString xdotool(const QStringList &arguments);
    void writeStaleLock(const QString &path);

    QTemporaryDir m_runtime;
    QProcess m_xserver;
    QString m_display;
    QList<QProcess *> m_processes;
};

void TestInstance::initTestCase()
{
    QVERIFY(m_runtime.isValid());
    QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());

    // A display of our own: the server picks a free number and tells it, so no other test or
    // desktop on the machine gets in the way.
    m_xserver.start(QStringLiteral("Xvfb"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                     QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                     QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QVERIFY2(m_xserver.waitForStarted(), "Xvfb is missing (Debian package xvfb)");
    QTRY_VERIFY_WITH_TIMEOUT(m_xserver.canReadLine(), 20000);
    m_display = QLatin1Char(':') + QString::fromLatin1(m_xserver.readLine().trimmed());
    qputenv("DISPLAY", m_display.toLatin1());
}

void TestInstance::cleanupTestCase()
{
    m_xserver.terminate();
    m_xserver.waitForFinished(5000);
}

void TestInstance::cleanup()
{
    for (QProcess *process : std::as_const(m_processes)) {
        process->kill();
        process->waitForFinished(5000);
    }
    qDeleteAll(m_processes);
    m_processes.clear();
}

void TestInstance::writeStaleLock(const QString &path)
{
    // A process that has ended: its pid is free, as after a crash.
    QProcess gone;
    gone.start(QStringLiteral("true"));
    QVERIFY(gone.waitForStarted());
    const qint64 pid = gone.processId();
    QVERIFY(gone.waitForFinished());
    QFile lock(path);
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(pid) + "\nsorafu\n" + QSysInfo::machineHostName().toUtf8() +
               "\n");
}

void TestInstance::guard_data()
{
    QTest::addColumn<QString>("firstPath");
    QTest::addColumn<QString>("secondPath");
    QTest::addColumn<QString>("leftLock"); // a lock file found by the second: "crashed", "empty"
    QTest::addColumn<bool>("blocked");
    QTest::newRow("same executable") << "/opt/a/sorafu"
                                     << "/opt/a/sorafu"
                                     << "" << true;
    QTest::newRow("same, spelled differently") << "/opt/a/sorafu"
                                               << "/opt/a/../a/sorafu"
                                               << "" << true;
    QTest::newRow("another copy") << "/opt/a/sorafu"
                                  << "/home/b/sorafu"
                                  << "" << false;
    QTest::newRow("stale lock of a crashed run") << ""
                                                 << "/opt/c/sorafu"
                                                 << "crashed" << false;
    // As a full disk or a power cut can leave it: it names no process, so none holds it.
    QTest::newRow("i9 fault 6: empty lock file") << ""
                                                 << "/opt/d/sorafu"
                                                 << "empty" << false;
}

void TestInstance::guard()
{
    QFETCH(QString, firstPath);
    QFETCH(QString, secondPath);
    QFETCH(QString, leftLock);
    QFETCH(bool, blocked);

    std::unique_ptr<InstanceGuard> first;
    bool raised = false;
    if (!firstPath.isEmpty()) {
        first = std::make_unique<InstanceGuard>(firstPath);
        first->onRaiseRequested([&raised] { raised = true; });
        QVERIFY(!first->anotherInstanceRunning());
    }
    InstanceGuard second(secondPath);
    if (leftLock == QLatin1String("crashed"))
        writeStaleLock(second.lockPath());
    else if (leftLock == QLatin1String("empty"))
        QVERIFY(QFile(second.lockPath()).open(QIODevice::WriteOnly));
    QCOMPARE(second.anotherInstanceRunning(), blocked);
    // Asking again does not change the answer or lose a held lock.
    QCOMPARE(second.anotherInstanceRunning(), blocked);
    if (!blocked)
        QVERIFY(QFileInfo(second.lockPath()).lastModified().isValid());
    // A blocked start asks the running copy to come to the front.
    if (blocked)
        second.askRunningToRaise();
    QTRY_COMPARE(raised, blocked);
}

QString TestInstance::xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QProcess *TestInstance::startApp()
{
    auto *process = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(SORAFU_APP_PATH), {});
    m_processes << process;
    return process;
}

// A visible top-level window of the process: the main window (725 x 506) or anything else.
QString TestInstance::findWindow(qint64 pid, bool mainWindow, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        const QStringList ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                         QStringLiteral("--pid"), QString::number(pid)})
                                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &id : ids) {
            const bool isMain = xdotool({QStringLiteral("getwindowgeometry"), id})
                                    .contains(QLatin1String("725x506"));
            if (isMain == mainWindow)
                return id;
        }
        QTest::qWait(100);
    }
    if (timeoutMs > 0)
        qWarning() << "windows of" << pid << ":"
                   << xdotool(
                          {QStringLiteral("search"), QStringLiteral("--pid"), QString::number(pid)})
                   << "state" << (m_processes.isEmpty() ? -1 : int(m_processes.last()->state()))
                   << m_processes.last()->readAllStandardError();
    return QString();
}

void TestInstance::secondProcessOnlyWarns()
{
    QProcess *first = startApp();
    const QString firstWindow = findWindow(first->processId(), true, 20000);
    QVERIFY2(!firstWindow.isEmpty(), "the first copy showed no window");

    QProcess *second = startApp();
    const QString warning = findWindow(second->processId(), false, 20000);
    QVERIFY2(!warning.isEmpty(), "the second copy showed no warning");
    QCOMPARE(xdotool({QStringLiteral("getwindowname"), warning}), QStringLiteral("ソラフ"));
    QVERIFY(findWindow(second->processId(), true, 0).isEmpty());

    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), warning});
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);

    QCOMPARE(first->state(), QProcess::Running);
    QCOMPARE(findWindow(first->processId(), true, 1000), firstWindow);
    first->terminate();
    QVERIFY(first->waitForFinished(10000));
}

void TestInstance::staleLockDoesNotBlock()
{
    writeStaleLock(InstanceGuard(QStringLiteral(SORAFU_APP_PATH)).lockPath());
    QProcess *app = startApp();
    QVERIFY2(!findWindow(app->processId(), true, 20000).isEmpty(),
             "a stale lock blocked the start");
    QVERIFY(findWindow(app->processId(), false, 0).isEmpty());
    app->terminate();
    QVERIFY(app->waitForFinished(10000));
}

QTEST_MAIN(TestInstance)
#include "tst_instance.moc"
