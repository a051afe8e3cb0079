// The office's shared history on a real PostgreSQL server of the test's own: two PCs find each
// other's letters, a server that stops loses none, a role without rights costs one message,
// and an empty server gets its tables.

#include "history/history.h"
#include "office/officeserver.h"
#include "office/officestore.h"
#include "privatepostgres.h"
#include "system/background.h"

#include <QtTest>

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

// "name@pc" of each letter, newest first.
QStringList listed(const QList<HistoryLetter> &letters)
{
    QStringList names;
    for (const HistoryLetter &letter : letters)
        names.append(letter.letter.text(Field::Delegator1Name) + '@' + letter.pc);
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
    }

    // Each PC prints one letter under its own HOME; the first finds both.
    void sharing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("all") << "" << QStringList{"佐藤花子@pc-b", "山田太郎@pc-a"};
        QTest::newRow("other PC, trigrams") << "佐藤花" << QStringList{"佐藤花子@pc-b"};
        QTest::newRow("one character") << "山" << QStringList{"山田太郎@pc-a"};
        QTest::newRow("two characters") << "花子" << QStringList{"佐藤花子@pc-b"};
        QTest::newRow("reading in hiragana") << "さとう" << QStringList{"佐藤花子@pc-b"};
        QTest::newRow("no such letter") << "鈴木" << QStringList{};
        QTest::newRow("percent is a character") << "%太郎" << QStringList{};
        QTest::newRow("underscore too") << "田_郎" << QStringList{};
    }
    void sharing()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, found);
        if (!m_shared) {
            QVERIFY(m_server.sql("CREATE DATABASE sharing"));
            QVERIFY(recordOn("pc-a", letterOf("山田太郎", "ヤマダ")));
            QVERIFY(recordOn("pc-b", letterOf("佐藤花子", "サトウ")));
            m_shared = true;
        }
        ThreadBackground background;
        QTemporaryDir home;
        History history(home.filePath("history.sqlite"), home.filePath("settings.ini"), background,
                        storesOf(office("sharing"), "pc-a"));
        std::optional<QStringList> names;
        connect(&history, &History::found, this,
                [&](int, const QList<HistoryLetter> &letters) { names = listed(letters); });
        history.search({text, {}, {}});
        QTRY_VERIFY(names);
        QCOMPARE(*names, found);
    }

    // The server stops between letters and starts again: the letters wait on the PC, are sent
    // in order once it answers, and none twice. Told once per outage.
    void outage()
    {
        QVERIFY(m_server.sql("CREATE DATABASE outage"));
        QTemporaryDir home;
        OfficeStore store(office("outage"), home.filePath("history.sqlite"), "pc-a", "u", 0);
        QCOMPARE(store.open(), LetterStore::Opened::Ready);
        QVERIFY(keep(store, "一"));
        m_server.stop();
        QVERIFY(keep(store, "二"));
        QCOMPARE(store.takeNotice(), kUnreachable);
        QVERIFY(keep(store, "三"));
        QVERIFY(store.search({}).size() == 3); // this PC's own file meanwhile
        QCOMPARE(store.takeNotice(), QString());
        QVERIFY2(m_server.start(), qPrintable(m_server.lastError));
        QVERIFY(keep(store, "四"));
        OfficeServer other(office("outage"));
        const QJsonObject twice = officeLetter(letterOf("五"));
        QVERIFY(other.insert(twice) && other.insert(twice));
        const QStringList all{"五@", "四@pc-a", "三@pc-a", "二@pc-a", "一@pc-a"};
        QCOMPARE(listed(other.search({}, 100).value_or(QList<HistoryLetter>())), all);
        QCOMPARE(store.takeNotice(), QString());
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
        QTest::newRow("none") << QString() << "共有の印刷履歴を使う権限がありません。" << 0;
    }
    void rights()
    {
        QFETCH(QString, grants);
        QFETCH(QString, notice);
        QFETCH(int, onServer);
        const QString role = QString("clerk_%1").arg(onServer);
        QVERIFY(m_server.sql("CREATE DATABASE " + role));
        OfficeServer owner(office(role));
        QCOMPARE(owner.connect(), OfficeServer::State::Connected);
        QVERIFY(m_server.sql(QString("CREATE ROLE %1 LOGIN").arg(role)));
        QVERIFY(grants.isEmpty() || m_server.sql(grants.arg(role), role));
        QTemporaryDir home;
        QString connection = office(role).replace("user=sorafu", "user=" + role);
        OfficeStore store(connection, home.filePath("history.sqlite"), "pc-a", "u", 0);
        QCOMPARE(store.open(), LetterStore::Opened::Ready);
        for (const QString &name : {"一", "二"})
            QVERIFY(keep(store, name));
        QVERIFY(store.takeNotice().startsWith(notice));
        QCOMPARE(store.takeNotice(), QString());
        QCOMPARE(listed(store.search({})).size(), 2);
        QCOMPARE(owner.search({}, 100)->size(), onServer);
        const PrintOffset offset{12, 34};
        QCOMPARE(owner.saveSharedOffset("ipp://p/q", offset, "pc-a"), true);
        OfficeServer clerk(connection);
        QCOMPARE(clerk.saveSharedOffset("ipp://p/q", {5, 6}, "pc-b"), onServer > 0);
        QCOMPARE(owner.sharedOffset("ipp://p/q"), (onServer ? PrintOffset{5, 6} : offset));
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
        for (int run = 0; run < 2; ++run) {
            OfficeServer server(office(database));
            QCOMPARE(server.connect(), state);
            const bool inserted = server.insert(officeLetter(letterOf("一")));
            QCOMPARE(inserted, state == OfficeServer::State::Connected);
        }
        const int kept = state == OfficeServer::State::Connected ? 2 : 0;
        OfficeServer server(office(database));
        QCOMPARE(server.search({}, 100).value_or(QList<HistoryLetter>()).size(), kept);
    }

private:
    QString office(const QString &database) const
    {
        return m_server.connection().replace("dbname=postgres", "dbname=" + database);
    }
    static History::StoreMaker storesOf(const QString &connection, const QString &pc)
    {
        return [connection, pc](const QString &path) {
            return std::unique_ptr<LetterStore>(
                std::make_unique<OfficeStore>(connection, path, pc, "u", 0));
        };
    }
    bool recordOn(const QString &pc, const HistoryLetter &letter)
    {
        ThreadBackground background;
        QTemporaryDir home;
        History history(home.filePath("history.sqlite"), home.filePath("settings.ini"), background,
                        storesOf(office("sharing"), pc));
        history.record(letter);
        history.waitForIdle();
        return QDir(home.path()).exists("office-outbox.sqlite");
    }

    PrivatePostgres m_server;
    bool m_shared = false;
};

QTEST_MAIN(TestOffice)
#include "tst_office.moc"
