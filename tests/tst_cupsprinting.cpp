// The way to the print queue: which destination, paper and orientation a job goes with, what
// printer setup keeps, and how every refusal on the way reaches the user.

#include "fakes.h"
#include "platform/cupsprinting.h"
#include "platform/cupsspooler.h"
#include "platform/printerchoice.h"
#include "platform/printersetupdialog.h"
#include "window/mainwindow.h"

#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

PrinterPapers officePapers(std::optional<QPageLayout::Orientation> orientation = std::nullopt)
{
    PrinterPapers papers;
    papers.papers = {FakeSpooler::a4(QMarginsF(6.35, 12.7, 6.35, 12.7)),
                     {QStringLiteral("jis_b5_182x257mm"), QStringLiteral("B5"), QSizeF(182, 257),
                      QMarginsF(5, 5, 5, 5)}};
    papers.defaultMedia = QStringLiteral("iso_a4_210x297mm");
    papers.defaultOrientation = orientation;
    return papers;
}

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
    void nothingAskedAtStart();
    void jobGoesAsChosen_data();
    void jobGoesAsChosen();
    void firstStart_data();
    void firstStart();
    void refusal_data();
    void refusal();
    void pdfFile();
    void pdfFileCancelled();
    void setupKeepsChoice_data();
    void setupKeepsChoice();
    void setupWithoutPrintService();
    void setupAfterPrinterWentAway();
    void realSpoolerWithoutService();

private:
    // A printing service and window over the fake queues, with the choice saved in this run's
    // settings file.
    void start();
    void saveChoice(bool pdf, const QString &destination, const QString &media,
                    QPageLayout::Orientation orientation);
    QStringList snapshot() const;
    void fillSome();

    QTemporaryDir m_dir;
    QString m_settingsPath;
    FakeSpooler *m_spooler = nullptr; // owned by m_printing
    CupsPrinting *m_printing = nullptr;
    FakeDesktop m_desktop;
    MainWindow *m_window = nullptr;
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
    m_printing = new CupsPrinting(std::unique_ptr<Spooler>(m_spooler), m_settingsPath, nullptr);
    m_printing->setPdfFilePicker([this](const QString &suggested) {
        m_suggested << suggested;
        return m_pickedFile;
    });
    Services services = m_desktop.services(m_dir.path());
    services.printing = m_printing;
    m_window = new MainWindow(services);
    m_window->load();
    m_window->ui().Sayuu_Xtxt->setText(QStringLiteral("0"));
    m_window->ui().Jyouge_Ytxt->setText(QStringLiteral("40"));
}

void tst_CupsPrinting::cleanup()
{
    delete m_window;
    m_window = nullptr;
    if (m_printing)
        delete m_printing;
    else
        delete m_spooler;
    m_printing = nullptr;
    m_spooler = nullptr;
}

void tst_CupsPrinting::saveChoice(bool pdf, const QString &destination, const QString &media,
                                  QPageLayout::Orientation orientation)
{
    QSettings settings(m_settingsPath, QSettings::IniFormat);
    savePrinterChoice(settings, {pdf, destination, media, orientation});
}

QStringList tst_CupsPrinting::snapshot() const
{
    QStringList state;
    for (const QLineEdit *edit : m_window->findChildren<QLineEdit *>())
        state << edit->objectName() + '=' + edit->text();
    for (const QComboBox *combo : m_window->findChildren<QComboBox *>())
        state << combo->objectName() + '=' + combo->currentText();
    state << QStringLiteral("panel=%1").arg(m_window->ui().CyouseiFrm->isVisibleTo(m_window));
    return state;
}

void tst_CupsPrinting::fillSome()
{
    Ui::Form1 &ui = m_window->ui();
    ui.Combo10101->setEditText(QStringLiteral("委任太郎"));
    ui.Text10501->setText(QStringLiteral("品川500あ1234"));
    ui.IninShimei->setEditText(QStringLiteral("株式会社ソラフ"));
    ui.Text10805->setText(QStringLiteral("栄3-3"));
}

void tst_CupsPrinting::nothingAskedAtStart()
{
    start();
    QCOMPARE(m_spooler->destinationCalls + m_spooler->paperCalls + m_spooler->checkCalls, 0);
}

