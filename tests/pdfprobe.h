#pragma once

// Measures a printed page the way a ruler would: words with poppler's pdftotext -bbox, marks
// by rasterising with pdftoppm and searching the dots. All places are in millimetres from the
// top-left corner of the page as poppler shows it (its rotation applied).

#include <QImage>
#include <QList>
#include <QPointF>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QTextDocumentFragment>

#include <cmath>

namespace pdfprobe {

inline constexpr double kMmPerPoint = 25.4 / 72.0;

struct Word
{
    QString text;
    QRectF mm; // the box poppler gives the word: left at the pen's start, top and bottom from
               // the font's ascent and descent
};

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
        *error = program + QLatin1String(" failed: ") +
                 QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

// Every page's words in reading order, page by page joined.
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
        const double x0 = m.captured(1).toDouble() * kMmPerPoint;
        const double y0 = m.captured(2).toDouble() * kMmPerPoint;
        const double x1 = m.captured(3).toDouble() * kMmPerPoint;
        const double y1 = m.captured(4).toDouble() * kMmPerPoint;
        found.append({QTextDocumentFragment::fromHtml(m.captured(5)).toPlainText(),
                      QRectF(QPointF(x0, y0), QPointF(x1, y1))});
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

// Pages and the size of the first, in millimetres, as poppler shows them.
inline QSizeF pageSizeMm(const QString &pdf, int *pages, QString *error)
{
    QByteArray info;
    if (!run(QStringLiteral("pdfinfo"), {pdf}, &info, error))
        return {};
    const QString text = QString::fromUtf8(info);
    static const QRegularExpression size(
        QStringLiteral(R"(Page size:\s+([0-9.]+) x ([0-9.]+) pts)"));
    static const QRegularExpression rotation(QStringLiteral(R"(Page rot:\s+([0-9]+))"));
    static const QRegularExpression count(QStringLiteral(R"(Pages:\s+([0-9]+))"));
    const auto s = size.match(text);
    if (pages)
        *pages = count.match(text).captured(1).toInt();
    QSizeF mm(s.captured(1).toDouble() * kMmPerPoint, s.captured(2).toDouble() * kMmPerPoint);
    if (rotation.match(text).captured(1).toInt() % 180 == 90)
        mm.transpose();
    return mm;
}

// The first page rendered in grey at `dpi`, optionally only the part `cropMm`.
inline QImage render(const QString &pdf, int dpi, const QRectF &cropMm, QString *error)
{
    QTemporaryDir dir;
    QStringList arguments = {QStringLiteral("-gray"), QStringLiteral("-singlefile"),
                             QStringLiteral("-f"),    QStringLiteral("1"),
                             QStringLiteral("-r"),    QString::number(dpi)};
    if (!cropMm.isNull()) {
        const double dots = dpi / 25.4;
        arguments << QStringLiteral("-x") << QString::number(std::floor(cropMm.left() * dots))
                  << QStringLiteral("-y") << QString::number(std::floor(cropMm.top() * dots))
                  << QStringLiteral("-W") << QString::number(std::ceil(cropMm.width() * dots))
                  << QStringLiteral("-H") << QString::number(std::ceil(cropMm.height() * dots));
    }
    const QString base = dir.filePath(QStringLiteral("page"));
    arguments << pdf << base;
    if (!run(QStringLiteral("pdftoppm"), arguments, nullptr, error))
        return {};
    QImage image(base + QStringLiteral(".pgm"));
    if (image.isNull())
        *error = QStringLiteral("pdftoppm wrote no image");
    return image.convertToFormat(QImage::Format_Grayscale8);
}

struct Mark
{
    QPointF centreMm;
    QSizeF sizeMm; // outer size of the inked dot or ring
};

// Small inked marks (dots, rings): found on a coarse raster, then each measured on a fine one
// by the darkness-weighted centre of its pixels. Anything larger than maxSizeMm is ignored.
inline QList<Mark> marks(const QString &pdf, QString *error, double maxSizeMm = 3.0)
{
    const int coarseDpi = 150;
    const QImage page = render(pdf, coarseDpi, QRectF(), error);
    if (page.isNull())
        return {};
    const double mmPerDot = 25.4 / coarseDpi;
    QList<QRect> blobs;
    QVector<bool> seen(page.width() * page.height(), false);
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (seen[y * page.width() + x] || qGray(page.pixel(x, y)) > 200)
                continue;
            QRect box(x, y, 1, 1);
            QList<QPoint> todo = {QPoint(x, y)};
            seen[y * page.width() + x] = true;
            while (!todo.isEmpty()) {
                const QPoint p = todo.takeLast();
                box = box.united(QRect(p, QSize(1, 1)));
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx) {
                        const QPoint q = p + QPoint(dx, dy);
                        if (q.x() < 0 || q.y() < 0 || q.x() >= page.width() ||
                            q.y() >= page.height() || seen[q.y() * page.width() + q.x()] ||
                            qGray(page.pixel(q)) > 200)
                            continue;
                        seen[q.y() * page.width() + q.x()] = true;
                        todo.append(q);
                    }
            }
            blobs.append(box);
        }
    }

    QList<Mark> found;
    for (const QRect &blob : std::as_const(blobs)) {
        if (blob.width() * mmPerDot > maxSizeMm || blob.height() * mmPerDot > maxSizeMm)
            continue;
        const double margin = 0.5;
        const QRectF around(blob.left() * mmPerDot - margin, blob.top() * mmPerDot - margin,
                            blob.width() * mmPerDot + 2 * margin,
                            blob.height() * mmPerDot + 2 * margin);
        const int fineDpi = 4800;
        const QImage fine = render(pdf, fineDpi, around, error);
        if (fine.isNull())
            return {};
        const double fineMm = 25.4 / fineDpi;
        const double originX = std::floor(around.left() * fineDpi / 25.4) * fineMm;
        const double originY = std::floor(around.top() * fineDpi / 25.4) * fineMm;
        double weight = 0, sumX = 0, sumY = 0;
        int left = fine.width(), right = -1, top = fine.height(), bottom = -1;
        for (int y = 0; y < fine.height(); ++y) {
            const uchar *line = fine.constScanLine(y);
            for (int x = 0; x < fine.width(); ++x) {
                const double ink = (255 - line[x]) / 255.0;
                if (ink <= 0)
                    continue;
                weight += ink;
                sumX += ink * (x + 0.5);
                sumY += ink * (y + 0.5);
                if (ink > 0.5) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        if (weight <= 0)
            continue;
        found.append({QPointF(originX + sumX / weight * fineMm, originY + sumY / weight * fineMm),
                      QSizeF((right - left + 1) * fineMm, (bottom - top + 1) * fineMm)});
    }
    return found;
}

} // namespace pdfprobe
