#include "ui/main/mainwindow.h"

#include "core/choicelists.h"
#include "core/offsetfiles.h"
#include "core/printoffset.h"
#include "history/history.h"
#include "layout/letterjob.h"
#include "layout/markjob.h"
#include "layout/placement.h"
#include "layout/printing.h"
#include "system/background.h"
#include "system/clock.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/printersetup.h"
#include "core/numbers.h"
#include "system/session.h"
#include "system/texts.h"
#include "ui/main/desktop.h"
#include "ui/history/historywindow.h"
#include "ui/widgets/inputmodes.h"
#include "ui/dialogs/japaneseui.h"
#include "ui/preview/previewwindow.h"

#include <QCloseEvent>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QScreen>
#include <QStringListModel>

#include <exception>

namespace {

// Appends the items and selects one of them; a negative index selects none.
void fillChoiceList(QComboBox *list, const QStringList &items, int selected)
{
    list->clear();
    list->addItems(items);
    list->setCurrentIndex(selected);
}

// Appends the items and leaves the given text, which need not be one of them, with no item
// selected.
void fillChoiceList(QComboBox *list, const QStringList &items, const QString &text)
{
    // A combo box selects its first item as soon as it gets one, so the text goes in last.
    fillChoiceList(list, items, -1);
    list->setEditText(text);
}


// The list fields that offer the texts of earlier letters.
const QStringList kSuggestingLists = {
    QStringLiteral("Combo10101"),       QStringLiteral("Combo10201"),
    QStringLiteral("cIninFuriganaBtn"), QStringLiteral("IninShimei"),
    QStringLiteral("DaihyouShimei"),    QStringLiteral("IninJyu1"),
    QStringLiteral("IninJyu2"),         QStringLiteral("Combo10601"),
    QStringLiteral("Combo10701"),       QStringLiteral("Combo10801"),
};

// The fields of kSuggestingLists.
QList<Field> suggestingFields()
{
    QList<Field> fields;
    for (const QString &name : kSuggestingLists)
        for (int i = 0; i < kLetterItemCount; ++i)
            if (name == QLatin1String(kLetterItems[i].control))
                fields.append(fieldAt(i));
    return fields;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QWidget(parent), m_desktop(std::make_unique<Desktop>(this))
{
    m_services = m_desktop->services();
    m_pageQueries = m_desktop->pageQueries();
    setUp();
}

MainWindow::MainWindow(const Services &services, QWidget *parent)
    : QWidget(parent), m_services(services)
{
    setUp();
}

// The desktop goes first: it waits for a job still running, which uses its printing.
MainWindow::~MainWindow() = default;

void MainWindow::setUp()
{
    useJapaneseUi();
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
    // Every button says what it does, the blank panel toggle above all, and names its key.
    for (QWidget *control : findChildren<QWidget *>()) {
        const auto *button = qobject_cast<QAbstractButton *>(control);
        const QString key =
            button ? button->shortcut().toString(QKeySequence::NativeText) : QString();
        if (const QString tip = texts::buttonTip(control->objectName(), key); !tip.isEmpty())
            control->setToolTip(tip);
    }
    // Qt keeps two pixels of air inside each end of a field; the offset boxes take one of them
    // back on each side, so "-1000" shows whole instead of scrolled to "1000".
    for (QLineEdit *box : {m_ui.Sayuu_Xtxt, m_ui.Jyouge_Ytxt})
        box->setTextMargins(-1, 0, -1, 0);
    // Qt's own completer of an editable list fills in the rest of the first item that begins
    // with what was typed ("1" in the month list becomes "10") and that would be printed. No
    // list completes inline; only a completer that suggests in a popup may take its place.
    for (QComboBox *list : findChildren<QComboBox *>())
        list->setCompleter(nullptr);

    // Over the expiry frame, which has no function yet: the notice hides nothing the clerk uses.
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("noticeLabel"));
    m_notice->setGeometry(m_ui.Frame10401->geometry());
    m_notice->setAlignment(Qt::AlignCenter);
    m_notice->setWordWrap(true);
    m_notice->setFocusPolicy(Qt::NoFocus);
    m_notice->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_notice->setStyleSheet(QStringLiteral(
        "background: #eef7e8; border: 1px solid #7aa55c; border-radius: 3px; color: #203a10;"));
    m_notice->hide();
    m_noticeTimer.setSingleShot(true);
    connect(&m_noticeTimer, &QTimer::timeout, m_notice, &QWidget::hide);

    connect(m_ui.Check10201, &QCheckBox::clicked, this, &MainWindow::onCheck10201Clicked);
    connect(m_ui.OnOffBtn, &QPushButton::clicked, this, &MainWindow::onOnOffBtnClicked);
    connect(m_ui.UpDownX, &UpDown::changed, this, &MainWindow::onUpDownXChanged);
    connect(m_ui.UpDownY, &UpDown::changed, this, &MainWindow::onUpDownYChanged);
    connect(m_ui.PriDiaBtn, &QPushButton::clicked, this, &MainWindow::onPriDiaBtnClicked);
    connect(m_ui.zEndBtn, &QPushButton::clicked, this, &MainWindow::onZEndBtnClicked);
    connect(m_ui.InsatsuBtn, &QPushButton::clicked, this, &MainWindow::onInsatsuBtnClicked);
    connect(m_ui.IchiBtn, &QPushButton::clicked, this, &MainWindow::onIchiBtnClicked);
    connect(m_ui.HozonBtn, &QPushButton::clicked, this, &MainWindow::onHozonBtnClicked);
    connect(m_ui.RirekiBtn, &QPushButton::clicked, this, &MainWindow::onRirekiBtnClicked);
    connect(m_ui.ShinkiBtn, &QPushButton::clicked, this, &MainWindow::onShinkiBtnClicked);
    connect(m_ui.ImejiBtn, &QPushButton::clicked, this, &MainWindow::onImejiBtnClicked);
}

bool MainWindow::load()
{
    // Asked first: a copy that is not to start says only that, not what it found in the files.
    const bool another = m_services.anotherInstanceRunning && m_services.anotherInstanceRunning();
    guarded([this, another] { loadOffsets(!another); });
    if (another) {
        m_services.messages->warning(texts::appTitle(), texts::anotherInstance());
        if (m_services.raiseRunningInstance)
            m_services.raiseRunningInstance();
    }
    m_ui.CyouseiFrm->setToolTip(
        texts::offsetFolderTip(QDir::toNativeSeparators(m_services.offsetDirectory)));

    m_ui.CyouseiFrm->hide();
    m_ui.Combo10201->hide();
    guarded([this] { fillChoiceLists(); });
    for (int i = 0; i < kLetterItemCount; ++i)
        if (auto *list = findChild<QComboBox *>(QLatin1String(kLetterItems[i].control)))
            m_initialSelections.insert(list, list->currentIndex());
    if (!another && m_desktop)
        m_services.history = m_desktop->startHistory();
    connectHistory();
    return !another;
}

void MainWindow::connectHistory()
{
    History *history = m_services.history;
    if (!history)
        return;
    connect(history, &History::problem, this, [this](const QString &message) {
        m_services.messages->warning(texts::appTitle(), message);
    });
    connect(history, &History::frequentTextsFound, this, &MainWindow::offerEarlierTexts);
    connect(this, &MainWindow::jobAccepted, this, &MainWindow::recordLetter);
    // Turned off, the history takes its texts out of the lists' popups too.
    connect(history, &History::changed, this, [this, history] {
        if (history->isOn())
            history->findFrequentTexts(suggestingFields());
        else
            offerEarlierTexts({});
    });
    history->findFrequentTexts(suggestingFields());
}

void MainWindow::loadOffsets(bool warn)
{
    const OffsetReadings readings = loadOffsetFiles(m_services.offsetDirectory);
    // The box shows what the spin took, which is the clamped value for one beyond its range.
    m_ui.UpDownX->setValue(readings.leftRight.value);
    m_ui.Sayuu_Xtxt->setText(int32ToText(m_ui.UpDownX->value()));
    m_ui.UpDownY->setValue(readings.upDown.value);
    m_ui.Jyouge_Ytxt->setText(int32ToText(m_ui.UpDownY->value()));

    const QString warning = offsetLoadWarning(readings);
    if (warn && !warning.isEmpty())
        m_services.messages->warning(texts::appTitle(), warning);
}

void MainWindow::fillChoiceLists()
{
    const QString empty;
    fillChoiceList(m_ui.Combo10101, {empty, empty}, 1);
    fillChoiceList(m_ui.Combo10201,
                   {QStringLiteral("名義変更"), QStringLiteral("抹消"), empty, empty}, 0);
    fillChoiceList(m_ui.cIninFuriganaBtn, {empty, empty, empty}, 0);
    fillChoiceList(m_ui.IninShimei, {empty, empty, empty}, 0);
    fillChoiceList(m_ui.DaihyouShimei, {empty, empty, empty}, 0);
    fillChoiceList(m_ui.IninJyu1, {empty, empty}, 0);
    fillChoiceList(m_ui.IninJyu2, {empty, empty}, 0);

    m_ui.Label10401->hide();
    m_ui.Label10402->hide();
    m_ui.Label10403->hide();
    m_ui.Label10404->hide();
    m_ui.Combo10401->hide();
    m_ui.Combo10402->hide();
    m_ui.Combo10403->hide();

    const DateTexts today = dateTexts(m_services.clock->today());
    if (today.era.isEmpty()) {
        m_services.messages->warning(texts::appTitle(), texts::eraUnknown());
    } else {
        m_ui.Label10301->setText(today.era);
        m_ui.Label10401->setText(today.era);
    }
    const QStringList years = {QStringLiteral("16"), QStringLiteral("17"), QStringLiteral("18")};
    fillChoiceList(m_ui.Combo10301, years, today.year);
    fillChoiceList(m_ui.Combo10302, twoDigitNumbers(12), today.month);
    fillChoiceList(m_ui.Combo10303, twoDigitNumbers(31), today.day);
    fillChoiceList(m_ui.Combo10401, years, today.year);
    fillChoiceList(m_ui.Combo10402, twoDigitNumbers(12), today.month);
    fillChoiceList(m_ui.Combo10403, twoDigitNumbers(31), today.day);

    const QStringList titles = {QStringLiteral("代表取締役"), empty};
    fillChoiceList(m_ui.Combo10601, titles, 1);
    fillChoiceList(m_ui.Combo10701, titles, 1);
    fillChoiceList(m_ui.Combo10801, titles, 1);
}

void MainWindow::onCheck10201Clicked()
{
    m_ui.Combo10201->setVisible(m_ui.Check10201->isChecked());
}

void MainWindow::onOnOffBtnClicked()
{
    if (m_ui.OnOffBtn->isChecked()) {
        m_ui.OnOffBtn->setText(QStringLiteral("調整"));
        m_ui.CyouseiFrm->show();
    } else {
        m_ui.OnOffBtn->setText(QString());
        m_ui.CyouseiFrm->hide();
    }
}

void MainWindow::onUpDownXChanged(int value)
{
    m_ui.Sayuu_Xtxt->setText(int32ToText(value));
}

void MainWindow::onUpDownYChanged(int value)
{
    m_ui.Jyouge_Ytxt->setText(int32ToText(value));
}

void MainWindow::onPriDiaBtnClicked()
{
    guarded([this] {
        const QString failure = m_services.printerSetup->setup(this);
        if (!failure.isEmpty())
            showFailure(failure);
    });
    if (m_preview)
        m_preview->printerChanged();
}

void MainWindow::onZEndBtnClicked()
{
    if (!m_services.messages->askYesNo(texts::quitTitle(), texts::quitQuestion()))
        return;
    if (m_printing) {
        // A page half handed over would be lost or come out later unasked for.
        m_quitAfterJob = true;
        showNotice(texts::closingAfterJob());
        return;
    }
    m_services.session->quit();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_printing)
        return QWidget::closeEvent(event);
    event->ignore();
    m_closeAfterJob = true;
    showNotice(texts::closingAfterJob());
}

