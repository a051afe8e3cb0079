#pragma once

#include "core/letter.h"
#include "core/printoffset.h"
#include "history/historyletter.h"
#include "layout/printing.h"
#include "ui/services.h"
#include "ui_form1.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class BatchWindow;
class HistoryLink;
class LetterForm;
class LetterUndo;
class Notice;
class OffsetPanel;
class PreviewWindow;
class PrintRunner;

class MainWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindow(const Services &services, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence, run once before the window is first shown. False when this run
    // must end without showing the window (another instance is running).
    bool load();

    Ui::Form1 &ui() { return m_ui; }
    LetterForm &form() const { return *m_form; }
    // The 印刷イメージ window once it was first opened; null before.
    PreviewWindow *preview() const { return m_preview; }
    // The 一括印刷 window once it was first opened; null before.
    BatchWindow *batch() const { return m_batch; }
    // True while a print job is on its way.
    bool printing() const;
    // 一括印刷, opening the CSV file when one is given.
    void showBatch(const QString &csvFile = QString());
    // The chosen printer changed (printer setup, a batch, the command line): its offsets are
    // used from now on, and the notice says so.
    void printerChanged();

signals:
    // A page the print queue or the PDF file took, for whoever keeps a record of the letters:
    // `letter` holds the entries printed, nothing for the alignment marks.
    void jobAccepted(const AcceptedJob &job, const std::optional<Letter> &letter,
                     const PrintOffset &offset);
    // A job ended, taken or not.
    void jobFinished();

protected:
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    // A CSV file dropped anywhere on the window, entry fields included, opens 一括印刷.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setUp();

    void onPriDiaBtnClicked();
    void onZEndBtnClicked();
    // ズレを測って入力: offsets from where the printed ○ lay, shown in the boxes, not saved.
    void onSokuteiBtnClicked();
    // The chosen printer's offsets in the boxes; told in the notice when `tell`.
    void usePrinterOffsets(bool tell);
    // Asks whether the office keeps other offsets for the chosen printer, and shows them.
    void refreshPrinterOffsets();
    // ズレ保存: false, the failure told, when nothing was saved.
    bool saveOffsets();
    // Before the program ends: offsets not saved yet are saved or dropped as the clerk answers;
    // false to stay.
    bool offsetsSettled();
    void onRirekiBtnClicked();
    void onImejiBtnClicked();
    void updatePreview();

    // The letter, or the alignment marks without one, with the offsets as the boxes read now;
    // nothing starts when a box cannot be used.
    // `askedFrom`: the 印刷履歴 or 印刷イメージ window, which is told the outcome too.
    void print(const std::optional<Letter> &letter, QWidget *askedFrom = nullptr);
    void linkHistory();
    // The history the services start, started now unless it is already.
    void startHistory();
    void showLetter(const HistoryLetter &letter);

    // Runs a handler so that no failure ends the program: it is told to the user instead.
    template <typename Handler> void guarded(Handler &&handler);
    void showFailure(const QString &text);

    Services m_services;
    Ui::Form1 m_ui;
    LetterForm *m_form = nullptr;
    LetterUndo *m_undo = nullptr;
    OffsetPanel *m_panel = nullptr;
    Notice *m_notice = nullptr;
    PrintRunner *m_runner = nullptr;
    HistoryLink *m_history = nullptr;
    PreviewWindow *m_preview = nullptr;
    BatchWindow *m_batch = nullptr;
    // The clerk answered for the offsets: a close held for a job does not ask again.
    bool m_leaving = false;
    // The history is to be started once the window has been painted.
    bool m_historyDue = false;
};
