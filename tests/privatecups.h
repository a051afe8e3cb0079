#pragma once

// A CUPS scheduler of the test's own: its configuration, spool and queue output live in a
// temporary folder, it listens only on a free loopback port, and CUPS_SERVER points this
// process (and every libcups call in it) at it until the object goes. The machine's own
// scheduler, its /etc/cups and its printers are never touched.

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cups/cups.h>

#include <csignal>
#include <sys/prctl.h>

class PrivateCups
{
public:
    ~PrivateCups()
    {
        stop();
        m_server.isNull() ? qunsetenv("CUPS_SERVER") : qputenv("CUPS_SERVER", m_server);
        cupsSetServer(nullptr); // libcups rereads CUPS_SERVER on its next call
    }

    // Starts the scheduler and waits until it answers; then CUPS_SERVER names it.
    bool start()
    {
        for (const char *sub : {"conf", "spool", "log", "cache", "state", "out"})
            QDir(m_dir.path()).mkdir(sub);
        // The filters run as the user lp and must reach the PPD and the output folder.
        for (const QString &folder : {m_dir.path(), path("conf"), path("out")})
            QFile::setPermissions(folder,
                                  QFile::permissions(folder) | QFile::ReadOther | QFile::ExeOther);
        // Printcap defaults to the machine's own /run/cups/printcap: kept here instead.
        write(
            "conf/cups-files.conf",
            QString("FileDevice Yes\nServerRoot %1/conf\nRequestRoot %1/spool\n"
                    "CacheDir %1/cache\nStateDir %1/state\nPrintcap %1/state/printcap\n"
                    "ErrorLog %1/log/error_log\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\n")
                .arg(m_dir.path()));
        // A socket in the folder: no port to find, nothing on the network.
        write("conf/cupsd.conf",
              QString("Listen %1\nBrowsing No\nWebInterface No\nPreserveJobHistory Yes\n"
                      "<Policy default>\n<Limit All>\nOrder deny,allow\n</Limit>\n"
                      "</Policy>\n")
                  .arg(server()));
        m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
        // If this test dies without its destructor (crash, CTest's timeout), so does cupsd.
        m_cupsd.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_cupsd.start("/usr/sbin/cupsd",
                      {"-f", "-c", path("conf/cupsd.conf"), "-s", path("conf/cups-files.conf")});
        // Waiting is also how QProcess learns that it ended.
        for (int waited = 0; waited < 15000 && !m_cupsd.waitForFinished(20); waited += 20) {
            if (http_t *http = connection()) {
                httpClose(http);
                qputenv("CUPS_SERVER", server().toUtf8());
                cupsSetServer(nullptr);
                return true;
            }
        }
        lastError = "cupsd does not answer: " + m_cupsd.readAll() + read("log/error_log");
        return false;
    }

    // As CUPS_SERVER and the -h option of the CUPS tools take it.
    QString server() const { return path("cups.sock"); }
    QString path(const QString &sub) const { return m_dir.filePath(sub); }
    qint64 pid() const { return m_cupsd.processId(); }
    // Where a queue's file: device writes; each job overwrites it.
    QString outputPath(const QString &queue) const { return path("out/" + queue); }

    // A queue, enabled and accepting, printing into outputPath(queue): by default a "Generic PDF
    // Printer"; else the PPD file, or a driver's (drv:///sample.drv/generic.ppd: PostScript).
    bool addQueue(const QString &queue,
                  const QString &ppd = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd")
    {
        return tool("lpadmin", {"-p", queue, "-E", "-v", "file://" + outputPath(queue),
                                ppd.startsWith("drv:") ? "-m" : "-P", ppd});
    }
    // lpadmin, cupsdisable, cupsreject and the like, on this scheduler.
    bool tool(const QString &program, const QStringList &args)
    {
        QProcess process;
        process.start(program, QStringList{"-h", server()} + args);
        if (process.waitForFinished(20000) && process.exitCode() == 0)
            return true;
        lastError = program + ' ' + args.join(' ') + ": " + process.readAllStandardError();
        return false;
    }

    // Ends the scheduler; CUPS_SERVER keeps naming the dead port.
    void stop()
    {
        m_cupsd.terminate();
        if (!m_cupsd.waitForFinished(5000))
            m_cupsd.kill();
        m_cupsd.waitForFinished(2000);
        cupsSetServer(nullptr); // no cached connection to a dead scheduler
    }

    // The queue's jobs, id and state; all, or only those not finished.
    QList<QPair<int, ipp_jstate_t>> jobs(const QString &queue, bool unfinishedOnly = false) const
    {
        QList<QPair<int, ipp_jstate_t>> list;
        http_t *http = connection();
        cups_job_t *found = nullptr;
        const int which = unfinishedOnly ? CUPS_WHICHJOBS_ACTIVE : CUPS_WHICHJOBS_ALL;
        const int count =
            http ? cupsGetJobs2(http, &found, queue.toUtf8().constData(), 0, which) : 0;
        for (int i = 0; i < count; ++i)
            list.append({found[i].id, found[i].state});
        cupsFreeJobs(count, found);
        httpClose(http);
        return list;
    }

    // Waits for the job to complete; the file its queue wrote, or empty with the reason.
    QString output(const QString &queue, int jobId, QString *failure) const
    {
        ipp_jstate_t state = IPP_JSTATE_PENDING;
        for (int waited = 0; state < IPP_JSTATE_CANCELED && waited < 30000; waited += 20) {
            QThread::msleep(20);
            for (const auto &[id, jobState] : jobs(queue))
                state = id == jobId ? jobState : state;
        }
        if (state == IPP_JSTATE_COMPLETED && QFile::exists(outputPath(queue)))
            return outputPath(queue);
        *failure =
            QString("job %1 ended in state %2; ").arg(jobId).arg(state) + read("log/error_log");
        return {};
    }

    QString lastError;

private:
    http_t *connection() const
    {
        return httpConnect2(server().toUtf8().constData(), 0, nullptr, AF_LOCAL,
                            HTTP_ENCRYPTION_NEVER, 1, 1000, nullptr);
    }
    QString read(const QString &sub) const
    {
        QFile file(path(sub));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).right(2000) : "";
    }
    void write(const QString &sub, const QString &content) const
    {
        QFile file(path(sub));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(content.toUtf8());
    }

    QTemporaryDir m_dir{QDir::tempPath() + "/sorafu-cups-XXXXXX"};
    QProcess m_cupsd;
    QByteArray m_server = qgetenv("CUPS_SERVER");
};
