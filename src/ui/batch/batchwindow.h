#pragma once

#include "batch/batchfile.h"
#include "core/printoffset.h"
#include "ui_batchwindow.h"

#include <QList>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

struct BatchOutcome;
struct Services;
class BatchPrinter;
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
    bool printing() const;
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
    void onOpenFileBtnClicked();
    void onTemplateBtnClicked();
    void onPrintBtnClicked();
    void showFile(const QString &path, const BatchFile &file);
    void showRow(int index);
    void updateButtons();
    QList<int> selectedRows() const;
    void selectRows(const QList<int> &rows);
    std::optional<Letter> currentLetter() const;
    void showPreview();
    void onFinished(const BatchOutcome &outcome);
    // Message boxes over this window while `ask` runs.
    template <typename Ask> auto overThis(Ask &&ask);
    QString startFolder() const;

    const Services &m_services;
    OffsetSource m_offset;
    Ui::BatchWindow m_ui;
    PreviewWindow *m_preview = nullptr;
    int m_previewRow = -1;
    BatchPrinter *m_printer = nullptr;
    QString m_path;
    BatchFile m_file;
    // By row of the table: sent to the printer since the file was opened.
    QList<bool> m_printed;
    int m_serial = 0;
    bool m_loading = false;
    bool m_stopAsked = false;
    std::function<void()> m_afterStop;
};
