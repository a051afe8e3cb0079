#pragma once

#include "core/letter.h"
#include "core/printoffset.h"
#include "history/historyletter.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>

#include <optional>

class History;
class HistoryWindow;
class Messages;
class Printing;
class QWidget;
struct AcceptedJob;

// The main window's ties to the print history: letters the printer took are kept, the texts of
// earlier letters are offered, and the 印刷履歴 window hands letters back to open or reprint.
class HistoryLink : public QObject
{
    Q_OBJECT

public:
    // `suggesting`: the fields whose lists offer the texts of earlier letters.
    HistoryLink(History &history, Messages &messages, const Printing &printing,
                const QList<Field> &suggesting, QWidget *window);

    // Kept once the page was accepted: never before, never holding it up. Marks are no letter.
    void record(const AcceptedJob &job, const std::optional<Letter> &letter,
                const PrintOffset &offset);
    // The letters recorded from now on are prints again of kept ones.
    void setReprinting(bool reprinting) { m_reprinting = reprinting; }
    // 印刷履歴, over the window; its period starts from today.
    void showWindow(const QDate &today);
    // 印刷履歴, once shown: prints asked from it tell their outcome there.
    QWidget *historyWindow() const;
    // How a print asked for from `asked` went, shown there when that is the 印刷履歴 window.
    void showOutcome(QWidget *asked, const QString &outcome);

signals:
    // By field key; empty when the history was turned off.
    void earlierTextsFound(const QHash<QString, QStringList> &texts);
    void openRequested(const HistoryLetter &letter);
    // Once the clerk agreed to print it again on the printer chosen now.
    void reprintRequested(const HistoryLetter &letter);
    void officeSettingsRequested();

private:
    void askToReprint(const HistoryLetter &letter);

    History &m_history;
    Messages &m_messages;
    const Printing &m_printing;
    QWidget *m_window;
    HistoryWindow *m_historyWindow = nullptr;
    bool m_reprinting = false;
};
