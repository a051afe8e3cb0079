#pragma once

// Measures a printed PDF page the way a ruler would, with poppler's tools: words with
// `pdftotext -bbox`. Places are in millimetres from the
// top-left corner of the first page as poppler shows it.

#include <QProcess>
#include <QRegularExpression>
#include <QTextDocumentFragment>

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

} // namespace pagemeasure
