#include "ui/batch/batchwindow.h"

#include "batch/batchcsv.h"
#include "batch/batchprinter.h"
#include "layout/letterjob.h"
#include "layout/printing.h"
#include "surfaces/japanesefont.h"
#include "system/background.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/printcheck.h"
#include "ui/preview/previewwindow.h"
#include "ui/services.h"

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
    m_printer =
        new BatchPrinter(*m_services.printing, m_services.history, *m_services.background, this);
    connect(m_printer, &BatchPrinter::progressed, this, [this](int done, int total) {
        m_ui.ProgressBar->setRange(0, total);
        m_ui.ProgressBar->setValue(done);
        m_ui.ProgressBar->setFormat(batchProgressText(done, total));
    });
    connect(m_printer, &BatchPrinter::finished, this, &BatchWindow::onFinished);
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
    if (!printing())
        return QWidget::closeEvent(event);
    event->ignore();
    stopThen([this] { close(); });
}

template <typename Ask> auto BatchWindow::overThis(Ask &&ask)
{
    m_services.messages->setParent(this);
    struct Back
    {
        BatchWindow *window;
        ~Back() { window->m_services.messages->setParent(window->parentWidget()); }
    } back{this};
    return ask(*m_services.messages);
}

bool BatchWindow::printing() const
{
    return m_printer->isRunning();
}

QString BatchWindow::startFolder() const
{
    return m_path.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                            : QFileInfo(m_path).path();
}

void BatchWindow::onOpenFileBtnClicked()
{
    const QString path =
        overThis([this](Messages &messages) { return messages.csvFileToOpen(startFolder()); });
    if (!path.isEmpty())
        openFile(path);
}

void BatchWindow::openFile(const QString &path)
{
    if (printing())
        return overThis([](Messages &messages) {
            messages.warning(Messages::appTitle(),
                             tr("印刷中は、ほかのファイルを開けません。"
                                "印刷が終わるか中止してから開いてください。"));
        });
    const int serial = ++m_serial;
    m_loading = true;
    m_ui.FileLabel->setText(tr("%1 を確かめています…").arg(QDir::toNativeSeparators(path)));
    updateButtons();
    auto file = std::make_shared<BatchFile>();
    const Clock *clock = m_services.clock;
    m_services.background->run(
        this,
        [path, clock, file] {
            try {
                QString noFont; // printing itself tells when no font prints Japanese
                *file = loadBatchFile(path, *clock, japaneseFontFamily(&noFont));
            } catch (const std::exception &error) {
                file->rows.clear();
                file->problems = {{0, 0, {}, unforeseenFailure(error)}};
            }
        },
        [this, serial, path, file] {
            // A file opened meanwhile is the one to show.
            if (serial == m_serial)
                showFile(path, *file);
        });
}

void BatchWindow::showFile(const QString &path, const BatchFile &file)
{
    m_loading = false;
    m_path = path;
    m_file = file;
    // A preview of the file before would print a row of this one.
    m_previewRow = -1;
    if (m_preview)
        m_preview->hide();
    m_printed = QList<bool>(file.rows.size(), false);
    m_ui.FileLabel->setText(QDir::toNativeSeparators(path));
    // Drawn once, not once a cell: a file of a thousand rows shows at once.
    m_ui.RowTable->setUpdatesEnabled(false);
    m_ui.RowTable->clearContents();
    m_ui.RowTable->setRowCount(int(file.rows.size()));
    for (int i = 0; i < file.rows.size(); ++i)
        showRow(i);
    m_ui.RowTable->setUpdatesEnabled(true);
    QList<int> all;
    for (int i = 0; file.printable() && i < file.rows.size(); ++i)
        all << i;
    selectRows(all);
    m_ui.ProgressBar->hide();
    updateButtons();
    // What no row of the table shows: the file as a whole, its header, a row unread.
    QList<int> shown;
    for (const BatchRow &row : file.rows)
        shown << row.row;
    QStringList whole;
    for (const BatchProblem &problem : file.problems)
        if (!shown.contains(problem.row) && whole.size() < 10)
            whole << batchProblemText(problem);
    if (!whole.isEmpty())
        overThis([&](Messages &messages) {
            messages.critical(Messages::appTitle(),
                              tr("「%1」は印刷できません。\n\n%2")
                                  .arg(QFileInfo(path).fileName(), whole.join('\n')));
        });
}

