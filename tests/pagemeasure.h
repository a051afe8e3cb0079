#pragma once

// Measures a printed PDF page the way a ruler would, with poppler's tools: words with
// `pdftotext -bbox`, ink on the page at 600 dpi. Places are in millimetres from the
// top-left corner of the first page as poppler shows it.

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QTextDocumentFragment>

#include <cups/raster.h>

namespace pagemeasure {

inline constexpr double kMmPerPoint = 25.4 / 72.0;

struct Word
{
    QString text;
    QRectF mm; // left at the pen's start, top and bottom from the font's ascent and descent
};

// Each page, as a word of no text the size of the page, followed by its words.
inline QList<Word> words(const QString &pdf, QString *error)
{
    static const QRegularExpression box(
        R"re(<(?:page width="([\d.]+)" height="([\d.]+)"|word xMin="([-\d.]+)" yMin="([-\d.]+)" )re"
        R"re(xMax="([-\d.]+)" yMax="([-\d.]+)")>([^<]*))re");
    QProcess process;
    process.start("pdftotext", {"-bbox", pdf, "-"});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        *error += "pdftotext: " + process.readAllStandardError() + process.errorString();
    QList<Word> found;
    for (auto it = box.globalMatch(process.readAllStandardOutput()); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const auto mm = [&m](int i, int j) {
            return QPointF(m.captured(i).toDouble(), m.captured(j).toDouble()) * kMmPerPoint;
        };
        if (m.capturedLength(1) > 0)
            found.append({QString(), QRectF(QPointF(), mm(1, 2))});
        else
            found.append({QTextDocumentFragment::fromHtml(m.captured(7)).toPlainText(),
                          QRectF(mm(3, 4), mm(5, 6))});
    }
    return found;
}

inline constexpr double kDotsPerMm = 600 / 25.4;

// The first page in grey at 600 dpi: PWG raster as it is, PDF or PostScript through Ghostscript.
inline QImage image(const QString &file, QString *error)
{
    QFile in(file);
    if (in.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && in.read(4) == "RaS2" &&
        in.seek(0)) {
        cups_raster_t *pwg = cupsRasterOpen(in.handle(), CUPS_RASTER_READ);
        cups_page_header2_t head;
        QImage page;
        if (cupsRasterReadHeader2(pwg, &head) && head.cupsBitsPerPixel == 8)
            page = QImage(int(head.cupsWidth), int(head.cupsHeight), QImage::Format_Grayscale8);
        for (int y = 0; y < page.height(); ++y)
            cupsRasterReadPixels(pwg, page.scanLine(y), head.cupsBytesPerLine);
        cupsRasterClose(pwg);
        return page;
    }
    QProcess gs;
    gs.start("gs", {"-q", "-dSAFER", "-sDEVICE=pgmraw", "-r600", "-o", file + ".pgm", file});
    if (!gs.waitForFinished(60000) || gs.exitCode() != 0)
        *error += "gs: " + gs.readAll();
    QImageReader::setAllocationLimit(256); // MB: Qt counts four bytes a dot
    return QImage(file + ".pgm");
}

// The middle of the ink within a millimetre of a place, each dot weighted by how dark it is.
inline QPointF inkCentre(const QImage &page, const QPointF &nearMm)
{
    const QPoint corner = (nearMm * kDotsPerMm).toPoint() - QPoint(24, 24);
    QPointF sum;
    double ink = 0;
    for (int i = 0; i < 49 * 49; ++i) {
        const QPoint dot = corner + QPoint(i % 49, i / 49);
        const int dark = page.valid(dot) ? 255 - qGray(page.pixel(dot)) : 0;
        sum += (QPointF(dot) + QPointF(0.5, 0.5)) * dark;
        ink += dark;
    }
    return sum / ink / kDotsPerMm;
}

} // namespace pagemeasure
