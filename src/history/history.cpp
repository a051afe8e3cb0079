#include "history/history.h"

#include "history/historystore.h"
#include "layout/printing.h"
#include "system/background.h"
#include "system/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <atomic>
#include <optional>

namespace {

const QString kKeep = QStringLiteral("history/keep");
const QString kRetention = QStringLiteral("history/retentionMonths");
// Suggestions come from the letters of about the last few weeks: what the office uses now.
constexpr int kSuggestionLetters = 3000;
constexpr int kSuggestionsPerField = 30;
// The file is checked for damage this long after start, when the window is up.
constexpr int kCheckDelayMs = 3000;
// Each statement waits at most 2 s for the file; a test's or benchmark's wait for a queue of
// them ends after this.
constexpr int kIdleWaitMs = 60000;

} // namespace

struct History::Shared
{
    QString path;
    History::StoreMaker make;
    // Made, used and closed on the lane only.
    std::unique_ptr<LetterStore> store;
    std::atomic<int> latestSearch{0};
    std::atomic<bool> closing{false};
};

struct History::Opening
{
    HistoryStore::Opened opened = HistoryStore::Opened::Ready;
    QString movedTo;
    bool rebuiltIndex = false;
};

struct History::Found
{
    QList<HistoryLetter> letters;
    bool rebuiltIndex = false;
};

History::History(const QString &path, const QString &settingsPath, Background &background,
                 QObject *parent)
    : History(path, settingsPath, background, {}, parent)
{
}

History::History(const QString &path, const QString &settingsPath, Background &background,
                 StoreMaker maker, QObject *parent)
    : QObject(parent), m_path(path), m_settingsPath(settingsPath),
      m_shared(std::make_shared<Shared>()), m_lane(background.lane(QStringLiteral("history")))
{
    m_shared->path = path;
    m_shared->make = maker ? std::move(maker) : [](const QString &file) {
        return std::unique_ptr<LetterStore>(std::make_unique<HistoryStore>(file));
    };
    const auto settings = openSettings(settingsPath);
    m_settings.keep = settings->value(kKeep, true).toBool();
    m_settings.retentionMonths = qMax(1, settings->value(kRetention, 12).toInt());
    if (m_settings.keep)
        open();
}

History::~History()
{
    // The letters still queued are written; searches and suggestions are skipped. The file is
    // closed on the lane that opened it, and the lane goes once that is done.
    m_shared->closing = true;
    onLane([](Shared &shared) { shared.store.reset(); });
    m_lane.reset();
}

QString History::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("history.sqlite"));
}

// Runs `work` on the lane with what it shares, then `done` here with what it returned.
template <typename Work, typename Done> void History::onLane(Work work, Done done)
{
    using Result = decltype(work(std::declval<Shared &>()));
    auto result = std::make_shared<Result>();
    // What the store had to say on the way (the office's server not answering) comes along.
    auto notice = std::make_shared<QString>();
    m_lane->run(
        this,
        [shared = m_shared, work, result, notice] {
            *result = work(*shared);
            if (shared->store)
                *notice = shared->store->takeNotice();
        },
        [this, done, result, notice] {
            if (!notice->isEmpty())
                emit problem(*notice);
            done(*result);
        });
}

void History::onLane(std::function<void(Shared &)> work)
{
    m_lane->run(
        this, [shared = m_shared, work] { work(*shared); }, [] {});
}

void History::open()
{
    m_on = true;
    const int months = m_settings.retentionMonths;
    onLane(
        [months](Shared &shared) {
            shared.store = shared.make(shared.path);
            Opening opening{shared.store->open(), QString()};
            opening.movedTo = QDir::toNativeSeparators(shared.store->movedTo());
            if (shared.store->isOpen())
                shared.store->removeBefore(QDateTime::currentDateTime().addMonths(-months));
            else
                shared.store.reset();
            return opening;
        },
        [this](const Opening &opening) {
            if (!tell(opening))
                return;
            emit changed();
            QTimer::singleShot(kCheckDelayMs, this, &History::checkFile);
        });
}

void History::checkFile()
{
    onLane(
        [](Shared &shared) {
            Opening opening;
            if (shared.closing || !shared.store)
                return opening;
            if (shared.store->isSound()) {
                opening.rebuiltIndex = shared.store->rebuiltIndex();
                return opening;
            }
            opening.opened = shared.store->startAfresh();
            opening.movedTo = QDir::toNativeSeparators(shared.store->movedTo());
            if (!shared.store->isOpen())
                shared.store.reset();
            return opening;
        },
        [this](const Opening &opening) {
            if (opening.rebuiltIndex)
                tellRebuiltIndex();
            if (opening.opened != HistoryStore::Opened::Ready && tell(opening))
                emit changed();
        });
}

void History::tellRebuiltIndex()
{
    emit problem(tr("印刷履歴の検索に使う索引が壊れていたため、作り直しました。"
                    "印刷した委任状はすべて残っていますので、このままお使いください。"));
}

