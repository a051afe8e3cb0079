// 一括印刷: a CSV file checked before anything prints, its rows sent one job a letter into the
// history, stopped, failed and resumed without a row sent twice.

#include "windowfixture.h"

#include "ui/batch/batchwindow.h"
#include "ui/history/historywindow.h"

#include <QMimeData>

class TestBatchWindow : public QObject
{
    Q_OBJECT

    // The delegators of the pages that went out since `from`, as the rows name them.
    static QStringList sent(const FakePrinting &printing, int from = 0)
    {
        QStringList names;
        for (const QStringList &page : printing.pages.mid(from))
            for (const QString &name : {"甲", "乙", "丙"})
                if (page.last() == "end" && page.contains(name))
                    names << name;
        return names;
    }

private slots:
    // The file's header and rows, the page whose end stops (s) or fails (f) the batch, the
    // delegators sent and kept in the history as from a batch, what the window tells, and
    // what a second 印刷 sends.
    void flows_data()
    {
        rows(R"(
            three rows, three jobs | proxy_name,delegator1_name |
                佐藤,甲\n佐藤,乙\n佐藤,丙 | - | 甲 乙 丙 | 3／3 枚 | -
            stopped after the first | proxy_name,delegator1_name |
                佐藤,甲\n佐藤,乙\n佐藤,丙 | s1 | 甲 | 3、4 行目 | 乙 丙
            second job fails | proxy_name,delegator1_name |
                佐藤,甲\n佐藤,乙\n佐藤,丙 | f2 | 甲 | 3、4 行目 | 乙 丙
            unknown column | proxy_name,delegator1_nam |
                佐藤,甲 | - | - | delegator1_nam | -
            one bad row | proxy_name,delegator1_name |
                佐藤,甲\n佐藤,乙,丙 | - | - | 3 行目 | -
            quote left open | proxy_name | %22佐藤 | - | - | 引用符 | -)");
    }
    void flows()
    {
        QFETCH(QStringList, row);
        WindowFixture m;
        m.keepHistory(m.desktop.background);
        m.start();
        m.window->showBatch();
        BatchWindow *batch = m.window->batch();
        m.desktop.pickedCsv = m.dir.filePath("batch.csv");
        const QString header = row.takeFirst();
        QVERIFY(place(m.desktop.pickedCsv, (header + '\n' + row[0]).toUtf8()));
        batch->ui().OpenFileBtn->click();
        batch->ui().RowTable->selectAll(); // rows with errors too
        QCOMPARE(batch->ui().PrintBtn->isEnabled(), row[2] != "");
        m.printing.beforeEnd = [&](int page) {
            if (row[1] == QStringLiteral("s%1").arg(page))
                batch->stopThen({});
            if (row[1] == QStringLiteral("f%1").arg(page))
                m.printing.endError = "プリンタが応答しません。";
        };
        batch->ui().PrintBtn->click();
        QCoreApplication::processEvents(); // the progress and the history's letters
        QCOMPARE(sent(m.printing).join(' '), row[2]);
        // In the message when there is one; else in the window.
        const Ui::BatchWindow &ui = batch->ui();
        const QStringList failures = m.desktop.shown.filter("critical|");
        QStringList told = failures;
        if (told.isEmpty())
            told << ui.SummaryLabel->text() << ui.ProgressBar->text();
        for (int i = 0; failures.isEmpty() && i < ui.RowTable->rowCount(); ++i)
            told << ui.RowTable->item(i, 1)->text();
        QVERIFY2(told.join('\n').contains(row[3]), qPrintable(told.join('\n')));

        QStringList kept;
        connect(m.history.get(), &History::found, [&](int, const QList<HistoryLetter> &found) {
            for (const HistoryLetter &letter : found)
                kept << letter.letter.text(Field::Delegator1Name) + (letter.batch ? "" : "?");
        });
        m.history->search({});
        std::reverse(kept.begin(), kept.end()); // newest first
        QCOMPARE(kept.join(' '), row[2]);

        m.printing.beforeEnd = {};
        m.printing.endError.clear();
        const int before = int(m.printing.pages.size());
        batch->ui().PrintBtn->click();
        QCOMPARE(sent(m.printing, before).join(' '), row[4]);
    }

    // Where ひな形を保存 or the history's export writes, how the file starts (<missing>: the
    // failure told instead), and a text it holds.
    void files_data()
    {
        rows(R"(
            template | template | out.csv | %EF%BB%BF%22受任者%22,%22委任内容%22 | -
            template, no folder | template | none/out.csv | <missing> | -
            history export | export | out.csv |
                %EF%BB%BF%22受任者%22,%22委任内容%22 | 株式会社ソラフ
            export, no folder | export | none/out.csv | <missing> | -)");
    }
    void files()
    {
        QFETCH(QStringList, row);
        ThreadBackground background; // the history window skips answers that come inline
        WindowFixture m;
        m.keepHistory(background);
        m.start();
        m.desktop.pickedCsv = m.dir.filePath(row[1]);
        if (row[0] == "template") {
            m.window->showBatch();
            m.window->batch()->ui().TemplateBtn->click();
        } else {
            m.fill();
            m.window->ui().InsatsuBtn->click();
            m.window->ui().RirekiBtn->click();
            for (int i = 0; i < 2; ++i) { // an answer may ask again
                m.history->waitForIdle();
                QCoreApplication::processEvents();
            }
            m.window->findChild<HistoryWindow *>()->ui().ExportBtn->click();
        }
        const QString written = QString::fromUtf8(readFile(m.desktop.pickedCsv));
        QVERIFY2(written.startsWith(row[2]) && written.contains(row[3]), qPrintable(written));
        const bool failed = row[2] == "<missing>";
        QCOMPARE(m.desktop.shown.filter("critical|").size(), int(failed));
    }

    // A CSV file dropped on an entry field opens 一括印刷 with its rows; no other file does.
    void drop_data()
    {
        rows(R"(
            CSV file | a.csv | 1
            capitals | B.CSV | 1
            text file | c.txt | -)");
    }
    void drop()
    {
        QFETCH(QStringList, row);
        WindowFixture m;
        m.start();
        const QString path = m.dir.filePath(row[0]);
        QVERIFY(place(path, "proxy_name\n佐藤\n"));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        data.setText(path); // as file managers offer it, which a field would take
        // As a drag does: the drop goes where the entering was accepted.
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(m.field("proxy_name"), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(m.field("proxy_name"), &drop);
        BatchWindow *batch = m.window->batch();
        QCOMPARE(batch ? QString::number(batch->ui().RowTable->rowCount()) : "", row[1]);
    }
};

QTEST_MAIN(TestBatchWindow)
#include "tst_batchwindow.moc"
