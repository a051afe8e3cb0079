#include "printservice/cupsspooler.h"

#include "printing/printerchoice.h"
#include "printing/printerreasons.h"
#include "printservice/cupschain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>

#include <cups/cups.h>

#include <memory>

namespace {

// A healthy scheduler answers a question in well under 0.1 s, a loaded one in about a second;
// five seconds of silence means it is not going to.
constexpr int kConnectMs = 5000;
constexpr double kQuerySeconds = 5.0;
// The page goes with the request (a letter with its embedded font is about 100 kB): at 1 Mbit/s
// that is about a second, and the scheduler writes it to its spool before answering. Ten seconds
// of silence leaves room for a slow link without leaving the clerk waiting long.
constexpr double kSendSeconds = 10.0;

struct InfoDeleter
{
    void operator()(cups_dinfo_t *info) const { cupsFreeDestInfo(info); }
};

struct IppDeleter
{
    void operator()(ipp_t *ipp) const { ippDelete(ipp); }
};
using Response = std::unique_ptr<ipp_t, IppDeleter>;

// The server as the user's administrator would name it.
QString serverName()
{
    const QString server = QString::fromUtf8(cupsServer());
    if (server.startsWith(QLatin1Char('/')))
        return QStringLiteral("localhost");
    return QStringLiteral("%1:%2").arg(server).arg(ippPort());
}

// What went wrong with the last request, taken before the next call overwrites it.
struct Failure
{
    ipp_status_t status = IPP_STATUS_OK;
    QString reply;
    bool timedOut = false;
    // The connection failed, not the request: libcups' words are then a C library error
    // ("Success", "Bad file descriptor") that tells a clerk nothing.
    bool lost = false;
};

// One connection to the print service whose every wait for an answer is bounded.
class Connection
{
public:
    explicit Connection(double seconds)
    {
        QElapsedTimer clock;
        clock.start();
        m_http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                              kConnectMs, nullptr);
        if (!m_http) {
            // Refused at once means no service there; silence until the bound, one not answering.
            m_timedOut = clock.elapsed() >= kConnectMs - 100;
            return;
        }
        httpSetTimeout(m_http, seconds, &Connection::giveUp, this);
    }
    ~Connection() { httpClose(m_http); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    http_t *http() const { return m_http; }
    bool connected() const { return m_http != nullptr; }

    Failure lastFailure() const
    {
        Failure failure{cupsLastError(), QString::fromUtf8(cupsLastErrorString()), m_timedOut,
                        !m_http || httpError(m_http) != 0};
        failure.lost |= failure.status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
        return failure;
    }

    Response request(ipp_t *request, const char *resource, const QString &file = QString()) const
    {
        if (!m_http) {
            ippDelete(request);
            return nullptr;
        }
        return Response(file.isEmpty() ? cupsDoRequest(m_http, request, resource)
                                       : cupsDoFileRequest(m_http, request, resource,
                                                           QFile::encodeName(file).constData()));
    }

private:
    static int giveUp(http_t *, void *self)
    {
        static_cast<Connection *>(self)->m_timedOut = true;
        return 0; // stop waiting
    }

    http_t *m_http = nullptr;
    bool m_timedOut = false;
};

bool failed(const Response &response, const Failure &failure)
{
    return !response || failure.status > IPP_STATUS_OK_EVENTS_COMPLETE;
}

QString withReply(const QString &text, const Failure &failure)
{
    if (failure.reply.isEmpty() || failure.lost)
        return text;
    return CupsSpooler::tr("%1\n（印刷サービスの応答：%2）").arg(text, failure.reply);
}

QString printerNotFound(const QString &printer)
{
    return CupsSpooler::tr("プリンタ「%1」が見つかりません。"
                           "「プリンタ設定」でプリンタを選び直してください。")
        .arg(printer);
}

QString printersUnknown()
{
    return CupsSpooler::tr("印刷サービスからプリンタの一覧を取得できません。");
}

QString jobRefused(const QString &printer)
{
    return CupsSpooler::tr(
               "プリンタ「%1」が印刷を受け付けませんでした。"
               "「プリンタ設定」でプリンタと用紙を確かめてから、もう一度お試しください。")
        .arg(printer);
}

QString describe(const Failure &failure, const QString &destination, const QString &otherwise)
{
    if (failure.timedOut)
        return CupsSpooler::tr("印刷サービス（CUPS）が応答しません。"
                               "しばらく待ってからもう一度印刷するか、印刷サービスの状態を"
                               "確かめてください。\n（接続先：%1）")
            .arg(serverName());
    if (failure.lost)
        return CupsSpooler::tr("印刷サービス（CUPS）に接続できません。"
                               "印刷サービスが動いているか確かめてください。");
    switch (failure.status) {
    case IPP_STATUS_ERROR_NOT_FOUND:
        return printerNotFound(destination);
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
        return withReply(CupsSpooler::tr("プリンタ「%1」は今、印刷を受け付けていません。"
                                         "しばらくしてから、もう一度お試しください。")
                             .arg(destination),
                         failure);
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
        return withReply(
            CupsSpooler::tr(
                "プリンタ「%1」で印刷する権限がありません。管理者にお問い合わせください。")
                .arg(destination),
            failure);
    default:
        return withReply(otherwise, failure);
    }
}

ipp_t *newRequest(ipp_op_t operation, const QString &uri = QString())
{
    ipp_t *request = ippNewRequest(operation);
    if (!uri.isEmpty())
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                     uri.toUtf8().constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    return request;
}

// A queue's resource: a class answers only under its own.
QString resource(const char *kind, const QString &destination)
{
    return QStringLiteral("/%1/%2").arg(QLatin1String(kind), destination);
}

QString uriOf(const QString &path)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                    path.toUtf8().constData());
    return QString::fromUtf8(uri);
}

