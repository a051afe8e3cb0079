// The print history: a letter printed from the window is found again by what was typed and
// opened back; a writer killed at any moment leaves a sound file; a damaged, unreadable or
// unwritable file costs one message and never the printing; old letters go at start.

#include "fakes.h"
#include "history/history.h"
#include "history/historystore.h"
#include "system/texts.h"
#include "ui/history/historywindow.h"
#include "ui/main/mainwindow.h"

#include <QCompleter>
#include <QProcess>
#include <QRandomGenerator>
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

// Run as a child process: records letters until killed, telling each one once committed.
int writeUntilKilled(const QString &path)
{
    HistoryStore store(path);
    store.open();
    for (int i = 0;; ++i) {
        HistoryLetter letter = letterAt(QDateTime::currentDateTime(), QString::number(i));
        if (!store.record(letter))
            return 1;
        printf("%lld\n", letter.id);
        fflush(stdout);
    }
}

} // namespace

enum class Trouble { Garbage, FolderInPlace, ReadOnlyFolder };

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("from"); // days from today, or none
        QTest::addColumn<QStringList>("names");
        const QString quoted = QStringLiteral("O'Brien; DROP TABLE letters;--");
        const QString other = QStringLiteral("山田商事");
        QTest::newRow("everything, newest first") << "" << 99 << QStringList{other, quoted};
        QTest::newRow("quote") << "'" << 99 << QStringList{quoted};
        QTest::newRow("semicolon") << ";" << 99 << QStringList{quoted};
        QTest::newRow("percent is no wildcard") << "%" << 99 << QStringList{quoted};
        QTest::newRow("underscore is no wildcard") << "_" << 99 << QStringList{quoted};
        QTest::newRow("reading in hiragana") << "やまだ" << 99 << QStringList{other};
        QTest::newRow("number in full width") << "５００" << 99 << QStringList{quoted};
        QTest::newRow("address") << "港区" << 99 << QStringList{other, quoted};
        QTest::newRow("today") << "" << 0 << QStringList{other, quoted};
        QTest::newRow("tomorrow") << "" << 1 << QStringList{};
    }
    void roundTrip()
    {
        QFETCH(QString, query);
        QFETCH(int, from);
        QFETCH(QStringList, names);
        QTemporaryDir dir;
        History history(dir.filePath(QStringLiteral("history.sqlite")),
                        dir.filePath(QStringLiteral("settings.ini")));
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
            shown.append(list->ui().LetterList->topLevelItem(row)->text(1));
        QCOMPARE(shown, names);
        if (names.isEmpty())
            return;

        // Opened back: the entries as printed, the offsets as they are now.
        ui.ShinkiBtn->click();
        ui.Sayuu_Xtxt->setText(QStringLiteral("33"));
        list->ui().LetterList->setCurrentItem(
            list->ui().LetterList->topLevelItem(int(names.size()) - 1));
        list->ui().OpenBtn->click();
        QCOMPARE(ui.IninShimei->currentText(), names.last());
        QCOMPARE(ui.Combo10101->currentText(), QStringLiteral("佐藤"));
        QCOMPARE(ui.Sayuu_Xtxt->text(), QStringLiteral("33"));
    }
    void killedWriter()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        const int rounds = 12;
        int committed = 0;
        for (int round = 0; round < rounds; ++round) {
            QProcess writer;
            writer.start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--writer"), path});
            QVERIFY(writer.waitForReadyRead(10000)); // writing, then killed at any moment
            QTest::qWait(QRandomGenerator::global()->bounded(0, 60));
            writer.kill(); // SIGKILL, whatever it is doing
            writer.waitForFinished();
            committed += int(writer.readAllStandardOutput().count('\n'));
        }
        QVERIFY(committed >= rounds);
        HistoryStore store(path);
        QCOMPARE(store.open(), HistoryStore::Opened::Ready);
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery check(QStringLiteral("PRAGMA integrity_check"), db);
            QVERIFY(check.next());
            QCOMPARE(check.value(0).toString(), QStringLiteral("ok"));
            // Every letter told as committed is there, and at most the one in flight at each kill.
            QSqlQuery count(QStringLiteral("SELECT (SELECT count(*) FROM letters),"
                                           " (SELECT count(*) FROM letter_search)"),
                            db);
            QVERIFY(count.next());
            QVERIFY(count.value(0).toInt() >= committed);
            QVERIFY(count.value(0).toInt() <= committed + rounds);
            QCOMPARE(count.value(1).toInt(), count.value(0).toInt());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
    }
    void openProblems_data()
    {
        QTest::addColumn<Trouble>("trouble");
        QTest::addColumn<bool>("movedAside");
        QTest::addColumn<bool>("on");
        QTest::newRow("not a database") << Trouble::Garbage << true << true;
        QTest::newRow("a folder by its name") << Trouble::FolderInPlace << true << true;
        QTest::newRow("read-only folder") << Trouble::ReadOnlyFolder << false << false;
    }
    void openProblems()
    {
        QFETCH(Trouble, trouble);
        QFETCH(bool, movedAside);
        QFETCH(bool, on);
        QTemporaryDir dir;
        // Nothing may be created under /proc, not even by root.
        const QString folder =
            trouble == Trouble::ReadOnlyFolder ? QStringLiteral("/proc/sorafu") : dir.path();
        const QString path = folder + QStringLiteral("/history.sqlite");
        const QByteArray garbage(5000, 'x');
        QFile file(path);
        if (trouble == Trouble::Garbage)
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(garbage) && file.flush());
        if (trouble == Trouble::FolderInPlace)
            QDir().mkdir(path);
        QStringList messages;
        History history(path, dir.filePath(QStringLiteral("settings.ini")));
        connect(&history, &History::problem, [&](const QString &text) { messages.append(text); });
        settle(history);
        history.record(letterAt(QDateTime::currentDateTime(), QStringLiteral("次のお客様")));
        settle(history);
        QCOMPARE(messages.size(), 1); // one message, and none again for the letter after it
        QCOMPARE(history.isOn(), on);
        QCOMPARE(namesFound(history),
                 on ? QStringList{QStringLiteral("次のお客様")} : QStringList{});
        const QStringList aside =
            QDir(folder).entryList({QStringLiteral("history.sqlite.damaged-*")}, QDir::AllEntries);
        QCOMPARE(aside.size(), movedAside ? 1 : 0);
        if (trouble == Trouble::Garbage)
            QCOMPARE(QFile(QDir(folder).filePath(aside.value(0))).size(), garbage.size());
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
            for (const auto &[age, name] :
                 {std::pair{-13, "13か月前"}, std::pair{-11, "11か月前"}, std::pair{0, "昨日"}}) {
                HistoryLetter letter =
                    letterAt(now.addMonths(age).addDays(-1), QString::fromUtf8(name));
                QVERIFY(store.record(letter));
            }
        }
        if (months)
            QSettings(settings, QSettings::IniFormat).setValue("history/retentionMonths", months);
        History history(path, settings);
        QCOMPARE(namesFound(history), kept);

        // Turned off: the file goes, and nothing is kept after it.
        history.setKeep(false);
        history.record(letterAt(now, QStringLiteral("次")));
        settle(history);
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("history.sqlite*")}), QStringList());
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && argv[1] == QByteArray("--writer")) {
        QCoreApplication app(argc, argv);
        return writeUntilKilled(QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    TestHistory test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_history.moc"
