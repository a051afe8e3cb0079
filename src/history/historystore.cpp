#include "history/historystore.h"

#include "core/kana.h"
#include "system/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <utility>

#include <sys/stat.h>

namespace {

// Each step brings the file up by one version; a file is never opened without all of them, so a
// later program reads every earlier file. Add steps at the end, never change one.
const QList<QStringList> kMigrations = {
    {
        QStringLiteral("CREATE TABLE letters(id INTEGER PRIMARY KEY, printed_at TEXT NOT NULL,"
                       " delegated_matter INTEGER NOT NULL, offset_x TEXT,"
                       " offset_y TEXT, printer TEXT, paper TEXT,"
                       " orientation TEXT, job_id TEXT, entries TEXT)"),
        QStringLiteral("CREATE INDEX letters_printed_at ON letters(printed_at)"),
        // Narrow rows of folded text, so a search scans a fraction of the file.
        QStringLiteral("CREATE TABLE letter_search(id INTEGER PRIMARY KEY,"
                       " printed_at TEXT NOT NULL, text TEXT NOT NULL)"),
    },
    {
        // The offsets as numbers. The texts they were kept as stay where they are: one that is
        // no whole number is kept only there.
        QStringLiteral("ALTER TABLE letters ADD COLUMN offset_left_right INTEGER"),
        QStringLiteral("ALTER TABLE letters ADD COLUMN offset_up_down INTEGER"),
        QStringLiteral("UPDATE letters SET offset_left_right = CAST(offset_x AS INTEGER)"
                       " WHERE CAST(CAST(offset_x AS INTEGER) AS TEXT) = offset_x"
                       " AND CAST(offset_x AS INTEGER) BETWEEN -2147483648 AND 2147483647"),
        QStringLiteral("UPDATE letters SET offset_up_down = CAST(offset_y AS INTEGER)"
                       " WHERE CAST(CAST(offset_y AS INTEGER) AS TEXT) = offset_y"
                       " AND CAST(offset_y AS INTEGER) BETWEEN -2147483648 AND 2147483647"),
        // Then the entries under their fields' keys: see renamingEntries().
    },
    {
        // Whether the letter was printed again from the history.
        QStringLiteral("ALTER TABLE letters ADD COLUMN reprint INTEGER NOT NULL DEFAULT 0"),
    },
    {
        // Whether the letter was one of a batch printed from a list.
        QStringLiteral("ALTER TABLE letters ADD COLUMN batch INTEGER NOT NULL DEFAULT 0"),
        // When the whole file was last checked for damage.
        QStringLiteral("CREATE TABLE file_checks(checked_at TEXT NOT NULL)"),
        // Then the search index over letter_search: see kCreateIndex.
    },
};
// The step after which the entries are kept under field keys and searched by a new fold.
constexpr int kFieldKeysStep = 1;
// The step that builds the search index.
constexpr int kIndexStep = 3;

// Two contentless indexes: the texts stay in letter_search only, which the indexes are rebuilt
// from. Trigrams find three characters or more, and nothing shorter; so each text's single
// characters and pairs are words of a second index, written as their code points in hex
// ("x4f50x85e4" for 佐藤) for the default tokenizer to take each as one word. Neither keeps
// the texts' lengths, which only ranking would use.
const QStringList kCreateIndex = {
    QStringLiteral("CREATE VIRTUAL TABLE letter_index USING fts5(text, content='',"
                   " columnsize=0, tokenize='trigram case_sensitive 1')"),
    QStringLiteral("CREATE VIRTUAL TABLE letter_terms USING fts5(text, content='',"
                   " columnsize=0, detail='none')"),
};
// Each statement's names come from here, never from outside.
const QStringList kIndexes = {QStringLiteral("letter_index"), QStringLiteral("letter_terms")};
const QStringList kIndexTables = {QStringLiteral("_data"), QStringLiteral("_idx"),
                                  QStringLiteral("_config")};
// A whole check reads all of a file, four seconds at a million letters: it runs once a week,
// and the other starts only look up the newest letter in the indexes. Damage found a week late
// loses nothing the check would have saved: SQLite's journal keeps the letters whole.
constexpr int kFullCheckDays = 7;

QString shortTerm(const uint *chars, qsizetype length)
{
    QString term;
    for (qsizetype i = 0; i < length; ++i)
        term += QLatin1Char('x') + QString::number(chars[i], 16);
    return term;
}

// The text's single characters and pairs.
QString shortTerms(const QString &folded)
{
    const QList<uint> chars = folded.toUcs4();
    QStringList terms;
    for (qsizetype i = 0; i < chars.size(); ++i) {
        terms.append(shortTerm(chars.constData() + i, 1));
        if (i + 1 < chars.size())
            terms.append(shortTerm(chars.constData() + i, 2));
    }
    return terms.join(QLatin1Char(' '));
}

// The index that finds the folded text in a letter, and the query for it.
std::pair<QString, QString> indexQuery(const QString &needle)
{
    const QList<uint> chars = needle.toUcs4();
    if (chars.size() < 3)
        return {kIndexes[1], shortTerm(chars.constData(), chars.size())};
    QString phrase = needle;
    phrase.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return {kIndexes[0], QLatin1Char('"') + phrase + QLatin1Char('"')};
}

// The names of the window's controls the entries were kept under up to version 1, in the order
// of Field.
const char *const kControlNames[kFieldCount] = {
    "Combo10101",       "Combo10201", "Combo10301", "Combo10302",    "Combo10303", "Text10501",
    "cIninFuriganaBtn", "IninShimei", "Combo10601", "DaihyouShimei", "IninJyu1",   "IninJyu2",
    "Text10701",        "Text10702",  "Combo10701", "Text10703",     "Text10704",  "Text10705",
    "Text10801",        "Text10802",  "Combo10801", "Text10803",     "Text10804",  "Text10805",
};

// Rewrites every letter's entries from control names to field keys; a key it does not know
// stays as it is. The names come from the table above, never from outside.
QString renamingEntries()
{
    QString cases;
    for (int i = 0; i < kFieldCount; ++i)
        cases += QStringLiteral(" WHEN '%1' THEN '%2'")
                     .arg(QLatin1String(kControlNames[i]), fieldKey(fieldAt(i)));
    return QStringLiteral("UPDATE letters SET entries = (SELECT json_group_object(CASE key%1"
                          " ELSE key END, value) FROM json_each(letters.entries))"
                          " WHERE json_valid(entries)")
        .arg(cases);
}

const QString kTimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz");

QString stamp(const QDateTime &moment)
{
    return moment.toString(kTimeFormat);
}

// The stamp read back; by hand, since QDateTime::fromString takes tens of microseconds.
QDateTime moment(const QString &stamp)
{
    auto number = [&stamp](int from, int length) {
        return QStringView(stamp).mid(from, length).toInt();
    };
    return QDateTime(QDate(number(0, 4), number(5, 2), number(8, 2)),
                     QTime(number(11, 2), number(14, 2), number(17, 2), number(20, 3)));
}

// SQLite's primary result codes that mean the disk or the moment is at fault, not the file.
bool isPassingTrouble(int code)
{
    enum { Busy = 5, Locked = 6, NoMem = 7, IoErr = 10, Full = 13 };
    return code == Busy || code == Locked || code == NoMem || code == IoErr || code == Full;
}

} // namespace

