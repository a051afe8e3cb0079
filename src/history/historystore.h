#pragma once

#include "history/letterstore.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
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
    // False when SQLite finds damage inside the file. Reads all of it, so it is run once the
    // program is up, not while it starts.
    bool isSound();
    // Moves the damaged file aside and begins a new one: MovedAside or Unusable.
    Opened startAfresh();
    bool isOpen() const { return m_open; }

    // False when the letter could not be written (the disk is full, say); the file stays as it
    // was before the letter. Gives the letter its id.
    bool record(HistoryLetter &letter);
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

    // Texts compared the way a search compares them: width and case folded, hiragana as
    // katakana, no blanks.
    static QString fold(const QString &text);
    // What a search looks through: the vehicle's number, and each delegator's reading, name,
    // representative and address.
    static QString searchedText(const Letter &letter);

private:
    // The folded search texts of every letter, oldest first, one after another in memory: a
    // search runs through them in a few milliseconds where SQLite would take tens. Loaded at
    // the first search, not at start.
    struct SearchIndex
    {
        bool loaded = false;
        QString text;
        QList<qsizetype> starts;
        QList<qint64> ids;
        QStringList stamps;
    };
    void loadIndex();
    void index(qint64 id, const QString &stamp, const QString &folded);
    QList<qint64> matchingIds(const HistoryQuery &query, int limit) const;
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
    SearchIndex m_index;
};
