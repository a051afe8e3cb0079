// The way to the print queue: which destination, paper and orientation a job goes with, what
// printer setup keeps, and how a refusal on the way reaches the user.

#include "printing/cupsprinting.h"
#include "printing/cupsspooler.h"
#include "printing/printerchoice.h"
#include "printwindow.h"

#include <QDialog>
#include <QLabel>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/mount.h>

namespace {

const QString kA4 = QStringLiteral("iso_a4_210x297mm");
const QString kUnreachable = QStringLiteral("印刷サービス（CUPS）に接続できません。");

// The default queue: A4 by default, and B5.
PrinterPapers officePapers(std::optional<QPageLayout::Orientation> orientation = std::nullopt)
{
    PrinterPapers papers;
    papers.papers = {FakeSpooler::a4(QMarginsF(6.35, 12.7, 6.35, 12.7)),
                     {QStringLiteral("jis_b5_182x257mm"), QStringLiteral("B5"), QSizeF(182, 257),
                      QMarginsF(5, 5, 5, 5)}};
    papers.defaultMedia = kA4;
    papers.defaultOrientation = orientation;
    return papers;
}

// Another queue: A3 by default, and A4.
PrinterPapers sheetPapers()
{
    PrinterPapers papers;
    papers.papers = {{QStringLiteral("iso_a3_297x420mm"), QStringLiteral("A3"), QSizeF(297, 420),
                      QMarginsF(4, 4, 4, 4)},
                     FakeSpooler::a4(QMarginsF(3, 5, 7, 11))};
    papers.defaultMedia = QStringLiteral("iso_a3_297x420mm");
    return papers;
}

} // namespace

class tst_CupsPrinting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void job_data();
    void job();
    void pdfFile_data();
    void pdfFile();
    void setup_data();
    void setup();
    void realSpoolerWithoutService();

private:
    // Printing over the fake queues and a window on it, the choice kept in this run's file.
    void start();
    void saveChoice(bool pdf, const QString &destination, const QString &media,
                    QPageLayout::Orientation orientation);

    QTemporaryDir m_dir;
    QString m_settingsPath;
    FakeSpooler *m_spooler = nullptr; // owned by m_printing once started
    std::unique_ptr<CupsPrinting> m_printing;
    FakeDesktop m_desktop;
    std::unique_ptr<MainWindow> m_window;
    QString m_pickedFile;
    QStringList m_suggested;
    int m_run = 0;
};

void tst_CupsPrinting::initTestCase()
{
    // No real print service is ever asked.
    qputenv("CUPS_SERVER", "/nonexistent/sorafu-test.sock");
    QVERIFY(m_dir.isValid());
}

void tst_CupsPrinting::init()
{
    m_settingsPath = m_dir.filePath(QStringLiteral("settings%1.ini").arg(++m_run));
    m_spooler = new FakeSpooler;
    m_spooler->queues.insert(QStringLiteral("Office"), officePapers());
    m_spooler->queues.insert(QStringLiteral("Sheet"), sheetPapers());
    m_spooler->defaultQueue = QStringLiteral("Office");
    m_desktop.messages.shown.clear();
    m_pickedFile.clear();
    m_suggested.clear();
}

void tst_CupsPrinting::start()
{
    m_printing = std::make_unique<CupsPrinting>(std::unique_ptr<Spooler>(m_spooler), m_settingsPath,
                                                nullptr);
    m_printing->setPdfFilePicker([this](const QString &suggested) {
        m_suggested << suggested;
        return m_pickedFile;
    });
    m_window = openWindow(m_desktop, m_printing.get(), m_dir.path());
    fillLetter(*m_window, letterTexts());
}

void tst_CupsPrinting::cleanup()
{
    m_window.reset();
    if (!m_printing)
        delete m_spooler;
    m_printing.reset();
}

void tst_CupsPrinting::saveChoice(bool pdf, const QString &destination, const QString &media,
                                  QPageLayout::Orientation orientation)
{
    QSettings settings(m_settingsPath, QSettings::IniFormat);
    savePrinterChoice(settings, {pdf, destination, media, orientation});
}

