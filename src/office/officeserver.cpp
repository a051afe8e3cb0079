#include "office/officeserver.h"

#include "core/numbers.h"

#include "history/historystore.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace {

// Each step brings the server up by one version. Add steps at the end, never change one.
const QList<QStringList> kMigrations = {
    {
        QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm"),
        // Every character and pair of characters: a one- or two-character search has no
        // trigram to look up.
        QStringLiteral("CREATE FUNCTION sorafu_grams(t text) RETURNS text[] IMMUTABLE"
                       " LANGUAGE sql AS $$ SELECT coalesce(array_agg(DISTINCT g), '{}')"
                       " FROM (SELECT substr(t, i, 1) AS g FROM generate_series(1, length(t)) i"
                       " UNION SELECT substr(t, i, 2) FROM generate_series(1, length(t) - 1) i)"
                       " s $$"),
        QStringLiteral("CREATE TABLE letters(id bigserial PRIMARY KEY, uid uuid NOT NULL UNIQUE,"
                       " printed_at timestamp NOT NULL, pc text NOT NULL,"
                       " user_name text NOT NULL, delegated_matter boolean NOT NULL,"
                       " offset_left_right integer, offset_up_down integer, printer text,"
                       " paper text, orientation text, job_id text, entries jsonb NOT NULL,"
                       " reprint boolean NOT NULL, batch boolean NOT NULL DEFAULT false,"
                       " search_text text NOT NULL,"
                       " grams text[] GENERATED ALWAYS AS (sorafu_grams(search_text)) STORED)"),
        QStringLiteral("CREATE INDEX letters_printed_at ON letters(printed_at)"),
        QStringLiteral("CREATE INDEX letters_search ON letters USING gin"
                       " (search_text gin_trgm_ops)"),
        QStringLiteral("CREATE INDEX letters_grams ON letters USING gin (grams)"),
        QStringLiteral("CREATE TABLE printer_offsets(device_uri text PRIMARY KEY,"
                       " left_right integer NOT NULL, up_down integer NOT NULL,"
                       " pc text NOT NULL, saved_at timestamptz NOT NULL DEFAULT now())"),
    },
};
// No two PCs bring the tables up at once.
constexpr int kMigrationLock = 0x50f0;
// How many of the latest letters a search looks through before it asks the indexes.
constexpr int kLatestLetters = 20000;
const QString kTimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz");
const QString kColumns =
    QStringLiteral("id, printed_at, pc, user_name, delegated_matter, offset_left_right,"
                   " offset_up_down, printer, paper, orientation, job_id, entries, reprint, batch");

QString likePattern(const QString &needle)
{
    QString escaped = needle;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('%'), QLatin1String("\\%"));
    escaped.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

HistoryLetter readLetter(const QSqlQuery &select)
{
    HistoryLetter letter;
    letter.id = select.value(0).toLongLong();
    letter.printedAt = select.value(1).toDateTime();
    letter.pc = select.value(2).toString();
    letter.user = select.value(3).toString();
    letter.letter.setDelegatedMatterTicked(select.value(4).toBool());
    letter.offset = {select.value(5).toInt(), select.value(6).toInt()};
    letter.printer = select.value(7).toString();
    letter.paper = select.value(8).toString();
    letter.orientation = select.value(9).toString();
    letter.jobId = select.value(10).toString();
    HistoryStore::readEntries(select.value(11).toString(), &letter.letter);
    letter.reprint = select.value(12).toBool();
    letter.batch = select.value(13).toBool();
    return letter;
}

} // namespace

OfficeServer::OfficeServer(const QString &connection)
    : m_connection(connection), m_name(QStringLiteral("office-%1").arg(quintptr(this)))
{
}

OfficeServer::~OfficeServer()
{
    close();
}

QString OfficeServer::bounded(const QString &connection)
{
    // Last, so that no wait the user wrote is longer. Qt's driver reads ';' as a blank. A
    // server gone from the network mid-statement is noticed within seconds too.
    return connection + QStringLiteral(" connect_timeout=5 tcp_user_timeout=5000"
                                       " keepalives_idle=5 keepalives_interval=2"
                                       " keepalives_count=2");
}

