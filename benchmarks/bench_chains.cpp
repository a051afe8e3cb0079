// Where the letter's glyphs and the marks land through real CUPS filter chains, a PostScript
// driver (cups-filters' pdftops) and a raster driver (Ghostscript, PWG raster at 600 dpi), against
// the program's own page: as it printed before (a page of whole points, pdftops' default
// renderer) and now (the sheet's exact size, the options the chain needs). The page and each
// output are looked at in grey at 600 dpi; every blob of ink on the page (a stroke of a glyph, a
// mark) is paired with the nearest on the output, and the offsets of their middles are reported.
//
// build/benchmarks/bench_chains [offset-x offset-y [queue...]]   (offsets in tenths of a
// millimetre, default 123 -77; queues PostScript, Raster, default both)

#include "../tests/pagemeasure.h"
#include "../tests/privatecups.h"
#include "core/printoffset.h"
#include "layout/letterjob.h"
#include "layout/markjob.h"
#include "layout/placement.h"
#include "layout/printing.h"
#include "printing/cupsprinting.h"
#include "printservice/cupschain.h"
#include "printservice/cupsspooler.h"
#include "sampletexts.h"
#include "surfaces/japanesefont.h"
#include "surfaces/pdfsurface.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <numeric>
#include <optional>

namespace {

// Writes the page into a file of the bench's own.
struct FileTarget : PrintTarget
{
    std::unique_ptr<PrintSurface> open(const QString &title, QString *error) override
    {
        return PdfSurface::create(
            geometry, family, title,
            [this](const QString &pdf) {
                QFile::remove(file);
                return QFile::copy(pdf, file) ? QString() : QStringLiteral("copy failed");
            },
            error);
    }
    std::optional<AcceptedJob> accepted() const override { return std::nullopt; }
    PageGeometry geometry;
    QString family, file;
};

struct Blob
{
    QPointF centreMm;
    int dots = 0;
};

// The blobs of ink (8-connected dots darker than half grey), their middles in millimetres and
// their sizes in dots of 600 dpi.
QList<Blob> blobs(const QImage &page, double dotsPerMm = pagemeasure::kDotsPerMm)
{
    QList<Blob> found;
    QVector<uchar> seen(qsizetype(page.width()) * page.height(), 0);
    QList<QPoint> stack;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            if (seen[y * page.width() + x] || qGray(page.pixel(x, y)) >= 128)
                continue;
            Blob blob;
            QPointF sum;
            stack = {QPoint(x, y)};
            seen[y * page.width() + x] = 1;
            while (!stack.isEmpty()) {
                const QPoint dot = stack.takeLast();
                sum += QPointF(dot) + QPointF(0.5, 0.5);
                ++blob.dots;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const QPoint next = dot + QPoint(dx, dy);
                        if (!page.valid(next) || seen[next.y() * page.width() + next.x()] ||
                            qGray(page.pixel(next)) >= 128)
                            continue;
                        seen[next.y() * page.width() + next.x()] = 1;
                        stack.append(next);
                    }
            }
            blob.centreMm = sum / blob.dots / dotsPerMm;
            blob.dots = qRound(blob.dots * std::pow(pagemeasure::kDotsPerMm / dotsPerMm, 2));
            found.append(blob);
        }
    return found;
}

// The sheet as it lies: a landscape page, or the upright paper turned back.
QImage sheet(const QString &file, QString *error)
{
    QImage page = pagemeasure::image(file, error);
    if (page.height() > page.width())
        page = page.transformed(QTransform().rotate(90));
    return page.convertToFormat(QImage::Format_Grayscale8);
}

// A page at 2400 dpi, a quarter of a 600-dpi dot, as the sheet lies.
QImage drawn(const QString &pdf)
{
    QProcess gs;
    gs.start("gs", {"-q", "-dSAFER", "-sDEVICE=pgmraw", "-r2400", "-o", pdf + ".pgm", pdf});
    gs.waitForFinished(120000);
    QImageReader::setAllocationLimit(0);
    QImage page = QImage(pdf + ".pgm").convertToFormat(QImage::Format_Grayscale8);
    QFile::remove(pdf + ".pgm");
    if (page.height() > page.width())
        page = page.transformed(QTransform().rotate(90));
    return page;
}

struct Scatter
{
    double blobMaxMm = 0; // the largest offset of one blob
    double itemMaxMm = 0; // of one item (a text, a mark): its blobs' offsets averaged
    QPointF meanMm;       // over all blobs
    int paired = 0, blobs = 0, items = 0;
};