void tst_CupsPrinting::job_data()
{
    QTest::addColumn<QString>("media"); // chosen on "Sheet"; empty: setup never confirmed
    QTest::addColumn<bool>("portrait"); // chosen, or the queue's own default
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("destination"); // empty: nothing goes out
    QTest::addColumn<QString>("expected");    // orientation-requested, or what is told

    const auto row = [](const char *name, const QString &media, bool portrait, const char *fault,
                        const char *button, const char *destination, const QString &expected) {
        QTest::newRow(name) << media << portrait << QString(fault) << QString(button)
                            << QString(destination) << expected;
    };
    row("first start: default queue, its paper", "", false, "", "InsatsuBtn", "Office", "4");
    row("first start: queue prints portrait", "", true, "", "InsatsuBtn", "Office", "3");
    row("first start: no default queue", "", false, "no default", "InsatsuBtn", "",
        "既定のプリンタ");
    row("first start: print service down", "", false, "unreachable", "InsatsuBtn", "",
        "接続できません");
    row("chosen: portrait", kA4, true, "", "InsatsuBtn", "Sheet", "3");
    row("chosen: landscape, marks", kA4, false, "", "IchiBtn", "Sheet", "4");
    row("chosen paper no longer offered", "na_legal_8.5x14in", false, "", "InsatsuBtn", "",
        "用紙（リーガル）を使用できません");
    row("job refused", kA4, false, "refused", "InsatsuBtn", "", "受け付けませんでした");
    // The form is A4: Letter would take the marks off the sheet.
    row("i9 fault 9: first start: A4 before the queue's Letter", "", false, "letter", "InsatsuBtn",
        "Office", "4");
}

// Nothing is asked of the print service before a job; then one job with the options that keep
// the page where it was drawn, or the reason told and every entry kept. No page file stays.
void tst_CupsPrinting::job()
{
    QFETCH(QString, media);
    QFETCH(bool, portrait);
    QFETCH(QString, fault);
    QFETCH(QString, button);
    QFETCH(QString, destination);
    QFETCH(QString, expected);

    const auto orientation = portrait ? QPageLayout::Portrait : QPageLayout::Landscape;
    if (!media.isEmpty())
        saveChoice(false, QStringLiteral("Sheet"), media, orientation);
    else if (portrait)
        m_spooler->queues[QStringLiteral("Office")] = officePapers(orientation);
    if (fault == "no default")
        m_spooler->defaultQueue.clear();
    else if (fault == "unreachable")
        m_spooler->unreachable = kUnreachable;
    else if (fault == "letter")
        m_spooler->queues[QStringLiteral("Office")].defaultMedia =
            QStringLiteral("na_letter_8.5x11in");
    else if (fault == "refused")
        m_spooler->refuseJob = QStringLiteral("プリンタ「Sheet」が印刷を受け付けませんでした。");
    start();
    QCOMPARE(m_spooler->destinationCalls + m_spooler->paperCalls + m_spooler->checkCalls, 0);
    const QStringList before = windowState(*m_window);

    m_window->findChild<QAbstractButton *>(button)->click();

    for (const QString &file : std::as_const(m_spooler->submittedFiles))
        QVERIFY2(!QFile::exists(file), qPrintable(file));
    if (destination.isEmpty()) {
        QCOMPARE(m_spooler->jobs.size(), 0);
        QCOMPARE(notToldOnce(m_desktop.messages, {expected}), QString());
        QCOMPARE(windowState(*m_window), before);
        return;
    }
    QVERIFY(m_desktop.messages.shown.isEmpty());
    QCOMPARE(m_spooler->jobs.size(), 1);
    const FakeSpooler::Job &job = m_spooler->jobs[0];
    QCOMPARE(job.destination, destination);
    QCOMPARE(job.title,
             button == "IchiBtn" ? QStringLiteral("位置合わせの○印") : QStringLiteral("委任状"));
    QVERIFY(job.pdf.startsWith("%PDF-"));
    const QList<QPair<QByteArray, QString>> options = {{"media", kA4},
                                                       {"orientation-requested", expected},
                                                       {"print-scaling", "none"},
                                                       {"fit-to-page", "false"},
                                                       {"number-up", "1"},
                                                       {"sides", "one-sided"},
                                                       {"copies", "1"}};
    for (const auto &[name, value] : options)
        QCOMPARE(job.option(name), value);
    // The destination was checked before anything was drawn.
    QCOMPARE(m_spooler->checkCalls, 1);
    // Nothing is kept until setup is confirmed.
    if (media.isEmpty())
        QVERIFY(QSettings(m_settingsPath, QSettings::IniFormat).allKeys().isEmpty());
}

void tst_CupsPrinting::pdfFile_data()
{
    QTest::addColumn<QString>("picked");
    QTest::newRow("name typed without .pdf") << QStringLiteral("委任状");
    QTest::newRow("file dialog cancelled") << QString();
    QTest::newRow("i9 fault 4: disk full: told, the earlier file kept")
        << QStringLiteral("full/委任状");
}

