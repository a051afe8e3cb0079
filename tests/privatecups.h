#pragma once

// A CUPS scheduler of the test's own: its configuration, spool and queue output live in a
// temporary folder, it listens only on a free loopback port, and CUPS_SERVER points this
// process (and every libcups call in it) at it until the object is destroyed. The machine's
// own scheduler, its /etc/cups and its printers are never touched.

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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
    };

    PrivateCups()
        : m_hadServer(qEnvironmentVariableIsSet("CUPS_SERVER")), m_oldServer(qgetenv("CUPS_SERVER"))
    {
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
        for (const char *sub : {"conf", "spool", "log", "cache", "state", "out"})
            if (!QDir(path()).mkdir(sub))
                return fail(QStringLiteral("cannot create %1/%2").arg(path(), sub));
        // The filters run as the user lp and must reach the PPD and the output folder.
        const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                          QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        for (const QString &folder : {path(), path("conf"), path("out")})
            if (!QFile::setPermissions(folder, open))
                return fail("cannot open the temporary folder to the user lp");
        writeFile("owner.pid", QByteArray::number(qint64(getpid())));
        // Printcap defaults to /run/cups/printcap, the machine's own: keep it here.
        writeFile(
            "conf/cups-files.conf",
            QStringLiteral("FileDevice Yes\nServerRoot %1/conf\nRequestRoot %1/spool\n"
                           "CacheDir %1/cache\nStateDir %1/state\nPrintcap %1/state/printcap\n"
                           "ErrorLog %1/log/error_log\nAccessLog %1/log/access_log\n"
                           "PageLog %1/log/page_log\nServerBin /usr/lib/cups\n"
                           "DataDir /usr/share/cups\n")
                .arg(path())
                .toUtf8());
        // Another program may take the port between our probe and cupsd's bind: try again.
        for (int attempt = 0; attempt < 5; ++attempt) {
            m_port = freePort();
            // Without the default policy lpadmin is answered "Unauthorized".
            writeFile("conf/cupsd.conf",
                      QStringLiteral("Listen 127.0.0.1:%1\nLogLevel warn\nBrowsing No\n"
                                     "BrowseLocalProtocols none\nWebInterface No\n"
                                     "PreserveJobHistory Yes\n<Location />\nOrder allow,deny\n"
                                     "Allow 127.0.0.1\n</Location>\n<Location /admin>\n"
                                     "Order allow,deny\nAllow 127.0.0.1\n</Location>\n"
                                     "<Policy default>\n<Limit All>\nOrder deny,allow\n"
                                     "</Limit>\n</Policy>\n")
                          .arg(m_port)
                          .toUtf8());
            if (launch()) {
                qputenv("CUPS_SERVER", server().toUtf8());
                cupsSetServer(nullptr); // libcups rereads CUPS_SERVER on its next call
                if (QString::fromUtf8(cupsServer()) != QLatin1String("127.0.0.1") ||
                    ippPort() != m_port)
                    return fail("libcups does not use the private scheduler");
                return true;
            }
            stopScheduler();
        }
        return false;
    }

    qint64 schedulerPid() const { return m_cupsd ? m_cupsd->processId() : 0; }
    // "127.0.0.1:port", as CUPS_SERVER and the -h option of the CUPS tools take it.
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
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

    // A "Generic PDF Printer" queue, enabled and accepting, printing into outputPath(queue).
    bool addQueue(const QString &queue)
    {
        return tool("lpadmin", {"-p", queue, "-E", "-v", "file://" + outputPath(queue), "-P",
                                QString::fromLatin1(genericPdfPpd)});
    }
    // Stops the queue (cupsdisable): it still takes jobs, but holds them.
    bool disableQueue(const QString &queue, const QString &reason)
    {
        return tool("cupsdisable", {"-r", reason, queue});
    }
    bool enableQueue(const QString &queue) { return tool("cupsenable", {queue}); }
    // Refuses new jobs (cupsreject).
    bool rejectQueue(const QString &queue, const QString &reason)
    {
        return tool("cupsreject", {"-r", reason, queue});
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

    // Jobs the scheduler knows of; all, or only those not finished (pending, held, processing
    // or stopped). Asked over a connection of its own; like every libcups call it overwrites
    // cupsLastError(), so read that first.
    QList<Job> jobs(bool unfinishedOnly = false) const
    {
        QList<Job> list;
        http_t *http = connection(1000);
        if (!http)
            return list;
        cups_job_t *found = nullptr;
        const int count = cupsGetJobs2(http, &found, nullptr, 0,
                                       unfinishedOnly ? CUPS_WHICHJOBS_ACTIVE : CUPS_WHICHJOBS_ALL);
        for (int i = 0; i < count; ++i)
            list.append({found[i].id, QString::fromUtf8(found[i].dest), found[i].state});
        cupsFreeJobs(count, found);
        httpClose(http);
        return list;
    }

    // Waits for the job to complete; the file its queue wrote, or empty with lastError().
    QString output(const QString &queue, int jobId)
    {
        QElapsedTimer clock;
        clock.start();
        ipp_jstate_t state = IPP_JSTATE_PENDING;
        while (state < IPP_JSTATE_CANCELED && clock.elapsed() < 30000) {
            QThread::msleep(20);
            for (const Job &job : jobs())
                if (job.id == jobId)
                    state = job.state;
        }
        if (state == IPP_JSTATE_COMPLETED && QFile::exists(outputPath(queue)))
            return outputPath(queue);
        fail(QStringLiteral("job %1 ended in state %2 with no output; %3")
                 .arg(jobId)
                 .arg(int(state))
                 .arg(QString::fromUtf8(readFile(path("log/error_log")).right(2000))));
        return {};
    }

private:
    bool fail(const QString &error)
    {
        m_error = error;
        return false;
    }

    http_t *connection(int timeoutMs) const
    {
        return httpConnect2("127.0.0.1", m_port, nullptr, AF_INET, HTTP_ENCRYPTION_NEVER, 1,
                            timeoutMs, nullptr);
    }

    // Starts cupsd and waits until it answers.
    bool launch()
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
        if (!m_cupsd->waitForStarted(5000))
            return fail("cannot start /usr/sbin/cupsd: " + m_cupsd->errorString());
        writeFile("cupsd.pid", QByteArray::number(m_cupsd->processId()));
        QElapsedTimer clock;
        clock.start();
        // Waiting is also how QProcess learns that it ended.
        while (clock.elapsed() < 15000 && !m_cupsd->waitForFinished(20))
            if (answers())
                return true;
        return fail("cupsd does not answer: " + QString::fromUtf8(readFile(path("log/cupsd.out")) +
                                                                  readFile(path("log/error_log"))));
    }

    bool answers() const
    {
        http_t *http = connection(200);
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
        process.start(program, QStringList{"-h", server()} + args);
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished();
            return fail(program + " did not finish");
        }
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return fail(program + ' ' + args.join(' ') + ": " +
                        QString::fromUtf8(process.readAllStandardError()));
        return true;
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

    // Folders of earlier runs that died before their destructor: end their scheduler if it
    // outlived them, and remove the folder.
    static void removeStaleFolders()
    {
        QDir temp(QDir::tempPath());
        const auto folders = temp.entryList({"sorafu-cups-*"}, QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &name : folders) {
            const QString folder = temp.filePath(name);
            const qint64 owner = readFile(folder + "/owner.pid").trimmed().toLongLong();
            if (owner <= 0 || owner == getpid() || ::kill(pid_t(owner), 0) == 0 || errno == EPERM)
                continue;
            const qint64 cupsd = readFile(folder + "/cupsd.pid").trimmed().toLongLong();
            if (cupsd > 0 && readFile(QStringLiteral("/proc/%1/cmdline").arg(cupsd))
                                 .contains(folder.toUtf8() + "/conf/cupsd.conf"))
                ::kill(pid_t(cupsd), SIGKILL);
            QDir(folder).removeRecursively();
        }
    }

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
