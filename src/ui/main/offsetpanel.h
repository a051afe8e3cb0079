#pragma once

#include "core/printoffset.h"
#include "layout/printing.h"

#include <QObject>
#include <QString>

#include <optional>

class PrinterOffsets;
class QWidget;

namespace Ui {
class Form1;
}

// The adjustment panel: its toggle, the two spins and their boxes, the offset files the boxes
// start from and are saved to, and the offsets each printer keeps.
class OffsetPanel : public QObject
{
    Q_OBJECT

public:
    // `printers` may be null: then only the offset files are used.
    OffsetPanel(Ui::Form1 &ui, QWidget *window, PrinterOffsets *printers);

    // At start: the panel closed, the boxes as the files in `directory` say. The one warning
    // for the files that could not be used; else empty.
    QString load(const QString &directory);
    // A printer chosen, named as the clerk knows it: the boxes show its saved offsets, else the
    // files' values; *notice says what changed, when anything did. The same printer again
    // changes nothing. A warning the first time the printers' file cannot be read; else empty.
    QString usePrinter(const std::optional<PrinterIdentity> &printer, const QString &name,
                       QString *notice);
    // The chosen printer's offsets read again, as usePrinter() does.
    QString reload(QString *notice);
    // ズレ保存, for the printer chosen and into the files: what to tell when nothing was saved;
    // else empty, and *saved says what was.
    QString save(QString *saved);
    // The boxes differ from what was last read or saved.
    bool unsaved() const;
    // The boxes belong to this printer.
    bool shows(const std::optional<PrinterIdentity> &other) const { return other == m_printer; }
    // Shows offsets in the boxes, not saved.
    void setOffset(const PrintOffset &offset);

private:
    void onOnOffBtnClicked();
    // The boxes show what the spins took (the clamped value for one beyond their range), as saved.
    void showSaved(const PrintOffset &offset);
    // Writes the texts into the offset files: why not, else empty.
    QString writeFiles(const QString &leftRight, const QString &upDown) const;

    Ui::Form1 &m_ui;
    PrinterOffsets *m_printers;
    QString m_savedLeftRight;
    QString m_savedUpDown;
    // What ini_x1.txt and ini_y1.txt hold, as the boxes showed it.
    PrintOffset m_files;
    QString m_directory;
    std::optional<PrinterIdentity> m_printer;
    QString m_printerName;
    bool m_printersWarned = false;
};