// The page goes into the file picked, replacing one of that name, and the print service is not
// asked; a cancelled file dialog changes nothing and tells nothing.
void tst_CupsPrinting::pdfFile()
{
    QFETCH(QString, picked);

    saveChoice(true, QString(), kA4, QPageLayout::Landscape);
    // A file system of its own, filled up once the earlier file is on it.
    const QString full = m_dir.filePath(QStringLiteral("full"));
    const bool filled = picked.startsWith(QLatin1String("full/"));
    if (filled &&
        !(QDir().mkpath(full) && ::mount("none", qPrintable(full), "tmpfs", 0, "size=64k") == 0))
        QSKIP("no tmpfs to be mounted here");
    const auto unmount = qScopeGuard([&] {
        if (filled)
            ::umount2(qPrintable(full), MNT_DETACH);
    });
    QFile earlier(m_dir.filePath(QStringLiteral("%1委任状.pdf").arg(filled ? "full/" : "")));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("an earlier letter");
    earlier.close();
    // Two pages left free: the copy starts, and stops short.
    QFile filler(full + QStringLiteral("/filler"));
    if (filled && filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        while (filler.write(QByteArray(4096, 'x')) > 0) {
        }
        filler.resize(filler.size() - 8192);
    }
    m_pickedFile = picked.isEmpty() ? QString() : m_dir.filePath(picked);
    start();
    const QStringList before = windowState(*m_window);

    m_window->ui().InsatsuBtn->click();

    QCOMPARE(windowState(*m_window), before);
    if (filled) {
        QCOMPARE(notToldOnce(m_desktop.messages, {earlier.fileName(), "保存できません"}),
                 QString());
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), "an earlier letter");
        return;
    }
    QVERIFY(m_desktop.messages.shown.isEmpty());
    QCOMPARE(m_suggested.size(), 1);
    QVERIFY2(m_suggested[0].endsWith(QStringLiteral("/委任状.pdf")), qPrintable(m_suggested[0]));
    QCOMPARE(m_spooler->checkCalls + m_spooler->paperCalls + m_spooler->submittedFiles.size(), 0);
    QCOMPARE(QDir(m_dir.path()).entryList({"*.pdf"}), QStringList{"委任状.pdf"});
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll().startsWith("%PDF-"), !picked.isEmpty());
    if (picked.isEmpty())
        return;

    // The next file is suggested in the folder used last.
    m_pickedFile.clear();
    m_window->ui().IchiBtn->click();
    QCOMPARE(m_suggested.size(), 2);
    QCOMPARE(QFileInfo(m_suggested[1]).absolutePath(), QFileInfo(m_dir.path()).absoluteFilePath());
}

void tst_CupsPrinting::setup_data()
{
    QTest::addColumn<bool>("gone");        // "Gone", portrait, was chosen before
    QTest::addColumn<bool>("unreachable"); // the print service
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("selected"); // when the dialog opens
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QString>("printer"); // then chosen
    QTest::addColumn<QString>("paper");
    QTest::addColumn<bool>("portrait");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<bool>("unsaved"); // a folder in place of the settings file

    const QString office = QStringLiteral("Office（既定のプリンタ）");
    const QString pdf = QStringLiteral("PDFファイル");
    const QStringList all = {office, QStringLiteral("Sheet"), pdf};
    const auto row = [](const char *name, bool gone, bool unreachable, const QStringList &listed,
                        const QString &selected, const QString &notice, const QString &printer,
                        const char *paper, bool portrait, bool accept, bool unsaved = false) {
        QTest::newRow(name) << gone << unreachable << listed << selected << notice << printer
                            << QString(paper) << portrait << accept << unsaved;
    };
    row("queue, its other paper, portrait", false, false, all, office, "", "Sheet", "A4", true,
        true);
    row("default queue, B5, landscape", false, false, all, office, "", office, "B5", false, true);
    row("PDF file", false, false, all, office, "", pdf, "A4", false, true);
    row("cancelled", false, false, all, office, "", "Sheet", "A4", true, false);
    // Nothing is preselected that the user did not choose: OK must not switch the destination.
    row("print service down: PDF files still offered", false, true, {pdf}, "", "接続できません",
        pdf, "A4", false, true);
    row("chosen printer gone: the user picks another", true, false, all, "",
        "「Gone」が見つかりません", office, "A4", true, true);
    // Told, and used until the program ends.
    row("i9 fault 5: choice not saved: told", false, false, all, office, "", "Sheet", "A4", true,
        true, true);
}

