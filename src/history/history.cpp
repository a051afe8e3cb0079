#include "history/history.h"

#include "history/historystore.h"
#include "system/texts.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

namespace {

const QString kKeep = QStringLiteral("history/keep");
const QString kRetention = QStringLiteral("history/retentionMonths");
// Suggestions come from the letters of about the last few weeks: what the office uses now.
constexpr int kSuggestionLetters = 3000;
constexpr int kSuggestionsPerField = 30;
// The whole file is checked for damage this long after start, when the window is up.
constexpr int kCheckDelayMs = 3000;

std::unique_ptr<QSettings> openSettings(const QString &path)
{
    if (path.isEmpty())
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QStringLiteral("sorafu"), QStringLiteral("sorafu"));
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

} // namespace

History::History(const QString &path, const QString &settingsPath, QObject *parent)
    : QObject(parent), m_path(path), m_settingsPath(settingsPath), m_context(new QObject)
{
    const auto settings = openSettings(settingsPath);
    m_settings.keep = settings->value(kKeep, true).toBool();
    m_settings.retentionMonths = qMax(1, settings->value(kRetention, 12).toInt());
    m_context->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("history"));
    m_thread.start();
    if (m_settings.keep)
        open();
}

History::~History()
{
    // Waits for the letters still queued, and skips what can wait: the file is closed on the
    // thread that opened it.
    m_closing = true;
    QMetaObject::invokeMethod(
        m_context, [this] { m_store.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_context;
}

QString History::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("history.sqlite"));
}

template <typename Work> void History::onThread(Work &&work)
{
    QMetaObject::invokeMethod(m_context, std::forward<Work>(work), Qt::QueuedConnection);
}

template <typename Work> void History::onWindow(Work &&work)
{
    QMetaObject::invokeMethod(this, std::forward<Work>(work), Qt::QueuedConnection);
}

void History::open()
{
    m_on = true;
    const int months = m_settings.retentionMonths;
    onThread([this, months] {
        m_store = std::make_unique<HistoryStore>(m_path);
        const QString path = QDir::toNativeSeparators(m_path);
        switch (m_store->open()) {
        case HistoryStore::Opened::Ready:
            break;
        case HistoryStore::Opened::MovedAside: {
            const QString movedTo = QDir::toNativeSeparators(m_store->movedTo());
            onWindow(
                [this, path, movedTo] { emit problem(texts::historyMovedAside(path, movedTo)); });
            break;
        }
        case HistoryStore::Opened::Newer:
            m_store.reset();
            onWindow([this, path] { fail(texts::historyOfLaterVersion(path)); });
            return;
        case HistoryStore::Opened::Unusable:
            m_store.reset();
            onWindow([this, path] {
                fail(texts::historyFolderUnusable(QFileInfo(path).absolutePath()));
            });
            return;
        }
        m_store->removeBefore(QDateTime::currentDateTime().addMonths(-months));
        onWindow([this] { emit changed(); });
        QTimer::singleShot(kCheckDelayMs, m_context, [this] { checkFile(); });
    });
}

void History::checkFile()
{
    if (m_closing || !m_store || m_store->isSound())
        return;
    const QString path = QDir::toNativeSeparators(m_path);
    if (m_store->startAfresh() == HistoryStore::Opened::MovedAside) {
        const QString movedTo = QDir::toNativeSeparators(m_store->movedTo());
        onWindow([this, path, movedTo] {
            emit problem(texts::historyMovedAside(path, movedTo));
            emit changed();
        });
        return;
    }
    m_store.reset();
    onWindow([this, path] { fail(texts::historyFolderUnusable(QFileInfo(path).absolutePath())); });
}

void History::fail(const QString &message)
{
    // One message a run: after it the history stays off until the next start.
    if (!m_on)
        return;
    m_on = false;
    onThread([this] { m_store.reset(); });
    emit problem(message);
}

void History::saveSettings() const
{
    const auto settings = openSettings(m_settingsPath);
    settings->setValue(kKeep, m_settings.keep);
    settings->setValue(kRetention, m_settings.retentionMonths);
}

void History::setKeep(bool keep)
{
    m_settings.keep = keep;
    saveSettings();
    if (keep) {
        if (!m_on)
            open();
        return;
    }
    m_on = false;
    onThread([this] {
        // Erased even when it never opened this run: turning it off promises nothing is kept.
        if (!m_store)
            m_store = std::make_unique<HistoryStore>(m_path);
        const bool erased = m_store->erase();
        m_store.reset();
        const QString path = QDir::toNativeSeparators(m_path);
        onWindow([this, erased, path] {
            if (!erased)
                emit problem(texts::historyNotErased(path));
            emit changed();
        });
    });
}

void History::setRetentionMonths(int months)
{
    m_settings.retentionMonths = qMax(1, months);
    saveSettings();
    onThread([this, months] {
        if (m_store && m_store->removeBefore(QDateTime::currentDateTime().addMonths(-months)))
            onWindow([this] { emit changed(); });
    });
}

void History::record(const HistoryLetter &letter)
{
    if (!m_on)
        return;
    onThread([this, letter] {
        if (!m_store)
            return;
        HistoryLetter kept = letter;
        const bool recorded = m_store->record(kept);
        onWindow([this, recorded] {
            if (recorded)
                emit changed();
            else
                fail(texts::historyNotWritten());
        });
    });
}

int History::search(const HistoryQuery &query)
{
    const int serial = ++m_latestSearch;
    onThread([this, query, serial] {
        if (serial != m_latestSearch || m_closing)
            return;
        const QList<HistoryLetter> letters =
            m_store ? m_store->search(query) : QList<HistoryLetter>();
        onWindow([this, serial, letters] { emit found(serial, letters); });
    });
    return serial;
}

void History::remove(const QList<qint64> &ids)
{
    onThread([this, ids] {
        if (!m_store)
            return;
        const bool removed = m_store->remove(ids);
        onWindow([this, removed] {
            if (!removed)
                emit problem(texts::historyNotDeleted());
            emit changed();
        });
    });
}

void History::findFrequentTexts(const QStringList &fields)
{
    onThread([this, fields] {
        if (!m_store || m_closing)
            return;
        const auto texts = m_store->frequentTexts(fields, kSuggestionLetters, kSuggestionsPerField);
        onWindow([this, texts] { emit frequentTextsFound(texts); });
    });
}

void History::waitForIdle()
{
    QMetaObject::invokeMethod(
        m_context, [] {}, Qt::BlockingQueuedConnection);
}
