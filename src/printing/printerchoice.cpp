#include "printing/printerchoice.h"

#include "printing/papernames.h"
#include "printing/printservice.h"

#include <QCoreApplication>
#include <QPageSize>
#include <QSettings>

namespace {

const QString kKind = QStringLiteral("printer/kind");
const QString kDestination = QStringLiteral("printer/destination");
const QString kMedia = QStringLiteral("printer/media");
const QString kOrientation = QStringLiteral("printer/orientation");
const QString kDeviceUri = QStringLiteral("printer/deviceUri");

// libcups' name for a size printed to its edges.
const QLatin1String kBorderless("_borderless");

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

const Paper *findPaper(const QList<Paper> &papers, const QString &media)
{
    for (const Paper &paper : papers)
        if (paper.media == media)
            return &paper;
    return nullptr;
}

QString preferredMedia(const PrinterPapers &papers)
{
    for (const QString &a4 :
         {QStringLiteral("iso_a4_210x297mm"), QStringLiteral("iso_a4_210x297mm_borderless")})
        if (findPaper(papers.papers, a4))
            return a4;
    return papers.defaultMedia.isEmpty() ? papers.papers.value(0).media : papers.defaultMedia;
}

void offerEachSizeOnce(PrinterPapers *papers)
{
    const PrinterPapers all = *papers;
    papers->papers.clear();
    for (const Paper &paper : all.papers)
        if (!findPaper(papers->papers, paper.media) &&
            !(paper.media.endsWith(kBorderless) &&
              findPaper(all.papers, paper.media.chopped(kBorderless.size()))))
            papers->papers.append(paper);
    if (!papers->defaultMedia.endsWith(kBorderless))
        return;
    const QString bordered = papers->defaultMedia.chopped(kBorderless.size());
    if (findPaper(papers->papers, bordered))
        papers->defaultMedia = bordered;
}

QList<Paper> pdfPapers()
{
    const std::pair<const char *, QPageSize::PageSizeId> known[] = {
        {"iso_a4_210x297mm", QPageSize::A4},    {"iso_a3_297x420mm", QPageSize::A3},
        {"iso_a5_148x210mm", QPageSize::A5},    {"jis_b4_257x364mm", QPageSize::JisB4},
        {"jis_b5_182x257mm", QPageSize::JisB5}, {"na_letter_8.5x11in", QPageSize::Letter},
        {"na_legal_8.5x14in", QPageSize::Legal}};
    QList<Paper> papers;
    for (const auto &[media, id] : known) {
        Paper paper;
        paper.media = QString::fromLatin1(media);
        paper.name = mediaDisplayName(paper.media);
        paper.sizeMm = QPageSize(id).size(QPageSize::Millimeter);
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
    if (media.endsWith(kBorderless)) {
        const QString bordered = media.chopped(kBorderless.size());
        const QString name = mediaDisplayName(bordered);
        return name == bordered
                   ? media
                   : QCoreApplication::translate("PaperNames", "%1（ふちなし）").arg(name);
    }
    const std::optional<MediaSize> size = mediaSize(media);
    if (!size)
        return media;
    return paperName(size->pwg, qRound(size->widthMm), qRound(size->lengthMm));
}