const char *const kKinds[] = {"printers", "classes"};

struct QueueState
{
    bool found = true;
    bool answered = true; // else `failure` says why not
    Failure failure;
    bool stopped = false;
    bool accepting = true;
    QStringList reasons; // printer-state-reasons, keywords such as media-jam-error
    QString why;         // printer-state-message, as its administrator or driver put it
    QString resource;
    QString description;      // printer-info
    QString deviceUri;        // device-uri
    qint64 configChanged = 0; // printer-config-change-time
    qint64 serviceNow = 0;    // printer-current-time: the scheduler's clock

    // The printer as clerks know it.
    QString name(const QString &destination) const
    {
        return description.isEmpty() ? destination : description;
    }
};

QueueState queueState(const Connection &connection, const QString &destination)
{
    static const char *const kAttributes[] = {"printer-state",         "printer-is-accepting-jobs",
                                              "printer-state-message", "printer-state-reasons",
                                              "printer-info",          "printer-config-change-time",
                                              "printer-current-time",  "device-uri"};
    QueueState state;
    for (const char *kind : kKinds) {
        const QString path = resource(kind, destination);
        ipp_t *request = newRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, uriOf(path));
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      int(std::size(kAttributes)), nullptr, kAttributes);
        const Response response = connection.request(request, "/");
        state.failure = connection.lastFailure();
        if (state.failure.status == IPP_STATUS_ERROR_NOT_FOUND && !state.failure.timedOut)
            continue;
        if (failed(response, state.failure)) {
            state.answered = false;
            return state;
        }
        state.resource = path;
        if (ipp_attribute_t *message =
                ippFindAttribute(response.get(), "printer-state-message", IPP_TAG_TEXT))
            state.why = QString::fromUtf8(ippGetString(message, 0, nullptr)).trimmed();
        if (ipp_attribute_t *info = ippFindAttribute(response.get(), "printer-info", IPP_TAG_TEXT))
            state.description = QString::fromUtf8(ippGetString(info, 0, nullptr)).trimmed();
        if (ipp_attribute_t *uri = ippFindAttribute(response.get(), "device-uri", IPP_TAG_URI))
            state.deviceUri = QString::fromUtf8(ippGetString(uri, 0, nullptr));
        if (ipp_attribute_t *reasons =
                ippFindAttribute(response.get(), "printer-state-reasons", IPP_TAG_KEYWORD))
            for (int i = 0; i < ippGetCount(reasons); ++i)
                state.reasons.append(QString::fromUtf8(ippGetString(reasons, i, nullptr)));
        ipp_attribute_t *printerState =
            ippFindAttribute(response.get(), "printer-state", IPP_TAG_ENUM);
        state.stopped = printerState && ippGetInteger(printerState, 0) == IPP_PSTATE_STOPPED;
        ipp_attribute_t *accepting =
            ippFindAttribute(response.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
        state.accepting = !accepting || ippGetBoolean(accepting, 0);
        if (ipp_attribute_t *changed =
                ippFindAttribute(response.get(), "printer-config-change-time", IPP_TAG_INTEGER))
            state.configChanged = ippGetInteger(changed, 0);
        if (ipp_attribute_t *now =
                ippFindAttribute(response.get(), "printer-current-time", IPP_TAG_DATE))
            state.serviceNow = ippDateToTime(ippGetDate(now, 0));
        return state;
    }
    state.found = false;
    return state;
}