HistoryStore::HistoryStore(const QString &path)
    : m_path(path), m_connection(QStringLiteral("history-%1").arg(quintptr(this)))
{
}

HistoryStore::~HistoryStore()
{
    close();
}

QSqlDatabase HistoryStore::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

bool HistoryStore::run(QSqlQuery &query)
{
    if (query.exec())
        return true;
    m_failure = query.lastError().nativeErrorCode().toInt() & 0xff;
    return false;
}

bool HistoryStore::run(const QString &statement)
{
    QSqlQuery query(database());
    return query.prepare(statement) && run(query);
}

HistoryStore::Opened HistoryStore::open()
{
    const QString folder = QFileInfo(m_path).absolutePath();
    QDir().mkpath(folder);
    // The letters hold customers' names and addresses: the folder is the user's alone. Not a
    // shared one such as /tmp (sticky): closing it would break every other program using it,
    // and the file itself is the user's alone anyway.
    struct stat folderStat = {};
    if (::stat(QFile::encodeName(folder).constData(), &folderStat) == 0 &&
        !(folderStat.st_mode & S_ISVTX))
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!canCreateFilesIn(folder))
        return Opened::Unusable;
    m_failure = 0;
    m_newer = false;
    if (prepareFile() && openConnection() && migrate())
        return Opened::Ready;
    close();
    if (m_newer)
        return Opened::Newer;
    if (isPassingTrouble(m_failure) || !moveAside())
        return Opened::Unusable;
    if (prepareFile() && openConnection() && migrate())
        return Opened::MovedAside;
    close();
    return Opened::Unusable;
}

