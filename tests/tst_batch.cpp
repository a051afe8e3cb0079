// Batches from a CSV file: reading and checking it, printing its rows, and the command line
// run as a real process with no display.

#include "batch/batchcsv.h"
#include "batch/batchfile.h"
#include "batch/batchprinter.h"
#include "fakes.h"
#include "history/historyletter.h"
#include "pagemeasure.h"
#include "privatecups.h"
#include "surfaces/pdfsurface.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <sys/mount.h>

// 受任者, then ソ twice: its second byte is a backslash, which a naive reading takes apart.
const QByteArray kCp932("\x8e\xf3\x94\x43\x8e\xd2\r\n\x83\x5c\x83\x5c\r\n");
const QByteArray kGood("受任者,委任者1 氏名又は会社名\n"
                       "山田,佐藤\n川口,鈴木\n");
// Three of the four pages of the small file system: a batch does not fit beside it.
const QByteArray kEarlier(12000, 'e');
const QByteArray kBad("受任者,委任者4 氏名\n山田,佐藤\n");

class TestBatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(m_cups.start() && m_cups.addQueue("Sheet"), qPrintable(m_cups.lastError));
    }

    void read_data()
    {
        QTest::addColumn<QByteArray>("csv");
        // key=text of the first row, or !row|column|part of the first problem
        QTest::addColumn<QString>("expected");
        QTest::newRow("UTF-8, LF") << kGood << "delegator1_name=佐藤";
        QTest::newRow("BOM, CRLF")
            << QByteArray("\xEF\xBB\xBF受任者\r\n田中\r\n") << "proxy_name=田中";
        QTest::newRow("CP932") << kCp932 << "proxy_name=ソソ";
        QTest::newRow("neither") << QByteArray("受任者\n\x81\x0a\n") << "!0|0|文字コード";
        const QByteArray quoted("受任者,委任者1 住所1\n\"a,\"\"b\"\"\",\"x\r\ny\"\n");
        QTest::newRow("quotes, commas") << quoted << "proxy_name=a,\"b\"";
        QTest::newRow("line break") << quoted << "delegator1_address1=x\r\ny";
        QTest::newRow("katakana") << QByteArray("委任者1 フリガナ\nやまだ\n")
                                  << "delegator1_reading=ヤマダ";
        QTest::newRow("keys, width, case")
            << QByteArray(" PROXY_NAME ,委任者１　肩書\nA,B\n") << "delegator1_title=B";
        QTest::newRow("missing column") << kGood << "vehicle_number=";
        QTest::newRow("empty year") << QByteArray("受任者,年,月\nA,,\n") << "year=8";
        QTest::newRow("empty month") << QByteArray("受任者,年,月\nA,,\n") << "month=12";
        QTest::newRow("matter ticks") << QByteArray("委任内容\n登録\n") << "ticked=1";
        QTest::newRow("no matter") << kGood << "ticked=0";
        const QByteArray blankMatter("委任内容,受任者\n　 ,A\n");
        QTest::newRow("blank matter") << blankMatter << "ticked=0";
        QTest::newRow("ragged") << QByteArray("受任者,年\nA,1,2\n") << "!2|0|項目の数";
        QTest::newRow("ragged after a blank line")
            << QByteArray("受任者,年\r\n\r\nA,1,2\r\n") << "!3|0|項目の数";
        QTest::newRow("NUL") << QByteArray("受任者\nA\0B\n", 14) << "!2|1|NUL";
        const QByteArray longName = "受任者\n" + QString(200, u'あ').toUtf8();
        QTest::newRow("too long") << longName << "!2|1|長すぎ";
        QTest::newRow("unknown column") << kBad << "!1|2|委任者4 氏名";
        QTest::newRow("open quote") << QByteArray("受任者\n\"A\n") << "!2|1|引用符";
        QTest::newRow("header only") << QByteArray("受任者\n") << "!0|0|印刷する行";
        Letter letter;
        letter.setText(Field::Delegator1Address1, "a,\"b\"\r\nc");
        letter.setText(Field::DelegatedMatter, "登録");
        QTest::newRow("export") << batchCsv({letter}) << "delegator1_address1=a,\"b\"\r\nc";
        QTest::newRow("export: matter not ticked") << batchCsv({letter}) << "ticked=0";
        QTest::newRow("template") << batchTemplate() << "!0|0|印刷する行";
        QTest::newRow("blank column") << QByteArray("受任者,\nA,\n") << "proxy_name=A";
        QTest::newRow("no header") << QByteArray("受任者,\nA,B\n") << "!2|2|見出しのない";
        const QByteArray tooMany = "受任者\n" + QByteArray("A\n").repeated(kBatchMaxRows + 1);
        QTest::newRow("too many") << tooMany << "!100002|0|大きすぎ";
        QTest::newRow("month 13") << QByteArray("月\n13\n") << "!2|1|日付";
    }
    void read()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QString, expected);
        const BatchFile file = readBatch(csv, FakeDesktop(), QString());
        if (expected.startsWith('!')) {
            QVERIFY(!file.printable());
            const BatchProblem &first = file.problems.first();
            const QStringList want = expected.mid(1).split('|');
            QCOMPARE(QString("%1|%2").arg(first.row).arg(first.column), want[0] + '|' + want[1]);
            QVERIFY2(first.reason.contains(want[2]), qPrintable(first.reason));
            return;
        }
        QVERIFY2(file.printable(), qPrintable(file.problems.value(0).reason));
        const Letter &letter = file.rows.first().letter;
        const QString key = expected.section('=', 0, 0);
        const QString text = key == "ticked" ? QString::number(letter.delegatedMatterTicked())
                                             : letter.text(*fieldFromKey(key));
        QCOMPARE(text, expected.section('=', 1));
    }

    void print_data()
    {
        QTest::addColumn<QString>("after");
        // sent | not sent | letters recorded
        QTest::addColumn<QString>("expected");
        QTest::newRow("all") << ""
                             << "2,3,4||3";
        QTest::newRow("fails") << "fail"
                               << "2|3,4|1";
        QTest::newRow("stopped") << "stop"
                                 << "2|3,4|1";
    }
    void print()
    {
        QFETCH(QString, after);
        QFETCH(QString, expected);
        FakePrinting printing;
        std::atomic_bool stop = false;
        QStringList recorded;
        BatchRun run;
        run.rows = readBatch("受任者\nA\nB\nC\n", FakeDesktop(), QString()).rows;
        run.target = [&printing] { return printing.target(); };
        run.stop = &stop;
        run.progressed = [&](int, int, const BatchRow &) {
            stop = after == "stop";
            printing.endError = after == "fail" ? "紙詰まり" : "";
        };
        run.record = [&](const HistoryLetter &letter) {
            recorded << letter.letter.text(Field::ProxyName) + (letter.batch ? "" : "?");
        };
        const BatchOutcome outcome = printBatch(run);
        const auto list = [](const QList<int> &rows) {
            QStringList texts;
            for (int row : rows)
                texts << QString::number(row);
            return texts.join(',');
        };
        QCOMPARE(list(outcome.sentRows) + '|' + list(outcome.unsentRows) + '|' +
                     QString::number(recorded.size()),
                 expected);
        QCOMPARE(recorded, QStringList({"A", "B", "C"}).mid(0, recorded.size()));
        QCOMPARE(outcome.failure.contains("紙詰まり"), after == "fail");
        // Nothing tried after a failure.
        QCOMPARE(printing.opened, recorded.size() + (after == "fail"));
    }

    void printer_data()
    {
        QTest::addColumn<QString>("pdf");
        QTest::newRow("queue") << "";
        QTest::newRow("pdf file") << "out.pdf";
    }
    void printer()
    {
        QFETCH(QString, pdf);
        QTemporaryDir dir;
        FakePrinting printing;
        FakeDesktop desktop;
        BatchPrinter printer(printing, nullptr, desktop.background);
        QSignalSpy progressed(&printer, &BatchPrinter::progressed);
        QSignalSpy finished(&printer, &BatchPrinter::finished);
        const QList<BatchRow> rows = readBatch("受任者\nA\nB\n", desktop, QString()).rows;
        const auto a4 = [](PageGeometry *page, QString *) {
            page->pageSize = QPageSize(QPageSize::A4);
            return true;
        };
        // A second batch once the first has ended.
        for (int run = 0; run < 2; ++run) {
            const bool started = pdf.isEmpty() ? printer.start(rows, {})
                                               : printer.startPdf(rows, {}, dir.filePath(pdf), a4);
            QVERIFY(started);
        }
        QCOMPARE(finished.size(), 2);
        QVERIFY(finished[1][0].value<BatchOutcome>().complete());
        QTRY_COMPARE(progressed.size(), 4);
        QCOMPARE(progressed.last(), QVariantList({2, 2, 3}));
        QCOMPARE(printing.pages.size(), pdf.isEmpty() ? 4 : 0);
        QCOMPARE(QFileInfo(dir.filePath(pdf)).isFile(), !pdf.isEmpty());
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("told");
        const QStringList toPdf{"--print", "@csv", "--pdf", "@pdf"};
        const QStringList toSheet{"--print", "@csv", "--printer", "Sheet"};
        QTest::newRow("help") << QStringList{"--help"} << kGood << 0 << "--check";
        QTest::newRow("no file") << QStringList{"--print"} << kGood << 3 << "ファイル名";
        QTest::newRow("unknown") << QStringList{"--frob"} << kGood << 3 << "「--frob」";
        QTest::newRow("two outputs")
            << toPdf + QStringList{"--printer", "Sheet"} << kGood << 3 << "どちらか";
        QTest::newRow("check") << QStringList{"--check", "@csv"} << kGood << 0
                               << "誤りはありません";
        QTest::newRow("check bad") << QStringList{"--check", "@csv"} << kBad << 1 << "委任者4";
        QTest::newRow("print bad") << toPdf << kBad << 1 << "1 行目 2 列目「委任者4";
        QTest::newRow("pdf") << toPdf << kGood << 0 << "2／2 枚";
        QTest::newRow("queue") << toSheet << kGood << 0 << "2／2 枚";
        QTest::newRow("from row 3")
            << toSheet + QStringList{"--from", "3"} << kGood << 0 << "1／1 枚　3 行目";
        QTest::newRow("no queue") << QStringList{"--print", "@csv", "--printer", "None"} << kGood
                                  << 2 << "送っていない行: 2、3 行目";
        QByteArray many = "受任者\n" + QByteArray("A\n").repeated(8);
        QTest::newRow("rejects") << toSheet << many << 2 << "「--from ";
        QTest::newRow("interrupted") << toSheet << many << 2 << "途中で中止しました";
        QTest::newRow("full disk") << QStringList{"--print", "@csv", "--pdf", "@full"} << many << 2
                                   << "送った行はありません";
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, csv);
        QFETCH(int, exit);
        QFETCH(QString, told);
        QTemporaryDir dir;
        const QString csvPath = dir.filePath("letters.csv"), pdf = dir.filePath("out.pdf");
        const QString full = dir.filePath("full"), earlier = full + "/out.pdf";
        QFile file(csvPath);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(csv) == csv.size());
        file.close();
        const bool fill = args.contains("@full");
        if (fill && !(QDir().mkpath(full) &&
                      ::mount("none", qPrintable(full), "tmpfs", 0, "size=16k") == 0))
            QSKIP("no tmpfs to be mounted here");
        const auto unmount = qScopeGuard([&] { fill && ::umount2(qPrintable(full), MNT_DETACH); });
        QFile before(earlier);
        QVERIFY(!fill ||
                (before.open(QIODevice::WriteOnly) && before.write(kEarlier) == kEarlier.size()));
        before.close();
        args.replaceInStrings("@csv", csvPath).replaceInStrings("@pdf", pdf);
        args.replaceInStrings("@full", earlier);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            env.insert(name, dir.path());
        const int jobsBefore = m_cups.jobs("Sheet").size();
        QProcess app;
        app.setProcessEnvironment(env);
        app.setProcessChannelMode(QProcess::MergedChannels);
        app.start(SORAFU_APP_PATH, args);
        QString output;
        bool rejected = false;
        while (app.state() != QProcess::NotRunning || app.bytesAvailable()) {
            app.waitForReadyRead(100);
            output += QString::fromUtf8(app.readAll());
            if (QTest::currentDataTag() == QByteArray("rejects") && !rejected &&
                output.contains("1／"))
                rejected = m_cups.tool("cupsreject", {"Sheet"});
            if (QTest::currentDataTag() == QByteArray("interrupted") && output.contains("1／"))
                app.terminate();
        }
        m_cups.tool("cupsaccept", {"Sheet"});
        QVERIFY2(output.contains(told), qPrintable(output));
        QCOMPARE(app.exitCode(), exit);
        const int sent = output.count("枚　");
        QCOMPARE(m_cups.jobs("Sheet").size() - jobsBefore, args.contains("Sheet") ? sent : 0);
        QVERIFY(!fill || (before.open(QIODevice::ReadOnly) && before.readAll() == kEarlier));
        {
            // Every letter that went out is in the history; nothing else.
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "history");
            db.setDatabaseName(dir.filePath("sorafu/history.sqlite"));
            QSqlQuery count(db.open() ? "SELECT COUNT(*) FROM letters" : "", db);
            const int kept = count.next() ? count.value(0).toInt() : 0;
            QCOMPARE(kept, exit == 0 || args.contains("Sheet") ? sent : 0);
        }
        QSqlDatabase::removeDatabase("history");
        QCOMPARE(QFile::exists(pdf), QTest::currentDataTag() == QByteArray("pdf"));
        if (!QFile::exists(pdf))
            return;
        QString error;
        QList<QMap<QString, QRectF>> pages;
        for (const pagemeasure::Word &word : pagemeasure::words(pdf, &error)) {
            // Every page as wide as the sheet, 297 mm, not Qt's 842 pt.
            QVERIFY(!word.text.isEmpty() || qAbs(word.mm.width() - 297) < 0.0035);
            word.text.isEmpty() ? pages.append(QMap<QString, QRectF>())
                                : void(pages.last()[word.text] = word.mm);
        }
        QCOMPARE(pages.size(), 2);
        QVERIFY2(pages[0].contains("山田") && pages[1].contains("鈴木"), qPrintable(error));
        // Each page its own sheet: the second letter where the first was.
        QCOMPARE(pages[1].value("川口"), pages[0].value("山田"));
    }

private:
    PrivateCups m_cups;
};

QTEST_MAIN(TestBatch)
#include "tst_batch.moc"
