#include "commandline.h"

#include "batch/batchfile.h"
#include "batch/batchprinter.h"
#include "core/offsetfiles.h"
#include "history/history.h"
#include "office/officeserver.h"
#include "office/officesettings.h"
#include "office/sharedoffsets.h"
#include "offsets/printeroffsets.h"
#include "printing/cupsprinting.h"
#include "printing/printservice.h"
#include "surfaces/japanesefont.h"
#include "surfaces/pdfsurface.h"
#include "system/background.h"
#include "system/clock.h"
#include "system/paths.h"
#include "system/settings.h"

#include <QGuiApplication>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

// Set by SIGINT or SIGTERM: the batch stops after the letter in progress.
std::atomic_bool g_stop = false;
static_assert(std::atomic_bool::is_always_lock_free, "safe to set in a signal handler");

void stopBatch(int)
{
    g_stop = true;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("CommandLine", text);
}

void say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stderr);
    std::fflush(stderr);
}

QString usage()
{
    return tr("使い方:\n"
              "  sorafu --print ファイル.csv [--printer プリンタ名 | --pdf 出力.pdf]"
              " [--from 行]\n"
              "      CSV ファイルの各行を委任状として印刷します。プリンタを指定しないときは、"
              "「プリンタ設定」で選んだプリンタに送ります。--from を付けると、その行から後"
              "だけを印刷します（途中で止まったときの続き）。\n"
              "  sorafu --check ファイル.csv\n"
              "      印刷せずに、CSV ファイルに誤りがないか確かめます。\n"
              "  sorafu --help\n"
              "      この説明を表示します。\n"
              "終了コード: 0 すべて印刷した / 1 ファイルに誤りがあり何も印刷していない / "
              "2 途中で止まった / 3 使い方の誤り");
}

int usageError(const QString &why)
{
    say(why);
    say(tr("使い方は sorafu --help で表示します。"));
    return int(CommandLineExit::Usage);
}

struct Options
{
    QString command; // --print, --check or --help
    QString file;
    QString printer;
    QString pdf;
    QString from; // the first row to print, as the spreadsheet numbers it
};

// Empty when the arguments make sense; else why not.
QString parse(const QStringList &arguments, Options *options)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        const bool takesValue =
            argument == QLatin1String("--print") || argument == QLatin1String("--check") ||
            argument == QLatin1String("--printer") || argument == QLatin1String("--pdf") ||
            argument == QLatin1String("--from");
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options->command = argument;
            return QString();
        }
        if (!takesValue)
            return tr("「%1」は使えません。").arg(argument);
        if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
            return tr("「%1」の後にファイル名かプリンタ名を書いてください。").arg(argument);
        const QString value = arguments[++i];
        QString *slot = argument == QLatin1String("--printer") ? &options->printer
                        : argument == QLatin1String("--pdf")   ? &options->pdf
                        : argument == QLatin1String("--from")  ? &options->from
                                                               : &options->file;
        if (!slot->isEmpty())
            return tr("「%1」は一度だけ書いてください。").arg(argument);
        if (slot == &options->file && !options->command.isEmpty())
            return tr("--print と --check はどちらか一つにしてください。");
        if (slot == &options->file)
            options->command = argument;
        *slot = value;
    }
    if (options->command.isEmpty())
        return tr("--print、--check、--help のどれかを書いてください。");
    if (!options->printer.isEmpty() && !options->pdf.isEmpty())
        return tr("--printer と --pdf はどちらか一つにしてください。");
    if (options->command == QLatin1String("--check") &&
        (!options->printer.isEmpty() || !options->pdf.isEmpty()))
        return tr("--check は印刷しないので、--printer や --pdf は要りません。");
    if (!options->from.isEmpty() &&
        (options->command != QLatin1String("--print") || options->from.toInt() < 2))
        return tr("--from は --print に付けて、印刷を始める行の番号（2 以上）を書いてください。");
    return QString();
}

