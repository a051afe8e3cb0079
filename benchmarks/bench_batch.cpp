// Batches: how long checking a 10,000-row CP932 file takes, and the time per letter of a batch
// printed into a private print queue against a loop of `lp` over the very same PDF files.
// Usage: bench_batch [rows] [letters]

#include "../tests/privatecups.h"
#include "batch/batchfile.h"
#include "batch/batchprinter.h"
#include "printing/cupsprinting.h"
#include "printservice/cupsspooler.h"
#include "surfaces/japanesefont.h"
#include "system/clock.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <unicode/ucnv.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

QByteArray cp932File(int rows)
{
    QString text;
    for (int i = 0; i < kFieldCount; ++i)
        text += (i ? QStringLiteral(",") : QString()) + batchColumnName(fieldAt(i));
    const QString row = QStringLiteral(
        "\r\n山田太郎,名義変更,,,,品川 500 あ %1,やまだはなこ%1,株式会社ソラフ自動車%1,代表取締役,"
        "山田花子%1,東京都千代田区霞が関一丁目%1番1号,ソラフビル %1F,,,,,,,,,,,,");
    for (int i = 0; i < rows; ++i)
        text += row.arg(i % 10000, 4, 10, QLatin1Char('0'));
    UErrorCode status = U_ZERO_ERROR;
    UConverter *converter = ucnv_open("windows-31j", &status);
    QByteArray bytes(text.size() * 2 + 16, Qt::Uninitialized);
    bytes.truncate(ucnv_fromUChars(converter, bytes.data(), int32_t(bytes.size()),
                                   reinterpret_cast<const UChar *>(text.utf16()),
                                   int32_t(text.size()), &status));
    ucnv_close(converter);
    return bytes;
}

// The print service as it is, keeping a copy of every page it is handed.
struct CopyingSpooler : CupsSpooler
{
    QString submit(const QString &destination, const QString &title, const QString &pdfFile,
                   const JobOptions &options, int *jobId) override
    {
        const QString copy = folder + QStringLiteral("/%1.pdf").arg(copies.size());
        copies.append(copy);
        QFile::copy(pdfFile, copy);
        return CupsSpooler::submit(destination, title, pdfFile, options, jobId);
    }
    QString folder;
    QStringList copies;
};

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int rows = argc > 1 ? atoi(argv[1]) : 10000;
    const int letters = argc > 2 ? atoi(argv[2]) : 20;
    QString error;
    const QString family = japaneseFontFamily(&error);
    const SystemClock clock;
    const QByteArray file = cp932File(rows);
    QList<double> checks;
    QList<double> cpus;
    BatchFile batch;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        const std::clock_t cpu = std::clock();
        batch = readBatch(file, clock, family);
        checks.append(timer.nsecsElapsed() / 1e6);
        cpus.append((std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC);
    }
    std::printf("check of %d CP932 rows (%.1f MB): median %.0f ms (processor %.0f ms), %lld "
                "problems, %lld warnings in the first row\n",
                rows, file.size() / 1e6, median(checks), median(cpus),
                qlonglong(batch.problems.size()), qlonglong(batch.rows.value(0).warnings.size()));

    PrivateCups cups;
    if (!cups.start() || !cups.addQueue(QStringLiteral("Sheet"))) {
        std::printf("no private scheduler: %s\n", qPrintable(cups.lastError));
        return 1;
    }
    auto spooler = std::make_unique<CopyingSpooler>();
    CopyingSpooler &copying = *spooler;
    copying.folder = cups.path(QStringLiteral("cache"));
    CupsPrinting printing(std::move(spooler),
                          cups.path(QStringLiteral("settings.ini")));
    PrinterChoice choice;
    choice.destination = QStringLiteral("Sheet");
    choice.media = QStringLiteral("iso_a4_210x297mm");
    printing.keep(choice);
    BatchRun run;
    run.rows = batch.rows.mid(0, letters);
    run.target = [&printing] { return printing.target(); };
    QElapsedTimer timer;
    timer.start();
    const BatchOutcome outcome = printBatch(run);
    const double batchMs = timer.nsecsElapsed() / 1e6 / letters;
    timer.restart();
    for (const QString &pdf : copying.copies) {
        QProcess lp;
        lp.start(QStringLiteral("lp"), {QStringLiteral("-h"), cups.server(), QStringLiteral("-d"),
                                        QStringLiteral("Sheet"), QStringLiteral("-o"),
                                        QStringLiteral("print-scaling=none"), pdf});
        lp.waitForFinished(30000);
    }
    const double lpMs = timer.nsecsElapsed() / 1e6 / letters;
    std::printf("%d letters: batch %.1f ms a letter, lp loop %.1f ms a letter, ratio %.2f%s\n",
                letters, batchMs, lpMs, batchMs / lpMs,
                outcome.complete() ? "" : qPrintable(" (" + outcome.failure + ')'));
    return 0;
}
