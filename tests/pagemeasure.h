#pragma once

// Measures a printed PDF page the way a ruler would, with poppler's tools: words with
// `pdftotext -bbox`, circles by rasterising with `pdftoppm` and searching the rings. Every place
// is in millimetres from the top-left corner of the page as poppler shows it (its /Rotate
// applied).

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QSizeF>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTextDocumentFragment>

#include <algorithm>
#include <cmath>
#include <vector>

namespace pagemeasure {

inline constexpr double kMmPerPoint = 25.4 / 72.0;

// The poppler tools these helpers need, or the ones missing.
inline QStringList missingTools()
{
    QStringList missing;
    for (const char *tool : {"pdftotext", "pdftoppm", "pdfinfo", "pdffonts"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            missing << QString::fromLatin1(tool);
    return missing;
}

inline bool run(const QString &program, const QStringList &arguments, QByteArray *output,
                QString *error)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        *error = program + ' ' + arguments.join(' ') + ": " +
                 QString::fromLocal8Bit(process.readAllStandardError()) + process.errorString();
        process.kill();
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

struct PageInfo
{
    int pages = 0;
    QSizeF mediaMm;   // the first page's MediaBox, before its rotation
    int rotation = 0; // the first page's /Rotate, degrees
    // The first page as poppler shows it.
    QSizeF shownMm() const { return rotation % 180 ? mediaMm.transposed() : mediaMm; }
};

inline PageInfo pageInfo(const QString &pdf, QString *error)
{
    PageInfo info;
    QByteArray output;
    if (!run(QStringLiteral("pdfinfo"), {pdf}, &output, error))
        return info;
    const QString text = QString::fromUtf8(output);
    static const QRegularExpression pages(R"(^Pages:\s+(\d+))",
                                          QRegularExpression::MultilineOption);
    static const QRegularExpression size(R"(^Page size:\s+([\d.]+) x ([\d.]+) pts)",
                                         QRegularExpression::MultilineOption);
    static const QRegularExpression rotation(R"(^Page rot:\s+(\d+))",
                                             QRegularExpression::MultilineOption);
    info.pages = pages.match(text).captured(1).toInt();
    const auto s = size.match(text);
    info.mediaMm = QSizeF(s.captured(1).toDouble(), s.captured(2).toDouble()) * kMmPerPoint;
    info.rotation = rotation.match(text).captured(1).toInt();
    return info;
}

struct Word
{
    QString text;
    // Left at the pen's start, top and bottom from the font's ascent and descent (for upright
    // text; a turned word's box is turned with it).
    QRectF mm;
};

// Every page's words, in poppler's reading order.
inline QList<Word> words(const QString &pdf, QString *error)
{
    QByteArray html;
    if (!run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")},
             &html, error))
        return {};
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([-0-9.]+)" yMin="([-0-9.]+)" xMax="([-0-9.]+)" yMax="([-0-9.]+)">(.*?)</word>)re"));
    QList<Word> found;
    auto it = word.globalMatch(QString::fromUtf8(html));
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QPointF topLeft(m.captured(1).toDouble(), m.captured(2).toDouble());
        const QPointF bottomRight(m.captured(3).toDouble(), m.captured(4).toDouble());
        found.append({QTextDocumentFragment::fromHtml(m.captured(5)).toPlainText(),
                      QRectF(topLeft * kMmPerPoint, bottomRight * kMmPerPoint)});
    }
    return found;
}

// The first word with exactly this text; a null box when there is none.
inline Word find(const QList<Word> &words, const QString &text)
{
    for (const Word &word : words)
        if (word.text == text)
            return word;
    return {};
}

// The names of the fonts the document uses (pdffonts), subset tags removed.
inline QStringList fonts(const QString &pdf, QString *error)
{
    QByteArray listing;
    if (!run(QStringLiteral("pdffonts"), {pdf}, &listing, error))
        return {};
    QStringList names;
    const QList<QByteArray> lines = listing.split('\n');
    for (int i = 2; i < lines.size(); ++i) { // after the heading and its rule
        const QString name = QString::fromUtf8(lines[i]).section(QLatin1Char(' '), 0, 0);
        if (!name.isEmpty())
            names << name.section(QLatin1Char('+'), -1);
    }
    return names;
}

// The first page in grey at `dpi`, or only the part `cropMm` of it (rendered alone, so a fine
// raster of a small part costs little).
inline QImage render(const QString &pdf, int dpi, const QRectF &cropMm, QString *error)
{
    QStringList arguments = {QStringLiteral("-gray"), QStringLiteral("-f"), QStringLiteral("1"),
                             QStringLiteral("-l"),    QStringLiteral("1"),  QStringLiteral("-r"),
                             QString::number(dpi)};
    if (!cropMm.isNull()) {
        const double dots = dpi / 25.4;
        arguments << QStringLiteral("-x") << QString::number(std::floor(cropMm.left() * dots))
                  << QStringLiteral("-y") << QString::number(std::floor(cropMm.top() * dots))
                  << QStringLiteral("-W") << QString::number(std::ceil(cropMm.width() * dots))
                  << QStringLiteral("-H") << QString::number(std::ceil(cropMm.height() * dots));
    }
    arguments << pdf; // no output name: the PGM comes on stdout
    QByteArray pgm;
    if (!run(QStringLiteral("pdftoppm"), arguments, &pgm, error))
        return {};
    QImage image = QImage::fromData(pgm, "PGM");
    if (image.isNull()) {
        *error = QStringLiteral("pdftoppm gave no image");
        return {};
    }
    return image.convertToFormat(QImage::Format_Grayscale8);
}