bool HistoryStore::prepareFile()
{
    const QFileInfo info(m_path);
    if (info.isDir() || (info.exists() && !info.isFile()))
        return false;
    // Created empty with the owner's rights only before SQLite sees it: SQLite gives its WAL and
    // shared-memory files the same mode.
    QFile file(m_path);
    if (!info.exists() && !file.open(QIODevice::WriteOnly))
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

bool HistoryStore::openConnection()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    // A later version's file is left as it is: its version is read before anything is written.
    int version = 0;
    if (!db.open() || !readVersion(&version))
        return false;
    QSqlQuery wal(db);
    if (!wal.prepare(QStringLiteral("PRAGMA journal_mode=WAL")) || !run(wal) || !wal.next() ||
        wal.value(0).toString() != QLatin1String("wal"))
        return false;
    // Each committed letter survives a power cut too, not only a crash of the program.
    if (!run(QStringLiteral("PRAGMA synchronous=FULL")))
        return false;
    m_open = true;
    return true;
}

bool HistoryStore::isSound()
{
    const QDateTime now = QDateTime::currentDateTime();
    if (!m_open)
        return true;
    const bool full = fullCheckDue(now);
    if (full) {
        QSqlQuery check(database());
        if (!check.prepare(QStringLiteral("PRAGMA quick_check")) || !run(check))
            return isPassingTrouble(m_failure);
        if (!check.next() || check.value(0).toString() != QLatin1String("ok"))
            return false;
    }
    if (!indexIsSound(full) && !isPassingTrouble(m_failure) && !rebuildIndex())
        return isPassingTrouble(m_failure);
    if (!full)
        return true;
    QSqlQuery checked(database());
    checked.prepare(QStringLiteral("INSERT INTO file_checks(checked_at) VALUES(?)"));
    checked.addBindValue(stamp(now));
    run(QStringLiteral("DELETE FROM file_checks"));
    run(checked);
    return true;
}

bool HistoryStore::fullCheckDue(const QDateTime &now)
{
    QSqlQuery last(database());
    if (!last.prepare(QStringLiteral("SELECT max(checked_at) FROM file_checks")) || !run(last) ||
        !last.next() || last.value(0).isNull())
        return true;
    const QString since = stamp(now.addDays(-kFullCheckDays));
    // A clock put back makes the last check lie in the future: then it is done again.
    return last.value(0).toString() <= since || last.value(0).toString() > stamp(now);
}

bool HistoryStore::rebuiltIndex()
{
    return std::exchange(m_rebuiltIndex, false);
}

// An index that lost its pages may look sound but empty, so letters are looked up in it: the
// newest at every start, and sixteen spread over the file at the whole check. FTS5's own
// integrity-check would read all of the index, ten seconds at a million letters, holding the
// file's write lock.
bool HistoryStore::indexIsSound(bool thoroughly)
{
    m_failure = 0;
    QSqlQuery newest(database());
    if (!newest.prepare(QStringLiteral("SELECT max(id) FROM letter_search")) || !run(newest) ||
        !newest.next())
        return false;
    const qint64 last = newest.value(0).toLongLong();
    const int samples = thoroughly ? 16 : 1;
    for (int sample = 1; sample <= samples; ++sample) {
        QSqlQuery letter(database());
        letter.prepare(QStringLiteral("SELECT id, text FROM letter_search WHERE id >= ?"
                                      " ORDER BY id LIMIT 1"));
        letter.addBindValue(last * sample / samples);
        if (!run(letter))
            return false;
        if (letter.next() && !indexFinds(letter.value(0).toLongLong(), letter.value(1).toString()))
            return false;
    }
    return true;
}

