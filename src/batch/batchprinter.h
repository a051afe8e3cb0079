#pragma once

#include "batch/batchfile.h"
#include "core/printoffset.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class Background;
struct PageGeometry;
class History;
class Printing;
class PrintTarget;
struct HistoryLetter;

// How a batch ended. Rows are the file's row numbers (BatchRow::row).
struct BatchOutcome
{
    QList<int> sentRows;
    QList<int> unsentRows;
    // Why it stopped, in Japanese; empty when every row went out or it was called off.
    QString failure;
    bool stopped = false; // called off by the user after the letter in progress

    bool complete() const { return unsentRows.isEmpty() && failure.isEmpty() && !stopped; }
};

// What printing the rows needs, for one run.
struct BatchRun
{
    QList<BatchRow> rows;
    PrintOffset offset;
    // One target per letter: each letter is one job of the print service, or one page of the
    // PDF book.
    std::function<std::unique_ptr<PrintTarget>()> target;
    // Called after each letter that went out, from the printing thread: letter n of total.
    std::function<void(int done, int total, const BatchRow &row)> progressed;
    // Every letter that went out, as it is to be kept, marked as from a batch.
    std::function<void(const HistoryLetter &letter)> record;
    // Set from any thread: stops after the letter in progress.
    const std::atomic_bool *stop = nullptr;
};

// Prints the rows one after the other, stopping at the first failure. Waits on the print
// service: never on the GUI thread.
BatchOutcome printBatch(const BatchRun &run);
// The rows as the pages of one PDF file at path (run.target unused). The file is written only
// when every page is drawn; until then, and after any failure, the earlier file stays, and no
// row counts as sent.
BatchOutcome printBatchToPdf(const BatchRun &run, const QString &path, const PageGeometry &geometry,
                             const QString &fontFamily);

// "3／25 枚"
QString batchProgressText(int done, int total);
// The rows sent and the rows not sent, for the user, in Japanese.
QString batchOutcomeText(const BatchOutcome &outcome);

// The batch as the window runs it: off the GUI thread, answering with signals on the thread
// it lives on. One batch at a time.
class BatchPrinter : public QObject
{
    Q_OBJECT

public:
    // history may be null (off, or not wanted).
    BatchPrinter(Printing &printing, History *history, Background &background,
                 QObject *parent = nullptr);
    ~BatchPrinter() override;

    // One job per letter on the printer as chosen now. False when a batch is still running.
    // A choice of "PDF file" takes startPdf instead, with the file asked for first.
    bool start(const QList<BatchRow> &rows, const PrintOffset &offset);
    // The same into one PDF file, on the sheet the page query gives (CupsPrinting::pageQuery).
    bool startPdf(const QList<BatchRow> &rows, const PrintOffset &offset, const QString &path,
                  std::function<bool(PageGeometry *, QString *)> page);
    // Stops after the letter in progress; finished() follows.
    void stop();
    bool isRunning() const { return m_running; }

signals:
    void progressed(int done, int total, int row);
    void finished(const BatchOutcome &outcome);

private:
    BatchRun prepare(const QList<BatchRow> &rows, const PrintOffset &offset);
    void run(std::function<BatchOutcome()> work);

    Printing &m_printing;
    History *m_history;
    Background &m_background;
    // Shared with the running work, which may outlive this.
    std::shared_ptr<std::atomic_bool> m_stop;
    bool m_running = false;
};
