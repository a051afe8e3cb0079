// The office's shared history on a real PostgreSQL server of the test's own: two PCs find each
// other's letters, a server that stops loses none, a role without rights costs one message,
// and an empty server gets its tables.

#include "history/history.h"
#include "office/officeserver.h"
#include "office/officesettings.h"
#include "office/officestore.h"
#include "office/sharedoffsets.h"
#include "privatepostgres.h"
#include "system/background.h"
#include "windowfixture.h"

#include <QtTest>

#include <future>

namespace {

const QString kUnreachable = "共有の印刷履歴に接続できません。"
                             "このパソコンに保存し、つながったら送ります。";

HistoryLetter letterOf(const QString &name, const QString &reading = {})
{
    HistoryLetter letter;
    letter.printedAt = QDateTime::currentDateTime();
    letter.letter.setText(Field::Delegator1Name, name);
    letter.letter.setText(Field::Delegator1Reading, reading);
    return letter;
}

bool keep(OfficeStore &store, const QString &name)
{
    HistoryLetter letter = letterOf(name);
    return store.record(letter);
}

// "name@user" of each letter, newest first.
QStringList listed(const QList<HistoryLetter> &letters)
{
    QStringList names;
    for (const HistoryLetter &letter : letters)
        names.append(letter.letter.text(Field::Delegator1Name) + '@' + letter.user);
    return names;
}

} // namespace

