#include "office/sharedoffsets.h"

#include "office/officeserver.h"
#include "system/background.h"
#include "system/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>

#include <utility>

// What only the lane touches: the connection, and the saves the server has not taken yet.
struct SharedPrinterOffsets::Remote
{
    Remote(const QString &connection, const QString &pc, int retryMs, const QString &unsentPath)
        : server(connection), pc(pc), retryMs(retryMs), unsentPath(unsentPath)
    {
    }

    // Saves the server has not taken outlive the program: a calibration made while the server
    // was away is sent at the next start, not replaced by the office's older one.
    void load()
    {
        QFile file(unsentPath);
        if (unsentPath.isEmpty() || !file.open(QIODevice::ReadOnly))
            return;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> cells = line.split('\t');
            bool leftRight = false;
            bool upDown = false;
            const PrintOffset offset{cells.value(1).toInt(&leftRight),
                                     cells.value(2).toInt(&upDown)};
            if (cells.size() == 3 && leftRight && upDown)
                unsent.append({QUrl::fromPercentEncoding(cells[0]), offset});
        }
    }
    void persist() const
    {
        if (unsentPath.isEmpty())
            return;
        if (unsent.isEmpty()) {
            QFile::remove(unsentPath);
            return;
        }
        QByteArray lines;
        for (const auto &[address, offset] : unsent)
            lines += QUrl::toPercentEncoding(address) + '\t' +
                     QByteArray::number(offset.leftRight) + '\t' +
                     QByteArray::number(offset.upDown) + '\n';
        QDir().mkpath(QFileInfo(unsentPath).absolutePath());
        replaceFile(unsentPath, lines);
    }

    // The latest save for the address, or with nothing none, waits to be sent.
    void keep(const QString &address, const std::optional<PrintOffset> &offset)
    {
        unsent.removeIf([&address](const auto &save) { return save.first == address; });
        if (offset)
            unsent.append({address, *offset});
        persist();
    }

    // Oldest first; false when some stay.
    bool sendUnsent()
    {
        const qsizetype before = unsent.size();
        while (!unsent.isEmpty()) {
            if (!server.saveSharedOffset(unsent.first().first, unsent.first().second, pc))
                break;
            unsent.removeFirst();
        }
        if (unsent.size() != before)
            persist();
        return unsent.isEmpty();
    }

    // Runs `attempt` when the server may be asked; again at once when it found the connection
    // dropped (the server restarted), so the first call after a restart is not lost.
    void ask(const std::function<void()> &attempt)
    {
        if (!server.mayAsk(retryMs))
            return;
        const bool wasConnected = server.state() == OfficeServer::State::Connected;
        attempt();
        if (wasConnected && server.state() == OfficeServer::State::Unreachable)
            attempt();
    }

    OfficeServer server;
    QString pc;
    int retryMs;
    QString unsentPath;
    QList<std::pair<QString, PrintOffset>> unsent;
};

SharedPrinterOffsets::SharedPrinterOffsets(PrinterOffsets &local, const QString &connection,
                                           const QString &pc, Background &background, int retryMs,
                                           const QString &unsentPath)
    : m_local(local), m_remote(std::make_shared<Remote>(connection, pc, retryMs, unsentPath)),
      m_lane(background.lane(QStringLiteral("printer offsets")))
{
    m_lane->run(
        &m_receiver, [remote = m_remote] { remote->load(); }, [] {});
}

SharedPrinterOffsets::~SharedPrinterOffsets()
{
    // The connection belongs to the lane's thread, and closes there.
    m_lane->run(
        &m_receiver, [remote = std::move(m_remote)]() mutable { remote.reset(); }, [] {});
}

QString SharedPrinterOffsets::sharedAddress(const PrinterIdentity &printer)
{
    if (printer.pdfFile)
        return QString();
    // Only a printer on the network is the same device for every PC. A USB, parallel or serial
    // printer, a file, a PDF printer or a queue that forwards to this PC is another device on
    // each PC, even under the same address.
    static const QStringList network = {QStringLiteral("ipp"),    QStringLiteral("ipps"),
                                        QStringLiteral("http"),   QStringLiteral("https"),
                                        QStringLiteral("socket"), QStringLiteral("lpd"),
                                        QStringLiteral("smb"),    QStringLiteral("dnssd")};
    const QUrl uri(printer.deviceUri);
    const QString host = uri.host();
    if (!network.contains(uri.scheme()) || host.isEmpty() || host == QLatin1String("localhost") ||
        host.startsWith(QLatin1String("127.")) || host == QLatin1String("::1"))
        return QString();
    return printer.deviceUri;
}

std::optional<PrintOffset> SharedPrinterOffsets::find(const PrinterIdentity &printer,
                                                      QString *problem)
{
    return m_local.find(printer, problem);
}

QString SharedPrinterOffsets::save(const PrinterIdentity &printer,
                                   const std::optional<PrintOffset> &offset)
{
    const QString failure = m_local.save(printer, offset);
    const QString address = sharedAddress(printer);
    if (!failure.isEmpty() || address.isEmpty())
        return failure;
    ++m_saves;
    m_lane->run(
        &m_receiver,
        [remote = m_remote, address, offset] {
            remote->keep(address, offset);
            remote->ask([&remote] { remote->sendUnsent(); });
        },
        [] {});
    return failure;
}

void SharedPrinterOffsets::refresh(const PrinterIdentity &printer, QObject *receiver,
                                   std::function<void()> changed)
{
    const QString address = sharedAddress(printer);
    if (address.isEmpty())
        return;
    QString unused;
    const std::optional<PrintOffset> copy = m_local.find(printer, &unused);
    auto shared = std::make_shared<std::optional<PrintOffset>>();
    const auto ask = [remote = m_remote, address, copy, shared] {
        remote->ask([&] {
            // This PC's own saves first, so that the answer is the latest.
            bool answered = false;
            if (remote->sendUnsent())
                *shared = remote->server.sharedOffset(address, &answered);
            // Kept on this PC before the office shared them: the office takes them. Not after
            // a question that failed: the office's own may be newer.
            if (!*shared && copy && answered && remote->unsent.isEmpty())
                remote->server.saveSharedOffset(address, *copy, remote->pc);
        });
    };
    const auto take = [this, printer, shared, saves = m_saves, receiver = QPointer(receiver),
                       changed = std::move(changed)] {
        QString unused;
        // A save since the question was asked is newer than the answer.
        if (!*shared || saves != m_saves || m_local.find(printer, &unused) == *shared)
            return;
        if (m_local.save(printer, *shared).isEmpty() && receiver)
            changed();
    };
    m_lane->run(&m_receiver, ask, take);
}
