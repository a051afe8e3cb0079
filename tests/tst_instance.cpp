// One copy at a time: the lock itself, and two real processes on an X display of the test's own.

#include "system/instanceguard.h"
#include "windowfixture.h"

static QString xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start("xdotool", arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

class TestInstance : public QObject
{
    Q_OBJECT

private slots:
    // What holds the lock first; the second executable; the lock's folder (- for the runtime
    // folder); whether the second is blocked.
    void guard_data()
    {
        rows(R"(
            same executable | /opt/a/sorafu | /opt/a/sorafu | - | blocked
            same, spelled differently | /opt/a/sorafu | /opt/a/../a/sorafu | - | blocked
            another copy | /opt/a/sorafu | /home/b/sorafu | - | -
            lock of a crashed run | dead | /opt/c/sorafu | - | -
            years-old lock of a copy still running | old | /opt/c/sorafu | - | blocked
            folder refusing the lock | - | /opt/c/sorafu | /proc | -
            empty lock file, as a full disk leaves it | empty | /opt/d/sorafu | - | -
            unheld lock naming another host | elsewhere | /opt/e/sorafu | - | -)");
    }
    // An unusable folder must not keep the clerk from working; the first copy may run all day.
    void guard()
    {
        QFETCH(QStringList, row);
        QTemporaryDir runtime;
        const QString folder = row[2].isEmpty() ? runtime.path() : row[2];
        InstanceGuard first(row[0], folder), second(row[1], folder), running(row[1], folder);
        bool raised = false;
        first.onRaiseRequested([&raised] { raised = true; });
        QFile file(second.lockPath());
        if (row[0] == "dead") {
            // A process that has ended: its pid is free, as after a crash.
            QProcess gone;
            gone.start("true");
            QVERIFY(gone.waitForStarted() && file.open(QIODevice::WriteOnly));
            const qint64 pid = gone.processId();
            QVERIFY(gone.waitForFinished());
            file.write(QByteArray::number(pid) + "\nsorafu\n" +
                       QSysInfo::machineHostName().toUtf8() + "\n");
        } else if (row[0] == "empty") {
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (row[0] == "old") {
            // The second's own lock, held all along by a copy that has run for years.
            QVERIFY(!running.anotherInstanceRunning() && file.open(QIODevice::ReadWrite) &&
                    file.setFileTime(QDateTime(QDate(2000, 1, 1), QTime()),
                                     QFileDevice::FileModificationTime));
        } else if (row[0] == "elsewhere") {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("99999999\nsorafu\notherhost\n");
        } else if (!row[0].isEmpty()) {
            QVERIFY(!first.anotherInstanceRunning());
        }
        file.close();
        // Asking again does not change the answer or lose a held lock.
        for (int round = 0; round < 2; ++round)
            QCOMPARE(second.anotherInstanceRunning(), row[3] == "blocked");
        // A refused start brings the running copy's window to the front.
        if (row[3] == "blocked")
            second.askRunningToRaise();
        QTRY_COMPARE(raised, row[3] == "blocked" && row[0].startsWith('/'));
    }
    void secondProcessOnlyWarns()
    {
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_runtime.path())); // not the user's settings
        // The server picks a free display and tells its number, so no other display on the machine
        // is used or can get in the way.
        m_xserver.start("Xvfb",
                        {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        while (!m_xserver.canReadLine() && m_xserver.state() != QProcess::NotRunning)
            m_xserver.waitForReadyRead(100);
        QVERIFY2(m_xserver.canReadLine(), m_xserver.readAllStandardError().constData());
        qputenv("DISPLAY", ':' + m_xserver.readLine().trimmed());
        qputenv("QT_QPA_PLATFORM", "xcb"); // for the program; this test keeps its own

        QProcess *first = startApp();
        const QString firstWindow = window(first, true);
        QVERIFY2(!firstWindow.isEmpty(), "the first copy showed no window");
        QProcess *second = startApp();
        const QString warning = window(second, false);
        QVERIFY2(!warning.isEmpty(), "the second copy showed no warning");
        QCOMPARE(xdotool({"getwindowname", warning}), "ソラフ");
        xdotool({"windowfocus", "--sync", warning});
        xdotool({"key", "Return"});
        QVERIFY(second->waitForFinished(10000));
        QVERIFY(second->exitStatus() == QProcess::NormalExit && second->exitCode() == 0);
        QCOMPARE(window(first, true), firstWindow);
        first->terminate();
        QVERIFY(first->waitForFinished(10000));
        m_xserver.terminate();
        m_xserver.waitForFinished(5000);
    }

private:
    QProcess *startApp()
    {
        m_apps.push_back(std::make_unique<QProcess>());
        m_apps.back()->start(SORAFU_APP_PATH, {});
        return m_apps.back().get();
    }
    // A visible window of the process: its main window (725 x 506) or another; fails at once
    // with the process's own words when it ends first.
    QString window(QProcess *process, bool main)
    {
        for (int waited = 0; process->state() != QProcess::NotRunning && waited < 20000;
             waited += 100) {
            const QString pid = QString::number(process->processId());
            for (const QString &id : xdotool({"search", "--onlyvisible", "--pid", pid}).split('\n'))
                if (!id.isEmpty() && xdotool({"getwindowgeometry", id}).contains("725x506") == main)
                    return id;
            process->waitForFinished(100);
        }
        qWarning("no window; the program said: %s", process->readAllStandardError().constData());
        return QString();
    }

    QTemporaryDir m_runtime;
    QProcess m_xserver;
    std::vector<std::unique_ptr<QProcess>> m_apps;
};

QTEST_MAIN(TestInstance)
#include "tst_instance.moc"
