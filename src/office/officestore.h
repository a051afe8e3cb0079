#pragma once

#include "history/letterstore.h"

#include <memory>

class HistoryStore;
class OfficeServer;
class Outbox;

// The office's shared history. Every letter is kept on this PC first, in the history file and
// in the outbox, and the outbox is sent to the server in order whenever it answers, so a
// letter is never lost or held up by the network. Search, suggestions and deleting go to the
// server while it answers and to this PC's file while it does not, or refuses this user.
class OfficeStore : public LetterStore
{
public:
    // `connection` as OfficeServer takes it; the file at `path` and the outbox beside it; the
    // PC and user every letter recorded here names. After the server did not answer, it is
    // asked again at the first call `retryMs` later.
    OfficeStore(const QString &connection, const QString &path, const QString &pc,
                const QString &user, int retryMs = 30000);
    ~OfficeStore() override;

    Opened open() override;
    QString movedTo() const override;
    bool isOpen() const override;
    bool isSound() override;
    bool rebuiltIndex() override;
    Opened startAfresh() override;
    bool record(HistoryLetter &letter) override;
    QList<HistoryLetter> search(const HistoryQuery &query, int limit = 100) override;
    bool remove(const QList<qint64> &ids) override;
    // The office's letters stay: how long they are kept is the office's choice, not a PC's.
    bool removeBefore(const QDateTime &moment) override;
    QHash<QString, QStringList> frequentTexts(const QList<Field> &fields, int latestLetters,
                                              int perField) const override;
    bool erase() override;
    QString takeNotice() override;

    // Sends what the outbox holds, oldest first; false when some stays.
    bool send();

    // The outbox beside the history file at `path`.
    static QString outboxPath(const QString &path);

private:
    // True when the server may be asked now.
    bool reachable() const;
    void noteTrouble() const;

    std::unique_ptr<OfficeServer> m_server;
    std::unique_ptr<HistoryStore> m_local;
    std::unique_ptr<Outbox> m_outbox;
    QString m_pc;
    QString m_user;
    int m_retryMs;
    mutable QString m_notice;
    // Each message once: the unreachable one again only after the server answered meanwhile.
    mutable bool m_toldUnreachable = false;
    mutable bool m_toldRefusal = false;
};
