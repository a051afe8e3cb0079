#pragma once

#include "history/historyletter.h"
#include "layout/letterjob.h"
#include "layout/printing.h"
#include "ui/main/services.h"
#include "ui_form1.h"

#include <QHash>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

struct PageGeometry;

class Desktop;
class HistoryWindow;
class QLabel;
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
    // True while a print job is on its way.
    bool printing() const { return m_printing; }

signals:
    // A page the print queue or the PDF file took, for whoever keeps a record of the letters:
    // `letter` holds the entries printed, nothing for the alignment marks.
    void jobAccepted(const AcceptedJob &job, const std::optional<LetterEntries> &letter);
    // A job ended, taken or not.
    void jobFinished();

protected:
    void closeEvent(QCloseEvent *event) override;

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
    void recordLetter(const AcceptedJob &job, const std::optional<LetterEntries> &entries);
    void connectHistory();
    void showLetter(const HistoryLetter &letter);
    void reprint(const HistoryLetter &letter);
    void offerEarlierTexts(const QHash<QString, QStringList> &texts);
    void onImejiBtnClicked();

    // Runs the job off the GUI thread on the choice of printer as it is now; the print buttons
    // rest meanwhile and the outcome is told when it ends.
    using Job = std::function<QString(PrintTarget &target)>;
    void startJob(const QString &title, Job job, std::optional<LetterEntries> letter);
    void jobEnded(const QString &failure, const std::optional<AcceptedJob> &accepted,
                  const std::optional<LetterEntries> &letter);
    void setPrinting(bool printing);
    // A short line in the window that moves nothing and takes no focus; with a timeout it goes
    // away by itself.
    void showNotice(const QString &text, int timeoutMs = 0);

    // Runs a handler so that no failure ends the program: it is told to the user instead.
    template <typename Handler> void guarded(Handler &&handler);
    void showFailure(const QString &text);

    std::unique_ptr<Desktop> m_desktop;
    Services m_services;
    Ui::Form1 m_ui;
    HistoryWindow *m_historyWindow = nullptr;
    // What each list field selects at start, for 新規.
    QHash<QComboBox *, int> m_initialSelections;
    QLabel *m_notice = nullptr;
    QTimer m_noticeTimer;
    bool m_printing = false;
    bool m_closeAfterJob = false;
    bool m_quitAfterJob = false;
    std::function<std::function<bool(PageGeometry *, QString *)>()> m_pageQueries;
    PreviewWindow *m_preview = nullptr;
};