void MainWindow::onInsatsuBtnClicked()
{
    guarded([this] { printEntries(letterEntries()); });
}

void MainWindow::printEntries(const LetterEntries &entries)
{
    startJob(
        letterTitle(),
        [entries](PrintTarget &target) {
            PrintPlacement placement;
            return printLetter(entries, target, placement);
        },
        entries);
}

void MainWindow::recordLetter(const AcceptedJob &job, const std::optional<LetterEntries> &entries)
{
    // Marks are no letter: they come without entries.
    if (!m_services.history || !entries)
        return;
    HistoryLetter letter;
    letter.printedAt = QDateTime::currentDateTime();
    for (int i = 0; i < kLetterItemCount; ++i)
        letter.letter.setText(fieldAt(i), entries->texts[i]);
    letter.letter.setDelegatedMatterTicked(entries->delegatedMatterTicked);
    // The page went out, so both offsets were read.
    QString reason;
    letter.offset.leftRight = parseOffset(entries->sayuu, &reason).value_or(0);
    letter.offset.upDown = parseOffset(entries->jyouge, &reason).value_or(0);
    letter.printer = job.destination;
    letter.paper = job.paper;
    letter.orientation =
        job.orientation == QPageLayout::Landscape ? QStringLiteral("横") : QStringLiteral("縦");
    letter.jobId = job.file.isEmpty() ? QString::number(job.jobId) : job.file;
    m_services.history->record(letter);
}

