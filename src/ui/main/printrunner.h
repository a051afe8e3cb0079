#pragma once

#include "core/letter.h"
#include "core/printoffset.h"
#include "layout/printing.h"
#include "ui/dialogs/printcheck.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <exception>
#include <functional>
#include <optional>

struct Services;
class Notice;
class QWidget;

// Runs one print job at a time off the GUI thread, on the choice of printer as it is at the
// click: the window is busy and its print buttons rest meanwhile, and the outcome is told when
// the job ends. A window closed or a program quit meanwhile waits for the job.
class PrintRunner : public QObject
{
    Q_OBJECT

public:
    PrintRunner(const Services &services, QWidget *window, Notice *notice,
                const QList<QWidget *> &printButtons);

    bool busy() const { return m_busy; }
    // The letter job, or the mark job when there is no letter. A PDF file is offered under
    // `fileName` (without .pdf), or the job's title when empty. A letter with anything to warn
    // of prints only when the clerk says so.
    // `askedFrom`: another window the print was asked from, which its outcome is told over too.
    void print(const std::optional<Letter> &letter, const PrintOffset &offset,
               const QString &fileName = QString(), QWidget *askedFrom = nullptr);
    // While a job runs: the window closes, or the program ends, once it has ended. False when
    // no job runs.
    bool closeAfterJob();
    bool quitAfterJob();

signals:
    // A page the print queue or the PDF file took.
    void jobAccepted(const AcceptedJob &job, const std::optional<Letter> &letter,
                     const PrintOffset &offset);
    // A job ended, taken or not.
    void jobFinished();
    // What a job asked from another window ended with: the notice, or the failure.
    void outcomeFor(QWidget *askedFrom, const QString &outcome);

private:
    using Job = std::function<QString(PrintTarget &target)>;
    // `letter` is what the job prints, nothing for the alignment marks.
    void run(const QString &title, const QString &fileName, Job job,
             const std::optional<Letter> &letter, const PrintOffset &offset);
    void ended(const QString &failure, const std::optional<AcceptedJob> &accepted,
               const std::optional<Letter> &letter, const PrintOffset &offset);
    void setBusy(bool busy);
    bool holdUntilEnd();

    const Services &m_services;
    QWidget *m_window;
    Notice *m_notice;
    QList<QWidget *> m_printButtons;
    PrintCheck m_check;
    // Where the focus was before the job, and where resting the print buttons moved it.
    QPointer<QWidget> m_focusBefore;
    QPointer<QWidget> m_focusMovedTo;
    QPointer<QWidget> m_askedFrom;
    bool m_busy = false;
    bool m_closeAfterJob = false;
    bool m_quitAfterJob = false;
};
