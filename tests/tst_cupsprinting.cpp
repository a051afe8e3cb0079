// The way to the print queue: which destination, paper and orientation a job goes with, what
// printer setup keeps, and how a refusal on the way reaches the user.

#include "printing/printerchoice.h"
#include "printing/printerreasons.h"
#include "windowfixture.h"

#include <QLabel>
#include <QRadioButton>
#include <QSettings>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

static const QString kA4 = "iso_a4_210x297mm";

class TestCupsPrinting : public QObject
{
    Q_OBJECT
    std::unique_ptr<WindowFixture> m;
    FakeSpooler *m_spooler = nullptr; // owned by m_printing
    std::unique_ptr<CupsPrinting> m_printing;
    std::unique_ptr<CupsPrinterSetup> m_setup;

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
        m_printing =
            std::make_unique<CupsPrinting>(std::unique_ptr<Spooler>(m_spooler), settingsPath());
        m_setup = std::make_unique<CupsPrinterSetup>(*m_printing, m->desktop.background);
        m->start("0\r\n", "40\r\n", m_printing.get(), nullptr, m_setup.get());
        m->fill();
    }

private slots:
    void initTestCase() { qputenv("CUPS_SERVER", "/nonexistent/sorafu-test.sock"); }
    void init()
    {
        m = std::make_unique<WindowFixture>();
        m_setup.reset();
        m_printing.reset();
        m_spooler = new FakeSpooler;
        const Paper a4{kA4, "A4", {210, 297}, {5, 5, 5, 5}};
        // Office, the default: A4 by default, and B5. Sheet: A3 by default, and A4.
        m_spooler->queues["Office"] = {{a4, {"jis_b5_182x257mm", "B5", {182, 257}, {}}}, kA4};
        m_spooler->queues["Annex"] = {{a4}, kA4}; // listed before the default
        m_spooler->queues["Sheet"] = {{{"iso_a3_297x420mm", "A3", {297, 420}, {}}, a4},
                                      "iso_a3_297x420mm"};
        m_spooler->defaultQueue = "Office";
    }

    // A queue's printer-state-reasons; what a message about it ends with; its own message.
    void reasons_data()
    {
        rows(R"(
            error | media-jam-error,paused | \nプリンタの状態：紙詰まり
            warning | toner-low-warning | \nプリンタの状態：トナーが残りわずか
            report | cover-open-report | \nプリンタの状態：カバーが開いている
            unknown: kept | fuser-over-temp-warning | \n（詳細：fuser-over-temp-warning）
            own message | media-jam-error | \nプリンタの状態：紙詰まり | paper jam)");
    }
    void reasons()
    {
        QFETCH(QStringList, row);
        QCOMPARE(printerStateText(row[0].split(','), row.value(2)), row[1]);
    }

    // The paper chosen on Sheet (- : setup never confirmed); portrait (chosen, or the queue's own);
    // the fault; the button; the job's destination and orientation, or what is told.
    void job_data()
    {
        rows(R"(
            first start: default queue, its paper | - | - | - | InsatsuBtn | Office 4
            first start: queue prints portrait | - | portrait | - | InsatsuBtn | Office 3
            first start: no default queue | - | - | no default | InsatsuBtn | 既定のプリンタ
            first start: service down | - | - | unreachable | InsatsuBtn | 接続できません
            chosen: portrait | iso_a4_210x297mm | portrait | - | InsatsuBtn | Sheet 3
            chosen: landscape, marks | iso_a4_210x297mm | - | - | IchiBtn | Sheet 4
            chosen paper gone, named as clerks know it | na_legal_8.5x14in | - | - | InsatsuBtn |
                用紙（リーガル）を使用できません
            chosen paper gone: a JIS B size | jis_b5_182x257mm | - | - | InsatsuBtn |
                用紙（B5（JIS））を使用できません
            chosen paper gone: A4 printed to its edges | iso_a4_210x297mm_borderless | - | - |
                InsatsuBtn | 用紙（A4（ふちなし））を使用できません
            chosen paper gone: a size without a name | custom_100x150mm_100x150mm | - | - |
                InsatsuBtn | 用紙（その他の用紙（100×150
            refused | iso_a4_210x297mm | - | refused | InsatsuBtn | 受け付けませんでした
            first start: A4 before the queue's Letter | - | - | letter | InsatsuBtn | Office 4
            first start: no printer at all | - | - | no printer | InsatsuBtn | 管理者)");
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
        if (row[2] == "letter") // the form is A4: Letter would take the marks off the sheet
            m_spooler->queues["Office"].defaultMedia = "na_letter_8.5x11in";
        if (row[2].startsWith("no "))
            m_spooler->defaultQueue.clear();
        if (row[2] == "no printer")
            m_spooler->queues.clear();
        if (row[2] == "unreachable")
            m_spooler->unreachable = "印刷サービス（CUPS）に接続できません。";
        if (row[2] == "refused")
            m_spooler->refuseJob = "「Sheet」が印刷を受け付けませんでした。";
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

    // The queue's config-change time and clock at the first and second print (0: not told);
    // whether the second used the papers read for the first (A4 is gone from those read anew).
    void paperList_data()
    {
        rows(R"(
            unchanged since read | 50 100 | 50 200 | remembered
            changed since | 50 100 | 150 200 | read again
            changed in the second it was read | 100 100 | 100 200 | read again
            change time not told | 0 100 | 0 200 | read again)");
    }
    void paperList()
    {
        QFETCH(QStringList, row);
        choose(false, "Sheet", kA4, false);
        start();
        for (int i = 0; i < 2; ++i) {
            const QStringList facts = row[i].split(' ');
            m_spooler->configChanged = facts[0].toLongLong();
            m_spooler->serviceNow = facts[1].toLongLong();
            m->window->ui().InsatsuBtn->click();
            m_spooler->queues["Sheet"].papers.removeLast();
        }
        const bool remembered = row[2] == "remembered";
        QCOMPARE(m_spooler->jobs.size(), remembered ? 2 : 1);
        QCOMPARE(m->notToldOnce({"（A4）を使用できません"}).isEmpty(), !remembered);
    }

    // The file picked; the first delegator's name; the file name offered.
    void pdfFile_data()
    {
        rows(R"(
            name typed without .pdf | 委任状 | 株式会社ソラフ |
                委任状_株式会社ソラフ_令和7年11月30日.pdf
            file dialog cancelled | - | - | 委任状_令和7年11月30日.pdf
            disk full: told, the earlier file kept | full/委任状 | - | -
            another's file in a shared folder: the cause told | shared/委任状 | - | -
            slash | 委任状 | %20A/B商事%20 | 委任状_A_B商事_令和7年11月30日.pdf
            an owner-only file replaced | own/委任状 | - | 委任状_令和7年11月30日.pdf)");
    }
    // The page goes into the file picked, replacing one of that name, and the print service is not
    // asked; a cancelled file dialog changes nothing and tells nothing.
    void pdfFile()
    {
        QFETCH(QStringList, row);
        const QString picked = row[0];
        choose(true, "", kA4, false);
        // A file system of its own, filled up once the earlier file is on it.
        const bool full = picked.startsWith("full/"), shared = picked.startsWith("shared/");
        const QString folder = m->dir.filePath(picked.section('/', 0, -2));
        const mode_t mask = ::umask(027);
        const auto unmask = qScopeGuard([mask] { ::umask(mask); });
        if (shared && geteuid() != 0)
            QSKIP("only root can act as another user here");
        // Like /tmp: anyone adds files, but only their owner replaces them.
        QVERIFY(!shared || (QDir().mkpath(folder) && ::chmod(qPrintable(folder), 01777) == 0 &&
                            ::chmod(qPrintable(m->dir.path()), 0755) == 0));
        if (full && !(QDir().mkpath(folder) &&
                      ::mount("none", qPrintable(folder), "tmpfs", 0, "size=64k") == 0))
            QSKIP("no tmpfs to be mounted here");
        const auto unmount =
            qScopeGuard([&] { full && ::umount2(qPrintable(folder), MNT_DETACH); });
        const QString earlier = QDir(folder).filePath("委任状.pdf");
        QVERIFY(QDir().mkpath(folder) && place(earlier, "an earlier letter"));
        QVERIFY(!shared || ::chmod(qPrintable(earlier), 0666) == 0);
        QVERIFY(!picked.startsWith("own/") || ::chmod(qPrintable(earlier), 0600) == 0);
        QFile filler(folder + "/filler"); // two pages left free: the copy starts, and stops short
        if (full && filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            while (filler.write(QByteArray(4096, 'x')) > 0) {
            }
            filler.resize(filler.size() - 8192);
        }
        m->desktop.pickedFile = picked.isEmpty() ? "" : m->dir.filePath(picked);
        start();
        m->field("delegator1_name")->setText(row[1]);
        const QStringList before = m->state();
        QVERIFY(!shared || setresuid(65534, 65534, 0) == 0); // root replaces anything
        m->window->ui().InsatsuBtn->click();
        QVERIFY(!shared || setresuid(0, 0, 0) == 0);
        if (full || shared) {
            const QString cause = shared ? "許可されていません" : "";
            QCOMPARE(m->notToldOnce({earlier, "保存できません", cause}), QString());
            QCOMPARE(readFile(earlier), "an earlier letter");
            return;
        }
        QCOMPARE(m->desktop.shown, QStringList());
        QCOMPARE(m->state(), before);
        QCOMPARE(QFileInfo(m->desktop.suggestedFiles.value(0)).fileName(), row[2]);
        QCOMPARE(m_spooler->asked, 0);
        QCOMPARE(readFile(earlier).startsWith("%PDF-"), !picked.isEmpty());
        if (picked.isEmpty())
            return;
        // As the umask has it, whatever the file replaced.
        QCOMPARE((QFileInfo(earlier).permissions() & 0x0777).toInt(), 0x0640);
        // The next file is suggested in the folder used last; the marks keep their own name.
        m->window->ui().IchiBtn->click();
        const QString marks = QDir(folder).filePath("位置合わせの○印.pdf");
        QCOMPARE(m->desktop.suggestedFiles.value(1), marks);
    }

    // The situation; the printers listed, the one selected as the dialog opens in []; the notice;
    // then the printer, paper and orientation chosen; OK or Cancel.
    void setup_data()
    {
        rows(R"(
            A4, portrait | - | Annex,[Office（既定のプリンタ）],Sheet,PDFファイル |
                - | Sheet | A4 | portrait | OK
            default, B5 | - | Annex,[Office（既定のプリンタ）],Sheet,PDFファイル |
                - | Office（既定のプリンタ） | B5 | - | OK
            PDF file | - | Annex,[Office（既定のプリンタ）],Sheet,PDFファイル |
                - | PDFファイル | A4 | - | OK
            cancelled | - | Annex,[Office（既定のプリンタ）],Sheet,PDFファイル |
                - | Sheet | A4 | portrait | -
            service down: PDF files offered, none preselected | unreachable | PDFファイル |
                接続できません | PDFファイル | A4 | - | OK
            not saved | unsaved | Annex,[Office（既定のプリンタ）],Sheet,PDFファイル |
                - | Sheet | A4 | - | OK
            printer gone | gone | Annex,Office（既定のプリンタ）,Sheet,PDFファイル |
                「Gone」が見つかりません | Office（既定のプリンタ） | A4 |
                portrait | OK
            none: PDF preselected | none | [PDFファイル] | - | PDFファイル | A4 | - | OK
            printers by their description, jobs to the queue | described |
                Annex,[事務室（既定のプリンタ）],Sheet,PDFファイル | - |
                事務室（既定のプリンタ） | B5 | - | OK)");
    }
    // The dialog offers the queues and PDF files and says what is wrong; OK keeps printer, paper
    // and orientation for every later job, also after a restart; Cancel changes nothing at all.
    void setup()
    {
        QFETCH(QStringList, row);
        const bool portrait = !row[5].isEmpty(), accept = !row[6].isEmpty();
        if (row[0] == "gone")
            choose(false, "Gone", kA4, true);
        QVERIFY(row[0] != "unsaved" || QDir().mkpath(settingsPath()));
        if (row[0] == "unreachable")
            m_spooler->unreachable = "印刷サービス（CUPS）に接続できません。";
        if (row[0] == "none")
            m_spooler->queues.clear();
        if (row[0] == "described")
            m_spooler->descriptions["Office"] = "事務室";
        m_spooler->devices["Office"] = "usb://Office";
        start();
        QStringList shown;
        m_setup->setChoiceDialog(runSetupDialog([&](QDialog &dialog) {
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
        const auto chosen = m_printing->chosenIdentity();
        QVERIFY(row[0] != "described" ||
                m_printing->chosenName() + chosen->deviceUri == "事務室usb://Office");
        QCOMPARE(shown.mid(0, shown.size() - 2).join(','), row[1]);
        QVERIFY2(shown.value(shown.size() - 2).contains(row[2]) &&
                     shown.value(shown.size() - 2).isEmpty() == row[2].isEmpty(),
                 qPrintable(shown.join(' ')));
        QCOMPARE(shown.last(), row[0] == "gone" ? "portrait" : "");

        if (row[0] == "unsaved") {
            QCOMPARE(m->notToldOnce({settingsPath(), "保存できません"}), QString());
            m->window->ui().InsatsuBtn->click();
            QCOMPARE(m_spooler->jobs.value(0).destination, "Sheet");
            return;
        }
        // A restart: a new printing service over the same settings.
        m->window.reset();
        m_spooler = new FakeSpooler(*m_spooler);
        m->desktop.pickedFile = m->dir.filePath("restart.pdf");
        start();
        m->window->ui().InsatsuBtn->click();
        QCOMPARE(m->desktop.shown, QStringList());
        QCOMPARE(QSettings(settingsPath(), QSettings::IniFormat).allKeys().isEmpty(), !accept);
        QCOMPARE(QFile::exists(m->desktop.pickedFile), row[3] == "PDFファイル");
        QString job;
        for (const FakeSpooler::Job &each : std::as_const(m_spooler->jobs))
            job += each.destination + ' ' + each.options.section(' ', 0, 1);
        const QString printer = accept ? row[3].section("（", 0, 0) : "Office";
        if (row[3] != "PDFファイル")
            QVERIFY(m->window->findChild<QLabel *>("noticeLabel")->text().startsWith(printer));
        if (row[3] != "PDFファイル")
            QCOMPARE(job, m_spooler->descriptions.key(printer, printer) +
                              " media=" + (row[4] == "B5" ? "jis_b5_182x257mm" : kA4) +
                              " orientation-requested=" + (portrait && accept ? "3" : "4"));
    }
};

QTEST_MAIN(TestCupsPrinting)
#include "tst_cupsprinting.moc"
