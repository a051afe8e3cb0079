#include "printing/printerchoice.h"

#include "printing/papernames.h"

#include <QSettings>

#include <cups/cups.h>

namespace {

const QString kKind = QStringLiteral("printer/kind");
const QString kDestination = QStringLiteral("printer/destination");
const QString kMedia = QStringLiteral("printer/media");
const QString kOrientation = QStringLiteral("printer/orientation");
const QString kDeviceUri = QStringLiteral("printer/deviceUri");

} // namespace

std::optional<PrinterChoice> loadPrinterChoice(QSettings &settings)
{
    const QString kind = settings.value(kKind).toString();
    if (kind != QLatin1String("queue") && kind != QLatin1String("pdf"))
        return std::nullopt;
    PrinterChoice choice;
    choice.pdfFile = kind == QLatin1String("pdf");
    choice.destination = settings.value(kDestination).toString();
    choice.media = settings.value(kMedia).toString();
    choice.deviceUri = settings.value(kDeviceUri).toString();
    choice.orientation = settings.value(kOrientation).toString() == QLatin1String("portrait")
                             ? QPageLayout::Portrait
                             : QPageLayout::Landscape;
    if (choice.media.isEmpty() || (!choice.pdfFile && choice.destination.isEmpty()))
        return std::nullopt;
    return choice;
}

bool savePrinterChoice(QSettings &settings, const PrinterChoice &choice)
{
    settings.setValue(kKind, choice.pdfFile ? QStringLiteral("pdf") : QStringLiteral("queue"));
    settings.setValue(kDestination, choice.pdfFile ? QString() : choice.destination);
    settings.setValue(kMedia, choice.media);
    settings.setValue(kDeviceUri, choice.pdfFile ? QString() : choice.deviceUri);
    settings.setValue(kOrientation, choice.orientation == QPageLayout::Portrait
                                        ? QStringLiteral("portrait")
                                        : QStringLiteral("landscape"));
    // A file that cannot be written shows only here.
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString preferredMedia(const PrinterPapers &papers)
{
    const QString a4 = QStringLiteral("iso_a4_210x297mm");
    for (const Paper &paper : papers.papers)
        if (paper.media == a4)
            return a4;
    return papers.defaultMedia.isEmpty() ? papers.papers.value(0).media : papers.defaultMedia;
}

QList<Paper> pdfPapers()
{
    const char *const known[] = {"iso_a4_210x297mm", "iso_a3_297x420mm", "iso_a5_148x210mm",
                                 "jis_b4_257x364mm", "jis_b5_182x257mm", "na_letter_8.5x11in",
                                 "na_legal_8.5x14in"};
    QList<Paper> papers;
    for (const char *media : known) {
        const pwg_media_t *size = pwgMediaForPWG(media);
        if (!size)
            continue;
        Paper paper;
        paper.media = QString::fromLatin1(media);
        paper.name = mediaDisplayName(paper.media);
        paper.sizeMm = QSizeF(size->width / 100.0, size->length / 100.0);
        papers.append(paper);
    }
    return papers;
}

QPointF printableOriginMm(const QMarginsF &uprightMarginsMm, QPageLayout::Orientation orientation)
{
    if (orientation == QPageLayout::Landscape)
        return QPointF(uprightMarginsMm.bottom(), uprightMarginsMm.left());
    return QPointF(uprightMarginsMm.left(), uprightMarginsMm.top());
}

QRectF printableAreaMm(const QSizeF &uprightSizeMm, const QMarginsF &uprightMarginsMm,
                       QPageLayout::Orientation orientation)
{
    const QSizeF upright(uprightSizeMm.width() - uprightMarginsMm.left() - uprightMarginsMm.right(),
                         uprightSizeMm.height() - uprightMarginsMm.top() -
                             uprightMarginsMm.bottom());
    return QRectF(printableOriginMm(uprightMarginsMm, orientation),
                  orientation == QPageLayout::Landscape ? upright.transposed() : upright);
}

QString mediaDisplayName(const QString &media)
{
    const QByteArray name = media.toUtf8();
    // A PPD or older name ("EnvMonarch", "ISOB5", "Letter") stands for a PWG one.
    const pwg_media_t *size = pwgMediaForPWG(name.constData());
    if (!size)
        size = pwgMediaForPPD(name.constData());
    if (!size)
        size = pwgMediaForLegacy(name.constData());
    if (!size)
        return media;
    return paperName(QString::fromUtf8(size->pwg), qRound(size->width / 100.0),
                     qRound(size->length / 100.0));
}
