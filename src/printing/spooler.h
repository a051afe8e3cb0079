#pragma once

#include <QList>
#include <QMap>
#include <QMarginsF>
#include <QPageLayout>
#include <QPair>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

// A paper size a destination offers.
struct Paper
{
    // The name that goes with a job, e.g. iso_a4_210x297mm.
    QString media;
    // As the user knows it, e.g. A4.
    QString name;
    // The sheet upright (portrait).
    QSizeF sizeMm;
    // The edges the printer cannot print on, on the upright sheet.
    QMarginsF marginsMm;
};

struct PrinterPapers
{
    QList<Paper> papers;
    QString defaultMedia;
    // When the destination says which way it prints by default.
    std::optional<QPageLayout::Orientation> defaultOrientation;
};

using JobOptions = QList<QPair<QByteArray, QByteArray>>;

// What a state query learns of a destination besides whether it takes jobs.
struct QueueFacts
{
    // How its administrator describes it (printer-info); empty when not known.
    QString description;
    // When its configuration (papers among it) last changed, and the print service's clock
    // at the answer, in the service's seconds; 0 when not known.
    qint64 configChanged = 0;
    qint64 serviceNow = 0;
};

// The print service, kept small so that what it refuses can be tested without one. Every
// failure comes back as a sentence for the user, in Japanese. Every call may wait on the service
// (for a bounded time) and is made off the GUI thread; calls on different threads do not meet.
class Spooler
{
public:
    virtual ~Spooler() = default;
    // The destinations, the user's default one (empty when there is none) and, by name, how
    // their administrator describes them (printer-info) where that says more than the name.
    // False with the reason when the print service cannot be asked.
    virtual bool destinations(QStringList *names, QString *defaultName,
                              QMap<QString, QString> *descriptions, QString *error) = 0;
    virtual bool papers(const QString &destination, PrinterPapers *papers, QString *error) = 0;
    // Empty when the destination exists and takes jobs now; otherwise why not. Either way what
    // the service told of it goes into *facts when one is given.
    virtual QString check(const QString &destination, QueueFacts *facts) = 0;
    // Hands the PDF file to the destination as one job. Empty when the spooler took it, with
    // its number in *jobId; otherwise why not, and no job of it is left in the queue. Made
    // right after check(), which is not asked again before the job.
    virtual QString submit(const QString &destination, const QString &title, const QString &pdfFile,
                           const JobOptions &options, int *jobId) = 0;
    // The device behind the queue (device-uri), which stays when the queue is renamed; empty
    // when it cannot be learnt.
    virtual QString deviceUri(const QString &destination)
    {
        Q_UNUSED(destination);
        return QString();
    }
};
