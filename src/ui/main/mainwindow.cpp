#include "ui/main/mainwindow.h"

#include "core/japaneseera.h"
#include "history/history.h"
#include "offsets/printeroffsets.h"
#include "system/background.h"
#include "system/clock.h"
#include "system/session.h"
#include "ui/batch/batchwindow.h"
#include "ui/calibration/calibrationdialog.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/printersetup.h"
#include "ui/history/historylink.h"
#include "ui/main/letterform.h"
#include "ui/main/letterundo.h"
#include "ui/main/offsetpanel.h"
#include "ui/main/printrunner.h"
#include "ui/office/officedialog.h"
#include "ui/preview/previewwindow.h"
#include "ui/widgets/displaysize.h"
#include "ui/widgets/inputmodes.h"
#include "ui/widgets/notice.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

MainWindow::MainWindow(const Services &services, QWidget *parent)
    : QWidget(parent), m_services(services)
{
    setUp();
}

MainWindow::~MainWindow() = default;

void MainWindow::setUp()
{
    m_ui.setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/sorafu-32.png")));
    setFixedSize(size());
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    applyInputModes(this);
    // Labels sit beneath the fields, so a caption wider than its label runs under the field
    // beside it instead of over it.
    for (QLabel *label : findChildren<QLabel *>())
        label->lower();
    // Keys of their own, not the buttons' shortcuts, which each new caption replaces. A key does
    // nothing while its button is hidden or disabled: ○印 and ズレ保存 act only with the panel
    // shown.
    const std::pair<QAbstractButton *, const char *> keys[] = {{m_ui.OnOffBtn, "Ctrl+T"},
                                                               {m_ui.InsatsuBtn, "Ctrl+P"},
                                                               {m_ui.IchiBtn, "Ctrl+M"},
                                                               {m_ui.HozonBtn, "Ctrl+S"},
                                                               {m_ui.SokuteiBtn, "Ctrl+K"}};
    for (const auto &[button, key] : keys) {
        auto *shortcut = new QShortcut(QKeySequence(QLatin1String(key)), button);
        connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
    }
    m_form = new LetterForm(m_ui, this);
    m_panel = new OffsetPanel(m_ui, this, m_services.printerOffsets);

    // Over the expiry frame, which has no function yet: the notice hides nothing the clerk uses.
    m_notice = new Notice(this);
    m_notice->setGeometry(m_ui.Frame10401->geometry());
    m_undo = new LetterUndo(*m_form, *m_notice, this);
    m_runner = new PrintRunner(m_services, this, m_notice, {m_ui.InsatsuBtn, m_ui.IchiBtn});
    connect(m_runner, &PrintRunner::jobAccepted, this, &MainWindow::jobAccepted);
    connect(m_runner, &PrintRunner::jobFinished, this, &MainWindow::jobFinished);

    connect(m_ui.PriDiaBtn, &QPushButton::clicked, this, &MainWindow::onPriDiaBtnClicked);
    connect(m_ui.zEndBtn, &QPushButton::clicked, this, &MainWindow::onZEndBtnClicked);
    connect(m_ui.InsatsuBtn, &QPushButton::clicked, this, [this] { print(m_form->letter()); });
    connect(m_ui.IchiBtn, &QPushButton::clicked, this, [this] { print(std::nullopt); });
    connect(m_ui.HozonBtn, &QPushButton::clicked, this, &MainWindow::saveOffsets);
    connect(m_ui.SokuteiBtn, &QPushButton::clicked, this, &MainWindow::onSokuteiBtnClicked);
    connect(m_ui.RirekiBtn, &QPushButton::clicked, this, &MainWindow::onRirekiBtnClicked);
    connect(m_ui.ShinkiBtn, &QPushButton::clicked, this, [this] {
        m_undo->replace(tr("新しい委任状にしました。"),
                        [this] { m_form->startNew(dateTexts(m_services.clock->today())); });
    });
    connect(m_ui.ImejiBtn, &QPushButton::clicked, this, &MainWindow::onImejiBtnClicked);
    connect(m_ui.IkkatsuBtn, &QPushButton::clicked, this, [this] { showBatch(); });
    setAcceptDrops(true);
    installEventFilter(this);
    for (QWidget *child : findChildren<QWidget *>())
        if (child->acceptDrops())
            child->installEventFilter(this);
    // Last: it sizes every control made above.
    new DisplaySize(this, m_ui.HyoujiBtn, m_services.settingsPath);
}