void OfficeServer::close()
{
    if (!QSqlDatabase::contains(m_name))
        return;
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

bool OfficeServer::run(QSqlQuery &query)
{
    if (query.exec())
        return true;
    judge(query.lastError());
    return false;
}

// Statements that cannot be prepared: settings and the migrations' DDL. Never with values.
bool OfficeServer::run(const QString &statement)
{
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    if (query.exec(statement))
        return true;
    judge(query.lastError());
    return false;
}

void OfficeServer::judge(const QSqlError &error)
{
    m_error = error.databaseText();
    const QString code = error.nativeErrorCode();
    m_refused = code.startsWith(QLatin1String("22")) || code.startsWith(QLatin1String("23"));
    if (code == QLatin1String("42501")) {
        m_state = State::Denied;
    } else if (code.isEmpty() || code.startsWith(QLatin1String("08")) ||
               code.startsWith(QLatin1String("57P"))) {
        // The connection is gone: made anew at the next call.
        lost();
    }
}

void OfficeServer::lost()
{
    m_state = State::Unreachable;
    m_sinceLost.start();
}

bool OfficeServer::mayAsk(int retryMs) const
{
    if (m_state == State::Connected)
        return true;
    if (m_state != State::Unreachable)
        return false;
    return !m_sinceLost.isValid() || m_sinceLost.elapsed() >= retryMs;
}

OfficeServer::State OfficeServer::connect()
{
    if (m_state == State::Connected && QSqlDatabase::database(m_name, false).isOpen())
        return m_state;
    close();
    m_state = openConnection() ? State::Connected : m_state;
    if (m_state == State::Connected && run(QStringLiteral("SET statement_timeout = 5000")) &&
        migrate()) {
        m_sinceLost.invalidate();
        return m_state;
    }
    // Any other failure is taken as the server's passing trouble: asked again later.
    if (m_state == State::Connected)
        lost();
    close();
    return m_state;
}

bool OfficeServer::openConnection()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
    db.setConnectOptions(bounded(m_connection));
    if (db.open())
        return true;
    m_error = db.lastError().databaseText();
    // A role that may not log in, or may not use the database, is refused, not unreachable.
    const bool refused = db.lastError().nativeErrorCode() == QLatin1String("42501") ||
                         m_error.contains(QLatin1String("permission denied"));
    if (refused)
        m_state = State::Denied;
    else
        lost();
    return false;
}

bool OfficeServer::migrate()
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    auto version = [this, &db]() -> std::optional<int> {
        QSqlQuery exists(db);
        exists.prepare(QStringLiteral("SELECT to_regclass('sorafu_schema') IS NOT NULL"));
        if (!run(exists) || !exists.next())
            return std::nullopt;
        if (!exists.value(0).toBool())
            return 0;
        QSqlQuery select(db);
        select.prepare(QStringLiteral("SELECT max(version) FROM sorafu_schema"));
        if (!run(select) || !select.next())
            return std::nullopt;
        return select.value(0).toInt();
    };
    const int latest = int(kMigrations.size());
    std::optional<int> found = version();
    if (!found || *found == latest)
        return found.has_value();
    if (!db.transaction())
        return false;
    QSqlQuery lock(db);
    lock.prepare(QStringLiteral("SELECT pg_advisory_xact_lock(?)"));
    lock.addBindValue(kMigrationLock);
    bool done = run(lock);
    if (*found == 0)
        done = done &&
               run(QStringLiteral("CREATE TABLE IF NOT EXISTS sorafu_schema(version integer)"));
    found = done ? version() : std::nullopt;
    done = found.has_value();
    if (done && *found > latest)
        m_state = State::Newer;
    for (int step = found.value_or(latest); done && step < latest; ++step) {
        for (const QString &statement : kMigrations[step])
            done = done && run(statement);
        QSqlQuery stamp(db);
        stamp.prepare(QStringLiteral("INSERT INTO sorafu_schema(version) VALUES(?)"));
        stamp.addBindValue(step + 1);
        done = done && run(stamp);
    }
    if (done && m_state == State::Connected && db.commit())
        return true;
    db.rollback();
    return false;
}