// Whether the indexes find the letter by its first three characters and by its first one.
bool HistoryStore::indexFinds(qint64 id, const QString &folded)
{
    const QList<uint> chars = folded.toUcs4();
    const auto *at = reinterpret_cast<const char32_t *>(chars.constData());
    for (qsizetype length : {qMin<qsizetype>(3, chars.size()), qMin<qsizetype>(1, chars.size())}) {
        if (length == 0)
            continue;
        const auto [index, match] = indexQuery(QString::fromUcs4(at, length));
        QSqlQuery probe(database());
        probe.prepare(
            QStringLiteral("SELECT count(*) FROM %1 WHERE %1 MATCH ? AND rowid = ?").arg(index));
        probe.addBindValue(match);
        probe.addBindValue(id);
        if (!run(probe) || !probe.next() || probe.value(0).toInt() != 1)
            return false;
    }
    return true;
}

// A damaged index may not even open, so it is taken out of the schema by hand: a virtual table
// has no pages of its own, and its tables are dropped as any. One transaction: a crash midway
// leaves the damaged index, to be rebuilt at the next start.
bool HistoryStore::rebuildIndex()
{
    QSqlDatabase db = database();
    if (!db.transaction())
        return false;
    bool done = run(QStringLiteral("PRAGMA writable_schema=ON")) &&
                run(QStringLiteral("DELETE FROM sqlite_master WHERE type = 'table'"
                                   " AND name IN ('%1')")
                        .arg(kIndexes.join(QStringLiteral("', '")))) &&
                run(QStringLiteral("PRAGMA writable_schema=RESET"));
    for (const QString &index : kIndexes)
        for (const QString &table : kIndexTables)
            done = done && run(QStringLiteral("DROP TABLE IF EXISTS %1%2").arg(index, table));
    done = done && createIndex() && fillIndex();
    if (done && db.commit()) {
        m_rebuiltIndex = true;
        return true;
    }
    db.rollback();
    run(QStringLiteral("PRAGMA writable_schema=RESET"));
    return false;
}

bool HistoryStore::createIndex()
{
    for (const QString &statement : kCreateIndex)
        if (!run(statement))
            return false;
    return true;
}

bool HistoryStore::fillIndex()
{
    QSqlQuery select(database());
    select.setForwardOnly(true);
    if (!select.prepare(QStringLiteral("SELECT id, text FROM letter_search")) || !run(select))
        return false;
    QList<QSqlQuery> writers = indexWriters(true);
    while (select.next())
        if (!indexLetter(writers, select.value(0).toLongLong(), select.value(1).toString()))
            return false;
    return true;
}

// The statements that put a letter's text into the indexes, or take it out: a contentless
// index is told the very texts it was given.
QList<QSqlQuery> HistoryStore::indexWriters(bool add) const
{
    QList<QSqlQuery> writers;
    for (const QString &index : kIndexes) {
        writers.append(QSqlQuery(database()));
        writers.last().prepare(
            (add ? QStringLiteral("INSERT INTO %1(rowid, text) VALUES(?, ?)")
                 : QStringLiteral("INSERT INTO %1(%1, rowid, text) VALUES('delete', ?, ?)"))
                .arg(index));
    }
    return writers;
}

bool HistoryStore::indexLetter(QList<QSqlQuery> &writers, qint64 id, const QString &folded)
{
    for (int i = 0; i < writers.size(); ++i) {
        writers[i].addBindValue(id);
        writers[i].addBindValue(i == 0 ? folded : shortTerms(folded));
        if (!run(writers[i]))
            return false;
    }
    return true;
}

HistoryStore::Opened HistoryStore::startAfresh()
{
    close();
    if (moveAside() && prepareFile() && openConnection() && migrate())
        return Opened::MovedAside;
    close();
    return Opened::Unusable;
}