bool MainWindow::printing() const
{
    return m_runner->busy();
}

bool MainWindow::load()
{
    // Asked first: a copy that is not to start says only that, not what it found in the files.
    const bool another = m_services.anotherInstanceRunning && m_services.anotherInstanceRunning();
    guarded([this, another] {
        const QString warning = m_panel->load(m_services.offsetDirectory);
        if (!another && !warning.isEmpty())
            m_services.messages->warning(Messages::appTitle(), warning);
    });
    if (!another)
        guarded([this] { usePrinterOffsets(false); });
    if (another) {
        m_services.messages->warning(Messages::appTitle(), tr("多重起動は、できません。"));
        if (m_services.raiseRunningInstance)
            m_services.raiseRunningInstance();
    }
    guarded([this] {
        const DateTexts today = dateTexts(m_services.clock->today());
        if (today.era.isEmpty())
            m_services.messages->warning(Messages::appTitle(),
                                         tr("今日の日付を和暦（元号と年）に変換できませんでした。"
                                            "日付の元号と年を確かめて、年を入力してください。"));
        m_form->fillChoiceLists(today);
    });
    // Its file and the database driver are left until the window is on screen, or something
    // needs them sooner.
    m_historyDue = !another && !m_services.history && m_services.startHistory;
    if (m_services.history)
        linkHistory();
    return !another;
}

void MainWindow::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (m_historyDue)
        QTimer::singleShot(0, this, &MainWindow::startHistory);
}

void MainWindow::startHistory()
{
    if (!m_historyDue)
        return;
    m_historyDue = false;
    m_services.history = m_services.startHistory();
    if (m_services.history)
        linkHistory();
    // Now that the database driver may load.
    guarded([this] { refreshPrinterOffsets(); });
}

void MainWindow::linkHistory()
{
    m_history = new HistoryLink(*m_services.history, *m_services.messages, *m_services.printing,
                                LetterForm::suggestingFields(), this);
    connect(m_history, &HistoryLink::earlierTextsFound, m_form, &LetterForm::offerEarlierTexts);
    connect(this, &MainWindow::jobAccepted, m_history, &HistoryLink::record);
    connect(m_runner, &PrintRunner::jobFinished, m_history,
            [this] { m_history->setReprinting(false); });
    connect(m_runner, &PrintRunner::outcomeFor, m_history, &HistoryLink::showOutcome);
    connect(m_history, &HistoryLink::openRequested, this, &MainWindow::showLetter);
    // Printed again with today's offsets: they belong to the printer, not to the letter. Marked
    // until its job ends; a job that never started leaves no mark.
    connect(m_history, &HistoryLink::reprintRequested, this, [this](const HistoryLetter &record) {
        const bool idle = !m_runner->busy();
        m_history->setReprinting(idle);
        print(record.letter, m_history->historyWindow());
        m_history->setReprinting(idle && m_runner->busy());
    });
    connect(m_history, &HistoryLink::officeSettingsRequested, this, [this] {
        auto *dialog = new OfficeDialog(*m_services.background, m_services.settingsPath,
                                        m_history->historyWindow());
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });
}

void MainWindow::onPriDiaBtnClicked()
{
    guarded([this] {
        const QString failure = m_services.printerSetup->setup(this);
        if (!failure.isEmpty())
            showFailure(failure);
    });
    printerChanged();
}

