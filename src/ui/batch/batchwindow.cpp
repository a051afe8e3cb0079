#include "ui/batch/batchwindow.h"

#include "core/japaneseera.h"
#include "history/history.h"
#include "layout/letterjob.h"
#include "layout/placement.h"
#include "layout/printing.h"
#include "system/background.h"
#include "system/clock.h"
#include "ui/dialogs/messages.h"
#include "ui/main/printrunner.h"
#include "ui/main/services.h"
#include "ui/preview/previewwindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QStandardPaths>

#include <memory>

namespace {

enum Column { LineColumn, StateColumn, ProxyColumn, DelegatorColumn, VehicleColumn, MatterColumn };

// Stand-ins until the file's reader is in.
QString readRows(const QString &, const DateTexts &, void *)
{
    return QString();
}
QString writeTemplate(const QString &)
{
    return QString();
}

} // namespace

BatchWindow::BatchWindow(const Services &services, OffsetSource offset, QWidget *parent)
    : QWidget(parent, Qt::Window), m_services(services), m_offset(std::move(offset))
{
    m_ui.setupUi(this);
    m_ui.ProgressBar->hide();
    QHeaderView *header = m_ui.RowTable->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->resizeSection(LineColumn, 44);
    header->resizeSection(StateColumn, 300);
    header->resizeSection(ProxyColumn, 130);
    header->resizeSection(DelegatorColumn, 200);
    header->resizeSection(VehicleColumn, 170);
    connect(m_ui.OpenFileBtn, &QPushButton::clicked, this, &BatchWindow::onOpenFileBtnClicked);
    connect(m_ui.TemplateBtn, &QPushButton::clicked, this, &BatchWindow::onTemplateBtnClicked);
    connect(m_ui.PrintBtn, &QPushButton::clicked, this, &BatchWindow::onPrintBtnClicked);
    connect(m_ui.StopBtn, &QPushButton::clicked, this, [this] { stopThen({}); });
    connect(m_ui.CloseBtn, &QPushButton::clicked, this, &QWidget::close);
    connect(m_ui.PreviewBtn, &QPushButton::clicked, this, &BatchWindow::showPreview);
    connect(m_ui.RowTable, &QTableWidget::cellDoubleClicked, this, &BatchWindow::showPreview);
    connect(m_ui.OpenRowBtn, &QPushButton::clicked, this, [this] {
        if (const std::optional<Letter> letter = currentLetter())
            emit openRequested(*letter);
    });
    connect(m_ui.RowTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &BatchWindow::updateButtons);
    updateButtons();
}

BatchWindow::~BatchWindow() = default;

