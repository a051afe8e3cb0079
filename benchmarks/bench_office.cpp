// The shared history's search per keystroke on a private PostgreSQL server holding many
// letters (1,000,000 unless given): each prefix of a few typed names is one keystroke, timed
// from the query to the letters read. Prints the median, the 90th percentile and the slowest.
//   bench_office [letters]

#include "../tests/privatepostgres.h"
#include "office/officeserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

namespace {

// Letters spread over three years, with names, readings, addresses and plates of a dealer's
// customers, folded as the program folds them.
const char *const kFill = R"(
SELECT setseed(0.23);
INSERT INTO letters(uid, printed_at, pc, user_name, delegated_matter, entries, reprint,
                    search_text)
SELECT gen_random_uuid(), timestamp '2023-01-01' + i * interval '90 seconds', 'pc-' || i % 6,
       'clerk', false, jsonb_build_object('delegator1_name', k || g, 'delegator1_reading',
       kr || gr, 'vehicle_number', v, 'delegator1_address1', a), false,
       v || kr || gr || k || g || a
FROM (SELECT i, s.k[1 + (random() * 39)::int] AS k, s.kr[1 + (random() * 39)::int] AS kr,
             s.g[1 + (random() * 19)::int] AS g, s.gr[1 + (random() * 19)::int] AS gr,
             s.ad[1 + (random() * 7)::int] || (1 + (random() * 40)::int) || '-' ||
             (1 + (random() * 30)::int) AS a,
             s.pl[1 + (random() * 7)::int] || (100 + (random() * 899)::int) ||
             s.kana[1 + (random() * 9)::int] || lpad((random() * 9999)::int::text, 4, '0') AS v
      FROM generate_series(1, %1) i, (SELECT
        '{山田,佐藤,鈴木,高橋,田中,伊藤,渡辺,中村,小林,加藤,吉田,山本,松本,井上,木村,林,斎藤,
          清水,山口,森,池田,橋本,阿部,石川,山崎,中島,前田,藤田,小川,後藤,岡田,長谷川,村上,近藤,
          石井,坂本,遠藤,青木,藤井,西村}'::text[] AS k,
        '{ヤマダ,サトウ,スズキ,タカハシ,タナカ,イトウ,ワタナベ,ナカムラ,コバヤシ,カトウ,ヨシダ,
          ヤマモト,マツモト,イノウエ,キムラ,ハヤシ,サイトウ,シミズ,ヤマグチ,モリ,イケダ,ハシモト,
          アベ,イシカワ,ヤマザキ,ナカジマ,マエダ,フジタ,オガワ,ゴトウ,オカダ,ハセガワ,ムラカミ,
          コンドウ,イシイ,サカモト,エンドウ,アオキ,フジイ,ニシムラ}'::text[] AS kr,
        '{太郎,花子,一郎,美咲,健太,陽子,大輔,直美,翔,由美,誠,恵子,拓也,真理,浩,愛,修,明美,
          剛,綾}'::text[] AS g,
        '{タロウ,ハナコ,イチロウ,ミサキ,ケンタ,ヨウコ,ダイスケ,ナオミ,ショウ,ユミ,マコト,ケイコ,
          タクヤ,マリ,ヒロシ,アイ,オサム,アケミ,ツヨシ,アヤ}'::text[] AS gr,
        '{東京都千代田区丸の内,東京都練馬区豊玉北,神奈川県横浜市中区,埼玉県サイタマ市大宮区,
          千葉県千葉市中央区,大阪府大阪市北区,愛知県名古屋市中区,福岡県福岡市博多区}'::text[] AS ad,
        '{品川,練馬,横浜,大宮,千葉,ナニワ,名古屋,福岡}'::text[] AS pl,
        '{サ,ス,セ,ソ,タ,チ,ツ,テ,ト,ナ}'::text[] AS kana) s) r;
)";

// What clerks type: each prefix is one keystroke.
const char *const kTyped[] = {"ヤマダタロウ", "山田太郎",  "ハセガワアヤ", "長谷川綾",
                              "練馬512サ",    "横浜市中区", "ニシムラ",     "西村",
                              "1234",         "ゾ",         "豊玉北31",     "品川"};

double at(const QList<double> &sorted, double share)
{
    return sorted[qMin(sorted.size() - 1, int(share * sorted.size()))];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int letters = argc > 1 ? QString(argv[1]).toInt() : 1000000;
    PrivatePostgres server;
    if (!PrivatePostgres::available() || !server.start())
        return std::fprintf(stderr, "no server: %s\n", qPrintable(server.lastError)), 1;
    OfficeServer office(server.connection());
    if (office.connect() != OfficeServer::State::Connected)
        return std::fprintf(stderr, "%s\n", qPrintable(office.lastError())), 1;
    QElapsedTimer filling;
    filling.start();
    // The indexes are built after the letters, as a restore would.
    const bool filled = server.sql("DROP INDEX letters_search, letters_grams;") &&
                        server.sql(QString(kFill).arg(letters)) &&
                        server.sql("SET maintenance_work_mem = '512MB';"
                                   "CREATE INDEX letters_search ON letters USING gin"
                                   " (search_text gin_trgm_ops);"
                                   "CREATE INDEX letters_grams ON letters USING gin (grams);") &&
                        server.sql("VACUUM ANALYZE letters;");
    if (!filled)
        return std::fprintf(stderr, "%s\n", qPrintable(server.lastError)), 1;
    std::printf("%d letters filled in %.0f s\n", letters, filling.elapsed() / 1000.0);
    QList<double> times;
    QList<double> shortTimes;
    for (int round = 0; round < 3; ++round) {
        for (const char *typed : kTyped) {
            const QString text = QString::fromUtf8(typed);
            for (int length = 1; length <= text.size(); ++length) {
                QElapsedTimer timer;
                timer.start();
                const auto found = office.search({text.left(length), {}, {}}, 100);
                const double ms = timer.nsecsElapsed() / 1e6;
                if (!found)
                    return std::fprintf(stderr, "%s\n", qPrintable(office.lastError())), 1;
                // The first round warms the server's cache, as a day's first searches do.
                if (round > 0)
                    (length <= 2 ? shortTimes : times).append(ms);
                if (round == 2)
                    std::printf("%-14s %3lld found %7.2f ms\n", qPrintable(text.left(length)),
                                qlonglong(found->size()), ms);
            }
        }
    }
    times += shortTimes;
    std::sort(times.begin(), times.end());
    std::sort(shortTimes.begin(), shortTimes.end());
    std::printf("keystrokes %lld: median %.2f ms, p90 %.2f ms, slowest %.2f ms\n",
                qlonglong(times.size()), at(times, 0.5), at(times, 0.9), times.last());
    std::printf("of them 1-2 characters %lld: median %.2f ms, p90 %.2f ms, slowest %.2f ms\n",
                qlonglong(shortTimes.size()), at(shortTimes, 0.5), at(shortTimes, 0.9),
                shortTimes.last());
    return 0;
}