void MainWindow::printerChanged()
{
    guarded([this] {
        usePrinterOffsets(true);
        refreshPrinterOffsets();
    });
    if (m_preview)
        m_preview->printerChanged();
}

void MainWindow::usePrinterOffsets(bool tell)
{
    if (!m_services.printing)
        return;
    const std::optional<PrinterIdentity> chosen = m_services.printing->chosenIdentity();
    // Offsets typed for the printer used so far are not dropped unasked.
    if (tell && m_panel->unsaved() && !m_panel->shows(chosen) &&
        m_services.messages->askYesNo(Messages::appTitle(),
                                      tr("ズレが保存されていません。いままでのプリンタのズレとして"
                                         "保存してから、切り替えますか？")))
        saveOffsets();
    const QString name = m_services.printing->chosenName();
    QString notice;
    const QString warning = m_panel->usePrinter(chosen, name, &notice);
    if (!warning.isEmpty())
        m_services.messages->warning(Messages::appTitle(), warning);
    if (tell && !notice.isEmpty())
        m_notice->tell(notice, 6000);
}

void MainWindow::refreshPrinterOffsets()
{
    const std::optional<PrinterIdentity> chosen =
        m_services.printing ? m_services.printing->chosenIdentity() : std::nullopt;
    if (!chosen || !m_services.printerOffsets)
        return;
    m_services.printerOffsets->refresh(*chosen, this, [this, printer = *chosen] {
        guarded([this, &printer] {
            // Offsets the clerk is typing are never replaced unasked: ズレ保存 keeps theirs.
            if (!m_panel->shows(printer) || m_panel->unsaved())
                return;
            QString notice;
            const QString warning = m_panel->reload(&notice);
            if (!warning.isEmpty())
                m_services.messages->warning(Messages::appTitle(), warning);
            if (!notice.isEmpty())
                m_notice->tell(notice, 6000);
        });
    });
}

void MainWindow::onSokuteiBtnClicked()
{
    guarded([this] {
        QString error;
        const std::optional<PrintOffset> current = m_form->offset(&error);
        if (!current)
            return showFailure(error);
        CalibrationDialog dialog(*current, this);
        if (dialog.exec() != QDialog::Accepted || !dialog.result())
            return;
        m_panel->setOffset(*dialog.result());
        m_notice->tell(tr("ズレを 左右 %1・上下 %2 にしました。○印の印刷で確かめてから"
                          "「ズレ保存」を押してください。")
                           .arg(dialog.result()->leftRight)
                           .arg(dialog.result()->upDown),
                       6000);
    });
}

void MainWindow::onZEndBtnClicked()
{
    // Unsaved offsets ask their own question instead. Two half-width blanks before the name:
    // this title differs from every other box's.
    if (m_panel->unsaved() ? !offsetsSettled()
                           : !m_services.messages->askYesNo(QStringLiteral("  ソラフ"),
                                                            tr("このプログラムを終了しますか？")))
        return;
    const auto quit = [this] {
        if (!m_runner->quitAfterJob())
            m_services.session->quit();
    };
    if (m_batch)
        return m_batch->stopThen(quit);
    quit();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_leaving && !offsetsSettled())
        return event->ignore();
    m_leaving = true;
    // A batch stops after the letter on its way, and then the window closes.
    if (m_batch && m_batch->printing()) {
        m_batch->stopThen([this] { close(); });
        return event->ignore();
    }
    if (!m_runner->closeAfterJob())
        return QWidget::closeEvent(event);
    event->ignore();
}

bool MainWindow::offsetsSettled()
{
    if (!m_panel->unsaved())
        return true;
    switch (m_services.messages->askYesNoCancel(
        Messages::appTitle(), tr("ズレが保存されていません。保存してから終了しますか？"))) {
    case Messages::Answer::Yes:
        return saveOffsets();
    case Messages::Answer::No:
        return true;
    case Messages::Answer::Cancel:
        break;
    }
    return false;
}

