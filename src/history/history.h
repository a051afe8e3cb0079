#pragma once

#include "history/historyletter.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class Background;
class Lane;
class LetterStore;

// What the user chose for the history, kept in the program's settings.
struct HistorySettings
{
    bool keep = true;
    int retentionMonths = 12;
};

// The print history as the window uses it: every request returns at once and the file is
// read and written on a lane of its own, so neither printing nor typing ever waits for it.
// Answers come back as signals on the window's thread.
class History : public QObject
{
    Q_OBJECT

public:
    // The file at `path`; the settings in the file at settingsPath, empty meaning the user's
    // settings of this program. Letters past the retention period are deleted as it opens.
    History(const QString &path, const QString &settingsPath, Background &background,
            QObject *parent = nullptr);
    // Makes the store for the file at a path, on the history's lane.
    using StoreMaker = std::function<std::unique_ptr<LetterStore>(const QString &path)>;
    // Keeps the letters where `maker`'s stores do (the office's server, say).
    History(const QString &path, const QString &settingsPath, Background &background,
            StoreMaker maker, QObject *parent = nullptr);
    // Finishes writing the letters already handed to it, within a bound.
    ~History() override;

    // Where the real program keeps its history: the user's data folder.
    static QString defaultPath();

    // False when the user turned the history off, or it cannot be used this run.
    bool isOn() const { return m_on; }
    HistorySettings settings() const { return m_settings; }
    // Turning it off deletes every letter kept, file and all; on again starts a new file.
    void setKeep(bool keep);
    void setRetentionMonths(int months);

    // A letter the printer took or that went into a PDF file.
    void record(const HistoryLetter &letter);
    // Answered by found() with the number returned here; an answer that is overtaken by a
    // later search before it starts is skipped.
    int search(const HistoryQuery &query);
    void remove(const QList<qint64> &ids);
    // Answered by frequentTextsFound(), keyed by fieldKey().
    void findFrequentTexts(const QList<Field> &fields);
    // Returns once every request made so far has been carried out (tests and benchmarks).
    void waitForIdle();

signals:
    // One message for the user, in Japanese.
    void problem(const QString &message);
    void found(int serial, const QList<HistoryLetter> &letters);
    void frequentTextsFound(const QHash<QString, QStringList> &texts);
    // Letters were recorded or removed.
    void changed();

private:
    struct Shared;
    struct Opening;
    struct Found;
    template <typename Work, typename Done> void onLane(Work work, Done done);
    void onLane(std::function<void(Shared &)> work);
    void open();
    void checkFile();
    bool tell(const Opening &opening);
    void tellRebuiltIndex();
    void saveSettings() const;
    void fail(const QString &message);

    QString m_path;
    QString m_settingsPath;
    HistorySettings m_settings;
    bool m_on = false;
    // What the lane's work uses, shared with it, so work left running past the bound never
    // outlives it.
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<Lane> m_lane;
};
