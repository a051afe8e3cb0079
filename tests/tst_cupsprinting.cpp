// The way to the print queue: which destination, paper and orientation a job goes with, what
// printer setup keeps, and how a refusal on the way reaches the user.

#include "printing/printerchoice.h"
#include "windowfixture.h"

#include <QLabel>
#include <QRadioButton>
#include <QSettings>

static const QString kA4 = "iso_a4_210x297mm";

class TestCupsPrinting : public QObject
{
    Q_OBJECT
    std::unique_ptr<WindowFixture> m;
    FakeSpooler *m_spooler = nullptr; // owned by m_printing
    std::unique_ptr<CupsPrinting> m_printing;
    QString m_picked;
    QStringList m_suggested;

    QString settingsPath() const { return m->dir.filePath("settings.ini"); }
    void choose(bool pdf, const QString &destination, const QString &media, bool portrait)
    {
        QSettings settings(settingsPath(), QSettings::IniFormat);
        savePrinterChoice(settings, {pdf, destination, media, QPageLayout::Orientation(!portrait)});
    }
    // Printing over the fake queues and a window on it, the choice kept in this test's file.
    void start()
    {
        m->window.reset();
        m_printing = std::make_unique<CupsPrinting>(std::unique_ptr<Spooler>(m_spooler),
                                                    settingsPath(), nullptr);
        m_printing->setPdfFilePicker(
            [this](const QString &suggested) { return m_suggested << suggested, m_picked; });
        m->start("0\r\n", "40\r\n", m_printing.get());
        m->fill();
    }

private slots:
    void initTestCase() { qputenv("CUPS_SERVER", "/nonexistent/sorafu-test.sock"); }
    void init()
    {
        m = std::make_unique<WindowFixture>();
        m_printing.reset();
        m_spooler = new FakeSpooler;
        const auto paper = [](const char *media, const char *name, double w, double h) {
            return Paper{media, name, QSizeF(w, h), QMarginsF(5, 5, 5, 5)};
        };
        // Office, the default: A4 by default, and B5. Sheet: A3 by default, and A4.
        m_spooler->queues["Office"] = {
            {paper(kA4.toLatin1(), "A4", 210, 297), paper("jis_b5_182x257mm", "B5", 182, 257)},
            kA4};
        m_spooler->queues["Sheet"] = {
            {paper("iso_a3_297x420mm", "A3", 297, 420), paper(kA4.toLatin1(), "A4", 210, 297)},
            "iso_a3_297x420mm"};
        m_spooler->defaultQueue = "Office";
        m_picked.clear();
        m_suggested.clear();
    }