bool HistoryStore::readVersion(int *version)
{
    QSqlQuery query(database());
    if (!query.prepare(QStringLiteral("PRAGMA user_version")) || !run(query) || !query.next())
        return false;
    *version = query.value(0).toInt();
    m_newer = *version > kMigrations.size();
    return !m_newer;
}

bool HistoryStore::migrate()
{
    int from = 0;
    if (!readVersion(&from))
        return false;
    for (int step = from; step < kMigrations.size(); ++step) {
        QSqlDatabase db = database();
        if (!db.transaction())
            return false;
        bool done = true;
        for (const QString &statement : kMigrations[step])
            done = done && run(statement);
        if (step == kFieldKeysStep)
            done = done && run(renamingEntries()) && refoldSearchTexts();
        if (step == kIndexStep)
            done = done && createIndex() && fillIndex();
        // A pragma takes no bound value; the number comes from this table, never from outside.
        done = done && run(QStringLiteral("PRAGMA user_version=%1").arg(step + 1));
        if (!done || !db.commit()) {
            db.rollback();
            return false;
        }
    }
    return true;
}

void HistoryStore::close()
{
    m_open = false;
    if (QSqlDatabase::contains(m_connection)) {
        database().close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

QStringList HistoryStore::companionFiles() const
{
    return {m_path, m_path + QStringLiteral("-wal"), m_path + QStringLiteral("-shm")};
}

bool HistoryStore::moveAside()
{
    QString target = m_path + QStringLiteral(".damaged-") +
                     QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = target.section(QLatin1Char('~'), 0, 0) + QStringLiteral("~%1").arg(n);
    const QStringList files = companionFiles();
    if (!QFile::rename(files[0], target))
        return false;
    // The WAL may hold the last letters: it goes with its file.
    QFile::rename(files[1], target + QStringLiteral("-wal"));
    QFile::remove(files[2]);
    m_movedTo = target;
    return true;
}

bool HistoryStore::erase()
{
    close();
    bool erased = true;
    for (const QString &file : companionFiles())
        erased = (!QFileInfo::exists(file) || QFile::remove(file)) && erased;
    return erased;
}

bool HistoryStore::record(HistoryLetter &letter)
{
    QList<HistoryLetter> letters{letter};
    if (!record(letters))
        return false;
    letter.id = letters.first().id;
    return true;
}

bool HistoryStore::record(QList<HistoryLetter> &letters)
{
    QSqlDatabase db = database();
    if (!m_open || !db.transaction())
        return false;
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO letters(printed_at, delegated_matter, offset_left_right, offset_up_down,"
        " printer, paper, orientation, job_id, entries, reprint, batch)"
        " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QSqlQuery search(db);
    search.prepare(
        QStringLiteral("INSERT INTO letter_search(id, printed_at, text) VALUES(?, ?, ?)"));
    QList<QSqlQuery> writers = indexWriters(true);
    bool done = true;
    for (auto it = letters.begin(); done && it != letters.end(); ++it) {
        const QString when = stamp(it->printedAt);
        const QString folded = fold(searchedText(it->letter));
        for (const QVariant &value :
             {QVariant(when), QVariant(it->letter.delegatedMatterTicked() ? 1 : 0),
              QVariant(it->offset.leftRight), QVariant(it->offset.upDown), QVariant(it->printer),
              QVariant(it->paper), QVariant(it->orientation), QVariant(it->jobId),
              QVariant(QString::fromUtf8(
                  QJsonDocument(entriesOf(it->letter)).toJson(QJsonDocument::Compact))),
              QVariant(it->reprint ? 1 : 0), QVariant(it->batch ? 1 : 0)})
            insert.addBindValue(value);
        done = run(insert);
        if (!done)
            break;
        it->id = insert.lastInsertId().toLongLong();
        search.addBindValue(it->id);
        search.addBindValue(when);
        search.addBindValue(folded);
        done = run(search) && indexLetter(writers, it->id, folded);
    }
    if (done && db.commit())
        return true;
    db.rollback();
    return false;
}

QList<HistoryLetter> HistoryStore::search(const HistoryQuery &query, int limit)
{
    QList<HistoryLetter> found;
    if (!m_open)
        return found;
    const QString needle = fold(query.text);
    const auto [index, match] = indexQuery(needle);
    // A period alone is found through the letters' index of days; without one, the newest
    // letters are read backwards and the reading stops at the limit.
    const bool period = query.from.isValid() || query.to.isValid();
    // Newest first through the index, each id looked up in letter_search for its day.
    const QString byDay = QStringLiteral("SELECT id FROM %1 WHERE printed_at >= ?"
                                         " AND printed_at < ? ORDER BY id DESC LIMIT ?");
    const QString byText = QStringLiteral("SELECT letter_search.id FROM %1"
                                          " CROSS JOIN letter_search"
                                          " ON letter_search.id = %1.rowid WHERE %1 MATCH ?"
                                          " AND printed_at >= ? AND printed_at < ?"
                                          " ORDER BY %1.rowid DESC LIMIT ?");
    const QString matching =
        needle.isEmpty() ? byDay.arg(period ? "letters" : "letter_search") : byText.arg(index);
    QSqlQuery select(database());
    select.setForwardOnly(true);
    select.prepare(QStringLiteral("SELECT id, printed_at, delegated_matter, offset_left_right,"
                                  " offset_up_down, printer, paper, orientation, job_id,"
                                  " entries, reprint, batch FROM letters WHERE id IN (%1)"
                                  " ORDER BY id DESC")
                       .arg(matching));
    if (!needle.isEmpty())
        select.addBindValue(match);
    // Every stamp is a year of four digits, so "0" and "A" hold all of them between them.
    select.addBindValue(query.from.isValid() ? stamp(query.from.startOfDay())
                                             : QStringLiteral("0"));
    select.addBindValue(query.to.isValid() ? stamp(query.to.addDays(1).startOfDay())
                                           : QStringLiteral("A"));
    select.addBindValue(limit);
    if (!run(select)) {
        // A damaged index costs this search and its rebuilding, not the letters.
        if (!needle.isEmpty() && !m_rebuiltIndex && !isPassingTrouble(m_failure) && rebuildIndex())
            return search(query, limit);
        return found;
    }
    while (select.next()) {
        HistoryLetter letter;
        letter.id = select.value(0).toLongLong();
        letter.printedAt = moment(select.value(1).toString());
        letter.letter.setDelegatedMatterTicked(select.value(2).toInt() != 0);
        letter.offset = {select.value(3).toInt(), select.value(4).toInt()};
        letter.printer = select.value(5).toString();
        letter.paper = select.value(6).toString();
        letter.orientation = select.value(7).toString();
        letter.jobId = select.value(8).toString();
        letter.reprint = select.value(10).toInt() != 0;
        letter.batch = select.value(11).toInt() != 0;
        readEntries(select.value(9).toString(), &letter.letter);
        found.append(letter);
    }
    return found;
}

bool HistoryStore::removeWhere(const QString &condition, const QVariant &value)
{
    QSqlDatabase db = database();
    if (!m_open || !db.transaction())
        return false;
    // Out of the index first, with the texts it was given, then the rows.
    QSqlQuery texts(db);
    texts.setForwardOnly(true);
    texts.prepare(QStringLiteral("SELECT id, text FROM letter_search"
                                 " WHERE id IN (SELECT id FROM letters WHERE %1)")
                      .arg(condition));
    texts.addBindValue(value);
    bool done = run(texts);
    QList<QSqlQuery> writers = indexWriters(false);
    while (done && texts.next())
        done = indexLetter(writers, texts.value(0).toLongLong(), texts.value(1).toString());
    for (const QString &statement :
         {QStringLiteral("DELETE FROM letter_search WHERE id IN (SELECT id FROM letters WHERE %1)"),
          QStringLiteral("DELETE FROM letters WHERE %1")}) {
        QSqlQuery remove(db);
        remove.prepare(statement.arg(condition));
        remove.addBindValue(value);
        done = done && run(remove);
    }
    if (done && db.commit())
        return true;
    db.rollback();
    return false;
}

bool HistoryStore::remove(const QList<qint64> &ids)
{
    // One bound list of numbers; the ids never become part of the statement's text.
    QStringList list;
    for (qint64 id : ids)
        list.append(QString::number(id));
    return removeWhere(QStringLiteral("id IN (SELECT value FROM json_each(?))"),
                       QStringLiteral("[%1]").arg(list.join(QLatin1Char(','))));
}

bool HistoryStore::removeBefore(const QDateTime &moment)
{
    return removeWhere(QStringLiteral("printed_at < ?"), stamp(moment));
}

QHash<QString, QStringList> HistoryStore::frequentTexts(const QList<Field> &fields,
                                                        int latestLetters, int perField) const
{
    QHash<QString, QStringList> texts;
    if (!m_open)
        return texts;
    QSqlQuery select(database());
    select.setForwardOnly(true);
    select.prepare(QStringLiteral("SELECT entries FROM letters ORDER BY id DESC LIMIT ?"));
    select.addBindValue(latestLetters);
    if (!select.exec())
        return texts;
    // Per field: each text with its count, in the order first met (the newest first).
    QHash<QString, QList<QPair<QString, int>>> counts;
    QHash<QString, QHash<QString, int>> places;
    while (select.next()) {
        const QJsonObject entries =
            QJsonDocument::fromJson(select.value(0).toString().toUtf8()).object();
        for (Field fieldKept : fields) {
            const QString field = fieldKey(fieldKept);
            const QString text = entries.value(field).toString();
            if (text.trimmed().isEmpty())
                continue;
            QHash<QString, int> &place = places[field];
            auto it = place.find(text);
            if (it == place.end()) {
                place.insert(text, counts[field].size());
                counts[field].append({text, 1});
            } else {
                ++counts[field][*it].second;
            }
        }
    }
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        std::stable_sort(it->begin(), it->end(),
                         [](const auto &a, const auto &b) { return a.second > b.second; });
        QStringList &list = texts[it.key()];
        for (int i = 0; i < it->size() && i < perField; ++i)
            list.append(it->at(i).first);
    }
    return texts;
}

QJsonObject HistoryStore::entriesOf(const Letter &letter)
{
    QJsonObject entries;
    for (int i = 0; i < kFieldCount; ++i)
        entries.insert(fieldKey(fieldAt(i)), letter.text(fieldAt(i)));
    return entries;
}

void HistoryStore::readEntries(const QString &json, Letter *letter)
{
    const QJsonObject entries = QJsonDocument::fromJson(json.toUtf8()).object();
    for (int i = 0; i < kFieldCount; ++i)
        letter->setText(fieldAt(i), entries.value(fieldKey(fieldAt(i))).toString());
}

QString HistoryStore::fold(const QString &text)
{
    const QString wide =
        hiraganaToKatakana(text.normalized(QString::NormalizationForm_KC).toCaseFolded());
    QString folded;
    folded.reserve(wide.size());
    for (QChar c : wide)
        if (!c.isSpace() && c.category() != QChar::Other_Control)
            folded.append(c);
    return folded;
}

QString HistoryStore::searchedText(const Letter &letter)
{
    QString text = letter.text(Field::VehicleNumber);
    for (Field reading :
         {Field::Delegator1Reading, Field::Delegator2Reading, Field::Delegator3Reading}) {
        const int first = static_cast<int>(reading);
        for (Field field : {fieldAt(first), fieldAt(first + 1), fieldAt(first + 3),
                            fieldAt(first + 4), fieldAt(first + 5)})
            text += QLatin1Char('\n') + letter.text(field);
    }
    return text;
}

bool HistoryStore::refoldSearchTexts()
{
    QSqlQuery select(database());
    select.setForwardOnly(true);
    if (!select.prepare(QStringLiteral("SELECT id, entries FROM letters")) || !run(select))
        return false;
    QSqlQuery update(database());
    update.prepare(QStringLiteral("UPDATE letter_search SET text = ? WHERE id = ?"));
    while (select.next()) {
        Letter letter;
        readEntries(select.value(1).toString(), &letter);
        update.addBindValue(fold(searchedText(letter)));
        update.addBindValue(select.value(0));
        if (!run(update))
            return false;
    }
    return true;
}
