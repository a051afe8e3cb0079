#pragma once

// Where things are on a printed PDF page, measured with poppler's tools as a printer would
// render it: text boxes from `pdftotext -bbox`, circle centres from a `pdftoppm` bitmap.
// Every length is in millimetres from the top-left corner of the page as displayed.

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <cmath>
#include <vector>

namespace pagemeasure {

constexpr double mmPerPoint = 25.4 / 72.0;

inline QByteArray run(const QString &program, const QStringList &args, QString *error = nullptr)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        if (error) {
            *error = program + ' ' + args.join(' ') + ": " +
                     QString::fromUtf8(process.readAllStandardError()) + process.errorString();
        }
        return {};
    }
    return process.readAllStandardOutput();
}

struct PageInfo
{
    int pages = 0;
    QSizeF size;      // of the first page, mm, before its rotation
    int rotation = 0; // the first page's /Rotate, degrees
};

inline PageInfo pageInfo(const QString &pdf)
{
    PageInfo info;
    const QString text = QString::fromUtf8(run("pdfinfo", {pdf}));
    const auto pages =
        QRegularExpression(R"(^Pages:\s+(\d+))", QRegularExpression::MultilineOption).match(text);
    const auto size = QRegularExpression(R"(^Page size:\s+([\d.]+) x ([\d.]+) pts)",
                                         QRegularExpression::MultilineOption)
                          .match(text);
    const auto rotation =
        QRegularExpression(R"(^Page rot:\s+(\d+))", QRegularExpression::MultilineOption)
            .match(text);
    if (pages.hasMatch())
        info.pages = pages.captured(1).toInt();
    if (size.hasMatch()) {
        info.size = QSizeF(size.captured(1).toDouble() * mmPerPoint,
                           size.captured(2).toDouble() * mmPerPoint);
    }
    if (rotation.hasMatch())
        info.rotation = rotation.captured(1).toInt();
    return info;
}

struct Word
{
    QString text;
    QRectF box; // xMin/xMax: pen start and end; yMin/yMax: the font's ascent and descent
};

inline QList<Word> words(const QString &pdf)
{
    QList<Word> list;
    const QString html =
        QString::fromUtf8(run("pdftotext", {"-bbox", "-f", "1", "-l", "1", pdf, "-"}));
    static const QRegularExpression word(
        R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">([^<]*)</word>)re");
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        const QPointF topLeft(m.captured(1).toDouble(), m.captured(2).toDouble());
        const QPointF bottomRight(m.captured(3).toDouble(), m.captured(4).toDouble());
        QString text = m.captured(5);
        text.replace("&lt;", "<")
            .replace("&gt;", ">")
            .replace("&quot;", "\"")
            .replace("&amp;", "&");
        list.append({text, QRectF(topLeft * mmPerPoint, bottomRight * mmPerPoint)});
    }
    return list;
}

struct Ring
{
    QPointF centre;
    double radius = 0; // to the middle of the outline
};

// The centres of circle outlines on the first page: dark, round, hollow blobs. The centre is
// the darkness-weighted centroid, so anti-aliasing gives well below a pixel.
inline QList<Ring> rings(const QString &pdf, int dpi = 300, QString *error = nullptr)
{
    QList<Ring> found;
    const QByteArray pgm =
        run("pdftoppm", {"-gray", "-r", QString::number(dpi), "-f", "1", "-l", "1", pdf}, error);
    // P5 <width> <height> 255 <bytes>
    static const QRegularExpression header(R"(^P5\s+(\d+)\s+(\d+)\s+(\d+)\s)");
    const auto m = header.match(QString::fromLatin1(pgm.left(64)));
    if (!m.hasMatch())
        return found;
    const int width = m.captured(1).toInt();
    const int height = m.captured(2).toInt();
    const auto *pixels = reinterpret_cast<const uchar *>(pgm.constData() + m.capturedLength());
    if (pgm.size() < m.capturedLength() + qint64(width) * height)
        return found;

    const double mmPerPixel = 25.4 / dpi;
    std::vector<bool> seen(size_t(width) * height, false);
    std::vector<int> stack;
    std::vector<int> blob;
    for (int start = 0; start < width * height; ++start) {
        if (seen[start] || pixels[start] >= 250)
            continue;
        blob.clear();
        stack.assign(1, start);
        seen[start] = true;
        while (!stack.empty()) {
            const int p = stack.back();
            stack.pop_back();
            blob.push_back(p);
            const int x = p % width, y = p / width;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= width || ny >= height)
                        continue;
                    const int q = ny * width + nx;
                    if (!seen[q] && pixels[q] < 250) {
                        seen[q] = true;
                        stack.push_back(q);
                    }
                }
            }
        }
        if (blob.size() < 30)
            continue;
        int minX = width, maxX = 0, minY = height, maxY = 0;
        double sum = 0, sx = 0, sy = 0;
        for (int p : blob) {
            const int x = p % width, y = p / width;
            minX = qMin(minX, x), maxX = qMax(maxX, x), minY = qMin(minY, y), maxY = qMax(maxY, y);
            const double w = 255 - pixels[p];
            sum += w, sx += w * (x + 0.5), sy += w * (y + 0.5);
        }
        const int w = maxX - minX + 1, h = maxY - minY + 1;
        if (w < 8 || std::abs(w - h) > 2)
            continue;
        const double cx = sx / sum, cy = sy / sum;
        double sr = 0, sr2 = 0;
        for (int p : blob) {
            const double wt = 255 - pixels[p];
            const double r = std::hypot(p % width + 0.5 - cx, p / width + 0.5 - cy);
            sr += wt * r, sr2 += wt * r * r;
        }
        const double meanR = sr / sum;
        const double spread = std::sqrt(qMax(0.0, sr2 / sum - meanR * meanR));
        const int centre = int(cy) * width + int(cx);
        if (spread > 0.12 * meanR || pixels[centre] < 250)
            continue; // not a thin round outline: a glyph or a filled shape
        found.append({QPointF(cx, cy) * mmPerPixel, meanR * mmPerPixel});
    }
    return found;
}

} // namespace pagemeasure
