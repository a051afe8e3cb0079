#include "printing/cupsspooler.h"

#include "printing/printerchoice.h"
#include "system/texts.h"

#include <QRegularExpression>

#include <cups/cups.h>

#include <memory>

namespace {

struct DestsDeleter
{
    int count;
    void operator()(cups_dest_t *dests) const { cupsFreeDests(count, dests); }
};

struct DestDeleter
{
    void operator()(cups_dest_t *dest) const { cupsFreeDests(1, dest); }
};

struct InfoDeleter
{
    void operator()(cups_dinfo_t *info) const { cupsFreeDestInfo(info); }
};

struct IppDeleter
{
    void operator()(ipp_t *ipp) const { ippDelete(ipp); }
};

// What libcups was left with after a failed call, taken before the next call overwrites it.
struct Failure
{
    ipp_status_t status;
    QString reply;
};

Failure lastFailure()
{
    return {cupsLastError(), QString::fromUtf8(cupsLastErrorString())};
}

QString withReply(const QString &text, const Failure &failure)
{
    if (failure.reply.isEmpty())
        return text;
    return texts::serviceReply(text, failure.reply);
}

QString describe(const Failure &failure, const QString &destination, const QString &otherwise)
{
    switch (failure.status) {
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
        // libcups' own words here are a socket error ("Bad file descriptor") that tells a
        // clerk nothing and points the wrong way, so ours stand alone.
        return texts::serviceUnreachable();
    case IPP_STATUS_ERROR_NOT_FOUND:
        return texts::printerNotFound(destination);
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
        return withReply(texts::printerNotAccepting(destination), failure);
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
        return withReply(texts::noPrintPermission(destination), failure);
    default:
        return withReply(otherwise, failure);
    }
}

// Whether the scheduler answers at all: libcups reports a missing destination also when it
// could not reach the scheduler to ask.
bool schedulerAnswers()
{
    std::unique_ptr<ipp_t, IppDeleter> response(
        cupsDoRequest(CUPS_HTTP_DEFAULT, ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/"));
    return cupsLastError() != IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
}

std::unique_ptr<cups_dest_t, DestDeleter> namedDest(const QString &destination, QString *error)
{
    std::unique_ptr<cups_dest_t, DestDeleter> dest(
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, destination.toUtf8().constData(), nullptr));
    if (!dest)
        *error =
            schedulerAnswers() ? texts::printerNotFound(destination) : texts::serviceUnreachable();
    return dest;
}

struct QueueState
{
    bool found = true;
    bool answered = true; // else `failure` says why not
    Failure failure;
    bool stopped = false;
    bool accepting = true;
    QStringList reasons; // printer-state-reasons, keywords such as media-jam-error
    QString why;         // printer-state-message, as its administrator or driver put it
};

QueueState queueState(const QString &destination)
{
    static const char *const kAttributes[] = {"printer-state", "printer-is-accepting-jobs",
                                              "printer-state-message", "printer-state-reasons"};
    QueueState state;
    const QByteArray name = destination.toUtf8();
    // A class answers only under its own resource.
    for (const char *kind : {"printers", "classes"}) {
        char uri[HTTP_MAX_URI];
        httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost",
                         ippPort(), "/%s/%s", kind, name.constData());
        ipp_t *request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      int(std::size(kAttributes)), nullptr, kAttributes);
        const std::unique_ptr<ipp_t, IppDeleter> response(
            cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
        state.failure = lastFailure();
        if (state.failure.status == IPP_STATUS_ERROR_NOT_FOUND)
            continue;
        if (!response || state.failure.status > IPP_STATUS_OK_EVENTS_COMPLETE) {
            state.answered = false;
            return state;
        }
        if (ipp_attribute_t *message =
                ippFindAttribute(response.get(), "printer-state-message", IPP_TAG_TEXT))
            state.why = QString::fromUtf8(ippGetString(message, 0, nullptr)).trimmed();
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
        return state;
    }
    state.found = false;
    return state;
}

// The reasons in our words; what we have no words for, and the queue's own message, follow
// as a detail. "paused" only repeats that the queue is stopped.
QString whyText(const QueueState &state)
{
    static const QRegularExpression severity(QStringLiteral("-(error|warning|report)$"));
    QStringList known;
    QStringList detail;
    for (const QString &reason : state.reasons) {
        const QString keyword = QString(reason).remove(severity);
        if (keyword == QLatin1String("none") || keyword == QLatin1String("paused"))
            continue;
        const QString text = texts::printerReason(keyword);
        (text.isEmpty() ? detail : known).append(text.isEmpty() ? reason : text);
    }
    if (!state.why.isEmpty())
        detail.prepend(state.why);
    if (known.isEmpty() && detail.isEmpty())
        return QString();
    return texts::printerState(known.join(QStringLiteral("、")), detail.join(QStringLiteral("、")));
}

QString stopped(const QString &destination, const QueueState &state)
{
    return texts::printerStopped(destination, whyText(state));
}

} // namespace

