#pragma once

#include "core/printoffset.h"
#include "layout/printing.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QObject;

// The offsets each printer keeps, so that switching printers needs no new calibration. Small on
// purpose: an office may keep them on its server too, found by the device's address.
class PrinterOffsets
{
public:
    virtual ~PrinterOffsets() = default;
    // The offsets saved for the printer, nothing when none are. When the store cannot be read,
    // nothing, with why in *problem (Japanese, naming where).
    virtual std::optional<PrintOffset> find(const PrinterIdentity &printer, QString *problem) = 0;
    // Keeps the offsets for the printer, or with nothing forgets them. Why not, in Japanese;
    // else empty. What other printers keep is never lost.
    virtual QString save(const PrinterIdentity &printer,
                         const std::optional<PrintOffset> &offset) = 0;
    // Asks, away from the calling thread, whether the office keeps other offsets for the
    // printer; if so they become what find() answers, and `changed` runs on `receiver`'s thread
    // unless the receiver has gone. A store of this PC alone has nothing to ask.
    virtual void refresh(const PrinterIdentity &, QObject *, std::function<void()>) {}
};

// The file of this program's own, beside the offset files.
inline constexpr char kPrinterOffsetsFile[] = "sorafu_printers.txt";

// The store as one file, a printer a line, read with the offset files' checks and replaced as
// they are, so a save cut short leaves the file as before. A damaged file is never rewritten.
class PrinterOffsetFile : public PrinterOffsets
{
public:
    explicit PrinterOffsetFile(const QString &directory);
    QString path() const { return m_path; }
    std::optional<PrintOffset> find(const PrinterIdentity &printer, QString *why) override;
    QString save(const PrinterIdentity &printer, const std::optional<PrintOffset> &kept) override;

    struct Entry
    {
        PrinterIdentity printer;
        PrintOffset offset;
    };

private:
    // Every entry; false with why when the file cannot be used.
    bool read(QList<Entry> *entries, QString *problem) const;

    QString m_path;
};

// Which entry is the printer's, or -1: the same device under any queue name (a queue renamed),
// else the same queue where either device is unknown. A queue whose device changed is another
// printer.
qsizetype entryFor(const QList<PrinterOffsetFile::Entry> &entries, const PrinterIdentity &printer);