void MainWindow::onIchiBtnClicked()
{
    guarded([this] {
        const QString sayuu = m_ui.Sayuu_Xtxt->text();
        const QString jyouge = m_ui.Jyouge_Ytxt->text();
        startJob(
            marksTitle(),
            [sayuu, jyouge](PrintTarget &target) {
                PrintPlacement placement;
                return printMarks(sayuu, jyouge, target, placement);
            },
            std::nullopt);
    });
}

void MainWindow::startJob(const QString &title, Job job, std::optional<LetterEntries> letter)
{
    if (m_printing)
        return;
    std::shared_ptr<PrintTarget> target = m_services.printing->target();
    // Asked before the job starts: a job never waits on a dialog.
    if (const QString suggested = target->suggestedFile(title); !suggested.isEmpty())
        target->setFile(m_services.messages->pdfFileName(suggested));
    auto failure = std::make_shared<QString>();
    setPrinting(true);
    m_services.background->run(
        this,
        [job = std::move(job), target, failure] {
            // Nothing may escape a thread: it would end the program.
            try {
                *failure = job(*target);
            } catch (const std::bad_alloc &) {
                *failure = texts::outOfMemory();
            } catch (const std::exception &error) {
                *failure = texts::unexpectedError(QString::fromLocal8Bit(error.what()));
            }
        },
        [this, target, failure, letter] {
            jobEnded(*failure, failure->isEmpty() ? target->accepted() : std::nullopt, letter);
        });
}