QString stopped(const QString &destination, const QueueState &state)
{
    return CupsSpooler::tr("プリンタ「%1」は停止しています。"
                           "プリンタと印刷キューの状態を確かめてください。%2")
        .arg(state.name(destination), printerStateText(state.reasons, state.why));
}

// The user's own default (lpoptions -d, LPDEST, PRINTER), which the scheduler does not know.
QString userDefault()
{
    for (const char *variable : {"LPDEST", "PRINTER"})
        if (const QString name = qEnvironmentVariable(variable);
            !name.isEmpty() && name != QLatin1String("lp"))
            return name.section(QLatin1Char('/'), 0, 0);
    QString name;
    for (const QString &path : {QStringLiteral("/etc/cups/lpoptions"),
                                QDir::home().filePath(QStringLiteral(".cups/lpoptions"))}) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        static const QRegularExpression line(QStringLiteral("^Default\\s+([^/\\s]+)"),
                                             QRegularExpression::MultilineOption |
                                                 QRegularExpression::CaseInsensitiveOption);
        if (const auto match = line.match(QString::fromUtf8(file.readAll())); match.hasMatch())
            name = match.captured(1);
    }
    return name;
}

// Withdraws a job the scheduler took; false when it could not be asked.
bool withdraw(const QString &path, int job)
{
    const Connection connection(kQuerySeconds);
    ipp_t *request = newRequest(IPP_OP_CANCEL_JOB, uriOf(path));
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job);
    ippAddBoolean(request, IPP_TAG_OPERATION, "purge-job", 1);
    const Response response = connection.request(request, path.toUtf8().constData());
    return !failed(response, connection.lastFailure());
}

} // namespace

bool CupsSpooler::destinations(QStringList *names, QString *defaultName,
                               QMap<QString, QString> *descriptions, QString *error)
{
    names->clear();
    defaultName->clear();
    descriptions->clear();
    const Connection connection(kQuerySeconds);
    static const char *const kAttributes[] = {"printer-name", "printer-info"};
    ipp_t *request = newRequest(IPP_OP_CUPS_GET_PRINTERS);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(std::size(kAttributes)), nullptr, kAttributes);
    Response response = connection.request(request, "/");
    Failure failure = connection.lastFailure();
    // "Not found" is the scheduler's answer when it has no printer at all.
    if (failed(response, failure) &&
        (failure.status != IPP_STATUS_ERROR_NOT_FOUND || failure.timedOut || failure.lost)) {
        *error = describe(failure, QString(), printersUnknown());
        return false;
    }
    // One group of attributes a printer: its info, when it has one, goes with its name.
    QString name, info;
    for (ipp_attribute_t *attribute = response ? ippFirstAttribute(response.get()) : nullptr;;
         attribute = ippNextAttribute(response.get())) {
        if (!attribute || !ippGetName(attribute)) {
            if (!name.isEmpty())
                names->append(name);
            if (!name.isEmpty() && !info.isEmpty() && info != name)
                descriptions->insert(name, info);
            name.clear();
            info.clear();
            if (!attribute)
                break;
        } else if (qstrcmp(ippGetName(attribute), "printer-name") == 0) {
            name = QString::fromUtf8(ippGetString(attribute, 0, nullptr));
        } else if (qstrcmp(ippGetName(attribute), "printer-info") == 0) {
            info = QString::fromUtf8(ippGetString(attribute, 0, nullptr)).trimmed();
        }
    }
    std::sort(names->begin(), names->end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });

    *defaultName = userDefault();
    if (!names->contains(*defaultName)) {
        response = connection.request(newRequest(IPP_OP_CUPS_GET_DEFAULT), "/");
        failure = connection.lastFailure();
        if (failure.timedOut || failure.lost) {
            *error = describe(failure, QString(), printersUnknown());
            return false;
        }
        ipp_attribute_t *name = ippFindAttribute(response.get(), "printer-name", IPP_TAG_NAME);
        *defaultName = name ? QString::fromUtf8(ippGetString(name, 0, nullptr)) : QString();
        if (!names->contains(*defaultName))
            defaultName->clear();
    }
    return true;
}

