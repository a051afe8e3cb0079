// The print history with many letters: how long a search takes per keystroke, from the request
// to the answer on the window's thread, and how long the file takes to open in the background.
// Usage: bench_history letters [--fresh]   (the file of that many letters is made once, kept in
// the temporary folder, and made again with --fresh)

#include "history/history.h"
#include "history/historystore.h"
#include "system/background.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

const QStringList kFamilies = {"山田", "佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "中村",
                               "小林", "加藤", "吉田", "山本", "松本", "井上", "木村", "林"};
const QStringList kFamilyReadings = {
    "ヤマダ",   "サトウ", "スズキ", "タカハシ", "タナカ",   "イトウ",   "ワタナベ", "ナカムラ",
    "コバヤシ", "カトウ", "ヨシダ", "ヤマモト", "マツモト", "イノウエ", "キムラ",   "ハヤシ"};
const QStringList kGiven = {"太郎", "花子", "一郎", "美咲", "健太", "陽子", "翔", "愛"};
const QStringList kGivenReadings = {"タロウ", "ハナコ", "イチロウ", "ミサキ",
                                    "ケンタ", "ヨウコ", "ショウ",   "アイ"};
const QStringList kTowns = {"東京都港区芝",
                            "東京都品川区大井",
                            "神奈川県横浜市中区山下町",
                            "埼玉県さいたま市浦和区高砂",
                            "千葉県千葉市中央区富士見",
                            "大阪府大阪市北区梅田",
                            "愛知県名古屋市中村区名駅"};

HistoryLetter randomLetter(QRandomGenerator &random, const QDateTime &when)
{
    HistoryLetter letter;
    letter.printedAt = when;
    auto pick = [&](const QStringList &list) { return int(random.bounded(list.size())); };
    const Field people[3] = {Field::Delegator1Reading, Field::Delegator2Reading,
                             Field::Delegator3Reading};
    const int count = 1 + int(random.bounded(3));
    for (int p = 0; p < count; ++p) {
        const int family = pick(kFamilies), given = pick(kGiven);
        const int first = static_cast<int>(people[p]);
        Letter &l = letter.letter;
        l.setText(fieldAt(first), kFamilyReadings[family] + " " + kGivenReadings[given]);
        l.setText(fieldAt(first + 1), kFamilies[family] + "　" + kGiven[given]);
        l.setText(fieldAt(first + 4),
                  kTowns[pick(kTowns)] + QStringLiteral("%1丁目").arg(random.bounded(1, 9)));
        l.setText(fieldAt(first + 5),
                  QStringLiteral("%1番%2号").arg(random.bounded(1, 40)).arg(random.bounded(1, 30)));
    }
    letter.letter.setText(Field::ProxyName, "佐藤　一郎");
    letter.letter.setText(
        Field::VehicleNumber,
        QStringLiteral("品川%1あ%2").arg(random.bounded(300, 600)).arg(random.bounded(1000, 9999)));
    letter.offset = {0, 40};
    letter.printer = "Office";
    return letter;
}

// In transactions of 10,000 letters: as fast as one, without a million letters in memory.
void make(const QString &path, int letters)
{
    HistoryStore store(path);
    store.open();
    QRandomGenerator random(42);
    const QDateTime now = QDateTime::currentDateTime();
    // Spread over the last eleven months, oldest first, as a year of printing leaves them.
    for (int i = 0; i < letters;) {
        QList<HistoryLetter> chunk;
        for (; i < letters && chunk.size() < 10000; ++i)
            chunk.append(
                randomLetter(random, now.addSecs(-qint64(letters - i) * 330 * 86400 / letters)));
        if (!store.record(chunk))
            qFatal("could not write %s", qPrintable(path));
    }
}

// The resident memory of this process, in MB.
double residentMb()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[qMin(int(values.size()) - 1, int(p * values.size()))];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    // -n letters --make path: only the file, for the start-up benchmark.
    const int n =
        args.contains("-n") ? args.value(args.indexOf("-n") + 1).toInt() : args.value(1).toInt();
    if (n > 0 && args.contains("--make")) {
        make(args.value(args.indexOf("--make") + 1), n);
        return 0;
    }
    if (n <= 0) {
        std::fprintf(stderr, "usage: bench_history letters [--fresh]\n");
        return 2;
    }
    // Kept between runs, one file a size; copied, so that every run starts from the same file.
    const QString cached =
        QDir::temp().filePath(QStringLiteral("sorafu-bench-history-v4-%1.sqlite").arg(n));
    QElapsedTimer clock;
    clock.start();
    if (args.contains("--fresh") || !QFileInfo::exists(cached)) {
        QFile::remove(cached);
        make(cached, n);
        std::printf("recorded %d letters in %.1f s\n", n, clock.elapsed() / 1000.0);
    }
    QTemporaryDir dir(QDir::tempPath() + "/sorafu-bench-XXXXXX");
    const QString path = dir.filePath("history.sqlite");
    QFile::copy(cached, path);
    std::printf("file: %.0f MB\n", QFileInfo(path).size() / 1e6);

    {
        HistoryStore store(path);
        store.open();
        for (const char *start : {"first start (whole check)", "later start (index probe)"}) {
            clock.restart();
            store.isSound();
            std::printf("check after %s: %.1f ms\n", start, clock.nsecsElapsed() / 1e6);
        }
    }

    clock.restart();
    ThreadBackground background;
    History history(path, dir.filePath("settings.ini"), background);
    const qint64 constructed = clock.nsecsElapsed();
    QEventLoop loop;
    QObject::connect(&history, &History::changed, &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("open: constructor %.2f ms; ready in the background after %.0f ms\n",
                constructed / 1e6, clock.nsecsElapsed() / 1e6);

    // What a clerk types, one keystroke at a time: a reading in katakana and in hiragana, a
    // name, an address, a number, and a text found nowhere.
    const QStringList typed = {"ヤマダタロウ",   "やまだはなこ", "鈴木一郎",
                               "埼玉県さいたま", "品川512あ",    "ヴァヴィヴ"};
    QList<double> times;
    QObject::connect(&history, &History::found, &loop, &QEventLoop::quit);
    const double before = residentMb();
    for (int round = 0; round < 5; ++round)
        for (const QString &text : typed)
            for (int length = 1; length <= text.size(); ++length) {
                clock.restart();
                history.search({text.left(length)});
                loop.exec();
                times.append(clock.nsecsElapsed() / 1e6);
            }
    const double growth = residentMb() - before;
    QList<double> direct;
    {
        HistoryStore store(path);
        store.open();
        for (const QString &text : typed)
            for (int length = 1; length <= text.size(); ++length) {
                clock.restart();
                const auto found = store.search({text.left(length)});
                direct.append(clock.nsecsElapsed() / 1e6);
                std::printf("  %s: %lld found, %.2f ms\n", qPrintable(text.left(length)),
                            qint64(found.size()), direct.last());
            }
    }
    std::printf("search over %d letters, %lld keystrokes: first %.2f ms, median %.2f ms,"
                " p90 %.2f ms, max %.2f ms; memory %+.1f MB\n",
                n, qint64(times.size()), times.first(), percentile(times, 0.5),
                percentile(times, 0.9), percentile(times, 1.0), growth);
    return 0;
}