void MainWindow::print(const std::optional<Letter> &letter, QWidget *askedFrom)
{
    startHistory(); // to keep this letter
    guarded([this, &letter, askedFrom] {
        QString error;
        if (const std::optional<PrintOffset> offset = m_form->offset(&error))
            m_runner->print(letter, *offset, letter ? m_form->fileName(*letter) : QString(),
                            askedFrom);
        else
            showFailure(error);
    });
}

bool MainWindow::saveOffsets()
{
    bool done = false;
    guarded([this, &done] {
        QString saved;
        if (const QString failure = m_panel->save(&saved); !failure.isEmpty())
            return showFailure(failure);
        done = true;
        m_notice->tell(saved, 4000);
    });
    return done;
}

void MainWindow::onRirekiBtnClicked()
{
    startHistory();
    if (m_history)
        m_history->showWindow(m_services.clock->today());
}

void MainWindow::showLetter(const HistoryLetter &letter)
{
    // The entries only: the offsets belong to today's printer, not to the letter. The letter is
    // a start for today's, so it is dated today.
    Letter opened = letter.letter;
    const DateTexts today = dateTexts(m_services.clock->today());
    opened.setText(Field::Year, today.year);
    opened.setText(Field::Month, today.month);
    opened.setText(Field::Day, today.day);
    m_undo->replace(tr("履歴の委任状を開きました。日付は今日にしています。"),
                    [&] { m_form->setLetter(opened); });
    activateWindow();
}

void MainWindow::onImejiBtnClicked()
{
    if (!m_preview) {
        m_preview = new PreviewWindow(*m_services.messages, *m_services.background,
                                      m_services.pageQueries, m_services.settingsPath, this);
        // Every entry, the check box and both offset boxes: the preview follows each change.
        connect(m_form, &LetterForm::letterChanged, this, &MainWindow::updatePreview);
        connect(m_ui.Sayuu_Xtxt, &QLineEdit::textChanged, this, &MainWindow::updatePreview);
        connect(m_ui.Jyouge_Ytxt, &QLineEdit::textChanged, this, &MainWindow::updatePreview);
        connect(m_preview, &PreviewWindow::printRequested, this,
                [this] { print(m_form->letter(), m_preview); });
        connect(m_runner, &PrintRunner::outcomeFor, m_preview, &PreviewWindow::showOutcome);
        updatePreview();
    }
    m_preview->show();
    m_preview->raise();
    m_preview->activateWindow();
}

void MainWindow::showBatch(const QString &csvFile)
{
    if (!m_batch) {
        m_batch = new BatchWindow(
            m_services, [this](QString *error) { return m_form->offset(error); }, this);
        connect(m_batch, &BatchWindow::openRequested, this, [this](const Letter &letter) {
            m_undo->replace(tr("一括印刷の行を入力欄に開きました。"),
                            [&] { m_form->setLetter(letter); });
            activateWindow();
        });
        m_batch->move(geometry().center() - m_batch->rect().center());
    }
    m_batch->show();
    m_batch->raise();
    m_batch->activateWindow();
    if (!csvFile.isEmpty())
        m_batch->openFile(csvFile);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove &&
        event->type() != QEvent::Drop)
        return QWidget::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    const QString path = BatchWindow::droppedCsv(drop->mimeData());
    if (path.isEmpty())
        return QWidget::eventFilter(watched, event);
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop)
        showBatch(path);
    return true;
}

void MainWindow::updatePreview()
{
    QString problem;
    if (const std::optional<PrintOffset> offset = m_form->offset(&problem))
        m_preview->setLetter(m_form->letter(), *offset);
    else
        m_preview->setOffsetProblem(problem);
}

template <typename Handler> void MainWindow::guarded(Handler &&handler)
{
    try {
        handler();
    } catch (const std::exception &error) {
        showFailure(unforeseenFailure(error));
    }
}

void MainWindow::showFailure(const QString &text)
{
    m_services.messages->critical(Messages::appTitle(), text);
}