// Each blob of the page paired with the output's nearest blob of about its size; blobs less
// than 3 mm apart on a line make one item.
Scatter compare(const QList<Blob> &page, const QList<Blob> &output)
{
    Scatter scatter;
    scatter.blobs = page.size();
    QList<int> item(page.size());
    std::iota(item.begin(), item.end(), 0);
    const auto root = [&item](int i) {
        while (item[i] != i)
            i = item[i] = item[item[i]];
        return i;
    };
    QList<std::optional<QPointF>> offsets;
    for (int i = 0; i < page.size(); ++i) {
        const Blob &blob = page[i];
        for (int j = 0; j < i; ++j)
            if (std::abs(page[j].centreMm.x() - blob.centreMm.x()) < 3 &&
                std::abs(page[j].centreMm.y() - blob.centreMm.y()) < 1.5)
                item[root(i)] = root(j);
        const Blob *best = nullptr;
        double nearest = 0.3; // mm: further is another blob
        for (const Blob &other : output) {
            const QPointF d = other.centreMm - blob.centreMm;
            const double distance = std::hypot(d.x(), d.y());
            if (distance < nearest && std::abs(other.dots - blob.dots) <= blob.dots / 2 + 4) {
                nearest = distance;
                best = &other;
            }
        }
        offsets.append(best ? std::optional(best->centreMm - blob.centreMm) : std::nullopt);
        if (!best)
            continue;
        const QPointF d = *offsets.last();
        scatter.blobMaxMm = std::max({scatter.blobMaxMm, std::abs(d.x()), std::abs(d.y())});
        scatter.meanMm += d;
        ++scatter.paired;
    }
    if (scatter.paired)
        scatter.meanMm /= scatter.paired;
    QHash<int, QPair<QPointF, int>> items;
    for (int i = 0; i < page.size(); ++i)
        if (offsets[i]) {
            items[root(i)].first += *offsets[i];
            ++items[root(i)].second;
        }
    for (const auto &[sum, count] : std::as_const(items)) {
        const QPointF d = sum / count;
        scatter.itemMaxMm = std::max({scatter.itemMaxMm, std::abs(d.x()), std::abs(d.y())});
    }
    scatter.items = items.size();
    return scatter;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const PrintOffset offset{args.value(1, "123").toInt(), args.value(2, "-77").toInt()};
    QTemporaryDir work;
    PrivateCups cups;
    if (!cups.start() || !cups.addQueue("PostScript", "drv:///sample.drv/generic.ppd") ||
        !cups.addQueue("Raster", SORAFU_SOURCE_DIR "/tests/ppd/raster.ppd")) {
        std::fprintf(stderr, "%s\n", qPrintable(cups.lastError));
        return 1;
    }
    QString error;
    FileTarget target;
    target.family = japaneseFontFamily(&error);
    Letter letter;
    letter.setDelegatedMatterTicked(true);
    for (int i = 0; i < kFieldCount; ++i)
        letter.setText(fieldAt(i), kTexts[i]);

    std::printf("queue       page    job     blobs paired items  blob max  item max  "
                "mean dx, dy (mm)\n");
    for (const QString queue : {"PostScript", "Raster"}) {
        if (args.size() > 3 && !args.mid(3).contains(queue))
            continue;
        const PrinterChoice choice{false, queue, "iso_a4_210x297mm", QPageLayout::Landscape};
        CupsSpooler spooler;
        if (!choicePage(choice, spooler, &target.geometry, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        const QSizeF exact = target.geometry.uprightMm;
        for (const bool now : {false, true}) {
            // Before: the page Qt writes, in whole points, and no option for the chain.
            target.geometry.uprightMm =
                now ? exact : QSizeF(target.geometry.pageSize.sizePoints()) * 25.4 / 72;
            for (const bool marks : {false, true}) {
                target.file = work.filePath(queue + (marks ? "-marks.pdf" : "-letter.pdf"));
                PrintPlacement placement;
                error = marks ? printMarks(offset, target, placement)
                              : printLetter(letter, offset, target, placement);
                QStringList lp = {"-h", cups.server(), "-d", queue};
                JobOptions options = CupsPrinting::jobOptions(choice);
                if (now) {
                    http_t *http = httpConnect2(cups.server().toUtf8(), 0, nullptr, AF_LOCAL,
                                                HTTP_ENCRYPTION_NEVER, 1, 5000, nullptr);
                    options += chainOptions(http, "/printers/" + queue);
                    httpClose(http);
                }
                for (const auto &[name, value] : options)
                    lp << "-o" << name + '=' + value;
                QProcess submit;
                submit.start("lp", lp << target.file);
                submit.waitForFinished();
                const int id =
                    QString(submit.readAll()).section('-', -1).section(' ', 0, 0).toInt();
                const QString output = cups.output(queue, id, &error);
                if (output.isEmpty()) {
                    std::fprintf(stderr, "%s\n", qPrintable(error));
                    return 1;
                }
                const Scatter s =
                    compare(blobs(drawn(target.file), 2400 / 25.4),
                            // PostScript is drawn as finely as the page; raster is as it is.
                            queue == "Raster" ? blobs(sheet(output, &error))
                                              : blobs(drawn(output), 2400 / 25.4));
                std::printf("%-11s %-7s %-7s %5d %6d %5d  %8.4f  %8.4f  %+.4f, %+.4f\n",
                            qPrintable(queue), now ? "exact" : "842x595",
                            marks ? "marks" : "letter", s.blobs, s.paired, s.items, s.blobMaxMm,
                            s.itemMaxMm, s.meanMm.x(), s.meanMm.y());
                std::fflush(stdout);
            }
        }
    }
    return 0;
}