// Tells the user what became of the file; false when the history is off from now on.
bool History::tell(const Opening &opening)
{
    const QString path = QDir::toNativeSeparators(m_path);
    switch (opening.opened) {
    case HistoryStore::Opened::Ready:
        return true;
    case HistoryStore::Opened::MovedAside:
        emit problem(tr("印刷履歴のファイル「%1」が壊れているため、読み込めません。\n"
                        "このファイルは「%2」として残し、新しい印刷履歴を始めました。")
                         .arg(path, opening.movedTo));
        return true;
    case HistoryStore::Opened::Newer:
        fail(tr("印刷履歴のファイル「%1」は新しい版のソラフで作られたため、"
                "読み込めません。今回は印刷履歴を残しません。"
                "新しい版のソラフをお使いください。")
                 .arg(path));
        return false;
    case HistoryStore::Opened::Unusable:
        break;
    }
    fail(tr("印刷履歴を保存するフォルダー「%1」に書き込めません"
            "（読み取り専用、ディスクがいっぱいなどの理由）。\n"
            "今回は印刷履歴を残しません。印刷はこれまでどおりできます。"
            "フォルダーを確かめてから、ソラフを起動し直してください。")
             .arg(QFileInfo(path).absolutePath()));
    return false;
}

void History::fail(const QString &message)
{
    // One message a run: after it the history stays off until the next start.
    if (!m_on)
        return;
    m_on = false;
    onLane([](Shared &shared) { shared.store.reset(); });
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
    onLane(
        [](Shared &shared) {
            // Erased even when it never opened this run: turning it off promises nothing is kept.
            if (!shared.store)
                shared.store = shared.make(shared.path);
            const bool erased = shared.store->erase();
            shared.store.reset();
            return erased;
        },
        [this](bool erased) {
            if (!erased)
                emit problem(tr("印刷履歴のファイル「%1」を削除できませんでした。"
                                "お手数ですが、このファイルを手で削除してください。")
                                 .arg(QDir::toNativeSeparators(m_path)));
            emit changed();
        });
}

void History::setRetentionMonths(int months)
{
    m_settings.retentionMonths = qMax(1, months);
    saveSettings();
    onLane(
        [months](Shared &shared) {
            return shared.store &&
                   shared.store->removeBefore(QDateTime::currentDateTime().addMonths(-months));
        },
        [this](bool removed) {
            if (removed)
                emit changed();
        });
}

void History::record(const HistoryLetter &letter)
{
    if (!m_on)
        return;
    onLane(
        [letter](Shared &shared) -> std::optional<bool> {
            if (!shared.store)
                return std::nullopt;
            HistoryLetter kept = letter;
            return shared.store->record(kept);
        },
        [this](std::optional<bool> recorded) {
            if (!recorded)
                return;
            if (*recorded)
                emit changed();
            else
                fail(tr("印刷した委任状を印刷履歴に書き込めませんでした"
                        "（ディスクがいっぱいなどの理由）。印刷はできています。\n"
                        "今回はこのあと印刷履歴を残しません。空き容量を確かめてから、"
                        "ソラフを起動し直してください。"));
        });
}

int History::search(const HistoryQuery &query)
{
    const int serial = ++m_shared->latestSearch;
    onLane(
        [query, serial](Shared &shared) -> std::optional<Found> {
            if (serial != shared.latestSearch || shared.closing)
                return std::nullopt;
            if (!shared.store)
                return Found();
            Found answer{shared.store->search(query)};
            answer.rebuiltIndex = shared.store->rebuiltIndex();
            return answer;
        },
        [this, serial](const std::optional<Found> &answer) {
            if (answer && answer->rebuiltIndex)
                tellRebuiltIndex();
            if (answer)
                emit found(serial, answer->letters);
        });
    return serial;
}

void History::remove(const QList<qint64> &ids)
{
    onLane(
        [ids](Shared &shared) -> std::optional<bool> {
            if (!shared.store)
                return std::nullopt;
            return shared.store->remove(ids);
        },
        [this](std::optional<bool> removed) {
            if (!removed)
                return;
            if (!*removed)
                emit problem(tr("印刷履歴を削除できませんでした。もう一度お試しください。"));
            emit changed();
        });
}

void History::findFrequentTexts(const QList<Field> &fields)
{
    onLane(
        [fields](Shared &shared) -> std::optional<QHash<QString, QStringList>> {
            if (!shared.store || shared.closing)
                return std::nullopt;
            return shared.store->frequentTexts(fields, kSuggestionLetters, kSuggestionsPerField);
        },
        [this](const std::optional<QHash<QString, QStringList>> &texts) {
            if (texts)
                emit frequentTextsFound(*texts);
        });
}

void History::waitForIdle()
{
    m_lane->waitForIdle(kIdleWaitMs);
}

HistoryLetter historyLetter(const AcceptedJob &job, const Letter &letter, const PrintOffset &offset)
{
    HistoryLetter record;
    record.printedAt = QDateTime::currentDateTime();
    record.letter = letter;
    record.offset = offset;
    record.printer = job.destination;
    record.paper = job.paper;
    record.orientation =
        job.orientation == QPageLayout::Landscape ? QStringLiteral("横") : QStringLiteral("縦");
    record.jobId = job.file.isEmpty() ? QString::number(job.jobId) : job.file;
    return record;
}
