#include "ui/history/historylink.h"

#include "history/history.h"
#include "layout/printing.h"
#include "ui/dialogs/messages.h"
#include "ui/history/historywindow.h"

#include <QWidget>

HistoryLink::HistoryLink(History &history, Messages &messages, const Printing &printing,
                         const QList<Field> &suggesting, QWidget *window)
    : QObject(window), m_history(history), m_messages(messages), m_printing(printing),
      m_window(window)
{
    connect(&history, &History::problem, this,
            [this](const QString &message) { m_messages.warning(Messages::appTitle(), message); });
    connect(&history, &History::frequentTextsFound, this, &HistoryLink::earlierTextsFound);
    // Turned off, the history takes its texts out of the lists' popups too.
    connect(&history, &History::changed, this, [this, suggesting] {
        if (m_history.isOn())
            m_history.findFrequentTexts(suggesting);
        else
            emit earlierTextsFound({});
    });
    history.findFrequentTexts(suggesting);
}

void HistoryLink::record(const AcceptedJob &job, const std::optional<Letter> &letter,
                         const PrintOffset &offset)
{
    if (!letter)
        return;
    HistoryLetter kept = historyLetter(job, *letter, offset);
    kept.reprint = m_reprinting;
    m_history.record(kept);
}

QWidget *HistoryLink::historyWindow() const
{
    return m_historyWindow;
}

void HistoryLink::showOutcome(QWidget *asked, const QString &outcome)
{
    if (m_historyWindow && asked == m_historyWindow)
        m_historyWindow->showOutcome(outcome);
}

void HistoryLink::showWindow(const QDate &today)
{
    if (!m_historyWindow) {
        m_historyWindow = new HistoryWindow(m_history, m_messages, today, m_window);
        connect(m_historyWindow, &HistoryWindow::openRequested, this, &HistoryLink::openRequested);
        connect(m_historyWindow, &HistoryWindow::officeSettingsRequested, this,
                &HistoryLink::officeSettingsRequested);
        connect(m_historyWindow, &HistoryWindow::reprintRequested, this,
                &HistoryLink::askToReprint);
        m_historyWindow->move(m_window->geometry().center() - m_historyWindow->rect().center());
    }
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}

void HistoryLink::askToReprint(const HistoryLetter &letter)
{
    // Asked over the 印刷履歴 window, where the clerk is looking.
    m_messages.setParent(m_historyWindow);
    const bool agreed = m_messages.askPrintAnyway(
        Messages::appTitle(), tr("プリンタ「%1」に 1 枚印刷します。").arg(m_printing.chosenName()));
    m_messages.setParent(m_window);
    if (agreed)
        emit reprintRequested(letter);
}
