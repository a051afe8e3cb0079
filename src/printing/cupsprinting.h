#pragma once

#include "layout/printing.h"
#include "printing/printerchoice.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>

#include <functional>
#include <memory>

class QSettings;
class Spooler;
struct PageGeometry;

// The printer setup's choice, or before the first setup the default queue with its default
// paper. Asks the print service when nothing was chosen yet.
std::optional<PrinterChoice> chosenPrinter(QSettings &settings, Spooler &spooler, QString *error);
// The sheet a choice prints on, turned as it prints, and its printable area. Asks the print
// service for a queue's papers, so it may wait: off the GUI thread where that matters. A message
// names the printer as printerName, else by its queue.
bool choicePage(const PrinterChoice &choice, Spooler &spooler, PageGeometry *page, QString *error,
                const QString &printerName = QString());
// The same, from the papers the queue was found to have (none for a PDF file).
bool choicePage(const PrinterChoice &choice, const PrinterPapers &papers, PageGeometry *page,
                QString *error, const QString &printerName = QString());

// Printing through the print service: each page is drawn into a PDF by this program and handed
// to the chosen queue with options that keep it where it was drawn, or written to a PDF file.
// Nothing is asked of the print service before printer setup opens or a job runs, and never on
// the GUI thread.
class CupsPrinting : public Printing
{
    Q_DECLARE_TR_FUNCTIONS(CupsPrinting)

public:
    // The choice is kept in the settings file at settingsPath; empty means the user's settings
    // of this program.
    CupsPrinting(std::unique_ptr<Spooler> spooler, const QString &settingsPath);
    ~CupsPrinting() override;

    std::unique_ptr<PrintTarget> target() override;
    QString chosenName() const override;
    std::optional<PrinterIdentity> chosenIdentity() const override;

    Spooler &spooler() { return *m_spooler; }
    // The choice confirmed in this run but not saved, else the saved choice; nothing before the
    // first setup. Asks nothing of the print service.
    std::optional<PrinterChoice> chosen() const;
    // Keeps a choice confirmed in printer setup. What was confirmed is used for this run even
    // when it cannot be written down; why not, in Japanese, else empty.
    QString keep(const PrinterChoice &choice);
    // A choice for this run only, never saved: a printer named on the command line.
    void useForThisRun(const PrinterChoice &choice) { m_unsavedChoice = choice; }

    // The sheet and printable area a print would get, for the preview, as the choice stands
    // now. The function owns what it uses (its own spooler), so it may run on any thread and
    // outlive this object.
    std::function<bool(PageGeometry *, QString *)>
    pageQuery(std::shared_ptr<Spooler> spooler) const;

    // The options that keep the page exactly as drawn: no scaling, one page a sheet, one side.
    static JobOptions jobOptions(const PrinterChoice &choice);

private:
    friend class CupsTarget;
    // A queue's papers as they were last read, and the facts that said whether they still hold.
    struct KnownPapers
    {
        PrinterPapers papers;
        qint64 configChanged = 0;
        qint64 readAt = 0;
    };

    std::unique_ptr<QSettings> settings() const;
    QString fontFamily(QString *error);
    void learnDescription(const QString &queue, const QString &description);
    bool papersOf(const QString &queue, const QueueFacts &facts, PrinterPapers *papers,
                  QString *error);

    std::unique_ptr<Spooler> m_spooler;
    QString m_settingsPath;
    // Guards what jobs learn for later ones: the font, the queues' descriptions and papers.
    mutable QMutex m_fontLock;
    QString m_fontFamily;
    QHash<QString, QString> m_descriptions;
    QHash<QString, KnownPapers> m_papers;
    std::optional<PrinterChoice> m_unsavedChoice;
};
