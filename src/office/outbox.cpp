#include "office/outbox.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

Outbox::Outbox(const QString &path)
    : m_path(path), m_connection(QStringLiteral("outbox-%1").arg(quintptr(this)))
{
}

Outbox::~Outbox()
{
    close();
}

bool Outbox::open()
{
    // The letters hold customers' names: the file is the user's alone, before SQLite sees it.
    QFile file(m_path);
    if (!QFileInfo::exists(m_path) && !file.open(QIODevice::WriteOnly))
        return false;
    file.close();
    if (!file.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        return false;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    QSqlQuery query(db);
    return db.open() && query.exec(QStringLiteral("PRAGMA synchronous=FULL")) &&
           query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS outbox("
                                     "place INTEGER PRIMARY KEY AUTOINCREMENT,"
                                     " letter TEXT NOT NULL)"));
}

void Outbox::close()
{
    if (!QSqlDatabase::contains(m_connection))
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

bool Outbox::push(const QJsonObject &letter)
{
    QSqlQuery insert(QSqlDatabase::database(m_connection, false));
    insert.prepare(QStringLiteral("INSERT INTO outbox(letter) VALUES(?)"));
    insert.addBindValue(QString::fromUtf8(QJsonDocument(letter).toJson(QJsonDocument::Compact)));
    return insert.exec();
}

QList<QPair<qint64, QJsonObject>> Outbox::oldest(int limit) const
{
    QList<QPair<qint64, QJsonObject>> letters;
    QSqlQuery select(QSqlDatabase::database(m_connection, false));
    select.prepare(QStringLiteral("SELECT place, letter FROM outbox ORDER BY place LIMIT ?"));
    select.addBindValue(limit);
    if (!select.exec())
        return letters;
    while (select.next()) {
        const QByteArray json = select.value(1).toString().toUtf8();
        letters.append({select.value(0).toLongLong(), QJsonDocument::fromJson(json).object()});
    }
    return letters;
}

bool Outbox::drop(qint64 place)
{
    QSqlQuery remove(QSqlDatabase::database(m_connection, false));
    remove.prepare(QStringLiteral("DELETE FROM outbox WHERE place = ?"));
    remove.addBindValue(place);
    return remove.exec();
}

bool Outbox::erase()
{
    close();
    return !QFileInfo::exists(m_path) || QFile::remove(m_path);
}