void tst_CupsPrinting::jobGoesAsChosen_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QString>("orientationRequested");
    QTest::addColumn<bool>("marks");

    QTest::newRow("letter, landscape") << int(QPageLayout::Landscape) << "4" << false;
    QTest::newRow("letter, portrait") << int(QPageLayout::Portrait) << "3" << false;
    QTest::newRow("marks, landscape") << int(QPageLayout::Landscape) << "4" << true;
}

// One job on the chosen queue, with the options that keep the page where it was drawn, and no
// temporary file left behind.
void tst_CupsPrinting::jobGoesAsChosen()
{
    QFETCH(int, orientation);
    QFETCH(QString, orientationRequested);
    QFETCH(bool, marks);

    saveChoice(false, QStringLiteral("Sheet"), QStringLiteral("iso_a4_210x297mm"),
               QPageLayout::Orientation(orientation));
    start();
    fillSome();
    (marks ? m_window->ui().IchiBtn : m_window->ui().InsatsuBtn)->click();

    QVERIFY(m_desktop.messages.shown.isEmpty());
    QCOMPARE(m_spooler->jobs.size(), 1);
    const FakeSpooler::Job &job = m_spooler->jobs[0];
    QCOMPARE(job.destination, QStringLiteral("Sheet"));
    QCOMPARE(job.title, marks ? QStringLiteral("位置合わせの○印") : QStringLiteral("委任状"));
    QVERIFY(job.pdf.startsWith("%PDF-"));
    QCOMPARE(job.option("media"), QStringLiteral("iso_a4_210x297mm"));
    QCOMPARE(job.option("orientation-requested"), orientationRequested);
    QCOMPARE(job.option("print-scaling"), QStringLiteral("none"));
    QCOMPARE(job.option("fit-to-page"), QStringLiteral("false"));
    QCOMPARE(job.option("number-up"), QStringLiteral("1"));
    QCOMPARE(job.option("sides"), QStringLiteral("one-sided"));
    QCOMPARE(job.option("copies"), QStringLiteral("1"));
    QCOMPARE(m_spooler->submittedFiles.size(), 1);
    QVERIFY(!QFile::exists(m_spooler->submittedFiles[0]));
    // The destination was checked before anything was drawn.
    QCOMPARE(m_spooler->checkCalls, 1);
}

void tst_CupsPrinting::firstStart_data()
{
    QTest::addColumn<QString>("defaultQueue");
    QTest::addColumn<bool>("queuePortrait");
    QTest::addColumn<bool>("unreachable");
    QTest::addColumn<QString>("orientationRequested"); // empty: nothing printed
    QTest::addColumn<QString>("told");

    QTest::newRow("default queue, its paper, landscape") << "Office" << false << false << "4"
                                                         << "";
    QTest::newRow("queue prints portrait by default") << "Office" << true << false << "3"
                                                      << "";
    QTest::newRow("no default queue") << "" << false << false << ""
                                      << "既定のプリンタ";
    QTest::newRow("print service unreachable") << "Office" << false << true << ""
                                               << "接続できません";
}

// Before printer setup was ever confirmed the job goes to the default queue with its default
// paper.
void tst_CupsPrinting::firstStart()
{
    QFETCH(QString, defaultQueue);
    QFETCH(bool, queuePortrait);
    QFETCH(bool, unreachable);
    QFETCH(QString, orientationRequested);
    QFETCH(QString, told);

    m_spooler->defaultQueue = defaultQueue;
    if (queuePortrait)
        m_spooler->queues[QStringLiteral("Office")] = officePapers(QPageLayout::Portrait);
    if (unreachable)
        m_spooler->unreachable = QStringLiteral("印刷サービス（CUPS）に接続できません。");
    start();
    m_window->ui().InsatsuBtn->click();

    if (orientationRequested.isEmpty()) {
        QCOMPARE(m_spooler->jobs.size(), 0);
        QCOMPARE(m_desktop.messages.shown.size(), 1);
        QVERIFY2(m_desktop.messages.shown[0].text.contains(told),
                 qPrintable(m_desktop.messages.shown[0].text));
        return;
    }
    QVERIFY(m_desktop.messages.shown.isEmpty());
    QCOMPARE(m_spooler->jobs.size(), 1);
    QCOMPARE(m_spooler->jobs[0].destination, QStringLiteral("Office"));
    QCOMPARE(m_spooler->jobs[0].option("media"), QStringLiteral("iso_a4_210x297mm"));
    QCOMPARE(m_spooler->jobs[0].option("orientation-requested"), orientationRequested);
    // Nothing is saved until setup is confirmed.
    QVERIFY(QSettings(m_settingsPath, QSettings::IniFormat).allKeys().isEmpty());
}

