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
        // Whether the letter was one of a batch printed from a CSV file.
        QStringLiteral("ALTER TABLE letters ADD COLUMN batch INTEGER NOT NULL DEFAULT 0"),
    },
};
// The step after which the entries are kept under field keys and searched by a new fold.
constexpr int kFieldKeysStep = 1;

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
    // The letters hold customers' names and addresses: the folder is the user's alone.
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
    QSqlQuery check(database());
    if (!m_open || !check.prepare(QStringLiteral("PRAGMA quick_check")) || !run(check))
        return isPassingTrouble(m_failure);
    return check.next() && check.value(0).toString() == QLatin1String("ok");
}

HistoryStore::Opened HistoryStore::startAfresh()
{
    close();
    m_index = {};
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
    if (!m_open)
        return false;
    QSqlDatabase db = database();
    if (!db.transaction())
        return false;
    QJsonObject entries;
    for (int i = 0; i < kFieldCount; ++i)
        entries.insert(fieldKey(fieldAt(i)), letter.letter.text(fieldAt(i)));
    const QString when = stamp(letter.printedAt);
    const QString folded = fold(searchedText(letter.letter));
    bool done = false;
    {
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral(
            "INSERT INTO letters(printed_at, delegated_matter, offset_left_right, offset_up_down,"
            " printer, paper, orientation, job_id, entries, reprint, batch)"
            " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const QVariant &value :
             {QVariant(when), QVariant(letter.letter.delegatedMatterTicked() ? 1 : 0),
              QVariant(letter.offset.leftRight), QVariant(letter.offset.upDown),
              QVariant(letter.printer), QVariant(letter.paper), QVariant(letter.orientation),
              QVariant(letter.jobId),
              QVariant(QString::fromUtf8(QJsonDocument(entries).toJson(QJsonDocument::Compact))),
              QVariant(letter.reprint ? 1 : 0), QVariant(letter.batch ? 1 : 0)})
            insert.addBindValue(value);
        if (run(insert)) {
            letter.id = insert.lastInsertId().toLongLong();
            QSqlQuery search(db);
            search.prepare(
                QStringLiteral("INSERT INTO letter_search(id, printed_at, text) VALUES(?, ?, ?)"));
            search.addBindValue(letter.id);
            search.addBindValue(when);
            search.addBindValue(folded);
            done = run(search);
        }
    }
    if (done && db.commit()) {
        if (m_index.loaded)
            index(letter.id, when, folded);
        return true;
    }
    db.rollback();
    return false;
}

void HistoryStore::index(qint64 id, const QString &stamp, const QString &folded)
{
    m_index.starts.append(m_index.text.size());
    m_index.text += folded;
    // A separator no folded text holds, so no match runs from one letter into the next.
    m_index.text += QChar(0);
    m_index.ids.append(id);
    m_index.stamps.append(stamp);
}

void HistoryStore::loadIndex()
{
    m_index = {};
    m_index.loaded = true;
    QSqlQuery select(database());
    select.setForwardOnly(true);
    if (!select.exec(QStringLiteral("SELECT id, printed_at, text FROM letter_search ORDER BY id")))
        return;
    while (select.next())
        index(select.value(0).toLongLong(), select.value(1).toString(), select.value(2).toString());
}

QList<qint64> HistoryStore::matchingIds(const HistoryQuery &query, int limit) const
{
    const QString needle = fold(query.text);
    const QString from = query.from.isValid() ? stamp(query.from.startOfDay()) : QString();
    const QString to = query.to.isValid() ? stamp(query.to.addDays(1).startOfDay()) : QString();
    auto inPeriod = [&](qsizetype row) {
        const QString &at = m_index.stamps[row];
        return at >= from && (to.isEmpty() || at < to);
    };
    QList<qsizetype> rows;
    if (needle.isEmpty()) {
        for (qsizetype row = m_index.ids.size() - 1; row >= 0 && rows.size() < limit; --row)
            if (inPeriod(row))
                rows.append(row);
    } else {
        // Oldest to newest through the whole text, each letter once; the newest are kept. The
        // first character is looked for with the vectorised single-character search, which
        // is several times faster than a search for the whole needle.
        const QStringView text(m_index.text);
        const QChar first = needle.front();
        for (qsizetype at = text.indexOf(first); at >= 0; at = text.indexOf(first, at + 1)) {
            if (!text.mid(at).startsWith(needle))
                continue;
            const qsizetype row =
                std::upper_bound(m_index.starts.cbegin(), m_index.starts.cend(), at) -
                m_index.starts.cbegin() - 1;
            if (inPeriod(row))
                rows.append(row);
            if (row + 1 >= m_index.starts.size())
                break;
            at = m_index.starts[row + 1] - 1;
        }
        std::reverse(rows.begin(), rows.end());
        rows.resize(qMin<qsizetype>(rows.size(), limit));
    }
    QList<qint64> ids;
    for (qsizetype row : rows)
        ids.append(m_index.ids[row]);
    return ids;
}

QList<HistoryLetter> HistoryStore::search(const HistoryQuery &query, int limit)
{
    QList<HistoryLetter> found;
    if (!m_open)
        return found;
    if (!m_index.loaded)
        loadIndex();
    QStringList ids;
    for (qint64 id : matchingIds(query, limit))
        ids.append(QString::number(id));
    QSqlQuery select(database());
    select.setForwardOnly(true);
    // The ids go in as one bound list, never as part of the statement's text.
    select.prepare(
        QStringLiteral("SELECT id, printed_at, delegated_matter, offset_left_right, "
                       "offset_up_down, printer, paper,"
                       " orientation, job_id, entries, reprint, batch FROM letters"
                       " WHERE id IN (SELECT value FROM json_each(?)) ORDER BY id DESC"));
    select.addBindValue(QStringLiteral("[%1]").arg(ids.join(QLatin1Char(','))));
    if (!select.exec())
        return found;
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
        const QJsonObject entries =
            QJsonDocument::fromJson(select.value(9).toString().toUtf8()).object();
        for (int i = 0; i < kFieldCount; ++i)
            letter.letter.setText(fieldAt(i), entries.value(fieldKey(fieldAt(i))).toString());
        found.append(letter);
    }
    return found;
}

bool HistoryStore::removeWhere(const QString &condition, const QVariant &value)
{
    QSqlDatabase db = database();
    if (!m_open || !db.transaction())
        return false;
    bool done = true;
    // The search rows first, found through the letters' own index.
    for (const QString &statement :
         {QStringLiteral("DELETE FROM letter_search WHERE id IN (SELECT id FROM letters WHERE %1)"),
          QStringLiteral("DELETE FROM letters WHERE %1")}) {
        QSqlQuery remove(db);
        remove.prepare(statement.arg(condition));
        remove.addBindValue(value);
        done = done && run(remove);
    }
    m_index = {}; // read again at the next search
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
        const QJsonObject entries =
            QJsonDocument::fromJson(select.value(1).toString().toUtf8()).object();
        Letter letter;
        for (int i = 0; i < kFieldCount; ++i)
            letter.setText(fieldAt(i), entries.value(fieldKey(fieldAt(i))).toString());
        update.addBindValue(fold(searchedText(letter)));
        update.addBindValue(select.value(0));
        if (!run(update))
            return false;
    }
    return true;
}
