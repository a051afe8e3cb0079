// How long the window's event loop stands still while a letter is printed through a private CUPS
// scheduler, live and stopped with SIGSTOP, and how long a click takes until the queue has
// accepted the job, beside `lp` handing the same PDF to the same queue.

#include "../tests/privatecups.h"
#include "printing/cupsprinting.h"
#include "printing/cupsspooler.h"
#include "printing/printerchoice.h"
#include "system/background.h"
#include "system/clock.h"
#include "system/session.h"
#include "ui/dialogs/messages.h"
#include "ui/main/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace {

struct Quiet : Messages
{
    void warning(const QString &, const QString &text) override { told = text; }
    void critical(const QString &, const QString &text) override { told = text; }
    bool askYesNo(const QString &, const QString &) override { return false; }
    bool askPrintAnyway(const QString &, const QString &) override { return true; }
    bool askYesNoDefaultNo(const QString &, const QString &) override { return false; }
    Answer askYesNoCancel(const QString &, const QString &) override { return Answer::Cancel; }
    QString pdfFileName(const QString &) override { return pdf; }
    QString csvFileToOpen(const QString &) override { return QString(); }
    QString csvFileToSave(const QString &) override { return QString(); }
    QString told;
    QString pdf;
};

struct Today : Clock
{
    QDate today() const override { return QDate::currentDate(); }
};

struct Stay : Session
{
    void quit() override {}
};

struct Run
{
    double longestStallMs = 0;
    double clickToEndMs = 0;
};

// Clicks 印刷 and lets the window run until the job ended.
Run printOnce(MainWindow &window)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    window.ui().InsatsuBtn->click();
    while (window.printing()) {
        longest = std::max(longest, clock.nsecsElapsed() - last);
        last = clock.nsecsElapsed();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    longest = std::max(longest, clock.nsecsElapsed() - last);
    return {longest / 1e6, clock.nsecsElapsed() / 1e6};
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(3, atoi(argv[1])) : 20;
    QTemporaryDir work;
    qputenv("TMPDIR", QFile::encodeName(work.path()));
    PrivateCups cups;
    if (!cups.start() || !cups.addQueue(QStringLiteral("Sheet"))) {
        std::fprintf(stderr, "%s\n", qPrintable(cups.lastError));
        return 1;
    }
    const QString settingsPath = work.filePath(QStringLiteral("settings.ini"));
    {
        QSettings settings(settingsPath, QSettings::IniFormat);
        savePrinterChoice(settings, {false, QStringLiteral("Sheet"),
                                     QStringLiteral("iso_a4_210x297mm"), QPageLayout::Landscape});
    }
    CupsPrinting printing(std::make_unique<CupsSpooler>(), settingsPath);
    Quiet messages;
    Today clock;
    Stay session;
    ThreadBackground background;
    Services services;
    services.messages = &messages;
    services.clock = &clock;
    services.session = &session;
    services.printing = &printing;
    services.background = &background;
    services.offsetDirectory = work.path();
    MainWindow window(services);
    window.load();
    for (QLineEdit *edit : window.findChildren<QLineEdit *>())
        if (edit->text().isEmpty())
            edit->setText(QStringLiteral("委任状ソラフ123"));
    window.show();

    for (int i = 0; i < 3; ++i) // fonts and the first connection
        printOnce(window);
    QList<double> stalls, clicks;
    for (int i = 0; i < count; ++i) {
        const Run run = printOnce(window);
        if (!messages.told.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(messages.told));
            return 1;
        }
        stalls << run.longestStallMs;
        clicks << run.clickToEndMs;
    }
    std::printf("live queue, %d letters: longest stall median %.1f ms, worst %.1f ms; "
                "click to job accepted median %.1f ms\n",
                count, median(stalls), *std::max_element(stalls.begin(), stalls.end()),
                median(clicks));

    // The page the program hands over, as the queue's spool kept it, through `lp`.
    const QString pdf = work.filePath(QStringLiteral("letter.pdf"));
    messages.pdf = pdf;
    {
        QSettings settings(settingsPath, QSettings::IniFormat);
        savePrinterChoice(settings, {true, QString(), QStringLiteral("iso_a4_210x297mm"),
                                     QPageLayout::Landscape});
    }
    printOnce(window);
    QList<double> lp;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        QProcess process;
        process.start(QStringLiteral("lp"),
                      {"-h", cups.server(), "-d", "Sheet", "-o", "media=iso_a4_210x297mm", "-o",
                       "orientation-requested=4", "-o", "print-scaling=none", pdf});
        if (!process.waitForFinished(30000) || process.exitCode() != 0)
            return 1;
        lp << timer.nsecsElapsed() / 1e6;
    }
    std::printf("lp with the same PDF: median %.1f ms (program / lp = %.2f)\n", median(lp),
                median(clicks) / median(lp));

    {
        QSettings settings(settingsPath, QSettings::IniFormat);
        savePrinterChoice(settings, {false, QStringLiteral("Sheet"),
                                     QStringLiteral("iso_a4_210x297mm"), QPageLayout::Landscape});
    }
    ::kill(pid_t(cups.pid()), SIGSTOP);
    messages.told.clear();
    const Run stalled = printOnce(window);
    ::kill(pid_t(cups.pid()), SIGCONT);
    std::printf("stalled scheduler: longest stall %.1f ms; told after %.1f s: %s\n",
                stalled.longestStallMs, stalled.clickToEndMs / 1000,
                qPrintable(messages.told.section(QLatin1Char('\n'), 0, 0)));
    return 0;
}
