#pragma once

// A CUPS scheduler of the test's own: its configuration, spool and queue output live in a
// temporary folder, it listens only on a free loopback port, and CUPS_SERVER points this
// process (and every libcups call in it) at it until the object is destroyed. The machine's
// own scheduler, its /etc/cups and its printers are never touched.
//
//     PrivateCups cups;
//     QVERIFY2(cups.start(), qPrintable(cups.lastError()));
//     QVERIFY2(cups.addQueue("Sheet"), qPrintable(cups.lastError()));
//     int job = cupsPrintFile("Sheet", pdf, "title", n, options);
//     QString out = cups.takeOutput("Sheet", job); // the page as the printer gets it

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <cups/cups.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <memory>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

class PrivateCups
{
public:
    static constexpr const char *genericPdfPpd =
        "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";

    struct Job
    {
        int id = 0;
        QString queue;
        ipp_jstate_t state = IPP_JSTATE_PENDING;
        QString title;
    };

    PrivateCups()
    {
        m_hadServer = qEnvironmentVariableIsSet("CUPS_SERVER");
        m_oldServer = qgetenv("CUPS_SERVER");
    }
    ~PrivateCups()
    {
        stopScheduler();
        if (m_hadServer)
            qputenv("CUPS_SERVER", m_oldServer);
        else
            qunsetenv("CUPS_SERVER");
        cupsSetServer(nullptr); // drop libcups' cached server and connection
    }
    PrivateCups(const PrivateCups &) = delete;
    PrivateCups &operator=(const PrivateCups &) = delete;

    // Starts the scheduler and waits until it answers; then CUPS_SERVER names it.
    bool start()
    {
        removeStaleFolders();
        m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/sorafu-cups-XXXXXX");
        if (!m_dir->isValid())
            return fail("cannot create a temporary folder: " + m_dir->errorString());
        // The filters run as the user lp and must reach the PPD and the output folder.
        for (const char *sub : {"conf", "spool", "log", "cache", "state", "out"}) {
            if (!QDir(path()).mkdir(sub))
                return fail(QStringLiteral("cannot create %1/%2").arg(path(), sub));
        }
        if (!makeReadable(path()) || !makeReadable(path("conf")) || !makeReadable(path("out")))
            return fail("cannot open the temporary folder to the user lp");
        writeFile("owner.pid", QByteArray::number(qint64(getpid())));
        writeFile("conf/cups-files.conf", filesConf());

        // Another program may take the port between our probe and cupsd's bind: try again
        // when cupsd ended at once.
        for (int attempt = 0;; ++attempt) {
            m_port = freePort();
            if (m_port == 0)
                return fail("no free loopback port");
            writeFile("conf/cupsd.conf", schedulerConf());
            const Launch result = launch();
            if (result == Launch::Answers)
                break;
            stopScheduler();
            if (result == Launch::Silent || attempt == 4)
                return false;
        }

        qputenv("CUPS_SERVER", server().toUtf8());
        cupsSetServer(nullptr); // libcups rereads CUPS_SERVER on its next call
        if (QString::fromUtf8(cupsServer()) != QLatin1String("127.0.0.1") || ippPort() != m_port)
            return fail("libcups does not use the private scheduler but " +
                        QString::fromUtf8(cupsServer()));
        return true;
    }

    bool isRunning() const
    {
        // Without an event loop QProcess notices the end only while it waits.
        return m_cupsd && m_cupsd->state() != QProcess::NotRunning && !m_cupsd->waitForFinished(0);
    }
    qint64 schedulerPid() const { return m_cupsd ? m_cupsd->processId() : 0; }
    // "127.0.0.1:port", as CUPS_SERVER and the -h option of the CUPS tools take it.
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    int port() const { return m_port; }
    // The scheduler's folder, or a file in it; empty before start().
    QString path(const QString &sub = {}) const
    {
        if (!m_dir)
            return {};
        return sub.isEmpty() ? m_dir->path() : m_dir->filePath(sub);
    }
    // Where a queue's file: device writes; each job overwrites it.
    QString outputPath(const QString &queue) const { return path("out/" + queue + ".pdf"); }
    QString lastError() const { return m_error; }
    QString errorLog() const { return QString::fromUtf8(readFile(path("log/error_log"))); }

