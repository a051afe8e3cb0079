#pragma once

#include <QString>

#include <memory>

class PrintSurface;
class QWidget;

// Where a page went, as the print history keeps it.
struct PrintedTo
{
    QString printer; // the print queue; empty for a PDF file
    QString paper;
    QString orientation;
    QString jobId; // the print service's job number, or the PDF file written
};

// The printer the user chose in printer setup.
class Printing
{
public:
    virtual ~Printing() = default;
    // A surface on the chosen printer, paper and orientation. Null with the reason in *error
    // when the destination is missing or does not accept jobs; null with an empty *error when
    // the user called it off (no file picked for "PDF file"). The title names the job in the
    // print queue and suggests the file name.
    virtual std::unique_ptr<PrintSurface> open(const QString &title, QString *error) = 0;
    // The printer setup dialog: printer, paper and orientation. Cancel changes nothing. Why
    // the confirmed choice could not be kept for later runs, in Japanese; else empty.
    virtual QString setup(QWidget *parent) = 0;
    // Where the last page that was delivered went; empty before any.
    virtual PrintedTo lastPrintedTo() const { return {}; }
};
