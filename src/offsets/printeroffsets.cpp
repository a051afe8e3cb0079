#include "offsets/printeroffsets.h"

#include "core/numbers.h"
#include "core/offsetfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>

namespace {

struct PrinterOffsetTexts
{
    Q_DECLARE_TR_FUNCTIONS(PrinterOffsets)
};

const QByteArray kPdf = "pdf";
const QByteArray kQueue = "printer";
// Only what could break a line or a cell (blanks, tabs, line ends, %) is encoded: a device's
// address stays readable.
QByteArray encoded(const QString &name)
{
    return QUrl::toPercentEncoding(name, "!$&'()*+,;=:@/?#[]");
}

} // namespace

PrinterOffsetFile::PrinterOffsetFile(const QString &directory)
    : m_path(offsetFilePath(directory, kPrinterOffsetsFile))
{
}

qsizetype entryFor(const QList<PrinterOffsetFile::Entry> &entries, const PrinterIdentity &printer)
{
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const PrinterIdentity &kept = entries[i].printer;
        if (printer.pdfFile || kept.pdfFile) {
            if (printer.pdfFile && kept.pdfFile)
                return i;
            continue;
        }
        if (!printer.deviceUri.isEmpty() && kept.deviceUri == printer.deviceUri)
            return i;
    }
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const PrinterIdentity &kept = entries[i].printer;
        if (!printer.pdfFile && !kept.pdfFile && kept.queue == printer.queue &&
            (kept.deviceUri.isEmpty() || printer.deviceUri.isEmpty()))
            return i;
    }
    return -1;
}

// A line: kind, queue, device, left/right, up/down, separated by tabs; names percent-encoded, so
// no name can break a line.
bool PrinterOffsetFile::read(QList<Entry> *entries, QString *problem) const
{
    entries->clear();
    // None kept yet: the first ズレ保存 on a printer makes the file.
    if (!QFileInfo(m_path).exists() && !QFileInfo(m_path).isSymLink())
        return true;
    QByteArray content;
    if (const QString why = readOffsetBytes(m_path, &content); !why.isEmpty()) {
        *problem = PrinterOffsetTexts::tr("「%1」\n%2").arg(QDir::toNativeSeparators(m_path), why);
        return false;
    }
    const QList<QByteArray> lines = content.split('\n');
    for (qsizetype number = 0; number < lines.size(); ++number) {
        const QByteArray line = lines[number].trimmed();
        if (line.isEmpty())
            continue;
        const QList<QByteArray> cells = line.split('\t');
        Entry entry;
        bool leftRight = false, upDown = false;
        if (cells.size() == 5) {
            entry.printer.pdfFile = cells[0] == kPdf;
            entry.printer.queue = QUrl::fromPercentEncoding(cells[1]);
            entry.printer.deviceUri = QUrl::fromPercentEncoding(cells[2]);
            entry.offset.leftRight = QLocale::c().toInt(cells[3], &leftRight);
            entry.offset.upDown = QLocale::c().toInt(cells[4], &upDown);
        }
        const bool kind = cells.value(0) == kPdf || cells.value(0) == kQueue;
        if (!kind || !leftRight || !upDown || !withinOffsetRange(entry.offset.leftRight) ||
            !withinOffsetRange(entry.offset.upDown) ||
            (!entry.printer.pdfFile && entry.printer.queue.isEmpty())) {
            *problem = PrinterOffsetTexts::tr("「%1」\n%2 行目を読み取れません（中身が壊れて"
                                              "います）。")
                           .arg(QDir::toNativeSeparators(m_path))
                           .arg(number + 1);
            return false;
        }
        entries->append(entry);
    }
    return true;
}

std::optional<PrintOffset> PrinterOffsetFile::find(const PrinterIdentity &printer, QString *why)
{
    QList<Entry> entries;
    if (!read(&entries, why))
        return std::nullopt;
    const qsizetype found = entryFor(entries, printer);
    return found < 0 ? std::nullopt : std::optional(entries[found].offset);
}

QString PrinterOffsetFile::save(const PrinterIdentity &printer,
                                const std::optional<PrintOffset> &kept)
{
    QList<Entry> entries;
    QString problem;
    // A damaged file may still hold other printers' calibrations: it is left for the clerk.
    if (!read(&entries, &problem))
        return PrinterOffsetTexts::tr("%1\nこのファイルは変更していません。ファイルを直すか、"
                                      "別の名前に変えてから、もう一度「ズレ保存」を押して"
                                      "ください。")
            .arg(problem);
    const qsizetype found = entryFor(entries, printer);
    if (found >= 0)
        entries.removeAt(found);
    // Kept under the names it has now: a renamed queue's entry takes its new name.
    if (kept)
        entries.append({printer, *kept});
    QByteArray content;
    for (const Entry &entry : std::as_const(entries)) {
        // PDF files are one destination, whatever names came with them.
        const bool pdf = entry.printer.pdfFile;
        const QList<QByteArray> cells = {pdf ? kPdf : kQueue,
                                         pdf ? QByteArray() : encoded(entry.printer.queue),
                                         pdf ? QByteArray() : encoded(entry.printer.deviceUri),
                                         int32ToText(entry.offset.leftRight).toLatin1(),
                                         int32ToText(entry.offset.upDown).toLatin1()};
        content += cells.join('\t') + "\r\n";
    }
    if (const QString why = replaceOffsetFile(m_path, content); !why.isEmpty())
        return PrinterOffsetTexts::tr("「%1」\n%2").arg(QDir::toNativeSeparators(m_path), why);
    return QString();
}
