// The print history: a letter printed from the window is found again by what was typed and
// opened back; a damaged, unreadable or unwritable file costs one message and never the
// printing; old letters go at start.

#include "history/history.h"
#include "history/historystore.h"
#include "ui/history/historywindow.h"
#include "windowfixture.h"

#include <QCompleter>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Lets the history's thread and then the window catch up, twice: an answer may ask again.
void settle(History &history)
{
    for (int i = 0; i < 2; ++i) {
        history.waitForIdle();
        QCoreApplication::processEvents();
    }
}

QStringList namesFound(History &history, const HistoryQuery &query = {})
{
    QStringList names;
    const QMetaObject::Connection c =
        QObject::connect(&history, &History::found, [&](int, const QList<HistoryLetter> &found) {
            names.clear();
            for (const HistoryLetter &letter : found)
                names.append(letter.letter.text(Field::Delegator1Name));
        });
    history.search(query);
    settle(history);
    QObject::disconnect(c);
    return names;
}

HistoryLetter letterAt(const QDateTime &when, const QString &name)
{
    HistoryLetter letter;
    letter.printedAt = when;
    letter.letter.setText(Field::Delegator1Name, name);
    return letter;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    // The search, the days from today (99: any day), the delegators listed, the field matched,
    // the reprint's answer and end.
    void roundTrip_data()
    {
        rows(R"(
            everything, newest first | - | 99 | 山田商事,O'Brien; DROP TABLE letters;--
            quote | ' | 99 | O'Brien; DROP TABLE letters;--
            semicolon | ; | 99 | O'Brien; DROP TABLE letters;--
            percent is no wildcard | %25 | 99 | O'Brien; DROP TABLE letters;--
            underscore is no wildcard | _ | 99 | O'Brien; DROP TABLE letters;--
            reading in hiragana | やまだ | 99 | 山田商事
            field matched | ﾔﾏﾀﾞ | 99 | 山田商事 | 委任者1 フリガナ
            number in full width | ５００ | 99 | O'Brien; DROP TABLE letters;--
            address | 港区 | 99 | 山田商事,O'Brien; DROP TABLE letters;--
            today | - | 0 | 山田商事,O'Brien; DROP TABLE letters;--
            tomorrow | - | 1 | -
            reprint called off | - | 0 | 山田商事,O'Brien; DROP TABLE letters;-- | - | no
            reprint fails | - | 0 | 山田商事,O'Brien; DROP TABLE letters;-- | - | fail
            newest deleted | - | 0 | 山田商事,O'Brien; DROP TABLE letters;-- | - | delete)");
    }
    void roundTrip()
    {
        QFETCH(QStringList, row);
        const QString query = row[0];
        const int from = row[1].toInt();
        const QStringList names = row[2].split(',', Qt::SkipEmptyParts);
        QTemporaryDir dir;
        ThreadBackground background;
        History history(dir.filePath(QStringLiteral("history.sqlite")),
                        dir.filePath(QStringLiteral("settings.ini")), background);
        FakeDesktop desktop;
        FakePrinting printing;
        Services services = desktop.services(dir.path());
        services.printing = &printing;
        services.history = &history;
        MainWindow window(services);
        window.load();
        Ui::Form1 &ui = window.ui();
        ui.RirekiBtn->click(); // open before the letters are printed: they come in as printed
        auto *list = window.findChild<HistoryWindow *>();
        ui.IninShimei->setEditText(QStringLiteral("O'Brien; DROP TABLE letters;--"));
        ui.IninJyu1->setEditText(QStringLiteral("港区_1-2 100%"));
        ui.Text10501->setText(QStringLiteral("品川500あ1234"));
        ui.Combo10101->setEditText(QStringLiteral("佐藤"));
        ui.InsatsuBtn->click();
        printing.cancel = true; // a PDF file dialog called off: nothing printed, nothing kept
        ui.InsatsuBtn->click();
        printing.cancel = false;
        ui.ShinkiBtn->click();
        QCOMPARE(ui.IninShimei->currentText(), QString());
        ui.IninShimei->setEditText(QStringLiteral("山田商事"));
        ui.cIninFuriganaBtn->setEditText(QStringLiteral("ヤマダショウジ"));
        ui.IninJyu1->setEditText(QStringLiteral("港区1"));
        ui.Combo10101->setEditText(QStringLiteral("佐藤"));
        ui.IchiBtn->click(); // marks are no letter
        ui.InsatsuBtn->click();
        QCOMPARE(printing.pages.size(), 3);
        settle(history);
        // The file and its companions are the clerk's alone.
        const QFileInfoList files = QDir(dir.path()).entryInfoList({"history.sqlite*"});
        QCOMPARE(files.size(), 3); // with its WAL and shared memory
        for (const QFileInfo &file : files)
            QCOMPARE(int(file.permissions() & 0x7077), int(QFile::ReadOwner | QFile::WriteOwner));

        // The proxy typed twice is offered first, in a popup that never rewrites what is typed.
        const QCompleter *completer = ui.Combo10101->completer();
        QCOMPARE(completer->completionMode(), QCompleter::PopupCompletion);
        QCOMPARE(static_cast<QStringListModel *>(completer->model())->stringList(),
                 QStringList{QStringLiteral("佐藤")});

        list->ui().SearchTxt->setText(query);
        list->ui().FromDate->setDate(QDate::currentDate().addDays(from));
        list->ui().ToDate->setDate(QDate::currentDate().addDays(from));
        list->ui().PeriodCheck->setChecked(from != 99);
        settle(history);
        QStringList shown;
        for (int row = 0; row < list->ui().LetterList->topLevelItemCount(); ++row)
            shown.append(list->ui().LetterList->topLevelItem(row)->text(3));
        QCOMPARE(shown, names);
        if (!row.value(3).isEmpty())
            QCOMPARE(list->ui().LetterList->topLevelItem(0)->text(5), row[3]);
        if (names.isEmpty())
            return;

        // Opened back: the entries as printed, the offsets as they are now.
        ui.ShinkiBtn->click();
        ui.Sayuu_Xtxt->setText(QStringLiteral("33"));
        desktop.date = desktop.date.addDays(1);
        list->ui().LetterList->setCurrentItem(
            list->ui().LetterList->topLevelItem(int(names.size()) - 1));
        list->ui().OpenBtn->click();
        QCOMPARE(ui.IninShimei->currentText(), names.last());
        QCOMPARE(ui.Combo10101->currentText(), QStringLiteral("佐藤"));
        QCOMPARE(ui.Sayuu_Xtxt->text(), QStringLiteral("33"));
        // A start for today's letter, dated today; the one printed again is marked so.
        QCOMPARE(ui.Combo10303->currentText(), QStringLiteral("06"));
        QCOMPARE(window.findChild<QLabel *>("noticeLabel")->text(),
                 "履歴の委任状を開きました。日付は今日にしています。");
        ui.RirekiBtn->click();
        // The reprint of the deleting row is printed and marked as any other.
        const bool deleting = row.value(4) == "delete";
        const QString answer = deleting ? QString() : row.value(4);
        desktop.printAnyway = answer != "no";
        printing.endError = answer == "fail" ? "紙が詰まりました。" : "";
        list->ui().ReprintBtn->click();
        settle(history);
        QVERIFY(desktop.shown.contains("printAnyway|ソラフ|"
                                       "プリンタ「Fake」に 1 枚印刷します。"));
        QCOMPARE(printing.pages.size(), answer == "no" ? 3 : 4);
        // Told in the window it was asked from.
        const QString sent = QStringLiteral("Fake に送りました（ジョブ 1）");
        if (answer != "no")
            QCOMPARE(list->ui().CountLabel->text(), answer.isEmpty() ? sent : printing.endError);
        const QString mark = answer.isEmpty() ? QStringLiteral("再印刷") : QString();
        QCOMPARE(list->ui().LetterList->topLevelItem(0)->text(6), mark);
        QTreeWidget *letters = list->ui().LetterList;
        const int count = letters->topLevelItemCount();
        desktop.yesToDelete = deleting;
        letters->setCurrentItem(letters->topLevelItem(0)); // the reprint
        list->ui().DeleteBtn->click();                     // asked with No the default
        settle(history);
        QVERIFY(desktop.shown.last().startsWith("question-no|"));
        QCOMPARE(letters->topLevelItemCount(), count - deleting);
        if (deleting) // the reprint gone, the letter it printed again kept
            QCOMPARE(letters->topLevelItem(0)->text(6), QString());
    }
    void earlierFile_data()
    {
        QTest::addColumn<QString>("offsetText");
        QTest::addColumn<int>("leftRight");
        QTest::newRow("whole number") << "-15" << -15;
        QTest::newRow("fraction, kept as text only") << "42.5" << 0;
    }
    // A file of version 1, as it was written then: entries under the window's control names,
    // offsets as typed, the search text folded without the iteration marks.
    void earlierFile()
    {
        QFETCH(QString, offsetText);
        QFETCH(int, leftRight);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        QJsonObject entries;
        for (int i = 0; i < kFieldCount; ++i)
            entries.insert(kFieldControls[i], QStringLiteral("みすゞ%1").arg(i));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), path);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery sql(db);
        for (const char *statement :
             {"CREATE TABLE letters(id INTEGER PRIMARY KEY, printed_at TEXT NOT NULL,"
              " delegated_matter INTEGER NOT NULL, offset_x TEXT, offset_y TEXT, printer TEXT,"
              " paper TEXT, orientation TEXT, job_id TEXT, entries TEXT)",
              "CREATE INDEX letters_printed_at ON letters(printed_at)",
              "CREATE TABLE letter_search(id INTEGER PRIMARY KEY, printed_at TEXT NOT NULL,"
              " text TEXT NOT NULL)",
              "INSERT INTO letter_search VALUES(1, '2026-01-05T10:00:00.000', 'ミスゞ7')",
              "PRAGMA user_version=1"})
            QVERIFY(sql.exec(QString::fromUtf8(statement)));
        sql.prepare("INSERT INTO letters VALUES(1, '2026-01-05T10:00:00.000', 1, ?, '40',"
                    " 'Office', 'A4', '横', '7', ?)");
        sql.addBindValue(offsetText);
        sql.addBindValue(QString::fromUtf8(QJsonDocument(entries).toJson()));
        QVERIFY(sql.exec());

        HistoryStore store(path);
        QCOMPARE(store.open(), HistoryStore::Opened::Ready);
        const QList<HistoryLetter> found = store.search({QStringLiteral("みすゞ7")});
        QCOMPARE(found.size(), 1);
        for (int i = 0; i < kFieldCount; ++i)
            QCOMPARE(found[0].letter.text(fieldAt(i)), QStringLiteral("みすゞ%1").arg(i));
        QVERIFY(found[0].letter.delegatedMatterTicked());
        QCOMPARE(found[0].offset, (PrintOffset{leftRight, 40}));
        QVERIFY(sql.exec("SELECT offset_x, offset_y FROM letters") && sql.next());
        QCOMPARE(sql.value(0).toString(), offsetText);
        QCOMPARE(sql.value(1).toString(), QStringLiteral("40"));
        QVERIFY(sql.exec("PRAGMA user_version") && sql.next());
        QCOMPARE(sql.value(0).toInt(), 4);
    }
    // What is in the way; whether it is moved aside, so that the history stays on.
    void openProblems_data()
    {
        rows(R"(
            not a database | garbage | yes
            a folder by its name | folder | yes
            a later version's file, left as it is | later | -
            read-only folder | /proc | -)");
    }
    void openProblems()
    {
        QFETCH(QStringList, row);
        const bool movedAside = !row[1].isEmpty();
        QTemporaryDir dir;
        // Nothing may be created under /proc, not even by root.
        const QString folder = row[0] == "/proc" ? QStringLiteral("/proc/sorafu") : dir.path();
        const QString path = folder + QStringLiteral("/history.sqlite");
        const QByteArray garbage(5000, 'x');
        QFile file(path);
        if (row[0] == "garbage")
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(garbage) && file.flush());
        if (row[0] == "folder")
            QDir().mkdir(path);
        QFile::setPermissions(folder, QFileDevice::Permissions(0x7755)); // others may read
        if (row[0] == "later") {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), path);
            db.setDatabaseName(path);
            QVERIFY(db.open() && QSqlQuery(db).exec("PRAGMA user_version=99"));
        }
        const QByteArray before = readFile(path);
        QStringList messages;
        ThreadBackground background;
        History history(path, dir.filePath(QStringLiteral("settings.ini")), background);
        connect(&history, &History::problem, [&](const QString &text) { messages.append(text); });
        settle(history);
        history.record(letterAt(QDateTime::currentDateTime(), QStringLiteral("次のお客様")));
        settle(history);
        QCOMPARE(messages.size(), 1); // one message, and none again for the letter after it
        QCOMPARE(history.isOn(), movedAside);
        QCOMPARE(int(QFileInfo(folder).permissions() & 0x0077), 0); // mended: the clerk's alone
        QCOMPARE(namesFound(history),
                 movedAside ? QStringList{QStringLiteral("次のお客様")} : QStringList{});
        const QStringList aside =
            QDir(folder).entryList({QStringLiteral("history.sqlite.damaged-*")}, QDir::AllEntries);
        QCOMPARE(aside.size(), movedAside ? 1 : 0);
        if (row[0] == "garbage")
            QCOMPARE(QFile(QDir(folder).filePath(aside.value(0))).size(), garbage.size());
        QCOMPARE(readFile(path) == before, !movedAside); // a later version's file untouched
    }
    void retention_data()
    {
        QTest::addColumn<int>("months");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("a year, the default") << 0 << QStringList{"昨日", "11か月前"};
        QTest::newRow("a month") << 1 << QStringList{"昨日"};
        QTest::newRow("five years") << 60 << QStringList{"昨日", "11か月前", "13か月前"};
    }
    void retention()
    {
        QFETCH(int, months);
        QFETCH(QStringList, kept);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        const QString settings = dir.filePath(QStringLiteral("settings.ini"));
        const QDateTime now = QDateTime::currentDateTime();
        {
            HistoryStore store(path);
            store.open();
            const std::pair<int, const char *> ages[] = {
                {-13, "13か月前"}, {-11, "11か月前"}, {0, "昨日"}};
            for (const auto &[age, name] : ages) {
                HistoryLetter letter =
                    letterAt(now.addMonths(age).addDays(-1), QString::fromUtf8(name));
                QVERIFY(store.record(letter));
            }
        }
        if (months)
            QSettings(settings, QSettings::IniFormat).setValue("history/retentionMonths", months);
        ThreadBackground background;
        {
            // Closed at once, it still writes the letter handed to it.
            History closing(path, settings, background);
            closing.record(letterAt(now, QStringLiteral("閉じる前")));
        }
        History history(path, settings, background);
        QCOMPARE(namesFound(history), QStringList{"閉じる前"} + kept);

        // Turned off: the file goes, and nothing is kept after it.
        history.setKeep(false);
        history.record(letterAt(now, QStringLiteral("次")));
        settle(history);
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("history.sqlite*")}), QStringList());
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