    // A "Generic PDF Printer" queue, enabled and accepting, printing into outputPath(queue).
    // lpadminOptions go to lpadmin as they are, e.g. {"-o", "fit-to-page-default=true"}.
    bool addQueue(const QString &queue, const QStringList &lpadminOptions = {},
                  const QString &ppd = QString::fromLatin1(genericPdfPpd))
    {
        QStringList args{"-p", queue, "-E", "-v", "file://" + outputPath(queue), "-P", ppd};
        return tool("lpadmin", args + lpadminOptions);
    }
    // Stops the queue (cupsdisable): it still takes jobs, but holds them.
    bool disableQueue(const QString &queue, const QString &reason = {})
    {
        return tool("cupsdisable", reasonArgs(reason) << queue);
    }
    bool enableQueue(const QString &queue) { return tool("cupsenable", {queue}); }
    // Refuses new jobs (cupsreject).
    bool rejectQueue(const QString &queue, const QString &reason = {})
    {
        return tool("cupsreject", reasonArgs(reason) << queue);
    }
    bool acceptQueue(const QString &queue) { return tool("cupsaccept", {queue}); }
    bool deleteQueue(const QString &queue) { return tool("lpadmin", {"-x", queue}); }

    // Ends the scheduler (SIGTERM, then SIGKILL); CUPS_SERVER keeps naming the dead port.
    void stopScheduler()
    {
        if (!m_cupsd)
            return;
        if (m_cupsd->state() != QProcess::NotRunning) {
            m_cupsd->terminate();
            if (!m_cupsd->waitForFinished(5000)) {
                m_cupsd->kill();
                m_cupsd->waitForFinished(2000);
            }
        }
        m_cupsd.reset();
        QFile::remove(path("cupsd.pid"));
        cupsSetServer(nullptr); // no cached connection to a dead scheduler
    }

    // Jobs the scheduler knows of; all of them, or only those not finished yet (pending,
    // held, processing or stopped). Asked over a connection of its own; like every libcups
    // call it overwrites cupsLastError(), so read that first.
    QList<Job> jobs(bool unfinishedOnly = false, const QString &queue = {}) const
    {
        QList<Job> list;
        http_t *http = openConnection(1000);
        if (!http)
            return list;
        cups_job_t *found = nullptr;
        const QByteArray name = queue.toUtf8();
        const int count =
            cupsGetJobs2(http, &found, queue.isEmpty() ? nullptr : name.constData(), 0,
                         unfinishedOnly ? CUPS_WHICHJOBS_ACTIVE : CUPS_WHICHJOBS_ALL);
        for (int i = 0; i < count; ++i) {
            list.append({found[i].id, QString::fromUtf8(found[i].dest), found[i].state,
                         QString::fromUtf8(found[i].title)});
        }
        cupsFreeJobs(count, found);
        httpClose(http);
        return list;
    }
    QList<Job> leftoverJobs(const QString &queue = {}) const { return jobs(true, queue); }

    // Waits until the job has finished; its state then, or 0 when it is not known or did not
    // finish within the time.
    ipp_jstate_t waitForJob(int jobId, int timeoutMs = 30000) const
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            for (const Job &job : jobs()) {
                if (job.id == jobId && job.state >= IPP_JSTATE_CANCELED)
                    return job.state;
            }
            if (clock.elapsed() > timeoutMs)
                return ipp_jstate_t(0);
            QThread::msleep(20);
        }
    }

    // Waits for the job to complete and moves the queue's output out of the way (so the next
    // job does not overwrite it); the path of the moved file, or empty with lastError().
    QString takeOutput(const QString &queue, int jobId, int timeoutMs = 30000)
    {
        const ipp_jstate_t state = waitForJob(jobId, timeoutMs);
        if (state != IPP_JSTATE_COMPLETED) {
            fail(QStringLiteral("job %1 ended in state %2, not completed; %3")
                     .arg(jobId)
                     .arg(int(state))
                     .arg(errorLog().right(2000)));
            return {};
        }
        const QString taken = path(QStringLiteral("out/%1-job%2.pdf").arg(queue).arg(jobId));
        QFile::remove(taken);
        if (!QFile::rename(outputPath(queue), taken)) {
            fail("no output from job " + QString::number(jobId));
            return {};
        }
        return taken;
    }

    // The files the queues wrote and nobody took.
    QStringList untakenOutputs() const
    {
        QStringList names;
        const auto files = QDir(path("out")).entryList(QDir::Files);
        for (const QString &name : files) {
            if (!name.contains("-job"))
                names.append(name);
        }
        return names;
    }

    // A fresh connection to the private scheduler, or null; close it with httpClose().
    http_t *openConnection(int timeoutMs = 1000) const
    {
        return httpConnect2("127.0.0.1", m_port, nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1,
                            timeoutMs, nullptr);
    }

