// How long the 一括印刷 window's event loop stands still while a CSV file of many rows is read
// and checked off the GUI thread and its table filled, and how long until the table shows it.
// `bench_batchwindow [rows] [runs]`, under Xvfb or QT_QPA_PLATFORM=offscreen.

#include "../tests/fakes.h"
#include "ui/batch/batchwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 9;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("batch.csv"));
    QByteArray csv = "\xEF\xBB\xBFproxy_name,delegated_matter,vehicle_number,delegator1_reading,"
                     "delegator1_name,delegator1_title,delegator1_representative,"
                     "delegator1_address1,delegator1_address2\r\n";
    for (int i = 0; i < rows; ++i)
        csv += QStringLiteral("佐藤,抹消,NZE141-%1,かぶしきがいしゃそらふ,株式会社ソラフ%1,"
                              "代表取締役,山田一郎,東京都千代田区霞が関1-1-1,ABCビル3F\r\n")
                   .arg(i)
                   .toUtf8();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size())
        return 1;
    file.close();

    ThreadBackground background;
    FakeDesktop desktop;
    desktop.date = QDate::currentDate();
    FakePrinting printing;
    Services services = desktop.services(dir.path(), &printing);
    services.background = &background;
    BatchWindow window(
        services, [](QString *) { return std::optional<PrintOffset>(PrintOffset{}); }, nullptr);
    window.show();
    QList<double> totals, stalls;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        window.openFile(path);
        qint64 last = 0, longest = 0;
        while (window.loading()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        }
        totals << clock.nsecsElapsed() / 1e6;
        stalls << double(longest);
        if (window.ui().RowTable->rowCount() != rows)
            return 2;
    }
    std::sort(totals.begin(), totals.end());
    std::sort(stalls.begin(), stalls.end());
    std::printf("%d rows, %d runs: file to table median %.1f ms (max %.1f), longest stall "
                "median %.1f ms (max %.1f)\n",
                rows, runs, totals[runs / 2], totals.last(), stalls[runs / 2], stalls.last());
    return 0;
}