QString BatchWindow::droppedCsv(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return QString();
    for (const QUrl &url : data->urls())
        if (url.isLocalFile() &&
            url.toLocalFile().endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
            return url.toLocalFile();
    return QString();
}

void BatchWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedCsv(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void BatchWindow::dropEvent(QDropEvent *event)
{
    const QString path = droppedCsv(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    openFile(path);
}

void BatchWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

void BatchWindow::closeEvent(QCloseEvent *event)
{
    // The letter on its way is sent whole; the rest wait for the clerk to come back.
    if (!m_printing)
        return QWidget::closeEvent(event);
    event->ignore();
    stopThen([this] { close(); });
}

void BatchWindow::onOpenFileBtnClicked()
{
    const QString folder = m_path.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                               : QFileInfo(m_path).path();
    m_services.messages->setParent(this);
    const QString path = m_services.messages->csvFileToOpen(folder);
    m_services.messages->setParent(parentWidget());
    if (!path.isEmpty())
        openFile(path);
}

void BatchWindow::openFile(const QString &path)
{
    if (m_printing) {
        m_services.messages->setParent(this);
        m_services.messages->warning(
            Messages::appTitle(),
            tr("印刷中は、ほかのファイルを開けません。印刷が終わるか中止してから開いてください。"));
        m_services.messages->setParent(parentWidget());
        return;
    }
    const int serial = ++m_serial;
    m_loading = true;
    m_ui.FileLabel->setText(tr("%1 を確かめています…").arg(QDir::toNativeSeparators(path)));
    updateButtons();
    auto rows = std::make_shared<QList<Row>>();
    auto failure = std::make_shared<QString>();
    const DateTexts today = dateTexts(m_services.clock->today());
    m_services.background->run(
        this,
        [path, today, rows, failure] {
            try {
                *failure = readRows(path, today, rows.get());
            } catch (const std::exception &error) {
                *failure = unforeseenFailure(error);
            }
        },
        [this, serial, path, rows, failure] {
            // A file opened meanwhile is the one to show.
            if (serial == m_serial)
                showRows(path, *rows, *failure);
        });
}

void BatchWindow::showRows(const QString &path, const QList<Row> &rows, const QString &failure)
{
    m_loading = false;
    if (!failure.isEmpty()) {
        m_ui.FileLabel->setText(m_path.isEmpty() ? QString() : QDir::toNativeSeparators(m_path));
        updateButtons();
        m_services.messages->setParent(this);
        m_services.messages->critical(Messages::appTitle(), failure);
        m_services.messages->setParent(parentWidget());
        return;
    }
    m_path = path;
    m_rows = rows;
    m_errors = 0;
    m_ui.FileLabel->setText(QDir::toNativeSeparators(path));
    m_ui.RowTable->clearContents();
    m_ui.RowTable->setRowCount(int(m_rows.size()));
    for (int i = 0; i < m_rows.size(); ++i) {
        m_errors += m_rows[i].error.isEmpty() ? 0 : 1;
        showRow(i);
    }
    QList<int> all;
    for (int i = 0; i < m_rows.size(); ++i)
        all << i;
    selectRows(m_errors ? QList<int>() : all);
    m_ui.ProgressBar->hide();
    updateButtons();
}

void BatchWindow::showRow(int index)
{
    const Row &row = m_rows[index];
    QString state;
    if (!row.error.isEmpty())
        state = tr("エラー：%1").arg(row.error);
    else if (row.printed)
        state = tr("印刷済み");
    else if (!row.warnings.isEmpty())
        state = tr("注意：%1").arg(row.warnings.join(QStringLiteral("　")));
    else
        state = tr("OK");
    const QString texts[] = {
        QString::number(row.line),
        state,
        row.letter.text(Field::ProxyName),
        row.letter.text(Field::Delegator1Name),
        row.letter.text(Field::VehicleNumber),
        row.letter.delegatedMatterTicked() ? row.letter.text(Field::DelegatedMatter) : QString()};
    for (int column = 0; column < int(std::size(texts)); ++column) {
        auto *item = new QTableWidgetItem(texts[column]);
        item->setToolTip(texts[column]);
        if (column == StateColumn && !row.error.isEmpty())
            item->setForeground(Qt::red);
        m_ui.RowTable->setItem(index, column, item);
    }
}

void BatchWindow::updateButtons()
{
    const bool idle = !m_printing && !m_loading;
    const bool chosen = !selectedRows().isEmpty();
    m_ui.OpenFileBtn->setEnabled(idle);
    m_ui.PrintBtn->setEnabled(idle && chosen && m_errors == 0);
    m_ui.StopBtn->setEnabled(m_printing && !m_stopAsked);
    m_ui.PreviewBtn->setEnabled(currentLetter().has_value());
    m_ui.OpenRowBtn->setEnabled(currentLetter().has_value());
    if (m_printing)
        return;
    if (m_errors > 0)
        m_ui.SummaryLabel->setText(
            tr("%1 行にエラーがあるため、このファイルは印刷できません。"
               "エラーの行をCSVファイルで直してから、もう一度開いてください。")
                .arg(m_errors));
    else if (!m_rows.isEmpty())
        m_ui.SummaryLabel->setText(
            tr("%1 行のうち %2 行を選んでいます。").arg(m_rows.size()).arg(selectedRows().size()));
}

QList<int> BatchWindow::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_ui.RowTable->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void BatchWindow::selectRows(const QList<int> &rows)
{
    QItemSelection selection;
    for (int row : rows)
        selection.select(m_ui.RowTable->model()->index(row, 0),
                         m_ui.RowTable->model()->index(row, MatterColumn));
    m_ui.RowTable->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty())
        m_ui.RowTable->selectionModel()->setCurrentIndex(
            m_ui.RowTable->model()->index(rows.first(), 0), QItemSelectionModel::NoUpdate);
}

std::optional<Letter> BatchWindow::currentLetter() const
{
    const int row = m_ui.RowTable->currentRow();
    if (row < 0 || row >= m_rows.size() || !m_rows[row].error.isEmpty())
        return std::nullopt;
    return m_rows[row].letter;
}

void BatchWindow::showPreview()
{
    const std::optional<Letter> letter = currentLetter();
    if (!letter)
        return;
    QString problem;
    const std::optional<PrintOffset> offset = m_offset(&problem);
    if (!m_preview) {
        m_preview = new PreviewWindow(*m_services.messages, *m_services.background,
                                      m_services.pageQueries, m_services.settingsPath, this);
        m_preview->setWindowFlag(Qt::Window);
        // The row shown is the one printed, alone, as a batch of one.
        connect(m_preview, &PreviewWindow::printRequested, this, [this] {
            const int row = m_ui.RowTable->currentRow();
            selectRows({row});
            onPrintBtnClicked();
        });
    }
    if (offset)
        m_preview->setLetter(*letter, *offset);
    else
        m_preview->setOffsetProblem(problem);
    m_preview->show();
    m_preview->raise();
    m_preview->activateWindow();
}

void BatchWindow::onTemplateBtnClicked()
{
    const QString folder = m_path.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                               : QFileInfo(m_path).path();
    m_services.messages->setParent(this);
    const QString path =
        m_services.messages->csvFileToSave(folder + QLatin1Char('/') + tr("委任状ひな形.csv"));
    if (!path.isEmpty()) {
        if (const QString failure = writeTemplate(path); !failure.isEmpty())
            m_services.messages->critical(Messages::appTitle(), failure);
        else
            m_ui.SummaryLabel->setText(
                tr("ひな形を %1 に保存しました。").arg(QDir::toNativeSeparators(path)));
    }
    m_services.messages->setParent(parentWidget());
}

void BatchWindow::onPrintBtnClicked()
{
    const QList<int> chosen = selectedRows();
    if (m_printing || m_loading || chosen.isEmpty() || m_errors > 0)
        return;
    m_services.messages->setParent(this);
    QString problem;
    const std::optional<PrintOffset> offset = m_offset(&problem);
    int printedBefore = 0;
    for (int row : chosen)
        printedBefore += m_rows[row].printed ? 1 : 0;
    QString question = tr("プリンタ「%1」に %2 枚印刷します。")
                           .arg(m_services.printing->chosenName())
                           .arg(chosen.size());
    if (printedBefore > 0)
        question += tr("\nうち %1 枚は印刷済みの行です。もう一度印刷されます。").arg(printedBefore);
    if (!offset)
        m_services.messages->critical(Messages::appTitle(), problem);
    else if (m_services.messages->askPrintAnyway(Messages::appTitle(), question)) {
        m_printOffset = *offset;
        m_queue = chosen;
        m_sent.clear();
        m_printing = true;
        m_stopAsked = false;
        m_ui.ProgressBar->setRange(0, int(chosen.size()));
        m_ui.ProgressBar->setValue(0);
        m_ui.ProgressBar->show();
        m_ui.SummaryLabel->setText(tr("印刷しています…"));
        updateButtons();
        printNext();
    }
    m_services.messages->setParent(parentWidget());
}

void BatchWindow::stopThen(std::function<void()> then)
{
    if (!m_printing) {
        if (then)
            then();
        return;
    }
    m_stopAsked = true;
    if (then)
        m_afterStop = std::move(then);
    m_ui.SummaryLabel->setText(tr("いま印刷している 1 枚を送り終えたら止めます…"));
    updateButtons();
}

void BatchWindow::printNext()
{
    if (m_queue.isEmpty() || m_stopAsked)
        return ended(QString());
    const int index = m_queue.first();
    std::shared_ptr<PrintTarget> target = m_services.printing->target();
    // A file would ask where for every letter: a batch goes to a printer only.
    if (!target->suggestedFile(letterTitle()).isEmpty())
        return ended(tr("一括印刷はプリンタに送ります。PDFファイルには保存できません。"
                        "プリンタ設定で、印刷するプリンタを選んでください。"));
    auto failure = std::make_shared<QString>();
    m_services.background->run(
        this,
        [letter = m_rows[index].letter, offset = m_printOffset, target, failure] {
            try {
                PrintPlacement placement;
                *failure = printLetter(letter, offset, *target, placement);
            } catch (const std::exception &error) {
                *failure = unforeseenFailure(error);
            }
        },
        [this, index, target, failure] {
            const std::optional<AcceptedJob> accepted =
                failure->isEmpty() ? target->accepted() : std::nullopt;
            if (!accepted)
                return ended(failure->isEmpty() ? tr("印刷が取り消されました。") : *failure);
            if (m_services.history) {
                HistoryLetter kept = historyLetter(*accepted, m_rows[index].letter, m_printOffset);
                m_services.history->record(kept);
            }
            sent(index);
            printNext();
        });
}

void BatchWindow::sent(int index)
{
    m_queue.removeFirst();
    m_sent << index;
    m_rows[index].printed = true;
    showRow(index);
    m_ui.ProgressBar->setValue(int(m_sent.size()));
}

void BatchWindow::ended(const QString &failure)
{
    const QList<int> unsent = m_queue;
    const bool stopped = m_stopAsked && !unsent.isEmpty();
    m_printing = false;
    m_stopAsked = false;
    m_queue.clear();
    // What was not sent stays chosen: printing again resumes there and sends nothing twice.
    selectRows(unsent);
    QString told;
    if (unsent.isEmpty())
        told = tr("%1 枚を送りました。").arg(m_sent.size());
    else
        told = tr("送った行：%1\n送っていない行：%2")
                   .arg(m_sent.isEmpty() ? tr("なし") : lines(m_sent), lines(unsent));
    m_ui.SummaryLabel->setText(told);
    updateButtons();
    m_ui.SummaryLabel->setText(told);
    if (!failure.isEmpty()) {
        m_services.messages->setParent(this);
        m_services.messages->critical(
            Messages::appTitle(),
            tr("%1 行目を印刷できませんでした。一括印刷はここで止めました。\n%2\n\n%3\n"
               "原因を直してから［選んだ行を印刷］を押すと、送っていない行だけを印刷します。")
                .arg(m_rows[unsent.first()].line)
                .arg(failure, told));
        m_services.messages->setParent(parentWidget());
    } else if (stopped) {
        m_ui.SummaryLabel->setText(tr("中止しました。") + told);
    }
    if (std::function<void()> then = std::exchange(m_afterStop, {}))
        then();
}

QString BatchWindow::lines(const QList<int> &rows) const
{
    QStringList numbers;
    for (int row : rows)
        numbers << QString::number(m_rows[row].line);
    return tr("%1 行目").arg(numbers.join(QStringLiteral("、")));
}