private:
    bool fail(const QString &error)
    {
        m_error = error;
        return false;
    }

    QByteArray filesConf() const
    {
        const QByteArray d = path().toUtf8();
        // Printcap defaults to /run/cups/printcap, the machine's own: keep it here.
        return QByteArrayList(
                   {"FileDevice Yes", "ServerRoot " + d + "/conf", "RequestRoot " + d + "/spool",
                    "CacheDir " + d + "/cache", "StateDir " + d + "/state",
                    "Printcap " + d + "/state/printcap", "ErrorLog " + d + "/log/error_log",
                    "AccessLog " + d + "/log/access_log", "PageLog " + d + "/log/page_log",
                    "ServerBin /usr/lib/cups", "DataDir /usr/share/cups", ""})
            .join('\n');
    }

    QByteArray schedulerConf() const
    {
        // Without the default policy lpadmin is answered "Unauthorized".
        return "Listen 127.0.0.1:" + QByteArray::number(m_port) +
               "\n"
               "LogLevel warn\n"
               "Browsing No\n"
               "BrowseLocalProtocols none\n"
               "WebInterface No\n"
               "PreserveJobHistory Yes\n"
               "<Location />\n  Order allow,deny\n  Allow 127.0.0.1\n</Location>\n"
               "<Location /admin>\n  Order allow,deny\n  Allow 127.0.0.1\n</Location>\n"
               "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n";
    }

    enum class Launch { Answers, Ended, Silent };

    Launch launch()
    {
        m_cupsd = std::make_unique<QProcess>();
        m_cupsd->setProgram("/usr/sbin/cupsd");
        m_cupsd->setArguments(
            {"-f", "-c", path("conf/cupsd.conf"), "-s", path("conf/cups-files.conf")});
        m_cupsd->setStandardOutputFile(path("log/cupsd.out"), QIODevice::Append);
        m_cupsd->setStandardErrorFile(path("log/cupsd.out"), QIODevice::Append);
        // If this test dies without its destructor (crash, CTest timeout), so does cupsd.
        m_cupsd->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_cupsd->start();
        if (!m_cupsd->waitForStarted(5000)) {
            fail("cannot start /usr/sbin/cupsd: " + m_cupsd->errorString());
            return Launch::Ended;
        }
        writeFile("cupsd.pid", QByteArray::number(m_cupsd->processId()));

        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 15000) {
            if (answers())
                return Launch::Answers;
            if (m_cupsd->waitForFinished(20)) { // also how QProcess learns that it ended
                fail("cupsd ended at start: " + QString::fromUtf8(readFile(path("log/cupsd.out"))) +
                     errorLog());
                return Launch::Ended;
            }
        }
        fail("cupsd does not answer: " + errorLog());
        return Launch::Silent;
    }

    bool answers() const
    {
        http_t *http = openConnection(200);
        if (!http)
            return false;
        ippDelete(cupsDoRequest(http, ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/"));
        const ipp_status_t status = cupsLastError();
        httpClose(http);
        return status <= IPP_STATUS_OK_EVENTS_COMPLETE || status == IPP_STATUS_ERROR_NOT_FOUND;
    }

    bool tool(const QString &program, const QStringList &args)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CUPS_SERVER", server());
        process.setProcessEnvironment(env);
        process.start(program, QStringList{"-h", server()} + args);
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished();
            return fail(program + " did not finish");
        }
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            return fail(program + ' ' + args.join(' ') + ": " +
                        QString::fromUtf8(process.readAllStandardError()));
        }
        return true;
    }

    static QStringList reasonArgs(const QString &reason)
    {
        return reason.isEmpty() ? QStringList{} : QStringList{"-r", reason};
    }

    static int freePort()
    {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return 0;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        int port = 0;
        if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        close(fd);
        return port;
    }

    static bool makeReadable(const QString &folder)
    {
        return QFile::setPermissions(
            folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    }

    // Folders of earlier runs that died before their destructor: end their scheduler if it
    // outlived them, and remove the folder.
    static void removeStaleFolders()
    {
        QDir temp(QDir::tempPath());
        const auto folders = temp.entryList({"sorafu-cups-*"}, QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &name : folders) {
            const QString folder = temp.filePath(name);
            const qint64 owner = readFile(folder + "/owner.pid").trimmed().toLongLong();
            if (owner <= 0 || owner == getpid() || alive(owner))
                continue;
            const qint64 cupsd = readFile(folder + "/cupsd.pid").trimmed().toLongLong();
            if (cupsd > 0 && readFile(QStringLiteral("/proc/%1/cmdline").arg(cupsd))
                                 .contains(folder.toUtf8() + "/conf/cupsd.conf"))
                ::kill(pid_t(cupsd), SIGKILL);
            QDir(folder).removeRecursively();
        }
    }

    static bool alive(qint64 pid) { return ::kill(pid_t(pid), 0) == 0 || errno == EPERM; }

    static QByteArray readFile(const QString &name)
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void writeFile(const QString &sub, const QByteArray &content) const
    {
        QFile file(path(sub));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(content);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_cupsd;
    int m_port = 0;
    QString m_error;
    bool m_hadServer = false;
    QByteArray m_oldServer;
};
