#pragma once

#include "core/letter.h"
#include "core/printoffset.h"
#include "ui_batchwindow.h"

#include <QList>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

struct Services;
class PreviewWindow;

// 一括印刷: the letters of a CSV file, one a row, checked as a whole before any prints; the
// rows chosen go out one job per letter, and each is kept in the history as from a batch.
class BatchWindow : public QWidget
{
    Q_OBJECT

public:
    // The offsets as the main window's boxes read now; nothing, with why, when one is unusable.
    using OffsetSource = std::function<std::optional<PrintOffset>(QString *error)>;

    BatchWindow(const Services &services, OffsetSource offset, QWidget *parent);
    ~BatchWindow() override;

    Ui::BatchWindow &ui() { return m_ui; }
    // Reads and checks the file off the GUI thread; the table shows it once it is done.
    void openFile(const QString &path);
    bool loading() const { return m_loading; }
    bool printing() const { return m_printing; }
    // Stops after the letter in progress; then `then` runs. At once when nothing prints.
    void stopThen(std::function<void()> then);

    // A CSV file among the dropped, or empty.
    static QString droppedCsv(const QMimeData *data);

signals:
    // 入力欄に開く: the row's letter for the main window's entries.
    void openRequested(const Letter &letter);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // One row of the file as the table shows it.
    struct Row
    {
        int line = 0;
        Letter letter;
        // Why it cannot print, naming the column; empty when it can.
        QString error;
        QStringList warnings;
        bool printed = false;
    };

    void onOpenFileBtnClicked();
    void onTemplateBtnClicked();
    void onPrintBtnClicked();
    void showRows(const QString &path, const QList<Row> &rows, const QString &failure);
    void showRow(int index);
    void updateButtons();
    QList<int> selectedRows() const;
    void selectRows(const QList<int> &rows);
    std::optional<Letter> currentLetter() const;
    void showPreview();
    void printNext();
    void sent(int index);
    void ended(const QString &failure);
    QString lines(const QList<int> &rows) const;

    const Services &m_services;
    OffsetSource m_offset;
    Ui::BatchWindow m_ui;
    PreviewWindow *m_preview = nullptr;
    QString m_path;
    QList<Row> m_rows;
    int m_errors = 0;
    int m_serial = 0;
    bool m_loading = false;

    // The batch in progress: the rows still to send, in order, and those sent.
    QList<int> m_queue;
    QList<int> m_sent;
    PrintOffset m_printOffset;
    bool m_printing = false;
    bool m_stopAsked = false;
    std::function<void()> m_afterStop;
};
