// How long the window's event loop stands still while a letter is printed through a private CUPS
// scheduler, live and stopped with SIGSTOP, and how long a click takes until the queue has
// accepted the job, paired with `lp` handing the same PDF to the same queue: each round prints
// once each way, the order turning round by round, and the ratio is taken round by round. The
// GUI thread sleeps in its event loop throughout; a heartbeat timer measures its stalls.

#include "../tests/privatecups.h"
#include "printing/cupsprinting.h"
#include "printing/printerchoice.h"
#include "printservice/cupsspooler.h"
#include "system/background.h"
#include "system/clock.h"
#include "system/session.h"
#include "ui/dialogs/messages.h"
#include "ui/main/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

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
    double clickToAcceptedMs = 0;
};

constexpr int kHeartbeatMs = 5;

// Clicks 印刷 and lets the window's own event loop run until the job ended. The stall is the
// longest gap between heartbeats beyond their interval.
Run printOnce(MainWindow &window)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0, accepted = -1;
    QTimer heartbeat;
    heartbeat.setInterval(kHeartbeatMs);
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.nsecsElapsed() - last);
        last = clock.nsecsElapsed();
    });
    QEventLoop loop;
    const auto onAccepted = QObject::connect(&window, &MainWindow::jobAccepted,
                                             [&] { accepted = clock.nsecsElapsed(); });
    const auto onFinished = QObject::connect(&window, &MainWindow::jobFinished, &loop,
                                             &QEventLoop::quit, Qt::QueuedConnection);
    heartbeat.start();
    window.ui().InsatsuBtn->click();
    if (window.printing())
        loop.exec();
    longest = std::max(longest, clock.nsecsElapsed() - last);
    QObject::disconnect(onAccepted);
    QObject::disconnect(onFinished);
    const double stall = std::max<qint64>(0, longest - kHeartbeatMs * 1000000LL) / 1e6;
    return {stall, (accepted < 0 ? clock.nsecsElapsed() : accepted) / 1e6};
}

// `lp` handing the PDF to the queue, from start to its exit (the queue has then accepted it).
double lpOnce(const PrivateCups &cups, const QString &pdf)
{
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.start(QStringLiteral("lp"),
                  {"-h", cups.server(), "-d", "Sheet", "-o", "media=iso_a4_210x297mm", "-o",
                   "orientation-requested=4", "-o", "print-scaling=none", pdf});
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    if (process.state() != QProcess::NotRunning)
        loop.exec();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return -1;
    return timer.nsecsElapsed() / 1e6;
}

void choose(const QString &settingsPath, bool pdfFile)
{
    QSettings settings(settingsPath, QSettings::IniFormat);
    savePrinterChoice(settings, {pdfFile, pdfFile ? QString() : QStringLiteral("Sheet"),
                                 QStringLiteral("iso_a4_210x297mm"), QPageLayout::Landscape});
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

    // The very page the program hands over, for `lp`.
    const QString pdf = work.filePath(QStringLiteral("letter.pdf"));
    messages.pdf = pdf;
    choose(settingsPath, true);
    printOnce(window);
    choose(settingsPath, false);
    for (int i = 0; i < 3; ++i) { // fonts, the first connections, the paper list
        printOnce(window);
        lpOnce(cups, pdf);
    }
    QList<double> stalls, clicks, lp, ratios;
    for (int i = 0; i < count; ++i) {
        const bool lpFirst = i % 2;
        const double lpBefore = lpFirst ? lpOnce(cups, pdf) : 0;
        const Run run = printOnce(window);
        const double lpMs = lpFirst ? lpBefore : lpOnce(cups, pdf);
        if (!messages.told.isEmpty() || lpMs < 0) {
            std::fprintf(stderr, "%s\n", lpMs < 0 ? "lp failed" : qPrintable(messages.told));
            return 1;
        }
        stalls << run.longestStallMs;
        clicks << run.clickToAcceptedMs;
        lp << lpMs;
        ratios << run.clickToAcceptedMs / lpMs;
    }
    std::printf("live queue, %d rounds: longest stall median %.1f ms, worst %.1f ms\n", count,
                median(stalls), *std::max_element(stalls.begin(), stalls.end()));
    std::printf("click to job accepted median %.1f ms; lp with the same PDF median %.1f ms; "
                "program / lp median of the pairs %.2f\n",
                median(clicks), median(lp), median(ratios));

    ::kill(pid_t(cups.pid()), SIGSTOP);
    messages.told.clear();
    const Run stalled = printOnce(window);
    ::kill(pid_t(cups.pid()), SIGCONT);
    std::printf("stalled scheduler: longest stall %.1f ms; told after %.1f s: %s\n",
                stalled.longestStallMs, stalled.clickToAcceptedMs / 1000,
                qPrintable(messages.told.section(QLatin1Char('\n'), 0, 0)));
    return 0;
}