class TestOffice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!PrivatePostgres::available())
            QSKIP("the PostgreSQL server is not installed");
        QVERIFY2(m_server.start(), qPrintable(m_server.lastError));
        QVERIFY(m_server.sql("CREATE DATABASE sharing"));
        record("clerk-b", letterOf("山田太郎", "ヤマダ"));
        // Then more letters than a search looks through before it asks the indexes.
        QVERIFY(m_server.sql("INSERT INTO letters(uid, printed_at, pc, user_name,"
                             " delegated_matter, entries, reprint, search_text)"
                             " SELECT gen_random_uuid(), now(), '', '', false, '{}', false, 'ゼ'"
                             " FROM generate_series(1, 20000)",
                             "sharing"));
        record("clerk-a", letterOf("佐藤花子", "サトウ"));
    }

    // Each clerk prints one letter under a HOME of their own, 20,000 letters apart; the second
    // finds both.
    void sharing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("long ago") << "山田太郎" << QStringList{"山田太郎@clerk-b"};
        QTest::newRow("trigrams") << "佐藤花" << QStringList{"佐藤花子@clerk-a"};
        QTest::newRow("one character") << "山" << QStringList{"山田太郎@clerk-b"};
        QTest::newRow("two characters") << "花子" << QStringList{"佐藤花子@clerk-a"};
        QTest::newRow("reading in hiragana") << "さとう" << QStringList{"佐藤花子@clerk-a"};
        QTest::newRow("no such letter") << "鈴木" << QStringList{};
        QTest::newRow("percent is a character") << "%太郎" << QStringList{};
        QTest::newRow("underscore too") << "田_郎" << QStringList{};
    }
    void sharing()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, found);
        ThreadBackground background;
        QTemporaryDir home;
        History history(home.filePath("history.sqlite"), home.filePath("settings.ini"), background,
                        officeStores(m_server.connection("sharing")));
        std::optional<QStringList> names;
        connect(&history, &History::found, this,
                [&](int, const QList<HistoryLetter> &letters) { names = listed(letters); });
        history.search({text, {}, {}});
        QTRY_VERIFY(names);
        QCOMPARE(*names, found);
    }

    // The server stops between letters, shut down or killed, and starts again: the letters
    // wait on the PC, are sent in order once it answers, and none twice. Told once per outage.
    void outage_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("shut down") << SIGINT;
        QTest::newRow("killed") << SIGKILL;
    }
    void outage()
    {
        QFETCH(int, signal);
        QVERIFY(m_server.sql("DROP DATABASE IF EXISTS outage") &&
                m_server.sql("CREATE DATABASE outage"));
        QTemporaryDir home;
        OfficeStore store(m_server.connection("outage"), home.filePath("history.sqlite"), "pc-a",
                          "clerk-a", 0);
        QCOMPARE(store.open(), LetterStore::Opened::Ready);
        QVERIFY(keep(store, "一"));
        m_server.stop(signal);
        QVERIFY(keep(store, "二"));
        QCOMPARE(store.takeNotice(), kUnreachable);
        QVERIFY(keep(store, "三"));
        QVERIFY(store.search({}).size() == 3); // this PC's own file meanwhile
        QCOMPARE(store.takeNotice(), QString());
        QVERIFY2(m_server.start(), qPrintable(m_server.lastError));
        QVERIFY(keep(store, "四"));
        OfficeServer other(m_server.connection("outage"));
        const QJsonObject twice = officeLetter(letterOf("五"));
        QVERIFY(other.insert(twice) && other.insert(twice));
        const QStringList all{"五@", "四@clerk-a", "三@clerk-a", "二@clerk-a", "一@clerk-a"};
        QCOMPARE(listed(other.search({}, 100).value_or(QList<HistoryLetter>())), all);
        QCOMPARE(store.takeNotice(), QString());
        // A letter the server cannot hold (a NUL) is told and holds back none behind it.
        QVERIFY(keep(store, QString("六") + QChar(0)) && keep(store, "七"));
        QVERIFY(store.takeNotice().contains("送れませんでした"));
        QCOMPARE(listed(other.search({}, 1).value_or(QList<HistoryLetter>())), {"七@clerk-a"});
    }

    // Two PCs record at the same moment, each on its own connection: the office keeps them all.
    void together()
    {
        QVERIFY(m_server.sql("CREATE DATABASE together"));
        QTemporaryDir homeA;
        QTemporaryDir homeB;
        const auto clerk = [this](const QTemporaryDir *home, const QString &pc) {
            OfficeStore store(m_server.connection("together"), home->filePath("history.sqlite"), pc,
                              "clerk", 0);
            int kept = store.open() == LetterStore::Opened::Ready ? 0 : -1000;
            for (int letter = 0; letter < 40; ++letter)
                kept += keep(store, pc + QString::number(letter)) ? 1 : 0;
            return kept;
        };
        auto pcB = std::async(std::launch::async, clerk, &homeB, QString("b"));
        QCOMPARE(clerk(&homeA, "a"), 40);
        QCOMPARE(pcB.get(), 40);
        OfficeServer office(m_server.connection("together"));
        QCOMPARE(office.search({}, 200).value_or(QList<HistoryLetter>()).size(), 80);
    }

    // PC A calibrates a network printer that PC B, a window, knows under another name: B shows
    // A's offsets as a switch of printer does, also those A kept before the office shared them
    // or saved while the server was down; never over offsets typed and not saved.
    void offsets_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("boxes");
        const QString lan = "ipp://lan-printer/ipp/print";
        QTest::newRow("network printer") << lan << "saved"
                                         << "15 35";
        QTest::newRow("kept before") << lan + "/1"
                                     << "kept"
                                     << "15 35";
        QTest::newRow("saved while down") << lan + "/2"
                                          << "down"
                                          << "15 35";
        QTest::newRow("saved while down, PC restarted") << lan + "/5"
                                                        << "down, restarted"
                                                        << "15 35";
        QTest::newRow("typed, not saved") << lan + "/3"
                                          << "typed"
                                          << "7 6";
        QTest::newRow("edited on the server, out of range") << lan + "/4"
                                                            << "edited"
                                                            << "5 6";
        QTest::newRow("PDF file") << QString() << "saved"
                                  << "5 6";
        QTest::newRow("USB printer") << "usb://EPSON/LQ-690"
                                     << "saved"
                                     << "5 6";
        QTest::newRow("PDF printer") << "cups-pdf:/"
                                     << "saved"
                                     << "5 6";
    }
    void offsets()
    {
        QFETCH(QString, uri);
        QFETCH(QString, how);
        QFETCH(QString, boxes);
        WindowFixture b;
        PrinterOffsetFile fileB(b.dir.path());
        const QString office = m_server.connection("sharing");
        SharedPrinterOffsets pcB(fileB, office, "pc-b", b.desktop.background, 0);
        b.offsets = &pcB;
        Ui::Form1 &ui = b.start();
        b.printing.identity = PrinterIdentity{uri.isEmpty(), "2階", uri};
        QTest::mouseClick(ui.PriDiaBtn, Qt::LeftButton);
        QTemporaryDir homeA;
        PrinterOffsetFile fileA(homeA.path());
        const QString unsent = homeA.filePath("unsent.txt");
        std::optional<SharedPrinterOffsets> pcA;
        pcA.emplace(fileA, office, "pc-a", b.desktop.background, 0, unsent);
        const PrinterIdentity printerA{uri.isEmpty(), "laser", uri};
        PrinterOffsets &saver = how == "kept" ? static_cast<PrinterOffsets &>(fileA) : *pcA;
        QVERIFY(saver.save(printerA, PrintOffset{1, 2}).isEmpty());
        if (how.startsWith("down"))
            m_server.stop();
        QVERIFY(saver.save(printerA, PrintOffset{15, 35}).isEmpty());
        QVERIFY2(!how.startsWith("down") || m_server.start(), qPrintable(m_server.lastError));
        // PC A closed and started again before the server took its save.
        if (how == "down, restarted")
            pcA.emplace(fileA, office, "pc-a", b.desktop.background, 0, unsent);
        QVERIFY(how != "edited" ||
                m_server.sql("UPDATE printer_offsets SET left_right = 5000", "sharing"));
        if (how != "saved" && how != "edited")
            pcA->refresh(printerA, this, [] {});
        QString why;
        QCOMPARE(fileA.find(printerA, &why), PrintOffset({15, 35}));
        QVERIFY(how != "edited" || !OfficeServer(office).sharedOffset(uri));
        ui.Sayuu_Xtxt->setText(how == "typed" ? "7" : "5");
        QTest::mouseClick(ui.PriDiaBtn, Qt::LeftButton);
        QCOMPARE(ui.Sayuu_Xtxt->text() + ' ' + ui.Jyouge_Ytxt->text(), boxes);
        const auto *label = b.window->findChild<QLabel *>("noticeLabel");
        const QString told = label->isVisibleTo(b.window.get()) ? label->text() : QString();
        QCOMPARE(told.endsWith("（左右 15・上下 35）にしました"), boxes == "15 35");
    }

    // A role the administrator made: with the README's rights it works, without it is told
    // once and this PC's history goes on.
    void rights_data()
    {
        QTest::addColumn<QString>("grants");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<int>("onServer");
        const QString leastPrivilege =
            "GRANT SELECT, INSERT, DELETE ON letters, printer_offsets, sorafu_schema TO %1;"
            "GRANT UPDATE (left_right, up_down, pc, saved_at) ON printer_offsets TO %1;"
            "GRANT USAGE ON SEQUENCE letters_id_seq TO %1;";
        QTest::newRow("least privilege") << leastPrivilege << QString() << 2;
        QTest::newRow("none") << QString() << "共有の印刷履歴を使う権限" << 0;
    }
    void rights()
    {
        QFETCH(QString, grants);
        QFETCH(QString, notice);
        QFETCH(int, onServer);
        const QString role = QString("clerk_%1").arg(onServer);
        QVERIFY(m_server.sql("CREATE DATABASE " + role));
        OfficeServer owner(m_server.connection(role));
        QCOMPARE(owner.connect(), OfficeServer::State::Connected);
        QVERIFY(m_server.sql(QString("CREATE ROLE %1 LOGIN").arg(role)));
        QVERIFY(grants.isEmpty() || m_server.sql(grants.arg(role), role));
        QTemporaryDir home;
        const QString connection = m_server.connection(role, role);
        OfficeStore store(connection, home.filePath("history.sqlite"), "pc-a", "clerk-a", 0);
        QCOMPARE(store.open(), LetterStore::Opened::Ready);
        for (const QString &name : {"一", "二"})
            QVERIFY(keep(store, name));
        QVERIFY(store.takeNotice().startsWith(notice));
        QCOMPARE(store.takeNotice(), QString());
        QCOMPARE(listed(store.search({})).size(), 2);
        QCOMPARE(owner.search({}, 100)->size(), onServer);
        QCOMPARE(owner.saveSharedOffset("ipp://p/q", {12, 34}, "pc-a"), true);
        OfficeServer clerk(connection);
        QCOMPARE(clerk.saveSharedOffset("ipp://p/q", {5, 6}, "pc-b"), onServer > 0);
        QCOMPARE(owner.sharedOffset("ipp://p/q"),
                 (onServer ? PrintOffset{5, 6} : PrintOffset{12, 34}));
    }

    // An empty server gets every table at the first connection; one of a later version is left
    // alone.
    void migration_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<OfficeServer::State>("state");
        QTest::newRow("empty") << QString() << OfficeServer::State::Connected;
        QTest::newRow("newer") << "CREATE TABLE sorafu_schema(version integer);"
                                  "INSERT INTO sorafu_schema VALUES (99);"
                               << OfficeServer::State::Newer;
    }
    void migration()
    {
        QFETCH(QString, before);
        QFETCH(OfficeServer::State, state);
        const QString database = QString("fresh_%1").arg(int(state));
        QVERIFY(m_server.sql("CREATE DATABASE " + database));
        QVERIFY(before.isEmpty() || m_server.sql(before, database));
        const bool up = state == OfficeServer::State::Connected;
        for (int run = 0; run < 2; ++run) {
            OfficeServer server(m_server.connection(database));
            QCOMPARE(server.connect(), state);
            QCOMPARE(server.insert(officeLetter(letterOf("一"))), up);
        }
        OfficeServer server(m_server.connection(database));
        QCOMPARE(server.search({}, 100).value_or(QList<HistoryLetter>()).size(), up ? 2 : 0);
    }

private:
    void record(const QString &user, const HistoryLetter &letter)
    {
        qputenv("USER", user.toUtf8());
        ThreadBackground background;
        QTemporaryDir home;
        History history(home.filePath("history.sqlite"), home.filePath("settings.ini"), background,
                        officeStores(m_server.connection("sharing")));
        history.record(letter);
        history.waitForIdle();
    }

    PrivatePostgres m_server;
};

QTEST_MAIN(TestOffice)
#include "tst_office.moc"
