#include "window/mainwindow.h"

#include "entries/choicelists.h"
#include "entries/offsetfiles.h"
#include "jobs/letterjob.h"
#include "jobs/markjob.h"
#include "jobs/placement.h"
#include "jobs/printing.h"
#include "system/clock.h"
#include "system/messages.h"
#include "system/numbers.h"
#include "system/session.h"
#include "system/texts.h"
#include "window/desktop.h"
#include "window/inputmodes.h"
#include "window/previewwindow.h"

#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

#include <exception>

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
    // Qt's own completer of an editable list fills in the rest of the first item that begins
    // with what was typed ("1" in the month list becomes "10") and that would be printed. No
    // list completes inline; only a completer that suggests in a popup may take its place.
    for (QComboBox *list : findChildren<QComboBox *>())
        list->setCompleter(nullptr);

    connect(m_ui.Check10201, &QCheckBox::clicked, this, &MainWindow::onCheck10201Clicked);
    connect(m_ui.OnOffBtn, &QPushButton::clicked, this, &MainWindow::onOnOffBtnClicked);
    connect(m_ui.UpDownX, &UpDown::changed, this, &MainWindow::onUpDownXChanged);
    connect(m_ui.UpDownY, &UpDown::changed, this, &MainWindow::onUpDownYChanged);
    connect(m_ui.PriDiaBtn, &QPushButton::clicked, this, &MainWindow::onPriDiaBtnClicked);
    connect(m_ui.zEndBtn, &QPushButton::clicked, this, &MainWindow::onZEndBtnClicked);
    connect(m_ui.InsatsuBtn, &QPushButton::clicked, this, &MainWindow::onInsatsuBtnClicked);
    connect(m_ui.IchiBtn, &QPushButton::clicked, this, &MainWindow::onIchiBtnClicked);
    connect(m_ui.HozonBtn, &QPushButton::clicked, this, &MainWindow::onHozonBtnClicked);
    connect(m_ui.ImejiBtn, &QPushButton::clicked, this, &MainWindow::onImejiBtnClicked);
}

bool MainWindow::load()
{
    // Asked first: a copy that is not to start says only that, not what it found in the files.
    const bool another = m_services.anotherInstanceRunning && m_services.anotherInstanceRunning();
    guarded([this, another] { loadOffsets(!another); });
    if (another)
        m_services.messages->warning(texts::appTitle(), texts::anotherInstance());
    m_ui.CyouseiFrm->setToolTip(
        texts::offsetFolderTip(QDir::toNativeSeparators(m_services.offsetDirectory)));

    m_ui.CyouseiFrm->hide();
    m_ui.Combo10201->hide();
    guarded([this] { fillChoiceLists(); });
    return !another;
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
        const QString failure = m_services.printing->setup(this);
        if (!failure.isEmpty())
            showFailure(failure);
    });
    if (m_preview)
        m_preview->printerChanged();
}

void MainWindow::onZEndBtnClicked()
{
    if (m_services.messages->askYesNo(texts::quitTitle(), texts::quitQuestion()))
        m_services.session->quit();
}

void MainWindow::onInsatsuBtnClicked()
{
    guarded([this] {
        PrintPlacement placement;
        const QString failure = printLetter(letterEntries(), *m_services.printing, placement);
        if (!failure.isEmpty())
            showFailure(failure);
    });
}

void MainWindow::onIchiBtnClicked()
{
    guarded([this] {
        PrintPlacement placement;
        const QString failure = printMarks(m_ui.Sayuu_Xtxt->text(), m_ui.Jyouge_Ytxt->text(),
                                           *m_services.printing, placement);
        if (!failure.isEmpty())
            showFailure(failure);
    });
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

void MainWindow::onImejiBtnClicked()
{
    if (!m_preview) {
        m_preview = new PreviewWindow(
            *m_services.messages, m_pageQueries, [this] { return letterEntries(); },
            m_services.settingsPath, this);
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
