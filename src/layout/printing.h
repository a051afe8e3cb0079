#pragma once

#include <QPageLayout>
#include <QString>

#include <memory>
#include <optional>

class PrintSurface;

// A page the print service (or the PDF file) took: enough to tell the user, or to keep a record.
struct AcceptedJob
{
    QString title;
    // The print queue, or empty for a PDF file.
    QString destination;
    int jobId = 0;
    // The PDF file written, or empty for a print queue.
    QString file;
    // As the user knows it, e.g. A4.
    QString paper;
    QPageLayout::Orientation orientation = QPageLayout::Landscape;
    // The queue as the clerk knows it: its description where it has one.
    QString printerName;
};

// Where one job goes: the printer, paper and orientation of printer setup as they were at the
// click. Everything it does may wait on the outside world, so it runs off the GUI thread.
class PrintTarget
{
public:
    virtual ~PrintTarget() = default;
    // A surface on the chosen printer, paper and orientation. Null with the reason in *error
    // when the destination is missing or does not accept jobs; null with an empty *error when
    // the user called it off (no file picked for "PDF file"). The title names the job in the
    // print queue.
    virtual std::unique_ptr<PrintSurface> open(const QString &title, QString *error) = 0;
    // Once EndDocument succeeded: where the page went.
    virtual std::optional<AcceptedJob> accepted() const = 0;
    // A page that goes into a file asks the user where, on the GUI thread before the job
    // starts, so that no job ever waits on a dialog: the path to offer for a file of that name
    // (without .pdf), or empty when the destination is no file.
    virtual QString suggestedFile(const QString &name) const
    {
        Q_UNUSED(name);
        return QString();
    }
    // The file picked; an empty path means the user called it off.
    virtual void setFile(const QString &path) { Q_UNUSED(path); }
};

// Which printer a page goes to, for what belongs to that printer (its offsets): a queue by its
// name and the device behind it, so that a queue renamed is still known; or PDF files.
struct PrinterIdentity
{
    bool pdfFile = false;
    QString queue;
    // Empty when the print service did not say.
    QString deviceUri;

    bool operator==(const PrinterIdentity &other) const
    {
        return pdfFile == other.pdfFile && queue == other.queue && deviceUri == other.deviceUri;
    }
};

// The printer the user chose in printer setup.
class Printing
{
public:
    virtual ~Printing() = default;
    // On the GUI thread at the click: the choice as it stands now, for one job.
    virtual std::unique_ptr<PrintTarget> target() = 0;
    // The printer as the clerk knows it, for a question before a job: asks nothing of the print
    // service, so it names what it has learnt so far.
    virtual QString chosenName() const = 0;
    // The printer chosen, asking nothing of the print service: nothing before the first setup,
    // when jobs go to whatever the default queue is then.
    virtual std::optional<PrinterIdentity> chosenIdentity() const { return std::nullopt; }
};
