#pragma once

#include "history/historyletter.h"
#include "jobs/letterjob.h"
#include "jobs/printing.h"
#include "system/services.h"
#include "ui_form1.h"

#include <QHash>
#include <QWidget>

#include <functional>
#include <memory>

struct PageGeometry;

class Desktop;
class HistoryWindow;
class PreviewWindow;

class MainWindow : public QWidget
{
    Q_OBJECT

public:
    // The real desktop: message boxes, clock, printer, instance lock.
    explicit MainWindow(QWidget *parent = nullptr);
    MainWindow(const Services &services, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence, run once before the window is first shown. False when this run
    // must end without showing the window (another instance is running).
    bool load();

    Ui::Form1 &ui() { return m_ui; }
    // The 印刷イメージ window once it was first opened; null before.
    PreviewWindow *preview() const { return m_preview; }

private:
    void setUp();
    // The start-up warning about the files is left out when `warn` is false.
    void loadOffsets(bool warn);
    void fillChoiceLists();
    LetterEntries letterEntries() const;

    void onCheck10201Clicked();
    void onOnOffBtnClicked();
    void onUpDownXChanged(int value);
    void onUpDownYChanged(int value);
    void onPriDiaBtnClicked();
    void onZEndBtnClicked();
    void onInsatsuBtnClicked();
    void onIchiBtnClicked();
    void onHozonBtnClicked();
    void onRirekiBtnClicked();
    void onShinkiBtnClicked();

    // The letter job, and the entries kept in the history once the page went out.
    void printEntries(const LetterEntries &entries);
    // Kept in the history once the page was accepted: never before, never holding it up.
    void recordLetter(const LetterEntries &entries, const PrintedTo &printedTo);
    void connectHistory();
    void showLetter(const HistoryLetter &letter);
    void reprint(const HistoryLetter &letter);
    void offerEarlierTexts(const QHash<QString, QStringList> &texts);
    void onImejiBtnClicked();

    // Runs a handler so that no failure ends the program: it is told to the user instead.
    template <typename Handler> void guarded(Handler &&handler);
    void showFailure(const QString &text);

    std::unique_ptr<Desktop> m_desktop;
    Services m_services;
    Ui::Form1 m_ui;
    HistoryWindow *m_historyWindow = nullptr;
    // What each list field selects at start, for 新規.
    QHash<QComboBox *, int> m_initialSelections;
    std::function<std::function<bool(PageGeometry *, QString *)>()> m_pageQueries;
    PreviewWindow *m_preview = nullptr;
};
