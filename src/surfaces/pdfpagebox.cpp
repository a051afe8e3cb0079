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
    const QRegularExpressionMatch box = kBox.match(text);
    const qsizetype table = text.lastIndexOf(QLatin1String("\nxref\n"));
    const qsizetype start = text.lastIndexOf(QLatin1String("\nstartxref\n"));
    if (!box.hasMatch() || kBox.match(text, box.capturedEnd()).hasMatch() ||
        table < box.capturedEnd() || start < table)
        return false;
    // The top stays where the drawing begins; the bottom and the right edge move to the sheet's.
    const double top = box.captured(2).toDouble();
    const QByteArray exact = "/MediaBox [0 " + number(top - points.height()) + ' ' +
                             number(points.width()) + ' ' + box.captured(2).toLatin1() + ']';
    const qsizetype moved = exact.size() - box.capturedLength();

    QByteArray written = pdf->left(box.capturedStart()) + exact;
    qsizetype from = box.capturedEnd();
    for (auto it = kEntry.globalMatch(text, table); it.hasNext();) {
        const QRegularExpressionMatch entry = it.next();
        const qsizetype offset = entry.captured(1).toLongLong();
        written += pdf->mid(from, entry.capturedStart() - from);
        written += QByteArray::number(offset + (offset > box.capturedStart() ? moved : 0))
                       .rightJustified(10, '0');
        from = entry.capturedStart(1) + 10;
    }
    const qsizetype after = start + int(qstrlen("\nstartxref\n"));
    written += pdf->mid(from, after - from);
    const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("\\D")), after);
    written += QByteArray::number(text.mid(after, end - after).toLongLong() + moved);
    written += pdf->mid(end);
    *pdf = written;
    return true;
}
