#pragma once

#include "core/printoffset.h"
#include "history/historyletter.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QSqlError;
class QSqlQuery;

// The office's PostgreSQL server through Qt SQL, one connection used by one thread only. Every
// statement takes its values as bound parameters and waits at most a few seconds; a failed one
// says through state() whether the server is gone, refuses this user, or is a later version's.
class OfficeServer
{
public:
    enum class State { Connected, Unreachable, Denied, Newer };

    // `connection` is a libpq connection string, as the user's settings keep it.
    explicit OfficeServer(const QString &connection);
    ~OfficeServer();
    OfficeServer(const OfficeServer &) = delete;
    OfficeServer &operator=(const OfficeServer &) = delete;

    // Connects unless connected, and brings the tables up to date: on a server that has them
    // already, nothing but reading is needed, so a role without DDL rights works.
    State connect();
    State state() const { return m_state; }
    // Whether to ask the server now: connected, or unreachable for at least `retryMs`, so that
    // an office without its server is not kept waiting on every call.
    bool mayAsk(int retryMs) const;
    // The server's own words for the last failure (English), for the connection test.
    QString lastError() const { return m_error; }
    // The last statement failed for what it held (SQLSTATE class 22 or 23: a character the
    // server cannot store, say), not for the connection: sending it again fails again.
    bool refused() const { return m_refused; }

    // A letter as officeLetter() made it. Sent twice, it is kept once.
    bool insert(const QJsonObject &letter);
    std::optional<QList<HistoryLetter>> search(const HistoryQuery &query, int limit);
    bool remove(const QList<qint64> &ids);
    std::optional<QHash<QString, QStringList>> frequentTexts(const QList<Field> &fields,
                                                             int latestLetters, int perField);

    // A network printer's calibration, shared by every PC printing to it. *answered, when
    // given, tells a server that has none (or one out of range) from one that did not answer.
    std::optional<PrintOffset> sharedOffset(const QString &deviceUri, bool *answered = nullptr);
    bool saveSharedOffset(const QString &deviceUri, const PrintOffset &offset, const QString &pc);

    // The connection string with the bounds this program keeps to.
    static QString bounded(const QString &connection);

private:
    bool run(QSqlQuery &query);
    bool run(const QString &statement);
    // Reads the failure into state().
    void judge(const QSqlError &error);
    // The connection is gone; asked again after the caller's wait.
    void lost();
    bool openConnection();
    // The letters of `from` that meet `condition` with `value` bound (none: every letter),
    // newest by `order` first.
    std::optional<QList<HistoryLetter>> select(const HistoryQuery &query, const QString &from,
                                               const QString &condition, const QString &value,
                                               const QString &order, int limit);
    bool migrate();
    void close();

    QString m_connection;
    QString m_name;
    State m_state = State::Unreachable;
    QElapsedTimer m_sinceLost;
    QString m_error;
    bool m_refused = false;
};

// The letter as the server and the outbox keep it: with an id of its own made here, so that
// sending it again adds nothing, and the PC and user that printed it.
QJsonObject officeLetter(const HistoryLetter &letter);