void tst_CupsPrinting::refusal_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("told");

    QTest::newRow("queue vanished") << "InsatsuBtn"
                                    << "vanished"
                                    << "「Sheet」が見つかりません";
    QTest::newRow("queue stopped") << "InsatsuBtn"
                                   << "stopped"
                                   << "停止しています";
    QTest::newRow("queue refusing, marks") << "IchiBtn"
                                           << "stopped"
                                           << "停止しています";
    QTest::newRow("print service down") << "InsatsuBtn"
                                        << "unreachable"
                                        << "接続できません";
    QTest::newRow("job refused") << "InsatsuBtn"
                                 << "refused"
                                 << "受け付けませんでした";
    QTest::newRow("job refused, marks") << "IchiBtn"
                                        << "refused"
                                        << "受け付けませんでした";
    QTest::newRow("paper no longer offered") << "InsatsuBtn"
                                             << "paper"
                                             << "用紙";
}

// Each refusal is told with its reason; no job and no temporary file stays, every entry stays,
// and the next print goes through once the trouble is gone.
void tst_CupsPrinting::refusal()
{
    QFETCH(QString, button);
    QFETCH(QString, what);
    QFETCH(QString, told);

    saveChoice(false, QStringLiteral("Sheet"),
               what == QLatin1String("paper") ? QStringLiteral("na_legal_8.5x14in")
                                              : QStringLiteral("iso_a4_210x297mm"),
               QPageLayout::Landscape);
    if (what == QLatin1String("vanished"))
        m_spooler->queues.remove(QStringLiteral("Sheet"));
    else if (what == QLatin1String("stopped"))
        m_spooler->refusing.insert(QStringLiteral("Sheet"),
                                   QStringLiteral("プリンタ「Sheet」は停止しています。"));
    else if (what == QLatin1String("unreachable"))
        m_spooler->unreachable = QStringLiteral("印刷サービス（CUPS）に接続できません。");
    else if (what == QLatin1String("refused"))
        m_spooler->refuseJob = QStringLiteral("プリンタ「Sheet」が印刷を受け付けませんでした。");
    start();
    fillSome();
    m_window->ui().OnOffBtn->click();
    const QStringList before = snapshot();

    m_window->findChild<QAbstractButton *>(button)->click();

    QCOMPARE(m_spooler->jobs.size(), 0);
    for (const QString &file : std::as_const(m_spooler->submittedFiles))
        QVERIFY2(!QFile::exists(file), qPrintable(file));
    QCOMPARE(m_desktop.messages.shown.size(), 1);
    QCOMPARE(m_desktop.messages.shown[0].kind, QStringLiteral("critical"));
    QCOMPARE(m_desktop.messages.shown[0].title, QStringLiteral("ソラフ"));
    QVERIFY2(m_desktop.messages.shown[0].text.contains(told),
             qPrintable(m_desktop.messages.shown[0].text));
    QCOMPARE(snapshot(), before);

    m_spooler->queues.insert(QStringLiteral("Sheet"), sheetPapers());
    m_spooler->refusing.clear();
    m_spooler->unreachable.clear();
    m_spooler->refuseJob.clear();
    saveChoice(false, QStringLiteral("Sheet"), QStringLiteral("iso_a4_210x297mm"),
               QPageLayout::Landscape);
    m_window->findChild<QAbstractButton *>(button)->click();
    QCOMPARE(m_spooler->jobs.size(), 1);
    QCOMPARE(m_desktop.messages.shown.size(), 1);
}

void tst_CupsPrinting::pdfFile()
{
    saveChoice(true, QString(), QStringLiteral("iso_a4_210x297mm"), QPageLayout::Landscape);
    QFile earlier(m_dir.filePath(QStringLiteral("委任状.pdf")));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("an earlier letter");
    earlier.close();
    // The extension is added when the name was typed without it.
    m_pickedFile = m_dir.filePath(QStringLiteral("委任状"));
    start();
    fillSome();

    m_window->ui().InsatsuBtn->click();

    QVERIFY(m_desktop.messages.shown.isEmpty());
    QCOMPARE(m_suggested.size(), 1);
    QVERIFY2(m_suggested[0].endsWith(QStringLiteral("/委任状.pdf")), qPrintable(m_suggested[0]));
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QVERIFY(earlier.readAll().startsWith("%PDF-"));
    QCOMPARE(m_spooler->checkCalls + m_spooler->paperCalls, 0);
    QCOMPARE(m_spooler->submittedFiles.size(), 0);

    // The next file is suggested in the folder used last.
    m_pickedFile.clear();
    m_window->ui().IchiBtn->click();
    QCOMPARE(m_suggested.size(), 2);
    QCOMPARE(QFileInfo(m_suggested[1]).absolutePath(), QFileInfo(m_dir.path()).absoluteFilePath());
}