struct Ring
{
    QPointF centreMm;
    double radiusMm = 0; // to the middle of the outline
    QSizeF sizeMm;       // outer size of the outline
};

namespace detail {

// How ink lies around its darkness-weighted centre, in pixels of `image` (inside `area`).
struct InkShape
{
    double weight = 0;
    QPointF centre;
    double meanRadius = 0;
    double radiusSpread = 0;
    bool hollow = false; // no ink at the centre
    QRect solid;         // pixels at least half inked
};

inline InkShape inkShape(const QImage &image, const QRect &area)
{
    InkShape shape;
    double sumX = 0, sumY = 0;
    int left = area.right() + 1, right = area.left() - 1;
    int top = area.bottom() + 1, bottom = area.top() - 1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar *line = image.constScanLine(y);
        for (int x = area.left(); x <= area.right(); ++x) {
            const double ink = (255 - line[x]) / 255.0;
            if (ink <= 0)
                continue;
            shape.weight += ink;
            sumX += ink * (x + 0.5);
            sumY += ink * (y + 0.5);
            if (ink >= 0.5) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    }
    if (shape.weight <= 0)
        return shape;
    shape.centre = QPointF(sumX, sumY) / shape.weight;
    shape.solid = QRect(QPoint(left, top), QPoint(right, bottom));
    double sumR = 0, sumR2 = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar *line = image.constScanLine(y);
        for (int x = area.left(); x <= area.right(); ++x) {
            const double ink = (255 - line[x]) / 255.0;
            const double r = std::hypot(x + 0.5 - shape.centre.x(), y + 0.5 - shape.centre.y());
            sumR += ink * r;
            sumR2 += ink * r * r;
        }
    }
    shape.meanRadius = sumR / shape.weight;
    shape.radiusSpread =
        std::sqrt(std::max(0.0, sumR2 / shape.weight - shape.meanRadius * shape.meanRadius));
    const QPoint middle(int(std::floor(shape.centre.x())), int(std::floor(shape.centre.y())));
    shape.hollow = area.contains(middle) && image.constScanLine(middle.y())[middle.x()] >= 250;
    return shape;
}

// A thin round outline, not a glyph or a filled shape.
inline bool ringLike(const InkShape &shape)
{
    return shape.weight > 0 && shape.hollow && shape.radiusSpread < 0.25 * shape.meanRadius;
}

} // namespace detail

// The circle outlines on the first page, up to maxSizeMm across: found on a coarse raster, then
// each measured on a fine one (the darkness-weighted centre, so anti-aliasing gives far below a
// pixel). Glyphs and filled shapes are not taken for circles.
inline QList<Ring> rings(const QString &pdf, QString *error, double maxSizeMm = 6.0)
{
    constexpr int coarseDpi = 150;
    const QImage page = render(pdf, coarseDpi, QRectF(), error);
    if (page.isNull())
        return {};
    const double coarseMm = 25.4 / coarseDpi;
    const int width = page.width(), height = page.height();

    // Inked pixels, joined across gaps of a pixel: a thin outline is broken on a coarse raster.
    QList<QRect> blobs;
    std::vector<bool> seen(size_t(width) * height, false);
    std::vector<QPoint> todo;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (seen[size_t(y) * width + x] || page.constScanLine(y)[x] > 230)
                continue;
            QRect box(x, y, 1, 1);
            todo.assign(1, QPoint(x, y));
            seen[size_t(y) * width + x] = true;
            while (!todo.empty()) {
                const QPoint p = todo.back();
                todo.pop_back();
                box = box.united(QRect(p, QSize(1, 1)));
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx) {
                        const int qx = p.x() + dx, qy = p.y() + dy;
                        if (qx < 0 || qy < 0 || qx >= width || qy >= height ||
                            seen[size_t(qy) * width + qx] || page.constScanLine(qy)[qx] > 230)
                            continue;
                        seen[size_t(qy) * width + qx] = true;
                        todo.push_back(QPoint(qx, qy));
                    }
            }
            blobs.append(box);
        }
    }

    QList<Ring> found;
    for (const QRect &blob : std::as_const(blobs)) {
        const double w = blob.width() * coarseMm, h = blob.height() * coarseMm;
        if (w > maxSizeMm || h > maxSizeMm || std::fabs(w - h) > 0.25 * std::max(w, h) + coarseMm)
            continue;
        // Big enough to judge here: spare the fine raster what is plainly no ring.
        if (std::max(w, h) > 1.5 && !detail::ringLike(detail::inkShape(page, blob)))
            continue;

        const double margin = 0.5;
        const QRectF around = QRectF(blob.left() * coarseMm - margin,
                                     blob.top() * coarseMm - margin, w + 2 * margin, h + 2 * margin)
                                  .intersected(QRectF(0, 0, width * coarseMm, height * coarseMm));
        // About 600 pixels across the part, at most 4800 dpi.
        const int fineDpi = std::clamp(int(600 / (around.width() / 25.4)), 600, 4800);
        const QImage fine = render(pdf, fineDpi, around, error);
        if (fine.isNull())
            return {};
        const detail::InkShape shape = detail::inkShape(fine, fine.rect());
        if (!detail::ringLike(shape))
            continue;
        const double fineMm = 25.4 / fineDpi;
        const QPointF origin(std::floor(around.left() * fineDpi / 25.4) * fineMm,
                             std::floor(around.top() * fineDpi / 25.4) * fineMm);
        found.append({origin + shape.centre * fineMm, shape.meanRadius * fineMm,
                      QSizeF(shape.solid.width() * fineMm, shape.solid.height() * fineMm)});
    }
    return found;
}

} // namespace pagemeasure