void MainWindow::jobEnded(const QString &failure, const std::optional<AcceptedJob> &accepted,
                          const std::optional<LetterEntries> &letter)
{
    setPrinting(false);
    if (!failure.isEmpty()) {
        showFailure(failure);
    } else if (accepted) {
        showNotice(accepted->file.isEmpty() ? texts::jobSent(accepted->destination, accepted->jobId)
                                            : texts::pdfSaved(QFileInfo(accepted->file).fileName()),
                   4000);
        emit jobAccepted(*accepted, letter);
    }
    emit jobFinished();
    if (m_quitAfterJob)
        m_services.session->quit();
    else if (m_closeAfterJob)
        close();
}

void MainWindow::setPrinting(bool printing)
{
    m_printing = printing;
    m_ui.InsatsuBtn->setEnabled(!printing);
    m_ui.IchiBtn->setEnabled(!printing);
    if (printing) {
        setCursor(Qt::BusyCursor);
        showNotice(texts::printingNow());
    } else {
        unsetCursor();
        m_notice->hide();
    }
}

void MainWindow::showNotice(const QString &text, int timeoutMs)
{
    m_notice->setText(text);
    m_notice->raise();
    m_notice->show();
    if (timeoutMs > 0)
        m_noticeTimer.start(timeoutMs);
    else
        m_noticeTimer.stop();
}

void MainWindow::onHozonBtnClicked()
{
    guarded([this] {
        const QString &directory = m_services.offsetDirectory;
        const QString failure = saveOffsetFiles(
            {offsetFilePath(directory, kLeftRightFile), texts::leftRightBox(),
             m_ui.Sayuu_Xtxt->text()},
            {offsetFilePath(directory, kUpDownFile), texts::upDownBox(), m_ui.Jyouge_Ytxt->text()});
        if (!failure.isEmpty())
            m_services.messages->critical(texts::appTitle(), failure);
    });
}

void MainWindow::onRirekiBtnClicked()
{
    if (!m_services.history)
        return;
    if (!m_historyWindow) {
        m_historyWindow = new HistoryWindow(*m_services.history, *m_services.messages,
                                            m_services.clock->today(), this);
        connect(m_historyWindow, &HistoryWindow::openRequested, this, &MainWindow::showLetter);
        connect(m_historyWindow, &HistoryWindow::reprintRequested, this, &MainWindow::reprint);
        m_historyWindow->move(geometry().center() - m_historyWindow->rect().center());
    }
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}

void MainWindow::onShinkiBtnClicked()
{
    // Every entry as at start, the date as today; the offsets, the panel and the printer stay.
    for (auto it = m_initialSelections.cbegin(); it != m_initialSelections.cend(); ++it) {
        it.key()->setCurrentIndex(-1);
        it.key()->setCurrentIndex(it.value());
    }
    for (QLineEdit *edit : {m_ui.Text10501, m_ui.Text10701, m_ui.Text10702, m_ui.Text10703,
                            m_ui.Text10704, m_ui.Text10705, m_ui.Text10801, m_ui.Text10802,
                            m_ui.Text10803, m_ui.Text10804, m_ui.Text10805})
        edit->clear();
    m_ui.Check10201->setChecked(false);
    onCheck10201Clicked();
    const DateTexts today = dateTexts(m_services.clock->today());
    m_ui.Combo10301->setEditText(today.year);
    m_ui.Combo10302->setEditText(today.month);
    m_ui.Combo10303->setEditText(today.day);
    m_ui.Combo10101->setFocus();
}

