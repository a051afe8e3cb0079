#pragma once

#include "history/historyletter.h"
#include "ui_historywindow.h"

#include <QList>
#include <QWidget>

class History;
class Messages;

// 印刷履歴: the letters printed so far, newest first, narrowed while the user types. A letter
// can be opened back into the main window, printed again or deleted; the history itself can
// be turned off here, and its retention period set.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    // `today` ends the date range first offered.
    HistoryWindow(History &history, Messages &messages, const QDate &today, QWidget *parent);

    Ui::HistoryWindow &ui() { return m_ui; }
    // How a print asked from here ended, in place of the count for a few seconds.
    void showOutcome(const QString &outcome);

signals:
    void openRequested(const HistoryLetter &letter);
    void reprintRequested(const HistoryLetter &letter);
    void officeSettingsRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void search();
    void onFound(int serial, const QList<HistoryLetter> &letters);
    void showDetail();
    void onOpenBtnClicked();
    void onReprintBtnClicked();
    void onDeleteBtnClicked();
    // The letters chosen, into a CSV file that 一括印刷 reads back.
    void onExportBtnClicked();
    void onKeepCheckClicked(bool keep);
    void onRetentionChanged(int index);
    void showState();
    QList<HistoryLetter> selectedLetters() const;

    History &m_history;
    Messages &m_messages;
    Ui::HistoryWindow m_ui;
    QList<HistoryLetter> m_letters;
    int m_serial = 0;
    QString m_count;
    QString m_outcome;
};
