#pragma once

// A PostgreSQL server of the test's own: its cluster lives in a temporary folder, it listens
// on a Unix socket in that folder and on no TCP port, and it goes with the object. Root may
// not run it, so a test run as root runs it as nobody.

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

class PrivatePostgres
{
public:
    static QString bin(const QString &tool) { return "/usr/lib/postgresql/15/bin/" + tool; }
    static bool available() { return QFile::exists(bin("initdb")); }

    ~PrivatePostgres() { stop(); }

    // Makes the cluster at the first call; then starts the server and waits until it answers.
    bool start()
    {
        if (geteuid() == 0 && chown(qPrintable(m_dir.path()), 65534, 65534) != 0)
            return false;
        const QString data = m_dir.filePath("data");
        if (!QFile::exists(data) &&
            !runAsOwner(bin("initdb"), {"-D", data, "-U", "sorafu", "--auth=trust", "-E", "UTF8",
                                        "--locale=C.UTF-8", "-N"}))
            return false;
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.setChildProcessModifier([] {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            asOwner();
        });
        m_server.start(bin("postgres"), {"-D", data, "-k", m_dir.path(), "-c",
                                         "listen_addresses=", "-c", "fsync=off"});
        for (int waited = 0; waited < 30000 && !m_server.waitForFinished(50); waited += 50) {
            if (QProcess::execute(bin("pg_isready"), {"-q", "-h", m_dir.path()}) == 0)
                return true;
        }
        lastError = "postgres does not answer: " + m_server.readAll();
        return false;
    }

    // SIGINT, a fast shutdown: connections are cut, nothing written is lost. SIGKILL: the
    // server dies at once and recovers from its log at the next start.
    void stop(int signal = SIGINT)
    {
        if (m_server.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_server.processId()), signal);
        if (!m_server.waitForFinished(15000))
            m_server.kill();
        m_server.waitForFinished(2000);
    }

    // As the program's settings take it.
    QString connection(const QString &database = "postgres", const QString &user = "sorafu") const
    {
        return QString("host=%1 dbname=%2 user=%3").arg(m_dir.path(), database, user);
    }

    // Statements run by the superuser; false with lastError when one fails.
    bool sql(const QString &statements, const QString &database = "postgres")
    {
        QProcess psql;
        psql.start(bin("psql"), {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", m_dir.path(), "-U",
                                 "sorafu", "-d", database, "-c", statements});
        if (psql.waitForFinished(600000) && psql.exitCode() == 0)
            return true;
        lastError = psql.readAllStandardError();
        return false;
    }

    QString lastError;

private:
    static void asOwner()
    {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(126);
    }
    bool runAsOwner(const QString &program, const QStringList &args)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setChildProcessModifier(&PrivatePostgres::asOwner);
        process.start(program, args);
        if (process.waitForFinished(120000) && process.exitCode() == 0)
            return true;
        lastError = program + ": " + process.readAll();
        return false;
    }

    // Where nobody may pass: other tests have been seen to close /tmp to all but root.
    const QString m_temp = QDir::tempPath();
    const QString m_base = QFile::permissions(m_temp) & QFile::ExeOther ? m_temp : "/dev/shm";
    QTemporaryDir m_dir{m_base + "/sorafu-pg-XXXXXX"};
    QProcess m_server;
};
