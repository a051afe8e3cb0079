#include "batch/batchprinter.h"

#include "layout/printing.h"

BatchOutcome printBatch(const BatchRun &run)
{
    Q_UNUSED(run);
    return BatchOutcome();
}

QString batchProgressText(int done, int total)
{
    return QStringLiteral("%1／%2 枚").arg(done).arg(total);
}

QString batchOutcomeText(const BatchOutcome &outcome)
{
    Q_UNUSED(outcome);
    return QString();
}

BatchPrinter::BatchPrinter(Printing &printing, History *history, Background &background,
                           QObject *parent)
    : QObject(parent), m_printing(printing), m_history(history), m_background(background),
      m_stop(std::make_shared<std::atomic_bool>(false))
{
}

BatchPrinter::~BatchPrinter() = default;

bool BatchPrinter::start(const QList<BatchRow> &rows, const PrintOffset &offset)
{
    Q_UNUSED(rows);
    Q_UNUSED(offset);
    return false;
}

void BatchPrinter::stop()
{
    *m_stop = true;
}