bool OfficeServer::insert(const QJsonObject &letter)
{
    if (connect() != State::Connected)
        return false;
    QSqlQuery insert(QSqlDatabase::database(m_name, false));
    insert.prepare(QStringLiteral(
        "INSERT INTO letters(uid, printed_at, pc, user_name, delegated_matter,"
        " offset_left_right, offset_up_down, printer, paper, orientation, job_id, entries,"
        " reprint, batch, search_text) VALUES(?::uuid, ?::timestamp, ?, ?, ?, ?, ?, ?, ?, ?,"
        " ?, ?::jsonb, ?, ?, ?) ON CONFLICT (uid) DO NOTHING"));
    for (const char *key : {"uid", "printed_at", "pc", "user", "delegated_matter", "left_right",
                            "up_down", "printer", "paper", "orientation", "job_id"})
        insert.addBindValue(letter.value(QLatin1String(key)).toVariant());
    const QJsonObject entries = letter.value(QLatin1String("entries")).toObject();
    insert.addBindValue(QString::fromUtf8(QJsonDocument(entries).toJson(QJsonDocument::Compact)));
    insert.addBindValue(letter.value(QLatin1String("reprint")).toBool());
    insert.addBindValue(letter.value(QLatin1String("batch")).toBool());
    insert.addBindValue(letter.value(QLatin1String("search_text")).toString());
    return run(insert);
}

std::optional<QList<HistoryLetter>> OfficeServer::search(const HistoryQuery &query, int limit)
{
    if (connect() != State::Connected)
        return std::nullopt;
    const QString needle = HistoryStore::fold(query.text);
    const QString letters = QStringLiteral("letters");
    const QString like = QStringLiteral("search_text LIKE ?");
    if (needle.isEmpty())
        return select(query, letters, {}, {}, QStringLiteral("id"), limit);
    // Most searches are answered by the latest letters alone: a text found often fills the
    // list there at once. Only when it does not are all letters searched, through an index,
    // which is quick for a rare text (and "id + 0" keeps the planner from scanning by id).
    const QString latest = QStringLiteral("(SELECT %1, search_text FROM letters ORDER BY id DESC"
                                          " LIMIT %2) latest")
                               .arg(kColumns)
                               .arg(kLatestLetters);
    auto found = select(query, latest, like, likePattern(needle), QStringLiteral("id"), limit);
    if (!found || found->size() == limit)
        return found;
    // The shortest needles by the characters' own index, the rest by trigrams.
    const QString order = QStringLiteral("id + 0");
    // Counted in characters, as the server counts them: 𠮷 is one.
    if (needle.toUcs4().size() <= 2)
        return select(query, letters, QStringLiteral("grams @> ARRAY[?::text]"), needle, order,
                      limit);
    return select(query, letters, like, likePattern(needle), order, limit);
}

std::optional<QList<HistoryLetter>>
OfficeServer::select(const HistoryQuery &query, const QString &from, const QString &condition,
                     const QString &value, const QString &order, int limit)
{
    QSqlQuery select(QSqlDatabase::database(m_name, false));
    select.setForwardOnly(true);
    select.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 AND printed_at >= ?::timestamp"
                                  " AND printed_at < ?::timestamp ORDER BY %4 DESC LIMIT ?")
                       .arg(kColumns, from, condition.isEmpty() ? u"TRUE"_qs : condition, order));
    if (!condition.isEmpty())
        select.addBindValue(value);
    select.addBindValue(query.from.isValid() ? query.from.startOfDay().toString(kTimeFormat)
                                             : QStringLiteral("-infinity"));
    select.addBindValue(query.to.isValid() ? query.to.addDays(1).startOfDay().toString(kTimeFormat)
                                           : QStringLiteral("infinity"));
    select.addBindValue(limit);
    if (!run(select))
        return std::nullopt;
    QList<HistoryLetter> letters;
    while (select.next())
        letters.append(readLetter(select));
    return letters;
}

bool OfficeServer::remove(const QList<qint64> &ids)
{
    if (connect() != State::Connected)
        return false;
    QStringList list;
    for (qint64 id : ids)
        list.append(QString::number(id));
    QSqlQuery remove(QSqlDatabase::database(m_name, false));
    remove.prepare(QStringLiteral("DELETE FROM letters WHERE id = ANY(?::bigint[])"));
    remove.addBindValue(QStringLiteral("{%1}").arg(list.join(QLatin1Char(','))));
    return run(remove);
}