void BatchWindow::showRow(int index)
{
    const BatchRow &row = m_file.rows[index];
    QStringList notes;
    for (const BatchProblem &problem : row.problems)
        notes << batchProblemText(problem);
    for (const PreflightWarning &warning : row.warnings)
        notes << PrintCheck::describe(warning);
    QString state = tr("OK");
    if (!row.ok())
        state = tr("エラー：%1").arg(notes.join(QStringLiteral("　")));
    else if (m_printed[index])
        state = tr("印刷済み");
    else if (!notes.isEmpty())
        state = tr("注意：%1").arg(notes.join(QStringLiteral("　")));
    const Letter &letter = row.letter;
    const QString texts[] = {QString::number(row.row),
                             state,
                             letter.text(Field::ProxyName),
                             letter.text(Field::Delegator1Name),
                             letter.text(Field::VehicleNumber),
                             letter.delegatedMatterTicked() ? letter.text(Field::DelegatedMatter)
                                                            : QString()};
    for (int column = 0; column < int(std::size(texts)); ++column) {
        auto *item = new QTableWidgetItem(texts[column]);
        item->setToolTip(column == StateColumn ? notes.join('\n') : texts[column]);
        if (column == StateColumn && !row.ok())
            item->setForeground(Qt::red);
        m_ui.RowTable->setItem(index, column, item);
    }
}

void BatchWindow::updateButtons()
{
    const bool busy = printing();
    const bool idle = !busy && !m_loading;
    m_ui.OpenFileBtn->setEnabled(!busy);
    m_ui.PrintBtn->setEnabled(idle && m_file.printable() && !selectedRows().isEmpty());
    m_ui.StopBtn->setEnabled(busy && !m_stopAsked);
    m_ui.PreviewBtn->setEnabled(currentLetter().has_value());
    m_ui.OpenRowBtn->setEnabled(currentLetter().has_value());
    if (busy || m_loading)
        return;
    if (!m_file.problems.isEmpty())
        m_ui.SummaryLabel->setText(tr("問題が %1 件あるため、このファイルは印刷できません。"
                                      "CSVファイルを直してから、もう一度開いてください。")
                                       .arg(m_file.problems.size()));
    else if (!m_file.rows.isEmpty())
        m_ui.SummaryLabel->setText(tr("%1 行のうち %2 行を選んでいます。")
                                       .arg(m_file.rows.size())
                                       .arg(selectedRows().size()));
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
    const QAbstractItemModel *model = m_ui.RowTable->model();
    // A run of rows is one range: a thousand single rows select slowly.
    for (qsizetype first = 0, last = 0; first < rows.size(); first = ++last) {
        while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1)
            ++last;
        selection.select(model->index(rows[first], 0), model->index(rows[last], MatterColumn));
    }
    QItemSelectionModel *selected = m_ui.RowTable->selectionModel();
    selected->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty())
        selected->setCurrentIndex(model->index(rows.first(), 0), QItemSelectionModel::NoUpdate);
}

std::optional<Letter> BatchWindow::currentLetter() const
{
    const int row = m_ui.RowTable->currentRow();
    if (row < 0 || row >= m_file.rows.size())
        return std::nullopt;
    return m_file.rows[row].letter;
}

void BatchWindow::showPreview()
{
    const std::optional<Letter> letter = currentLetter();
    if (!letter)
        return;
    if (!m_preview) {
        m_preview = new PreviewWindow(*m_services.messages, *m_services.background,
                                      m_services.pageQueries, m_services.settingsPath, this);
        m_preview->setWindowFlag(Qt::Window);
        // The row shown prints alone, as a batch of one.
        // The row the preview shows, whatever row is current in the table by now.
        connect(m_preview, &PreviewWindow::printRequested, this, [this] {
            if (m_previewRow < 0)
                return;
            selectRows({m_previewRow});
            onPrintBtnClicked();
        });
    }
    m_previewRow = m_ui.RowTable->currentRow();
    QString problem;
    if (const std::optional<PrintOffset> offset = m_offset(&problem))
        m_preview->setLetter(*letter, *offset);
    else
        m_preview->setOffsetProblem(problem);
    m_preview->show();
    m_preview->raise();
    m_preview->activateWindow();
}