QString warningText(const BatchRow &row, const PreflightWarning &warning)
{
    const QString column = batchColumnName(warning.field);
    switch (warning.kind) {
    case PreflightWarning::Empty:
        return tr("%1 行目（注意）: 氏名も車台番号もありません。").arg(row.row);
    case PreflightWarning::Overflow:
        return tr("%1 行目「%2」（注意）: 欄から %3 mm はみ出します。")
            .arg(row.row)
            .arg(column)
            .arg(warning.overMm, 0, 'f', 1);
    case PreflightWarning::Undrawable:
        break;
    }
    return tr("%1 行目「%2」（注意）: 印刷できない文字があります（%3）。")
        .arg(row.row)
        .arg(column, warning.characters);
}

// The file checked as the window checks it: every problem, and every warning.
BatchFile check(const QString &path)
{
    QString error;
    const QString family = japaneseFontFamily(&error);
    const SystemClock clock;
    BatchFile file = loadBatchFile(path, clock, family);
    // Without the printing font no letter can be checked for fit, nor printed.
    if (family.isEmpty())
        file.problems.append({0, 0, {}, error});
    for (const BatchProblem &problem : file.problems)
        say(batchProblemText(problem));
    for (const BatchRow &row : file.rows)
        for (const PreflightWarning &warning : row.warnings)
            say(warningText(row, warning));
    return file;
}

// The offsets the window would use for the printer: its own when it has some saved, else the
// offset files, with the same clamping to the window's range.
PrintOffset savedOffset(const PrinterIdentity &printer)
{
    // A network printer's calibration is the office's when its server keeps one. A command
    // may wait for it: every call to the server is bounded.
    const QString office = officeConnection(QString());
    const QString address = SharedPrinterOffsets::sharedAddress(printer);
    if (!office.isEmpty() && !address.isEmpty())
        if (const std::optional<PrintOffset> shared = OfficeServer(office).sharedOffset(address))
            return *shared;
    const QString folder = offsetDirectory();
    QString problem;
    if (const std::optional<PrintOffset> kept = PrinterOffsetFile(folder).find(printer, &problem))
        return *kept;
    if (!problem.isEmpty())
        say(problem);
    const OffsetReadings readings = loadOffsetFiles(folder);
    if (const QString warning = offsetLoadWarning(readings); !warning.isEmpty())
        say(warning);
    return {std::clamp(readings.leftRight.value, -1000, 1000),
            std::clamp(readings.upDown.value, -1000, 1000)};
}

BatchOutcome nothingSent(const BatchFile &file, const QString &why)
{
    BatchOutcome outcome;
    outcome.failure = why;
    for (const BatchRow &row : file.rows)
        outcome.unsentRows.append(row.row);
    return outcome;
}

BatchOutcome toPdf(BatchRun run, const BatchFile &file, const QString &path)
{
    const std::unique_ptr<QSettings> settings = openSettings(QString());
    PrinterChoice choice = loadPrinterChoice(*settings).value_or(PrinterChoice());
    if (!choice.pdfFile)
        choice.media.clear();
    choice.pdfFile = true;
    QString error;
    PageGeometry geometry;
    LoadedSpooler spooler;
    const QString family = japaneseFontFamily(&error);
    if (family.isEmpty() || !choicePage(choice, spooler, &geometry, &error))
        return nothingSent(file, error);
    run.offset = savedOffset({true, QString(), QString()});
    return printBatchToPdf(run, path, geometry, family);
}