QString CupsSpooler::deviceUri(const QString &destination)
{
    const Connection connection(kQuerySeconds);
    return queueState(connection, destination).deviceUri;
}

bool CupsSpooler::papers(const QString &destination, PrinterPapers *papers, QString *error)
{
    const Connection connection(kQuerySeconds);
    std::unique_ptr<cups_dinfo_t, InfoDeleter> info;
    cups_dest_t dest{};
    QByteArray name = destination.toUtf8();
    dest.name = name.data();
    Failure failure;
    QByteArray uri;
    for (const char *kind : kKinds) {
        cupsFreeOptions(dest.num_options, dest.options);
        dest.options = nullptr;
        uri = uriOf(resource(kind, destination)).toUtf8();
        dest.num_options =
            cupsAddOption("printer-uri-supported", uri.constData(), 0, &dest.options);
        info.reset(connection.connected() ? cupsCopyDestInfo(connection.http(), &dest) : nullptr);
        failure = connection.lastFailure();
        if (info || failure.status != IPP_STATUS_ERROR_NOT_FOUND || failure.timedOut)
            break;
    }
    const auto freeOptions = qScopeGuard([&] { cupsFreeOptions(dest.num_options, dest.options); });
    if (!info) {
        *error = describe(failure, destination,
                          tr("プリンタ「%1」の用紙の情報を取得できませんでした。"
                             "プリンタの電源と接続を確かめてから、もう一度お試しください。")
                              .arg(destination));
        return false;
    }

    http_t *http = connection.http();
    *papers = PrinterPapers();
    const unsigned flags = CUPS_MEDIA_FLAGS_DEFAULT;
    const int count = cupsGetDestMediaCount(http, &dest, info.get(), flags);
    for (int i = 0; i < count; ++i) {
        cups_size_t size;
        if (!cupsGetDestMediaByIndex(http, &dest, info.get(), i, flags, &size))
            continue;
        const QString media = QString::fromUtf8(size.media);
        Paper paper;
        paper.media = media;
        // Our own names: libcups localises by the process's locale, which need not be Japanese,
        // and would call JIS B5 "B5" and ISO B5 "ISOB5".
        paper.name = mediaDisplayName(media);
        paper.sizeMm = QSizeF(size.width / 100.0, size.length / 100.0);
        paper.marginsMm =
            QMarginsF(size.left / 100.0, size.top / 100.0, size.right / 100.0, size.bottom / 100.0);
        papers->papers.append(paper);
    }
    if (papers->papers.isEmpty()) {
        *error = tr("プリンタ「%1」から、使用できる用紙の情報を取得できませんでした。"
                    "プリンタの電源と接続を確かめてから、もう一度お試しください。")
                     .arg(destination);
        return false;
    }

    cups_size_t defaultSize;
    if (cupsGetDestMediaDefault(http, &dest, info.get(), flags, &defaultSize))
        papers->defaultMedia = QString::fromUtf8(defaultSize.media);
    offerEachSizeOnce(papers);
    if (ipp_attribute_t *orientation =
            cupsFindDestDefault(http, &dest, info.get(), "orientation-requested");
        orientation && ippGetValueTag(orientation) == IPP_TAG_ENUM) {
        const int value = ippGetInteger(orientation, 0);
        if (value == IPP_ORIENT_PORTRAIT)
            papers->defaultOrientation = QPageLayout::Portrait;
        else if (value == IPP_ORIENT_LANDSCAPE)
            papers->defaultOrientation = QPageLayout::Landscape;
    }
    return true;
}

// Why a destination in this state takes no job now; empty when it does.
static QString stateProblem(const QString &destination, const QueueState &state)
{
    if (!state.found)
        return printerNotFound(destination);
    if (!state.answered)
        return describe(
            state.failure, destination,
            CupsSpooler::tr("プリンタ「%1」の状態を取得できませんでした。"
                            "プリンタの電源と接続を確かめてから、もう一度お試しください。")
                .arg(destination));
    if (state.stopped)
        return stopped(destination, state);
    if (!state.accepting)
        return CupsSpooler::tr("プリンタ「%1」は今、印刷を受け付けない設定になっています。"
                               "プリンタの管理者にお問い合わせください。%2")
            .arg(state.name(destination), printerStateText(state.reasons, state.why));
    return QString();
}