void BatchWindow::onTemplateBtnClicked()
{
    overThis([this](Messages &messages) {
        const QString path =
            messages.csvFileToSave(startFolder() + QLatin1Char('/') + tr("委任状ひな形.csv"));
        if (path.isEmpty())
            return;
        if (const QString failure = writeFileAtomically(path, batchTemplate()); !failure.isEmpty())
            messages.critical(Messages::appTitle(), failure);
        else
            m_ui.SummaryLabel->setText(
                tr("ひな形を %1 に保存しました。").arg(QDir::toNativeSeparators(path)));
    });
}

void BatchWindow::onPrintBtnClicked()
{
    const QList<int> chosen = selectedRows();
    if (printing() || m_loading || chosen.isEmpty() || !m_file.printable())
        return;
    QString problem;
    const std::optional<PrintOffset> offset = m_offset(&problem);
    // To a file, every letter is a page of one PDF, asked for once.
    const QString suggested =
        m_services.printing->target()->suggestedFile(QFileInfo(m_path).completeBaseName());
    QString pdf;
    int again = 0;
    QList<BatchRow> rows;
    for (int index : chosen) {
        again += m_printed[index] ? 1 : 0;
        rows << m_file.rows[index];
    }
    QString question = tr("プリンタ「%1」に %2 枚印刷します。")
                           .arg(m_services.printing->chosenName())
                           .arg(chosen.size());
    if (again > 0)
        question += tr("\nうち %1 枚は印刷済みの行です。もう一度印刷されます。").arg(again);
    const bool agreed = overThis([&](Messages &messages) {
        if (!offset)
            messages.critical(Messages::appTitle(), problem);
        else if (!suggested.isEmpty())
            pdf = messages.pdfFileName(suggested);
        else
            return messages.askPrintAnyway(Messages::appTitle(), question);
        return !pdf.isEmpty();
    });
    if (!agreed || (!pdf.isEmpty() && !m_services.pageQueries))
        return;
    // Shown first: a batch may end before start() returns.
    m_stopAsked = false;
    m_ui.ProgressBar->setRange(0, int(rows.size()));
    m_ui.ProgressBar->setValue(0);
    m_ui.ProgressBar->setFormat(batchProgressText(0, int(rows.size())));
    m_ui.ProgressBar->show();
    m_ui.SummaryLabel->setText(tr("印刷しています…"));
    if (pdf.isEmpty() ? m_printer->start(rows, *offset)
                      : m_printer->startPdf(rows, *offset, pdf, m_services.pageQueries()))
        if (printing())
            updateButtons();
}

void BatchWindow::stopThen(std::function<void()> then)
{
    if (!printing()) {
        if (then)
            then();
        return;
    }
    if (then)
        m_afterStop = std::move(then);
    if (!m_stopAsked)
        m_printer->stop();
    m_stopAsked = true;
    m_ui.SummaryLabel->setText(tr("いま印刷している 1 枚を送り終えたら止めます…"));
    updateButtons();
}

void BatchWindow::onFinished(const BatchOutcome &outcome)
{
    m_stopAsked = false;
    QList<int> unsent;
    for (int index = 0; index < m_file.rows.size(); ++index) {
        const int row = m_file.rows[index].row;
        if (outcome.sentRows.contains(row)) {
            m_printed[index] = true;
            showRow(index);
        }
        if (outcome.unsentRows.contains(row))
            unsent << index;
    }
    // What was not sent stays chosen: printing again resumes there and sends nothing twice.
    selectRows(unsent);
    updateButtons();
    const QString told = batchOutcomeText(outcome);
    m_ui.SummaryLabel->setText(told);
    if (!outcome.failure.isEmpty())
        overThis([&](Messages &messages) {
            messages.critical(Messages::appTitle(),
                              tr("一括印刷を途中で止めました。\n%1\n\n"
                                 "原因を直してから［選んだ行を印刷］を押すと、"
                                 "送っていない行だけを印刷します。")
                                  .arg(told));
        });
    if (std::function<void()> then = std::exchange(m_afterStop, {}))
        then();
}
