#include "surfaces/pdfpagebox.h"

#include <QList>
#include <QRegularExpression>

namespace {

// Qt writes "/MediaBox [0 0 842.000000 595.000000]" and draws from its top-left corner down.
const QRegularExpression kBox(QStringLiteral(R"(/MediaBox \[0 0 ([\d.]+) ([\d.]+)\])"));
// The table's entries: a ten-digit offset, a generation, "n" for an object in use.
const QRegularExpression kEntry(QStringLiteral(R"((\d{10}) (\d{5}) n)"));

QByteArray number(double value)
{
    return QByteArray::number(value, 'f', 4);
}

} // namespace

bool setExactPageBox(QByteArray *pdf, const QSizeF &points)
{
    const QString text = QString::fromLatin1(*pdf);
    const qsizetype table = text.lastIndexOf(QLatin1String("\nxref\n"));
    const qsizetype start = text.lastIndexOf(QLatin1String("\nstartxref\n"));
    if (table < 0 || start < table)
        return false;
    // Every page's box, where it was and how much longer it became.
    QList<std::pair<qsizetype, qsizetype>> moves;
    QByteArray written;
    qsizetype from = 0;
    for (auto it = kBox.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch box = it.next();
        if (box.capturedEnd() > table)
            return false;
        // The top stays where the drawing begins; the bottom and the right edge move to the
        // sheet's.
        const double top = box.captured(2).toDouble();
        const QByteArray exact = "/MediaBox [0 " + number(top - points.height()) + ' ' +
                                 number(points.width()) + ' ' + box.captured(2).toLatin1() + ']';
        written += pdf->mid(from, box.capturedStart() - from) + exact;
        from = box.capturedEnd();
        moves.append({box.capturedStart(), exact.size() - box.capturedLength()});
    }
    if (moves.isEmpty())
        return false;
    // An offset of the file as Qt wrote it, after the rewrite: every box before it moved it.
    const auto moved = [&moves](qsizetype offset) {
        for (const auto &[at, by] : moves)
            offset += at < offset ? by : 0;
        return offset;
    };
    for (auto it = kEntry.globalMatch(text, table); it.hasNext();) {
        const QRegularExpressionMatch entry = it.next();
        written += pdf->mid(from, entry.capturedStart() - from);
        written +=
            QByteArray::number(moved(entry.captured(1).toLongLong())).rightJustified(10, '0');
        from = entry.capturedStart(1) + 10;
    }
    const qsizetype after = start + int(qstrlen("\nstartxref\n"));
    written += pdf->mid(from, after - from);
    const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("\\D")), after);
    written += QByteArray::number(moved(text.mid(after, end - after).toLongLong()));
    written += pdf->mid(end);
    *pdf = written;
    return true;
}