void tst_CupsPrinting::pdfFileCancelled()
{
    saveChoice(true, QString(), QStringLiteral("iso_a4_210x297mm"), QPageLayout::Landscape);
    start();
    fillSome();
    const QStringList before = snapshot();
    const QStringList filesBefore = QDir(m_dir.path()).entryList(QDir::Files);

    m_window->ui().InsatsuBtn->click();

    QCOMPARE(m_suggested.size(), 1);
    QVERIFY(m_desktop.messages.shown.isEmpty());
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), filesBefore);
    QCOMPARE(snapshot(), before);
}

void tst_CupsPrinting::setupKeepsChoice_data()
{
    QTest::addColumn<QString>("printer"); // as listed
    QTest::addColumn<QString>("paper");
    QTest::addColumn<bool>("portrait");
    QTest::addColumn<bool>("accept");

    QTest::newRow("queue, its other paper, portrait") << "Sheet"
                                                      << "A4" << true << true;
    QTest::newRow("default queue, B5, landscape") << "Office（既定のプリンタ）"
                                                  << "B5" << false << true;
    QTest::newRow("PDF file") << "PDFファイル"
                              << "A4" << false << true;
    QTest::newRow("cancelled") << "Sheet"
                               << "A4" << true << false;
}

// OK keeps printer, paper and orientation for every later job, also after a restart; Cancel
// changes nothing at all.
void tst_CupsPrinting::setupKeepsChoice()
{
    QFETCH(QString, printer);
    QFETCH(QString, paper);
    QFETCH(bool, portrait);
    QFETCH(bool, accept);

    start();
    QStringList listedPrinters;
    QStringList listedPapers;
    m_printing->setDialogRunner([&](QDialog &dialog) {
        auto *printers = dialog.findChild<QComboBox *>(QStringLiteral("printerBox"));
        auto *papers = dialog.findChild<QComboBox *>(QStringLiteral("paperBox"));
        for (int i = 0; i < printers->count(); ++i)
            listedPrinters << printers->itemText(i);
        printers->setCurrentIndex(printers->findText(printer));
        for (int i = 0; i < papers->count(); ++i)
            listedPapers << papers->itemText(i);
        papers->setCurrentIndex(papers->findText(paper));
        dialog
            .findChild<QRadioButton *>(portrait ? QStringLiteral("portraitButton")
                                                : QStringLiteral("landscapeButton"))
            ->setChecked(true);
        return accept;
    });
    m_window->ui().PriDiaBtn->click();

    QCOMPARE(listedPrinters, (QStringList{QStringLiteral("Office（既定のプリンタ）"),
                                          QStringLiteral("Sheet"), QStringLiteral("PDFファイル")}));
    // The papers are those of the printer picked last.
    QVERIFY2(listedPapers.contains(paper), qPrintable(listedPapers.join(',')));
    QVERIFY(m_desktop.messages.shown.isEmpty());

    // A restart: a new printing service over the same settings.
    delete m_window;
    m_window = nullptr;
    auto *spooler = new FakeSpooler;
    spooler->queues = m_spooler->queues;
    spooler->defaultQueue = m_spooler->defaultQueue;
    delete m_printing;
    m_printing = nullptr;
    m_spooler = spooler;
    m_pickedFile = m_dir.filePath(QStringLiteral("restart.pdf"));
    start();
    m_window->ui().InsatsuBtn->click();
    QVERIFY(m_desktop.messages.shown.isEmpty());

    if (!accept) {
        QVERIFY(QSettings(m_settingsPath, QSettings::IniFormat).allKeys().isEmpty());
        QCOMPARE(m_spooler->jobs.size(), 1);
        QCOMPARE(m_spooler->jobs[0].destination, QStringLiteral("Office"));
        return;
    }
    if (printer == QStringLiteral("PDFファイル")) {
        QCOMPARE(m_spooler->jobs.size(), 0);
        QVERIFY(QFile::exists(m_pickedFile));
        return;
    }
    QCOMPARE(m_spooler->jobs.size(), 1);
    QCOMPARE(m_spooler->jobs[0].destination, printer.section(QStringLiteral("（"), 0, 0));
    QCOMPARE(m_spooler->jobs[0].option("media"), paper == QLatin1String("B5")
                                                     ? QStringLiteral("jis_b5_182x257mm")
                                                     : QStringLiteral("iso_a4_210x297mm"));
    QCOMPARE(m_spooler->jobs[0].option("orientation-requested"),
             portrait ? QStringLiteral("3") : QStringLiteral("4"));
}