void MainWindow::showLetter(const HistoryLetter &letter)
{
    // The entries only: the offsets belong to today's printer, not to the letter.
    for (int i = 0; i < kLetterItemCount; ++i) {
        const QString name = QLatin1String(kLetterItems[i].control);
        const QString text = letter.letter.text(fieldAt(i));
        if (auto *list = findChild<QComboBox *>(name))
            list->setEditText(text);
        else
            findChild<QLineEdit *>(name)->setText(text);
    }
    m_ui.Check10201->setChecked(letter.letter.delegatedMatterTicked());
    onCheck10201Clicked();
    activateWindow();
}

void MainWindow::reprint(const HistoryLetter &letter)
{
    guarded([this, &letter] {
        LetterEntries entries;
        entries.sayuu = m_ui.Sayuu_Xtxt->text();
        entries.jyouge = m_ui.Jyouge_Ytxt->text();
        entries.delegatedMatterTicked = letter.letter.delegatedMatterTicked();
        for (int i = 0; i < kLetterItemCount; ++i)
            entries.texts[i] = letter.letter.text(fieldAt(i));
        printEntries(entries);
    });
}

void MainWindow::offerEarlierTexts(const QHash<QString, QStringList> &texts)
{
    for (const QString &name : kSuggestingLists) {
        auto *list = findChild<QComboBox *>(name);
        // A popup to pick from, never inline completion: what is typed stays as typed. The
        // list's own items are left as they are.
        auto *completer = list->completer();
        if (!completer || !qobject_cast<QStringListModel *>(completer->model())) {
            completer = new QCompleter(new QStringListModel(list), list);
            completer->setCompletionMode(QCompleter::PopupCompletion);
            completer->setCaseSensitivity(Qt::CaseInsensitive);
            completer->setFilterMode(Qt::MatchContains);
            completer->setModelSorting(QCompleter::UnsortedModel);
            list->setCompleter(completer);
        }
        const Field field = suggestingFields().at(kSuggestingLists.indexOf(name));
        static_cast<QStringListModel *>(completer->model())
            ->setStringList(texts.value(fieldKey(field)));
    }
}

void MainWindow::onImejiBtnClicked()
{
    if (!m_preview) {
        m_preview = new PreviewWindow(
            *m_services.messages, *m_services.background, m_pageQueries,
            [this] { return letterEntries(); }, m_services.settingsPath, this);
        // Every field, the check box and both offset boxes: the preview follows each change.
        for (QLineEdit *field : findChildren<QLineEdit *>())
            connect(field, &QLineEdit::textChanged, m_preview, &PreviewWindow::entriesChanged);
        for (QComboBox *list : findChildren<QComboBox *>())
            connect(list, &QComboBox::currentTextChanged, m_preview,
                    &PreviewWindow::entriesChanged);
        connect(m_ui.Check10201, &QCheckBox::toggled, m_preview, &PreviewWindow::entriesChanged);
        connect(m_preview, &PreviewWindow::printRequested, this, &MainWindow::onInsatsuBtnClicked);
    }
    m_preview->show();
    m_preview->raise();
    m_preview->activateWindow();
}

LetterEntries MainWindow::letterEntries() const
{
    LetterEntries entries;
    entries.sayuu = m_ui.Sayuu_Xtxt->text();
    entries.jyouge = m_ui.Jyouge_Ytxt->text();
    entries.delegatedMatterTicked = m_ui.Check10201->isChecked();
    for (int i = 0; i < kLetterItemCount; ++i) {
        const QString name = QLatin1String(kLetterItems[i].control);
        // A list field counts by the text in its edit field, whether picked or typed.
        if (const auto *list = findChild<QComboBox *>(name))
            entries.texts[i] = list->currentText();
        else
            entries.texts[i] = findChild<QLineEdit *>(name)->text();
    }
    return entries;
}

template <typename Handler> void MainWindow::guarded(Handler &&handler)
{
    try {
        handler();
    } catch (const std::bad_alloc &) {
        showFailure(texts::outOfMemory());
    } catch (const std::exception &error) {
        showFailure(texts::unexpectedError(QString::fromLocal8Bit(error.what())));
    }
}

void MainWindow::showFailure(const QString &text)
{
    m_services.messages->critical(texts::appTitle(), text);
}
