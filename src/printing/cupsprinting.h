#pragma once

#include "jobs/printing.h"
#include "printing/printerchoice.h"

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
// service for a queue's papers, so it may wait: off the GUI thread where that matters.
bool choicePage(const PrinterChoice &choice, Spooler &spooler, PageGeometry *page, QString *error);

// Printing through the print service: each page is drawn into a PDF by this program and handed
// to the chosen queue with options that keep it where it was drawn, or written to a PDF file.
// Nothing is asked of the print service before printer setup opens or a job runs, and never on
// the GUI thread.
class CupsPrinting : public Printing
{
public:
    // The choice is kept in the settings file at settingsPath; empty means the user's settings
    // of this program. `window` parents the file dialog.
    CupsPrinting(std::unique_ptr<Spooler> spooler, const QString &settingsPath, QWidget *window);
    ~CupsPrinting() override;

    std::unique_ptr<PrintTarget> target() override;
    QString setup(QWidget *parent) override;

    // Asks where a PDF goes, starting from a suggested path; empty when the user cancels. Runs
    // on the GUI thread, while the job waits for it.
    using PdfFilePicker = std::function<QString(const QString &suggestedPath)>;
    // Shows the modal setup dialog over the spooler's destinations, starting from the choice
    // made (nothing before the first setup); the confirmed choice, or nothing when the user
    // cancelled. The window supplies it,
    // so printing knows nothing of the window's widgets.
    using ChoiceDialog = std::function<std::optional<PrinterChoice>(
        Spooler &spooler, const std::optional<PrinterChoice> &current, QWidget *parent)>;
    void setPdfFilePicker(PdfFilePicker picker) { m_pickPdfFile = std::move(picker); }
    void setChoiceDialog(ChoiceDialog dialog) { m_choiceDialog = std::move(dialog); }

    // The sheet and printable area a print would get, for the preview, as the choice stands
    // now. The function owns what it uses (its own spooler), so it may run on any thread and
    // outlive this object.
    std::function<bool(PageGeometry *, QString *)>
    pageQuery(std::shared_ptr<Spooler> spooler) const;

    // The options that keep the page exactly as drawn: no scaling, one page a sheet, one side.
    static JobOptions jobOptions(const PrinterChoice &choice);

private:
    friend class CupsTarget;
    std::unique_ptr<QSettings> settings() const;
    // The choice confirmed in this run but not saved, else the saved choice; nothing before the
    // first setup. Asks nothing of the print service.
    std::optional<PrinterChoice> chosen() const;
    QString fontFamily(QString *error);
    // From a job's thread: asks on the GUI thread and waits for the answer.
    QString pickPdfFile(const QString &suggested);

    std::unique_ptr<Spooler> m_spooler;
    QString m_settingsPath;
    QWidget *m_window;
    PdfFilePicker m_pickPdfFile;
    ChoiceDialog m_choiceDialog;
    QMutex m_fontLock;
    QString m_fontFamily;
    std::optional<PrinterChoice> m_unsavedChoice;
};
