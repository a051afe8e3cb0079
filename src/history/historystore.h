#pragma once

#include "history/letterstore.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

// The history file itself: SQLite through Qt SQL, one connection used by one thread only. Every
// letter is one transaction in WAL mode, so a crash at any moment loses at most the letter
// being written. Every statement takes its values as bound parameters.
class HistoryStore : public LetterStore
{
public:
    explicit HistoryStore(const QString &path);
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // Opens the file, creating it (mode 0600) and bringing its layout up to date. After
    // MovedAside, movedTo() names the damaged file's new place; after Unusable, the store stays
    // closed and every later call does nothing.
    Opened open();
    QString movedTo() const { return m_movedTo; }
    // False when SQLite finds damage inside the file. Run once the program is up, not while it
    // starts: at most once a week it reads the whole file, and otherwise only looks up the
    // newest letter in the search indexes. A damaged index is rebuilt from the letters and
    // counts as sound: see rebuiltIndex().
    bool isSound() override;
    bool rebuiltIndex() override;
    // Moves the damaged file aside and begins a new one: MovedAside or Unusable.
    Opened startAfresh();
    bool isOpen() const { return m_open; }

    // False when the letter could not be written (the disk is full, say); the file stays as it
    // was before the letter. Gives the letter its id.
    bool record(HistoryLetter &letter);
    // All in one transaction, or none of them.
    bool record(QList<HistoryLetter> &letters);
    // Newest first, at most `limit`.
    QList<HistoryLetter> search(const HistoryQuery &query, int limit = 100);
    bool remove(const QList<qint64> &ids);
    // Deletes every letter printed before the moment.
    bool removeBefore(const QDateTime &moment);
    // For each of the fields, keyed by fieldKey(), the texts of the latest letters most frequent
    // first.
    QHash<QString, QStringList> frequentTexts(const QList<Field> &fields, int latestLetters,
                                              int perField) const;
    // Closes the file and deletes it with its WAL and shared-memory files.
    bool erase();

    // A letter's entries as they are kept: a JSON object keyed by fieldKey().
    static QJsonObject entriesOf(const Letter &letter);
    // Kept entries, as JSON text, put into the letter.
    static void readEntries(const QString &json, Letter *letter);
    // Texts compared the way a search compares them: width and case folded, hiragana as
    // katakana, no blanks.
    static QString fold(const QString &text);
    // What a search looks through: the vehicle's number, and each delegator's reading, name,
    // representative and address.
    static QString searchedText(const Letter &letter);

private:
    // The search indexes: SQLite's full-text index of trigrams over the folded texts, and one of
    // their single characters and pairs, which a trigram cannot find.
    bool createIndex();
    QList<QSqlQuery> indexWriters(bool add) const;
    bool indexLetter(QList<QSqlQuery> &writers, qint64 id, const QString &folded);
    bool fillIndex();
    bool indexIsSound(bool thoroughly);
    bool indexFinds(qint64 id, const QString &folded);
    bool rebuildIndex();
    bool fullCheckDue(const QDateTime &now);
    QSqlDatabase database() const;
    // Runs a statement, keeping SQLite's result code when it fails.
    bool run(QSqlQuery &query);
    bool run(const QString &statement);
    bool removeWhere(const QString &condition, const QVariant &value);
    bool openConnection();
    bool prepareFile();
    // False, with m_newer set, for a file of a later version.
    bool readVersion(int *version);
    bool migrate();
    bool refoldSearchTexts();
    void close();
    bool moveAside();
    QStringList companionFiles() const;

    QString m_path;
    QString m_connection;
    QString m_movedTo;
    bool m_open = false;
    bool m_newer = false;
    int m_failure = 0; // SQLite's result code of the last failed statement
    bool m_rebuiltIndex = false;
};