    void job_data()
    {
        QTest::addColumn<QStringList>("row"); // media chosen on Sheet (empty: setup never
        // confirmed), portrait, the fault, the button, then destination and orientation or what is
        // told
        QTest::newRow("first start: default queue, its paper")
            << QStringList{"", "", "", "InsatsuBtn", "Office 4"};
        QTest::newRow("first start: queue prints portrait")
            << QStringList{"", "portrait", "", "InsatsuBtn", "Office 3"};
        QTest::newRow("first start: no default queue")
            << QStringList{"", "", "no default", "InsatsuBtn", "既定のプリンタ"};
        QTest::newRow("first start: service down")
            << QStringList{"", "", "unreachable", "InsatsuBtn", "接続できません"};
        QTest::newRow("chosen: portrait")
            << QStringList{kA4, "portrait", "", "InsatsuBtn", "Sheet 3"};
        QTest::newRow("chosen: landscape, marks") << QStringList{kA4, "", "", "IchiBtn", "Sheet 4"};
        QTest::newRow("chosen paper gone") << QStringList{"na_legal_8.5x14in", "", "", "InsatsuBtn",
                                                          "用紙（LEGAL（8.5x14in））が使えません"};
        QTest::newRow("job refused")
            << QStringList{kA4, "", "refused", "InsatsuBtn", "受け付けませんでした"};
    }
    // Nothing is asked of the print service before a job; then one job with the options that keep
    // the page where it was drawn, or the reason told and every entry kept. No page file stays.
    void job()
    {
        QFETCH(QStringList, row);
        const QString expected = row[4];
        if (!row[0].isEmpty())
            choose(false, "Sheet", row[0], !row[1].isEmpty());
        else if (!row[1].isEmpty())
            m_spooler->queues["Office"].defaultOrientation = QPageLayout::Portrait;
        if (row[2] == "no default")
            m_spooler->defaultQueue.clear();
        m_spooler->unreachable =
            row[2] == "unreachable" ? "印刷サービス（CUPS）に接続できません。" : "";
        m_spooler->refuseJob = row[2] == "refused" ? "「Sheet」が印刷を受け付けませんでした。" : "";
        start();
        QCOMPARE(m_spooler->asked, 0);
        const QStringList before = m->state();
        m->window->findChild<QAbstractButton *>(row[3])->click();
        for (const QString &file : std::as_const(m_spooler->submitted))
            QVERIFY2(!QFile::exists(file), qPrintable(file));
        if (!expected.contains(' ')) {
            QCOMPARE(m_spooler->jobs.size(), 0);
            QCOMPARE(m->notToldOnce({expected}), QString());
            QCOMPARE(m->state(), before);
            return;
        }
        QCOMPARE(m->desktop.shown, QStringList());
        QCOMPARE(m_spooler->jobs.size(), 1);
        const FakeSpooler::Job &job = m_spooler->jobs[0];
        QCOMPARE(job.destination + job.title,
                 expected.left(expected.size() - 2) +
                     (row[3] == "IchiBtn" ? "位置合わせの○印" : "委任状"));
        QVERIFY(job.pdf.startsWith("%PDF-"));
        QCOMPARE(job.options,
                 "media=" + kA4 + " orientation-requested=" + expected.right(1) +
                     " print-scaling=none fit-to-page=false number-up=1 sides=one-sided copies=1");
        // Nothing is kept until setup is confirmed.
        QCOMPARE(QSettings(settingsPath(), QSettings::IniFormat).allKeys().isEmpty(),
                 row[0].isEmpty());
    }

    void pdfFile_data()
    {
        QTest::addColumn<QString>("picked");
        QTest::newRow("name typed without .pdf") << "委任状";
        QTest::newRow("file dialog cancelled") << "";
    }
    // The page goes into the file picked, replacing one of that name, and the print service is not
    // asked; a cancelled file dialog changes nothing and tells nothing.
    void pdfFile()
    {
        QFETCH(QString, picked);
        choose(true, "", kA4, false);
        const QString earlier = m->dir.filePath("委任状.pdf");
        QVERIFY(place(earlier, "an earlier letter"));
        m_picked = picked.isEmpty() ? "" : m->dir.filePath(picked);
        start();
        const QStringList before = m->state();
        m->window->ui().InsatsuBtn->click();
        QCOMPARE(m->desktop.shown, QStringList());
        QCOMPARE(m->state(), before);
        QVERIFY2(m_suggested.value(0).endsWith("/委任状.pdf"), qPrintable(m_suggested.value(0)));
        QCOMPARE(m_spooler->asked, 0);
        QCOMPARE(readFile(earlier).startsWith("%PDF-"), !picked.isEmpty());
        if (picked.isEmpty())
            return;
        // The next file is suggested in the folder used last.
        m->window->ui().IchiBtn->click();
        QCOMPARE(QFileInfo(m_suggested.value(1)).path(), m->dir.path());
    }

