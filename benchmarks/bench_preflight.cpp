// How long the check before printing takes for a full letter: every one of the 24 entries
// filled, each measured and each character looked up in the print font. Reports the median.
//   bench_preflight [--rounds N]

#include "layout/preflight.h"
#include "surfaces/japanesefont.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({"rounds", "How many checks to time.", "N", "200"});
    parser.process(app);
    const int rounds = std::max(1, parser.value("rounds").toInt());

    QString error;
    const QString family = japaneseFontFamily(&error);
    if (family.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QStringList texts =
        QStringLiteral("委任太郎 抹消登録 令和8 12 30 NZE141-9012345 カブシキガイシャソラフ "
                       "株式会社ソラフ 代表取締役 山田一郎 東京都千代田区霞が関1-1-1 ABCビル3F "
                       "ゴウドウガイシャ SORAFU-LLC 代表社員 鈴木花子 大阪市北区梅田2-2 "
                       "Umeda-Tower5F サンバン 三番商事 取締役 佐藤次郎 名古屋市中区栄3-3 "
                       "𠮷野家ビル😀")
            .split(' ');
    Letter letter;
    for (int i = 0; i < kFieldCount; ++i)
        letter.setText(fieldAt(i), texts[i]);
    letter.setDelegatedMatterTicked(true);

    std::vector<double> ms;
    int warned = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        warned = int(preflight(letter, family).size());
        ms.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("preflight, %d entries, %d warnings, %d rounds: median %.3f ms, slowest %.3f ms\n",
                kFieldCount, warned, rounds, ms[ms.size() / 2], ms.back());
    return 0;
}
