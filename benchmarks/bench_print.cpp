// Prints the letter to a PDF file destination N times and reports the median time per job and
// the peak memory, beside a bare QPainter page of the same 24 texts as the baseline. Each mode
// runs in a process of its own, so the peaks do not mix.

#include "core/printoffset.h"
#include "layout/letterjob.h"
#include "layout/placement.h"
#include "printing/cupsprinting.h"
#include "printing/printerchoice.h"
#include "printservice/cupsspooler.h"
#include "sampletexts.h"
#include "surfaces/japanesefont.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long currentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

struct Stats
{
    double medianMs = 0;
    double minMs = 0;
    double p90Ms = 0;
};

Stats summarise(QList<double> times)
{
    std::sort(times.begin(), times.end());
    Stats stats;
    stats.minMs = times.first();
    stats.medianMs = times.size() % 2 ? times[times.size() / 2]
                                      : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    stats.p90Ms = times[std::min<qsizetype>(times.size() - 1, times.size() * 9 / 10)];
    return stats;
}

// Times `job` count times after three warm-up rounds (font loading) and prints one line:
// median, min and p90 in ms, peak and grown memory in KB, size of the file written.
int measure(int count, const QString &target, const std::function<QString()> &job)
{
    QList<double> times;
    long before = 0;
    for (int i = -3; i < count; ++i) {
        if (i == 0)
            before = currentKilobytes();
        QElapsedTimer timer;
        timer.start();
        const QString failure = job();
        const double ms = timer.nsecsElapsed() / 1e6;
        if (!failure.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(failure));
            return 1;
        }
        if (i >= 0)
            times.append(ms);
    }
    const Stats stats = summarise(times);
    std::printf("%.3f %.3f %.3f %ld %ld %lld\n", stats.medianMs, stats.minMs, stats.p90Ms,
                peakKilobytes(), currentKilobytes() - before, QFile(target).size());
    return 0;
}

// The letter job through the program's own PDF-file destination.
int runLetter(int count, const QString &folder)
{
    const QString settingsPath = folder + QStringLiteral("/settings.ini");
    {
        QSettings settings(settingsPath, QSettings::IniFormat);
        savePrinterChoice(settings, {true, QString(), QStringLiteral("iso_a4_210x297mm"),
                                     QPageLayout::Landscape});
    }
    CupsPrinting printing(std::make_unique<CupsSpooler>(), settingsPath);
    const QString target = folder + QStringLiteral("/letter.pdf");

    Letter letter;
    letter.setDelegatedMatterTicked(true);
    for (int i = 0; i < kFieldCount; ++i)
        letter.setText(fieldAt(i), kTexts[i]);
    const PrintOffset offset{-15, 42};

    return measure(count, target, [&] {
        PrintPlacement placement;
        const auto job = printing.target();
        job->setFile(target);
        return printLetter(letter, offset, *job, placement);
    });
}

// The same 24 texts on a bare QPainter page: what drawing and writing a PDF costs at all.
int runBaseline(int count, const QString &folder)
{
    QString error;
    const QString family = japaneseFontFamily(&error);
    const QString target = folder + QStringLiteral("/baseline.pdf");
    return measure(count, target, [&] {
        QPdfWriter writer(target);
        writer.setResolution(1200);
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF()));
        QPainter painter(&writer);
        QFont font(family);
        for (int item = 0; item < kFieldCount; ++item) {
            font.setPointSize(kLetterItems[item].points);
            painter.setFont(font);
            painter.drawText(
                QPointF(kLetterItems[item].x * 1200 / 1440.0, kLetterItems[item].y * 1200 / 1440.0),
                kTexts[item]);
        }
        return QString();
    });
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({{"n", "count"}, "Jobs to time.", "N", "100"});
    parser.addOption(
        {"mode", "letter or baseline (runs both in child processes if absent).", "mode"});
    parser.addOption({"out", "Keep the last PDF of each mode in this folder.", "folder"});
    parser.process(app);
    const int count = std::max(1, parser.value("count").toInt());
    QTemporaryDir temporary;
    const QString folder = parser.isSet("out") ? parser.value("out") : temporary.path();

    const QString mode = parser.value("mode");
    if (mode == QLatin1String("letter"))
        return runLetter(count, folder);
    if (mode == QLatin1String("baseline"))
        return runBaseline(count, folder);

    QTextStream out(stdout);
    out << "jobs per mode: " << count << " (after 3 warm-up jobs), each mode in its own process\n";
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
               .arg("mode", -28)
               .arg("median ms", 10)
               .arg("min ms", 8)
               .arg("p90 ms", 8)
               .arg("peak RSS MB", 12)
               .arg("RSS growth KB", 14)
               .arg("PDF bytes", 10);
    for (const QString &child : {QStringLiteral("letter"), QStringLiteral("baseline")}) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--mode"), child, QStringLiteral("-n"),
                       QString::number(count), QStringLiteral("--out"), folder});
        if (!process.waitForFinished(-1) || process.exitCode() != 0) {
            out << child << ": failed\n";
            return 1;
        }
        const QStringList v = QString::fromLatin1(process.readAllStandardOutput()).split(' ');
        const QString label = child == QLatin1String("letter")
                                  ? QStringLiteral("letter job -> PDF file")
                                  : QStringLiteral("bare QPainter page, 24 texts");
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                   .arg(label, -28)
                   .arg(v.value(0), 10)
                   .arg(v.value(1), 8)
                   .arg(v.value(2), 8)
                   .arg(QString::number(v.value(3).toDouble() / 1024.0, 'f', 1), 12)
                   .arg(v.value(4), 14)
                   .arg(v.value(5).trimmed(), 10);
    }
    return 0;
}
