#include "batch/batchprinter.h"

#include "batch/pdfbook.h"
#include "history/history.h"
#include "history/historyletter.h"
#include "layout/letterjob.h"
#include "layout/placement.h"
#include "layout/printing.h"
#include "surfaces/japanesefont.h"
#include "system/background.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("BatchPrinter", text);
}

// "2, 3, 5 行目"; a long run is cut short so the line stays readable.
QString rowList(const QList<int> &rows)
{
    QStringList numbers;
    for (int row : rows)
        numbers.append(QString::number(row));
    if (numbers.size() > 20)
        numbers =
            numbers.mid(0, 10) + QStringList(QStringLiteral("…")) + numbers.mid(numbers.size() - 5);
    return tr("%1 行目").arg(numbers.join(QStringLiteral("、")));
}

} // namespace

BatchOutcome printBatch(const BatchRun &run)
{
    BatchOutcome outcome;
    PrintPlacement placement;
    for (qsizetype i = 0; i < run.rows.size(); ++i) {
        const BatchRow &row = run.rows[i];
        if (run.stop && run.stop->load()) {
            outcome.stopped = true;
        } else if (outcome.failure.isEmpty()) {
            const std::unique_ptr<PrintTarget> target = run.target();
            QString failure = printLetter(row.letter, run.offset, *target, placement);
            const std::optional<AcceptedJob> job = target->accepted();
            if (failure.isEmpty() && !job)
                failure = tr("印刷が取りやめられました。");
            if (failure.isEmpty()) {
                outcome.sentRows.append(row.row);
                if (run.record) {
                    HistoryLetter letter = historyLetter(*job, row.letter, run.offset);
                    letter.batch = true;
                    run.record(letter);
                }
                if (run.progressed)
                    run.progressed(int(outcome.sentRows.size()), int(run.rows.size()), row);
                continue;
            }
            outcome.failure = tr("%1 行目を印刷できませんでした。%2").arg(row.row).arg(failure);
        }
        outcome.unsentRows.append(row.row);
    }
    return outcome;
}

BatchOutcome printBatchToPdf(const BatchRun &run, const QString &path, const PageGeometry &geometry,
                             const QString &fontFamily)
{
    QString error;
    const std::unique_ptr<PdfBook> book = PdfBook::create(path, geometry, fontFamily, &error);
    BatchRun pages = run;
    QList<HistoryLetter> records;
    pages.record = [&records](const HistoryLetter &letter) { records.append(letter); };
    pages.target = [&book] { return book->nextPage(); };
    BatchOutcome outcome;
    if (book)
        outcome = printBatch(pages);
    else
        outcome.failure = error;
    if (book && outcome.complete())
        outcome.failure = book->finish();
    if (!outcome.complete()) {
        // Nothing reached the file.
        outcome.unsentRows = outcome.sentRows + outcome.unsentRows;
        outcome.sentRows.clear();
        if (!book)
            for (const BatchRow &row : run.rows)
                outcome.unsentRows.append(row.row);
        return outcome;
    }
    if (run.record)
        for (const HistoryLetter &letter : records)
            run.record(letter);
    return outcome;
}

QString batchProgressText(int done, int total)
{
    return tr("%1／%2 枚").arg(done).arg(total);
}

QString batchOutcomeText(const BatchOutcome &outcome)
{
    if (outcome.complete())
        return tr("%1 枚すべてを印刷しました。").arg(outcome.sentRows.size());
    QStringList lines;
    if (!outcome.failure.isEmpty())
        lines.append(outcome.failure);
    else
        lines.append(tr("途中で中止しました。"));
    lines.append(outcome.sentRows.isEmpty() ? tr("送った行はありません。")
                                            : tr("送った行: %1").arg(rowList(outcome.sentRows)));
    lines.append(tr("送っていない行: %1（%2 行目から続けて印刷できます）")
                     .arg(rowList(outcome.unsentRows))
                     .arg(outcome.unsentRows.first()));
    return lines.join(QLatin1Char('\n'));
}

BatchPrinter::BatchPrinter(Printing &printing, History *history, Background &background,
                           QObject *parent)
    : QObject(parent), m_printing(printing), m_history(history), m_background(background)
{
}

BatchPrinter::~BatchPrinter()
{
    stop();
}

BatchRun BatchPrinter::prepare(const QList<BatchRow> &rows, const PrintOffset &offset)
{
    m_running = true;
    m_stop = std::make_shared<std::atomic_bool>(false);
    BatchRun run;
    run.rows = rows;
    run.offset = offset;
    run.stop = m_stop.get();
    QPointer<BatchPrinter> self(this);
    run.progressed = [self](int done, int total, const BatchRow &row) {
        const int number = row.row;
        QMetaObject::invokeMethod(
            self, [self, done, total, number] { emit self->progressed(done, total, number); },
            Qt::QueuedConnection);
    };
    if (m_history) {
        QPointer<History> history(m_history);
        run.record = [history](const HistoryLetter &letter) {
            QMetaObject::invokeMethod(
                history, [history, letter] { history->record(letter); }, Qt::QueuedConnection);
        };
    }
    return run;
}

void BatchPrinter::run(std::function<BatchOutcome()> work)
{
    auto outcome = std::make_shared<BatchOutcome>();
    // The flag goes with the work, which may outlive this.
    m_background.run(
        this,
        [work, outcome, flag = m_stop] {
            // An exception here would end the program with the batch half told.
            try {
                *outcome = work();
            } catch (const std::exception &error) {
                outcome->failure = unforeseenFailure(error);
            }
        },
        [this, outcome] {
            m_running = false;
            emit finished(*outcome);
        });
}

bool BatchPrinter::start(const QList<BatchRow> &rows, const PrintOffset &offset)
{
    if (m_running)
        return false;
    BatchRun batch = prepare(rows, offset);
    // Taken here, as the window takes one at a click: the printer as chosen now.
    auto targets = std::make_shared<std::vector<std::unique_ptr<PrintTarget>>>();
    for (qsizetype i = 0; i < rows.size(); ++i)
        targets->push_back(m_printing.target());
    batch.target = [targets, next = std::make_shared<size_t>(0)] {
        return std::move((*targets)[(*next)++]);
    };
    run([batch] { return printBatch(batch); });
    return true;
}

bool BatchPrinter::startPdf(const QList<BatchRow> &rows, const PrintOffset &offset,
                            const QString &path,
                            std::function<bool(PageGeometry *, QString *)> page)
{
    if (m_running)
        return false;
    const BatchRun batch = prepare(rows, offset);
    run([batch, path, page] {
        PageGeometry geometry;
        QString error;
        QString family;
        if (page(&geometry, &error))
            family = japaneseFontFamily(&error);
        if (family.isEmpty()) {
            BatchOutcome outcome;
            outcome.failure = error;
            for (const BatchRow &row : batch.rows)
                outcome.unsentRows.append(row.row);
            return outcome;
        }
        return printBatchToPdf(batch, path, geometry, family);
    });
    return true;
}

void BatchPrinter::stop()
{
    if (m_stop)
        *m_stop = true;
}
