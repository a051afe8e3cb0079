#pragma once

#include "history/historyletter.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Where the history keeps its letters: the file on this PC, or the office's server. Used by one
// thread only, the history's lane.
class LetterStore
{
public:
    enum class Opened {
        Ready,
        MovedAside, // the file was damaged or unreadable: kept under another name, a new one begun
        Unusable,   // nothing can be written in the folder, or the disk is full
        Newer,      // written by a later version of this program: left alone
    };

    virtual ~LetterStore() = default;

    virtual Opened open() = 0;
    // After MovedAside, where the damaged file went.
    virtual QString movedTo() const = 0;
    virtual bool isOpen() const = 0;
    // False when damage is found; reads everything, so it runs once the program is up.
    virtual bool isSound() = 0;
    // Whether the search index was found damaged and rebuilt since the last call.
    virtual bool rebuiltIndex() { return false; }
    virtual Opened startAfresh() = 0;
    // Gives the letter its id; false when it could not be kept.
    virtual bool record(HistoryLetter &letter) = 0;
    // Newest first, at most `limit`.
    virtual QList<HistoryLetter> search(const HistoryQuery &query, int limit = 100) = 0;
    virtual bool remove(const QList<qint64> &ids) = 0;
    virtual bool removeBefore(const QDateTime &moment) = 0;
    // For each of the fields, keyed by fieldKey(), the texts of the latest letters most
    // frequent first.
    virtual QHash<QString, QStringList> frequentTexts(const QList<Field> &fields, int latest,
                                                      int perField) const = 0;
    // Deletes everything this PC keeps.
    virtual bool erase() = 0;
    // A message for the user that came up since last asked (in Japanese), else empty.
    virtual QString takeNotice() { return QString(); }
};