std::optional<QHash<QString, QStringList>>
OfficeServer::frequentTexts(const QList<Field> &fields, int latestLetters, int perField)
{
    if (connect() != State::Connected)
        return std::nullopt;
    QStringList keys;
    for (Field field : fields)
        keys.append(fieldKey(field));
    // The most frequent first; of two as frequent, the one used last.
    QSqlQuery select(QSqlDatabase::database(m_name, false));
    select.setForwardOnly(true);
    select.prepare(QStringLiteral(
        "SELECT e.key, e.value FROM (SELECT id, entries FROM letters ORDER BY id DESC LIMIT ?)"
        " l, jsonb_each_text(l.entries) e WHERE e.key = ANY(?::text[]) AND btrim(e.value) <> ''"
        " GROUP BY e.key, e.value ORDER BY e.key, count(*) DESC, max(l.id) DESC"));
    select.addBindValue(latestLetters);
    select.addBindValue(QStringLiteral("{%1}").arg(keys.join(QLatin1Char(','))));
    if (!run(select))
        return std::nullopt;
    QHash<QString, QStringList> texts;
    while (select.next()) {
        QStringList &list = texts[select.value(0).toString()];
        if (list.size() < perField)
            list.append(select.value(1).toString());
    }
    return texts;
}

std::optional<PrintOffset> OfficeServer::sharedOffset(const QString &deviceUri, bool *answered)
{
    bool ran = false;
    const auto tell = qScopeGuard([&] {
        if (answered)
            *answered = ran;
    });
    if (connect() != State::Connected)
        return std::nullopt;
    QSqlQuery select(QSqlDatabase::database(m_name, false));
    select.prepare(
        QStringLiteral("SELECT left_right, up_down FROM printer_offsets WHERE device_uri = ?"));
    select.addBindValue(deviceUri);
    ran = run(select);
    if (!ran || !select.next())
        return std::nullopt;
    const PrintOffset offset{select.value(0).toInt(), select.value(1).toInt()};
    // A row edited by hand on the server is no calibration this program would have saved.
    if (!withinOffsetRange(offset.leftRight) || !withinOffsetRange(offset.upDown))
        return std::nullopt;
    return offset;
}

bool OfficeServer::saveSharedOffset(const QString &deviceUri, const PrintOffset &offset,
                                    const QString &pc)
{
    if (connect() != State::Connected)
        return false;
    QSqlQuery upsert(QSqlDatabase::database(m_name, false));
    upsert.prepare(QStringLiteral(
        "INSERT INTO printer_offsets(device_uri, left_right, up_down, pc) VALUES(?, ?, ?, ?)"
        " ON CONFLICT (device_uri) DO UPDATE SET left_right = excluded.left_right,"
        " up_down = excluded.up_down, pc = excluded.pc, saved_at = now()"));
    upsert.addBindValue(deviceUri);
    upsert.addBindValue(offset.leftRight);
    upsert.addBindValue(offset.upDown);
    upsert.addBindValue(pc);
    return run(upsert);
}

QJsonObject officeLetter(const HistoryLetter &letter)
{
    return {
        {QStringLiteral("uid"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
        {QStringLiteral("printed_at"), letter.printedAt.toString(kTimeFormat)},
        {QStringLiteral("pc"), letter.pc},
        {QStringLiteral("user"), letter.user},
        {QStringLiteral("delegated_matter"), letter.letter.delegatedMatterTicked()},
        {QStringLiteral("left_right"), letter.offset.leftRight},
        {QStringLiteral("up_down"), letter.offset.upDown},
        {QStringLiteral("printer"), letter.printer},
        {QStringLiteral("paper"), letter.paper},
        {QStringLiteral("orientation"), letter.orientation},
        {QStringLiteral("job_id"), letter.jobId},
        {QStringLiteral("entries"), HistoryStore::entriesOf(letter.letter)},
        {QStringLiteral("reprint"), letter.reprint},
        {QStringLiteral("batch"), letter.batch},
        {QStringLiteral("search_text"),
         HistoryStore::fold(HistoryStore::searchedText(letter.letter))},
    };
}
