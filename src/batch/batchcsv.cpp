#include "batch/batchcsv.h"

#include "batch/batchfile.h"
#include "system/paths.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <csv.h>

namespace {

// One cell, always quoted, its quotes doubled: safe for commas and line breaks in addresses.
void appendCell(QByteArray *out, const QString &text)
{
    const QByteArray cell = text.toUtf8();
    QByteArray quoted(cell.size() * 2 + 2, Qt::Uninitialized);
    quoted.truncate(qsizetype(
        csv_write(quoted.data(), size_t(quoted.size()), cell.constData(), size_t(cell.size()))));
    out->append(quoted);
}

void appendRow(QByteArray *out, const QStringList &cells)
{
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out->append(',');
        appendCell(out, cells[i]);
    }
    out->append("\r\n");
}

} // namespace

QByteArray batchTemplate()
{
    return batchCsv({});
}

QByteArray batchCsv(const QList<Letter> &letters)
{
    QByteArray out("\xEF\xBB\xBF");
    QStringList header;
    for (int i = 0; i < kFieldCount; ++i)
        header.append(batchColumnName(fieldAt(i)));
    appendRow(&out, header);
    for (const Letter &letter : letters) {
        QStringList cells;
        for (int i = 0; i < kFieldCount; ++i)
            cells.append(letter.text(fieldAt(i)));
        // A matter that is not ticked did not print; written out, it would tick the box.
        if (!letter.delegatedMatterTicked())
            cells[int(Field::DelegatedMatter)].clear();
        appendRow(&out, cells);
    }
    return out;
}

QString writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    if (replaceFile(path, bytes))
        return QString();
    return QCoreApplication::translate("BatchCsv", "ファイル「%1」を保存できませんでした。\n%2")
        .arg(QFileInfo(path).fileName(), whyNotWritten(path));
}
