// One copy at a time: the lock that tells a second copy from the first.

#include "system/instanceguard.h"
#include "windowfixture.h"

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
};

QTEST_MAIN(TestInstance)
#include "tst_instance.moc"
