#pragma once

// Measures a printed PDF page the way a ruler would, with poppler's tools: words with
// `pdftotext -bbox`, rings by rasterising with `pdftoppm`. Every place is in millimetres from
// the top-left corner of the first page as poppler shows it (its /Rotate applied).

#include <QByteArray>
#include <QImage>
#include <QLineF>
#include <QList>
#include <QPointF>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTextDocumentFragment>

#include <algorithm>
#include <cmath>

namespace pagemeasure {

inline constexpr double kMmPerPoint = 25.4 / 72.0;

inline QByteArray run(const QString &program, const QStringList &arguments, QString *error)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        *error = program + ' ' + arguments.join(' ') + ": " +
                 QString::fromLocal8Bit(process.readAllStandardError()) + process.errorString();
        process.kill();
        return {};
    }
    return process.readAllStandardOutput();
}

struct PageInfo
{
    int pages = 0;
    QSizeF sizeMm; // the first page as shown
};

inline PageInfo pageInfo(const QString &pdf, QString *error)
{
    const QString text = QString::fromUtf8(run(QStringLiteral("pdfinfo"), {pdf}, error));
    static const QRegularExpression pages(R"(^Pages:\s+(\d+))",
                                          QRegularExpression::MultilineOption);
    static const QRegularExpression size(R"(^Page size:\s+([\d.]+) x ([\d.]+) pts)",
                                         QRegularExpression::MultilineOption);
    static const QRegularExpression rotation(R"(^Page rot:\s+(\d+))",
                                             QRegularExpression::MultilineOption);
    const auto s = size.match(text);
    const QSizeF media = QSizeF(s.captured(1).toDouble(), s.captured(2).toDouble()) * kMmPerPoint;
    const bool turned = rotation.match(text).captured(1).toInt() % 180 != 0;
    return {pages.match(text).captured(1).toInt(), turned ? media.transposed() : media};
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
    const QByteArray html = run(QStringLiteral("pdftotext"),
                                {QStringLiteral("-bbox"), pdf, QStringLiteral("-")}, error);
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

// The names of the fonts the document uses (pdffonts), subset tags removed.
inline QStringList fonts(const QString &pdf, QString *error)
{
    const QList<QByteArray> lines = run(QStringLiteral("pdffonts"), {pdf}, error).split('\n');
    QStringList names;
    for (int i = 2; i < lines.size(); ++i) { // after the heading and its rule
        const QString name = QString::fromUtf8(lines[i]).section(QLatin1Char(' '), 0, 0);
        if (!name.isEmpty())
            names << name.section(QLatin1Char('+'), -1);
    }
    return names;
}

// The first page in grey at `dpi`, or only the part `cropMm` of it (rendered alone, so a fine
// raster of a small part costs little). The image's first pixel begins at *originMm.
inline QImage render(const QString &pdf, int dpi, const QRectF &cropMm, QPointF *originMm,
                     QString *error)
{
    const double dotsPerMm = dpi / 25.4;
    QStringList arguments = {QStringLiteral("-gray"), QStringLiteral("-f"), QStringLiteral("1"),
                             QStringLiteral("-l"),    QStringLiteral("1"),  QStringLiteral("-r"),
                             QString::number(dpi)};
    *originMm = QPointF();
    if (!cropMm.isNull()) {
        const QPoint first(int(std::floor(cropMm.left() * dotsPerMm)),
                           int(std::floor(cropMm.top() * dotsPerMm)));
        *originMm = QPointF(first) / dotsPerMm;
        arguments << QStringLiteral("-x") << QString::number(first.x()) << QStringLiteral("-y")
                  << QString::number(first.y()) << QStringLiteral("-W")
                  << QString::number(std::ceil(cropMm.width() * dotsPerMm)) << QStringLiteral("-H")
                  << QString::number(std::ceil(cropMm.height() * dotsPerMm));
    }
    arguments << pdf; // no output name: the PGM comes on stdout
    const QImage image = QImage::fromData(run(QStringLiteral("pdftoppm"), arguments, error), "PGM");
    if (image.isNull() && error->isEmpty())
        *error = QStringLiteral("pdftoppm gave no image");
    return image.convertToFormat(QImage::Format_Grayscale8);
}

struct Ring
{
    QPointF centreMm;
    double radiusMm = 0; // to the middle of the outline
};

// The ink within 1.5 mm of `nearMm`, taken as one ring: its darkness-weighted centre (so
// anti-aliasing gives far below a pixel) and the ink's mean distance from it.
inline Ring ring(const QString &pdf, const QPointF &nearMm, QString *error)
{
    constexpr int dpi = 2400;
    constexpr double mmPerDot = 25.4 / dpi;
    QPointF origin;
    const QImage image =
        render(pdf, dpi, QRectF(nearMm - QPointF(1.5, 1.5), QSizeF(3, 3)), &origin, error);
    double weight = 0;
    QPointF sum;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const double ink = (255 - image.constScanLine(y)[x]) / 255.0;
            weight += ink;
            sum += ink * QPointF(x + 0.5, y + 0.5);
        }
    if (weight <= 0) {
        *error = QStringLiteral("no ink near (%1, %2) mm").arg(nearMm.x()).arg(nearMm.y());
        return {};
    }
    const QPointF centre = sum / weight;
    double distance = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            distance += (255 - image.constScanLine(y)[x]) / 255.0 *
                        std::hypot(x + 0.5 - centre.x(), y + 0.5 - centre.y());
    return {origin + centre * mmPerDot, distance / weight * mmPerDot};
}

// How many inked pixels of the first page, at 150 dpi, lie farther than `radiusMm` from all
// of `placesMm`.
inline int inkElsewhere(const QString &pdf, const QList<QPointF> &placesMm, double radiusMm,
                        QString *error)
{
    constexpr double mmPerDot = 25.4 / 150;
    QPointF origin;
    const QImage page = render(pdf, 150, QRectF(), &origin, error);
    int stray = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            if (page.constScanLine(y)[x] == 255)
                continue;
            const QPointF at = QPointF(x + 0.5, y + 0.5) * mmPerDot;
            stray += std::none_of(placesMm.begin(), placesMm.end(), [&](const QPointF &place) {
                return QLineF(at, place).length() <= radiusMm;
            });
        }
    return stray;
}

} // namespace pagemeasure