QString CupsSpooler::check(const QString &destination, QueueFacts *facts)
{
    const Connection connection(kQuerySeconds);
    const QueueState state = queueState(connection, destination);
    if (facts)
        *facts = {state.description, state.configChanged, state.serviceNow};
    return stateProblem(destination, state);
}

QString CupsSpooler::submit(const QString &destination, const QString &title,
                            const QString &pdfFile, const JobOptions &options, int *jobId)
{
    *jobId = 0;
    const Connection connection(kSendSeconds);
    // The queue's state was asked just before the page was drawn. It is asked again only to
    // tell a refusal by the queue's state and the name its clerks know.
    const auto refused = [&](const Failure &failure, bool byState) {
        if (failure.timedOut || failure.lost)
            return describe(failure, destination, jobRefused(destination));
        const QueueState state = queueState(connection, destination);
        if (!state.found || (state.answered && state.stopped) || byState)
            if (const QString problem = stateProblem(destination, state); !problem.isEmpty())
                return problem;
        const QString name = state.name(destination);
        return describe(failure, name, jobRefused(name));
    };

    // The job first and its page after, so that a page that does not get through leaves a job
    // with a number to withdraw. A class takes jobs only under its own resource.
    QString path;
    Response response;
    Failure failure;
    for (const char *kind : kKinds) {
        path = resource(kind, destination);
        ipp_t *create = newRequest(IPP_OP_CREATE_JOB, uriOf(path));
        ippAddString(create, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr,
                     title.toUtf8().constData());
        cups_option_t *cupsOptions = nullptr;
        int optionCount = 0;
        for (const auto &option : options + chainOptions(connection.http(), path))
            optionCount = cupsAddOption(option.first.constData(), option.second.constData(),
                                        optionCount, &cupsOptions);
        cupsEncodeOptions2(create, optionCount, cupsOptions, IPP_TAG_JOB);
        cupsFreeOptions(optionCount, cupsOptions);
        response = connection.request(create, path.toUtf8().constData());
        failure = connection.lastFailure();
        if (failure.status != IPP_STATUS_ERROR_NOT_FOUND || failure.timedOut)
            break;
    }
    const QString uri = uriOf(path);
    const QByteArray where = path.toUtf8();
    ipp_attribute_t *id =
        response ? ippFindAttribute(response.get(), "job-id", IPP_TAG_INTEGER) : nullptr;
    if (failed(response, failure) || !id) {
        switch (failure.status) {
        case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
        case IPP_STATUS_ERROR_NOT_FOUND:
        case IPP_STATUS_ERROR_FORBIDDEN:
        case IPP_STATUS_ERROR_NOT_AUTHORIZED:
        case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
            return refused(failure, false);
        default:
            // The destination's state may say it better than the refusal.
            return refused(failure, true);
        }
    }
    const int job = ippGetInteger(id, 0);

    ipp_t *send = newRequest(IPP_OP_SEND_DOCUMENT, uri);
    ippAddInteger(send, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job);
    ippAddString(send, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
                 "application/pdf");
    ippAddBoolean(send, IPP_TAG_OPERATION, "last-document", 1);
    response = connection.request(send, where.constData(), pdfFile);
    failure = connection.lastFailure();
    if (failed(response, failure)) {
        const QString why = refused(failure, false);
        if (withdraw(path, job))
            return why;
        return why + tr("\n送りかけた印刷を取り消すことができませんでした。"
                        "印刷サービスが応答するようになると、この用紙が印刷されることがあります。");
    }

    // A stopped queue takes the job and holds it, and the sheet would come out whenever someone
    // resumes the printer. It may have stopped since the check before drawing.
    const QueueState after = queueState(connection, destination);
    if (!after.stopped) {
        *jobId = job;
        return QString();
    }
    if (!withdraw(path, job))
        return stopped(destination, after) + tr("\n印刷を取り消すことができませんでした。"
                                                "プリンタが再開すると、この用紙が印刷されます。");
    return stopped(destination, after);
}