bool CupsSpooler::destinations(QStringList *names, QString *defaultName, QString *error)
{
    cups_dest_t *dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    std::unique_ptr<cups_dest_t, DestsDeleter> owner(dests, DestsDeleter{count});
    if (count == 0 && cupsLastError() == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE) {
        *error = texts::serviceUnreachable();
        return false;
    }
    names->clear();
    defaultName->clear();
    for (int i = 0; i < count; ++i) {
        // Instances are option sets of a queue, not printers of their own.
        if (dests[i].instance)
            continue;
        const QString name = QString::fromUtf8(dests[i].name);
        names->append(name);
        if (dests[i].is_default)
            *defaultName = name;
    }
    return true;
}

bool CupsSpooler::papers(const QString &destination, PrinterPapers *papers, QString *error)
{
    const auto dest = namedDest(destination, error);
    if (!dest)
        return false;
    const std::unique_ptr<cups_dinfo_t, InfoDeleter> info(
        cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest.get()));
    if (!info) {
        *error = describe(lastFailure(), destination, texts::papersUnknown(destination));
        return false;
    }

    *papers = PrinterPapers();
    const unsigned flags = CUPS_MEDIA_FLAGS_DEFAULT;
    const int count = cupsGetDestMediaCount(CUPS_HTTP_DEFAULT, dest.get(), info.get(), flags);
    for (int i = 0; i < count; ++i) {
        cups_size_t size;
        if (!cupsGetDestMediaByIndex(CUPS_HTTP_DEFAULT, dest.get(), info.get(), i, flags, &size))
            continue;
        const QString media = QString::fromUtf8(size.media);
        // Borderless variants print nothing different here and would double the list.
        if (media.endsWith(QLatin1String("_borderless")))
            continue;
        bool known = false;
        for (const Paper &paper : std::as_const(papers->papers))
            known |= paper.media == media;
        if (known)
            continue;
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
        *error = texts::noPapersOffered(destination);
        return false;
    }

    cups_size_t defaultSize;
    if (cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest.get(), info.get(), flags, &defaultSize))
        papers->defaultMedia =
            QString::fromUtf8(defaultSize.media).remove(QLatin1String("_borderless"));
    if (ipp_attribute_t *orientation =
            cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest.get(), info.get(), "orientation-requested");
        orientation && ippGetValueTag(orientation) == IPP_TAG_ENUM) {
        const int value = ippGetInteger(orientation, 0);
        if (value == IPP_ORIENT_PORTRAIT)
            papers->defaultOrientation = QPageLayout::Portrait;
        else if (value == IPP_ORIENT_LANDSCAPE)
            papers->defaultOrientation = QPageLayout::Landscape;
    }
    return true;
}

QString CupsSpooler::check(const QString &destination)
{
    const QueueState state = queueState(destination);
    if (!state.found)
        return texts::printerNotFound(destination);
    if (!state.answered)
        return describe(state.failure, destination, texts::printerStateUnknown(destination));
    if (state.stopped)
        return stopped(destination, state);
    if (!state.accepting)
        return texts::printerRejecting(destination, whyText(state));
    return QString();
}

QString CupsSpooler::submit(const QString &destination, const QString &title,
                            const QString &pdfFile, const JobOptions &options)
{
    cups_option_t *cupsOptions = nullptr;
    int optionCount = 0;
    for (const auto &option : options)
        optionCount = cupsAddOption(option.first.constData(), option.second.constData(),
                                    optionCount, &cupsOptions);
    // Creates the job, sends the file and cancels the job again if the file did not get through.
    const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, destination.toUtf8().constData(),
                                   pdfFile.toLocal8Bit().constData(), title.toUtf8().constData(),
                                   optionCount, cupsOptions);
    cupsFreeOptions(optionCount, cupsOptions);
    if (job > 0) {
        // A stopped queue takes the job and holds it, and the sheet would come out whenever
        // someone resumes the printer. It may have stopped since the check before drawing.
        const QueueState state = queueState(destination);
        if (!state.stopped)
            return QString();
        if (cupsCancelJob2(CUPS_HTTP_DEFAULT, destination.toUtf8().constData(), job, 1) !=
            IPP_STATUS_OK)
            return stopped(destination, state) + texts::jobNotWithdrawn();
        return stopped(destination, state);
    }
    const Failure failure = lastFailure();
    switch (failure.status) {
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
    case IPP_STATUS_ERROR_NOT_FOUND:
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
        break;
    default:
        // libcups reports a vanished queue or a lost scheduler as an internal error; the
        // destination's state says it better.
        if (const QString state = check(destination); !state.isEmpty())
            return state;
    }
    return describe(failure, destination, texts::jobRefused(destination));
}
