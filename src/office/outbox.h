#pragma once

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

// Letters printed while the office's server could not be reached, kept in a SQLite file on this
// PC until the server has them. Each one is its own transaction, so a crash loses none that
// was pushed.
class Outbox
{
public:
    explicit Outbox(const QString &path);
    ~Outbox();
    Outbox(const Outbox &) = delete;
    Outbox &operator=(const Outbox &) = delete;

    bool open();
    bool push(const QJsonObject &letter);
    // The oldest first, each with its place in the queue.
    QList<QPair<qint64, QJsonObject>> oldest(int limit) const;
    bool drop(qint64 place);
    bool isEmpty() const { return oldest(1).isEmpty(); }
    // Closes the file and deletes it.
    bool erase();

private:
    void close();

    QString m_path;
    QString m_connection;
};
