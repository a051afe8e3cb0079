#include "office/officestore.h"

#include "history/historystore.h"
#include "office/officeserver.h"
#include "office/outbox.h"

#include <QDir>
#include <QFileInfo>
#include <QObject>

#include <utility>

namespace {

// Letters sent in one go; the rest at the next call, so no call waits long on a full outbox.
constexpr int kSendBatch = 200;

} // namespace

OfficeStore::OfficeStore(const QString &connection, const QString &path, const QString &pc,
                         const QString &user, int retryMs)
    : m_server(std::make_unique<OfficeServer>(connection)),
      m_local(std::make_unique<HistoryStore>(path)),
      m_outbox(std::make_unique<Outbox>(outboxPath(path))), m_pc(pc), m_user(user),
      m_retryMs(retryMs)
{
}

OfficeStore::~OfficeStore() = default;

QString OfficeStore::outboxPath(const QString &path)
{
    return QFileInfo(path).dir().filePath(QStringLiteral("office-outbox.sqlite"));
}

LetterStore::Opened OfficeStore::open()
{
    const Opened opened = m_local->open();
    if (!m_local->isOpen() || !m_outbox->open())
        return Opened::Unusable;
    m_server->connect();
    noteTrouble();
    send();
    return opened;
}

QString OfficeStore::movedTo() const
{
    return m_local->movedTo();
}

bool OfficeStore::isOpen() const
{
    return m_local->isOpen();
}

bool OfficeStore::isSound()
{
    return m_local->isSound();
}

bool OfficeStore::rebuiltIndex()
{
    return m_local->rebuiltIndex();
}

LetterStore::Opened OfficeStore::startAfresh()
{
    return m_local->startAfresh();
}

bool OfficeStore::reachable() const
{
    return m_server->mayAsk(m_retryMs);
}

void OfficeStore::noteTrouble() const
{
    switch (m_server->state()) {
    case OfficeServer::State::Connected:
        m_toldUnreachable = false;
        return;
    case OfficeServer::State::Unreachable:
        if (m_toldUnreachable)
            return;
        m_toldUnreachable = true;
        m_notice = QObject::tr("共有の印刷履歴に接続できません。"
                               "このパソコンに保存し、つながったら送ります。");
        return;
    case OfficeServer::State::Denied:
        if (m_toldRefusal)
            return;
        m_toldRefusal = true;
        m_notice = QObject::tr("共有の印刷履歴を使う権限がありません。"
                               "印刷した委任状はこのパソコンに保存し、"
                               "このパソコンの印刷履歴はこれまでどおり使えます。"
                               "サーバーの管理者に権限を確かめてもらってください。");
        return;
    case OfficeServer::State::Newer:
        if (m_toldRefusal)
            return;
        m_toldRefusal = true;
        m_notice = QObject::tr("共有の印刷履歴は新しい版のソラフで作られたため、使えません。"
                               "印刷した委任状はこのパソコンに保存します。"
                               "新しい版のソラフをお使いください。");
        return;
    }
}

QString OfficeStore::takeNotice()
{
    return std::exchange(m_notice, QString());
}

bool OfficeStore::record(HistoryLetter &letter)
{
    letter.pc = m_pc;
    letter.user = m_user;
    // The outbox is what must not fail; the file is this PC's own copy.
    HistoryLetter kept = letter;
    m_local->record(kept);
    if (!m_outbox->push(officeLetter(letter)))
        return false;
    letter.id = kept.id;
    send();
    return true;
}

bool OfficeStore::send()
{
    if (!reachable())
        return false;
    const auto letters = m_outbox->oldest(kSendBatch);
    bool sent = true;
    // A letter the server has is dropped from the outbox after: sent again, it adds nothing.
    for (const auto &[place, letter] : letters) {
        if (m_server->insert(letter)) {
            sent = m_outbox->drop(place);
        } else if (m_server->refused() && m_outbox->drop(place)) {
            // Refused for what it holds, it would hold back every letter behind it: it stays
            // in this PC's history only.
            m_notice = QObject::tr("印刷履歴の 1 通を共有の印刷履歴に送れませんでした（%1）。"
                                   "このパソコンの印刷履歴には残っています。")
                           .arg(m_server->lastError());
            continue;
        } else {
            sent = false;
        }
        if (!sent)
            break;
    }
    if (letters.isEmpty())
        m_server->connect();
    noteTrouble();
    return sent && letters.size() < kSendBatch;
}

QList<HistoryLetter> OfficeStore::search(const HistoryQuery &query, int limit)
{
    // This PC's queued letters are found too once they are there.
    if (send()) {
        if (auto letters = m_server->search(query, limit)) {
            // The server and this PC's file each count their letters from 1: a server letter's
            // id is negative, so that deleting never takes a letter of the other.
            for (HistoryLetter &letter : *letters)
                letter.id = -letter.id;
            return *letters;
        }
        noteTrouble();
    }
    return m_local->search(query, limit);
}

bool OfficeStore::remove(const QList<qint64> &ids)
{
    QList<qint64> office;
    QList<qint64> local;
    for (const qint64 id : ids)
        id < 0 ? office.append(-id) : local.append(id);
    // Letters found on the server are deleted there or not at all.
    if (!office.isEmpty() && !(reachable() && m_server->remove(office)))
        return false;
    return local.isEmpty() || m_local->remove(local);
}

bool OfficeStore::removeBefore(const QDateTime &moment)
{
    return m_local->removeBefore(moment);
}

QHash<QString, QStringList> OfficeStore::frequentTexts(const QList<Field> &fields,
                                                       int latestLetters, int perField) const
{
    if (reachable()) {
        if (const auto texts = m_server->frequentTexts(fields, latestLetters, perField))
            return *texts;
        noteTrouble();
    }
    return m_local->frequentTexts(fields, latestLetters, perField);
}

bool OfficeStore::erase()
{
    const bool local = m_local->erase();
    return m_outbox->erase() && local;
}