// The dialog offers the queues and PDF files and says what is wrong; OK keeps printer, paper and
// orientation for every later job, also after a restart; Cancel changes nothing at all.
void tst_CupsPrinting::setup()
{
    QFETCH(bool, gone);
    QFETCH(bool, unreachable);
    QFETCH(QStringList, listed);
    QFETCH(QString, selected);
    QFETCH(QString, notice);
    QFETCH(QString, printer);
    QFETCH(QString, paper);
    QFETCH(bool, portrait);
    QFETCH(bool, accept);
    QFETCH(bool, unsaved);

    if (unsaved)
        QVERIFY(QDir().mkpath(m_settingsPath));
    if (gone)
        saveChoice(false, QStringLiteral("Gone"), kA4, QPageLayout::Portrait);
    if (unreachable)
        m_spooler->unreachable = kUnreachable;
    start();
    // What the dialog showed as it opened, and the papers of the printer picked last.
    QStringList printers;
    QString preselected;
    bool portraitBefore = false;
    QString told;
    QStringList papers;
    m_printing->setChoiceDialog(runSetupDialog([&](QDialog &dialog) {
        auto *printerBox = dialog.findChild<QComboBox *>(QStringLiteral("printerBox"));
        auto *paperBox = dialog.findChild<QComboBox *>(QStringLiteral("paperBox"));
        auto *upright = dialog.findChild<QRadioButton *>(QStringLiteral("portraitButton"));
        const QLabel *label = dialog.findChild<QLabel *>(QStringLiteral("noticeLabel"));
        for (int i = 0; i < printerBox->count(); ++i)
            printers << printerBox->itemText(i);
        preselected = printerBox->currentText();
        portraitBefore = upright->isChecked();
        told = label->isVisibleTo(&dialog) ? label->text() : QString();
        printerBox->setCurrentIndex(printerBox->findText(printer));
        for (int i = 0; i < paperBox->count(); ++i)
            papers << paperBox->itemText(i);
        paperBox->setCurrentIndex(paperBox->findText(paper));
        (portrait ? upright : dialog.findChild<QRadioButton *>("landscapeButton"))
            ->setChecked(true);
        return accept;
    }));
    m_window->ui().PriDiaBtn->click();
    QCOMPARE(printers, listed);
    QCOMPARE(preselected, selected);
    QCOMPARE(portraitBefore, gone);
    QVERIFY2(told.contains(notice) && told.isEmpty() == notice.isEmpty(), qPrintable(told));
    QVERIFY2(papers.contains(paper), qPrintable(papers.join(',')));
    if (unsaved) {
        QCOMPARE(notToldOnce(m_desktop.messages, {m_settingsPath, "保存できません"}), QString());
        m_window->ui().InsatsuBtn->click();
        QCOMPARE(m_spooler->jobs.value(0).destination, QStringLiteral("Sheet"));
        return;
    }
    QVERIFY(m_desktop.messages.shown.isEmpty());

    // A restart: a new printing service over the same settings.
    m_window.reset();
    m_spooler = new FakeSpooler(*m_spooler);
    m_pickedFile = m_dir.filePath(QStringLiteral("restart.pdf"));
    start();
    m_window->ui().InsatsuBtn->click();
    QVERIFY(m_desktop.messages.shown.isEmpty());

    if (!accept) {
        QVERIFY(QSettings(m_settingsPath, QSettings::IniFormat).allKeys().isEmpty());
        QCOMPARE(m_spooler->jobs.size(), 1);
        QCOMPARE(m_spooler->jobs[0].destination, QStringLiteral("Office"));
    } else if (printer == QStringLiteral("PDFファイル")) {
        QCOMPARE(m_spooler->jobs.size(), 0);
        QVERIFY(QFile::exists(m_pickedFile));
    } else {
        QCOMPARE(m_spooler->jobs.size(), 1);
        QCOMPARE(m_spooler->jobs[0].destination, printer.section(QStringLiteral("（"), 0, 0));
        QCOMPARE(m_spooler->jobs[0].option("media"),
                 paper == "B5" ? QStringLiteral("jis_b5_182x257mm") : kA4);
        QCOMPARE(m_spooler->jobs[0].option("orientation-requested"), portrait ? "3" : "4");
    }
}

// libcups itself, with no scheduler to reach: every call says so in Japanese.
void tst_CupsPrinting::realSpoolerWithoutService()
{
    CupsSpooler spooler;
    QStringList names;
    QString defaultName;
    QString listError;
    QString paperError;
    PrinterPapers papers;
    QVERIFY(!spooler.destinations(&names, &defaultName, &listError));
    QVERIFY(!spooler.papers(QStringLiteral("Sheet"), &papers, &paperError));
    QFile pdf(m_dir.filePath(QStringLiteral("page.pdf")));
    QVERIFY(pdf.open(QIODevice::WriteOnly) && pdf.write("%PDF-1.4\n") > 0);
    pdf.close();
    int job = -1;
    for (const QString &told : {listError, paperError, spooler.check(QStringLiteral("Sheet")),
                                spooler.submit(QStringLiteral("Sheet"), QStringLiteral("委任状"),
                                               pdf.fileName(), CupsPrinting::jobOptions({}), &job)})
        QVERIFY2(told.contains(QStringLiteral("接続できません")), qPrintable(told));
}

QTEST_MAIN(tst_CupsPrinting)
#include "tst_cupsprinting.moc"
