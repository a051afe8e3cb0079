#pragma once

// Measures a printed PDF page the way a ruler would, with poppler's tools: words with
// `pdftotext -bbox`, rings by rasterising with `pdftoppm`. Places are in millimetres from the
// top-left corner of the first page as poppler shows it.

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTextDocumentFragment>

namespace pagemeasure {

inline constexpr double kMmPerPoint = 25.4 / 72.0;

inline QByteArray run(const QString &program, const QStringList &arguments, QString *error)
{
    QProcess process;
    process.start(program, arguments);
    if (process.waitForFinished(60000) && process.exitCode() == 0)
        return process.readAllStandardOutput();
    *error += program + ": " + process.readAllStandardError() + process.errorString();
    return {};
}

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
    QList<Word> found;
    for (auto it = box.globalMatch(run("pdftotext", {"-bbox", pdf, "-"}, error)); it.hasNext();) {
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

struct Ring
{
    QPointF centreMm;
    double radiusMm = 0; // to the middle of the outline
};

// The ink within 1.5 mm of `nearMm` at 2400 dpi, taken as one ring: its darkness-weighted centre
// (anti-aliasing gives far below a pixel) and the ink's mean distance from it.
inline Ring ring(const QString &pdf, const QPointF &nearMm, QString *error)
{
    constexpr double dotsPerMm = 2400 / 25.4;
    const QPoint first = ((nearMm - QPointF(1.5, 1.5)) * dotsPerMm).toPoint();
    const QString side = QString::number(int(3 * dotsPerMm));
    const QImage image = QImage::fromData(
        run("pdftoppm",
            {"-gray", "-r", "2400", "-f", "1", "-l", "1", "-x", QString::number(first.x()), "-y",
             QString::number(first.y()), "-W", side, "-H", side, pdf},
            error),
        "PGM");
    double weight = 0, distance = 0;
    QPointF sum;
    for (int pass = 0; pass < 2; ++pass)
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const double ink = 1 - qGray(image.pixel(x, y)) / 255.0;
                weight += pass ? 0 : ink;
                sum += pass ? QPointF() : ink * QPointF(x + 0.5, y + 0.5);
                distance +=
                    pass ? ink * QLineF(QPointF(x + 0.5, y + 0.5), sum / weight).length() : 0;
            }
    if (weight <= 0)
        *error += QString("no ink near (%1, %2) mm").arg(nearMm.x()).arg(nearMm.y());
    return {(QPointF(first) + sum / weight) / dotsPerMm, distance / weight / dotsPerMm};
}

} // namespace pagemeasure