    void setup_data()
    {
        QTest::addColumn<QStringList>(
            "row"); // the situation; listed, the one selected as the dialog
        // opens in []; the notice; then printer, paper and orientation chosen; OK or Cancel
        const QString all = "[Office（既定のプリンタ）],Sheet,PDFファイル";
        QTest::newRow("queue, its other paper, portrait")
            << QStringList{"", all, "", "Sheet", "A4", "portrait", "OK"};
        QTest::newRow("default queue, B5")
            << QStringList{"", all, "", "Office（既定のプリンタ）", "B5", "", "OK"};
        QTest::newRow("PDF file") << QStringList{"", all, "", "PDFファイル", "A4", "", "OK"};
        QTest::newRow("cancelled") << QStringList{"", all, "", "Sheet", "A4", "portrait", ""};
        QTest::newRow("default not listed first") << QStringList{
            "reversed", "Sheet,[Office（既定のプリンタ）],PDFファイル", "", "Sheet", "A4", "",
            "OK"};
        QTest::newRow("service down: PDF files still offered") << QStringList{
            "unreachable", "[PDFファイル]", "接続できません", "PDFファイル", "A4", "", "OK"};
        QTest::newRow("chosen printer gone: the default offered") << QStringList{
            "gone",     all, "「Gone」が見つかりません", "Office（既定のプリンタ）", "A4",
            "portrait", "OK"};
    }
    // The dialog offers the queues and PDF files and says what is wrong; OK keeps printer, paper
    // and orientation for every later job, also after a restart; Cancel changes nothing at all.
    void setup()
    {
        QFETCH(QStringList, row);
        const bool portrait = !row[5].isEmpty(), accept = !row[6].isEmpty();
        if (row[0] == "gone")
            choose(false, "Gone", kA4, true);
        if (row[0] == "reversed")
            m_spooler->order = QStringList{"Sheet", "Office"};
        if (row[0] == "unreachable")
            m_spooler->unreachable = "印刷サービス（CUPS）に接続できません。";
        start();
        QStringList shown;
        m_printing->setChoiceDialog(runSetupDialog([&](QDialog &dialog) {
            auto *printers = dialog.findChild<QComboBox *>("printerBox");
            for (int i = 0; i < printers->count(); ++i)
                shown << QString(i == printers->currentIndex() ? "[%1]" : "%1")
                             .arg(printers->itemText(i));
            const QLabel *notice = dialog.findChild<QLabel *>("noticeLabel");
            shown << (notice->isVisibleTo(&dialog) ? notice->text() : "");
            shown << (dialog.findChild<QRadioButton *>("portraitButton")->isChecked() ? "portrait"
                                                                                      : "");
            printers->setCurrentIndex(printers->findText(row[3]));
            auto *papers = dialog.findChild<QComboBox *>("paperBox");
            papers->setCurrentIndex(papers->findText(row[4]));
            dialog.findChild<QRadioButton *>(portrait ? "portraitButton" : "landscapeButton")
                ->setChecked(true);
            return accept;
        }));
        m->window->ui().PriDiaBtn->click();
        QCOMPARE(shown.mid(0, shown.size() - 2).join(','), row[1]);
        QVERIFY2(shown.value(shown.size() - 2).contains(row[2]) &&
                     shown.value(shown.size() - 2).isEmpty() == row[2].isEmpty(),
                 qPrintable(shown.join(' ')));
        QCOMPARE(shown.last(), row[0] == "gone" ? "portrait" : "");

        // A restart: a new printing service over the same settings.
        m->window.reset();
        m_spooler = new FakeSpooler(*m_spooler);
        m_picked = m->dir.filePath("restart.pdf");
        start();
        m->window->ui().InsatsuBtn->click();
        QCOMPARE(m->desktop.shown, QStringList());
        QCOMPARE(QSettings(settingsPath(), QSettings::IniFormat).allKeys().isEmpty(), !accept);
        QCOMPARE(QFile::exists(m_picked), row[3] == "PDFファイル");
        QString job;
        for (const FakeSpooler::Job &each : std::as_const(m_spooler->jobs))
            job += each.destination + ' ' + each.options.section(' ', 0, 1);
        if (row[3] != "PDFファイル")
            QCOMPARE(job, (accept ? row[3].section("（", 0, 0) : "Office") +
                              " media=" + (row[4] == "B5" ? "jis_b5_182x257mm" : kA4) +
                              " orientation-requested=" + (portrait && accept ? "3" : "4"));
    }
};

QTEST_MAIN(TestCupsPrinting)
#include "tst_cupsprinting.moc"
