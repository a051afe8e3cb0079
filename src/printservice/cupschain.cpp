#include "printservice/cupschain.h"

#include <QRegularExpression>
#include <QTemporaryFile>

#include <cups/cups.h>

namespace {

// Whether a PPD's driver takes PostScript: a PostScript printer's own PPD names no filter; a
// driver's filter says which data it takes.
bool takesPostScript(const QByteArray &ppd)
{
    static const QRegularExpression filter(QStringLiteral(R"(^\*cupsFilter2?:\s*"(\S+))"),
                                           QRegularExpression::MultilineOption);
    bool any = false;
    for (auto it = filter.globalMatch(QString::fromLatin1(ppd)); it.hasNext();) {
        const QString takes = it.next().captured(1);
        if (takes == QLatin1String("application/vnd.cups-postscript") ||
            takes == QLatin1String("application/postscript"))
            return true;
        any = true;
    }
    return !any && ppd.startsWith("*PPD-Adobe");
}

} // namespace

JobOptions chainOptions(http_t *http, const QString &queueResource)
{
    // A class or a queue without a PPD (driverless) takes the page as it is.
    QTemporaryFile ppd;
    if (!http || !ppd.open() ||
        cupsGetFd(http, (queueResource + QLatin1String(".ppd")).toUtf8().constData(),
                  ppd.handle()) != HTTP_STATUS_OK ||
        !ppd.seek(0) || !takesPostScript(ppd.readAll()))
        return {};
    return {{"pdftops-renderer", "pdftops"}};
}