// The dialog still opens and offers PDF files, and says why there are no printers.
void tst_CupsPrinting::setupWithoutPrintService()
{
    m_spooler->unreachable = QStringLiteral("印刷サービス（CUPS）に接続できません。");
    start();
    QStringList listed;
    QString notice;
    bool okEnabled = false;
    m_printing->setDialogRunner([&](QDialog &dialog) {
        auto *printers = dialog.findChild<QComboBox *>(QStringLiteral("printerBox"));
        for (int i = 0; i < printers->count(); ++i)
            listed << printers->itemText(i);
        const QLabel *label = dialog.findChild<QLabel *>(QStringLiteral("noticeLabel"));
        notice = label->isVisibleTo(&dialog) ? label->text() : QString();
        okEnabled = dialog.findChild<QComboBox *>(QStringLiteral("paperBox"))->count() > 0;
        return true;
    });
    m_window->ui().PriDiaBtn->click();

    QCOMPARE(listed, QStringList{QStringLiteral("PDFファイル")});
    QVERIFY2(notice.contains(QStringLiteral("接続できません")), qPrintable(notice));
    QVERIFY(okEnabled);
    QCOMPARE(loadPrinterChoice(*std::make_unique<QSettings>(m_settingsPath, QSettings::IniFormat))
                 ->pdfFile,
             true);
}

void tst_CupsPrinting::setupAfterPrinterWentAway()
{
    saveChoice(false, QStringLiteral("Gone"), QStringLiteral("iso_a4_210x297mm"),
               QPageLayout::Portrait);
    start();
    QString notice;
    QString selected;
    bool portrait = false;
    m_printing->setDialogRunner([&](QDialog &dialog) {
        notice = dialog.findChild<QLabel *>(QStringLiteral("noticeLabel"))->text();
        selected = dialog.findChild<QComboBox *>(QStringLiteral("printerBox"))->currentText();
        portrait = dialog.findChild<QRadioButton *>(QStringLiteral("portraitButton"))->isChecked();
        return false;
    });
    m_window->ui().PriDiaBtn->click();

    QVERIFY2(notice.contains(QStringLiteral("「Gone」が見つかりません")), qPrintable(notice));
    QCOMPARE(selected, QStringLiteral("Office（既定のプリンタ）"));
    QVERIFY(portrait);
}

// libcups itself, with no scheduler to reach: every call says so in Japanese.
void tst_CupsPrinting::realSpoolerWithoutService()
{
    CupsSpooler spooler;
    QStringList names;
    QString defaultName;
    QString error;
    QVERIFY(!spooler.destinations(&names, &defaultName, &error));
    QVERIFY2(error.contains(QStringLiteral("接続できません")), qPrintable(error));

    PrinterPapers papers;
    error.clear();
    QVERIFY(!spooler.papers(QStringLiteral("Sheet"), &papers, &error));
    QVERIFY2(error.contains(QStringLiteral("接続できません")), qPrintable(error));

    error = spooler.check(QStringLiteral("Sheet"));
    QVERIFY2(error.contains(QStringLiteral("接続できません")), qPrintable(error));

    QTemporaryFile pdf;
    QVERIFY(pdf.open());
    pdf.write("%PDF-1.4\n");
    pdf.flush();
    error = spooler.submit(QStringLiteral("Sheet"), QStringLiteral("委任状"), pdf.fileName(),
                           CupsPrinting::jobOptions({}));
    QVERIFY2(error.contains(QStringLiteral("接続できません")), qPrintable(error));
}

QTEST_MAIN(tst_CupsPrinting)
#include "tst_cupsprinting.moc"