BatchOutcome toPrinter(BatchRun run, const BatchFile &file, const QString &queue)
{
    CupsPrinting printing(std::make_unique<LoadedSpooler>(), QString());
    const std::optional<PrinterChoice> saved = printing.chosen();
    if (!queue.isEmpty() && (!saved || saved->pdfFile || saved->destination != queue)) {
        PrinterPapers papers;
        QString error;
        if (!printing.spooler().papers(queue, &papers, &error))
            return nothingSent(file, error);
        PrinterChoice choice;
        choice.destination = queue;
        choice.media = preferredMedia(papers);
        choice.orientation = papers.defaultOrientation.value_or(QPageLayout::Landscape);
        printing.useForThisRun(choice);
    } else if (queue.isEmpty() && saved && saved->pdfFile) {
        return nothingSent(file, tr("「プリンタ設定」で「PDFファイル」が選ばれています。"
                                    "--pdf で出力するファイルか、--printer でプリンタを"
                                    "指定してください。"));
    }
    std::optional<PrinterIdentity> printer = printing.chosenIdentity();
    if (printer && printer->deviceUri.isEmpty())
        printer->deviceUri = printing.spooler().deviceUri(printer->queue);
    run.offset = savedOffset(printer.value_or(PrinterIdentity()));
    run.target = [&printing] { return printing.target(); };
    return printBatch(run);
}

int print(const Options &options)
{
    BatchFile file = check(options.file);
    if (!file.printable()) {
        say(tr("ファイルに誤りがあるため、何も印刷していません。直してからもう一度実行してください"
               "。"));
        return int(CommandLineExit::NotValid);
    }
    // The rest of a batch that stopped: the rows before are not sent again.
    const int from = options.from.toInt();
    file.rows.removeIf([from](const BatchRow &row) { return row.row < from; });
    if (file.rows.isEmpty())
        return usageError(tr("%1 行目から後に、印刷する行がありません。").arg(from));
    ThreadBackground background;
    History history(History::defaultPath(), QString(), background,
                    officeStores(officeConnection(QString())));
    QObject::connect(&history, &History::problem, &history, say);
    BatchRun run;
    run.rows = file.rows;
    run.stop = &g_stop;
    std::signal(SIGINT, stopBatch);
    std::signal(SIGTERM, stopBatch);
    const bool pdf = !options.pdf.isEmpty();
    run.progressed = [pdf](int done, int total, const BatchRow &row) {
        say(tr("%1　%2 行目%3")
                .arg(batchProgressText(done, total))
                .arg(row.row)
                .arg(pdf ? tr("のページを作りました。") : tr("を送りました。")));
    };
    if (history.isOn())
        run.record = [&history](const HistoryLetter &letter) { history.record(letter); };
    const BatchOutcome outcome =
        pdf ? toPdf(run, file, options.pdf) : toPrinter(run, file, options.printer);
    history.waitForIdle();
    QCoreApplication::processEvents();
    say(batchOutcomeText(outcome));
    if (!outcome.complete() && !outcome.unsentRows.isEmpty())
        say(tr("続きは、同じコマンドに「--from %1」を付けて実行してください。送った行は"
               "もう一度印刷しません。")
                .arg(outcome.unsentRows.first()));
    return int(outcome.complete() ? CommandLineExit::Printed : CommandLineExit::Stopped);
}

} // namespace

bool wantsCommandLine(int argc, char *argv[])
{
    return argc > 1 && (std::strncmp(argv[1], "--", 2) == 0 || std::strcmp(argv[1], "-h") == 0);
}

int runCommandLine(int argc, char *argv[])
{
    // No display is needed or asked for: fonts and PDF pages work without one, over ssh too.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("sorafu"));
    Options options;
    if (const QString why = parse(QCoreApplication::arguments(), &options); !why.isEmpty())
        return usageError(why);
    if (options.command == QLatin1String("--help") || options.command == QLatin1String("-h")) {
        std::fputs(qPrintable(usage() + QLatin1Char('\n')), stdout);
        return int(CommandLineExit::Printed);
    }
    if (options.command == QLatin1String("--check")) {
        const bool ok = check(options.file).printable();
        if (ok)
            say(tr("誤りはありません。印刷できます。"));
        return int(ok ? CommandLineExit::Printed : CommandLineExit::NotValid);
    }
    return print(options);
}
