// The sheet as the printer gets it: the window's own buttons print through the real print path
// (CupsPrinting over libcups) into a private CUPS scheduler whose "Generic PDF Printer" queue
// writes what a printer would receive. Every place is measured on that output with poppler and
// compared with places worked out here, from the letter's table and the PPD's printable area.

#include "layout/letterjob.h"
#include "layout/markjob.h"
#include "pagemeasure.h"
#include "printservice/cupsspooler.h"
#include "privatecups.h"
#include "windowfixture.h"

#include "system/background.h"

#include <QRadioButton>
#include <QSettings>

#include <csignal>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>

constexpr double kMmPerTwip = 25.4 / 1440, kTwipsPerTenthMm = 5.67, kToleranceMm = 0.1;

// From the upright A4 paper the printer feeds to the sheet the jobs draw on: a landscape sheet
// lies on it turned a quarter anticlockwise, its top along the paper's left edge. The PPD's
// printable area begins 18 pt from the paper's left and 36 pt from its top and bottom.
static QTransform toSheet(bool landscape)
{
    return landscape ? QTransform(0, 1, -1, 0, 842 * pagemeasure::kMmPerPoint, 0) : QTransform();
}
static QPointF corner(bool landscape)
{
    const double mm = pagemeasure::kMmPerPoint;
    return toSheet(landscape).mapRect(QRectF(18 * mm, 36 * mm, 559 * mm, 770 * mm)).topLeft();
}

// The real spooler, whose queue its administrator stops while the page is on its way: the page
// goes through a pipe, which is fed only once the queue is stopped.
struct StoppedWhileSending : CupsSpooler
{
    explicit StoppedWhileSending(PrivateCups *scheduler) : cups(scheduler) {}
    QString submit(const QString &destination, const QString &title, const QString &pdfFile,
                   const JobOptions &options, int *jobId) override
    {
        const QString pipe = pdfFile + ".pipe";
        ::mkfifo(QFile::encodeName(pipe), 0600);
        auto feed = std::async(std::launch::async, [&] {
            // Opens once the page is being sent, and gives up on a submit that never sends it.
            int fd = -1;
            for (int waited = 0; fd < 0 && waited < 20000; waited += 10) {
                fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
                if (fd < 0)
                    QThread::msleep(10);
            }
            if (fd < 0)
                return;
            cups->tool("cupsdisable", {"-r", "紙詰まり", destination});
            ::fcntl(fd, F_SETFL, 0); // the whole page, as fast as it is taken
            QFile out;
            out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
            out.write(readFile(pdfFile));
        });
        const QString answer = CupsSpooler::submit(destination, title, pipe, options, jobId);
        feed.wait();
        QFile::remove(pipe);
        return answer;
    }
    PrivateCups *cups;
};

// The real spooler, counting its reads of a queue's papers.
struct CountingPapers : CupsSpooler
{
    bool papers(const QString &destination, PrinterPapers *papers, QString *error) override
    {
        ++read;
        return CupsSpooler::papers(destination, papers, error);
    }
    int read = 0;
};

class TestEndToEnd : public QObject
{
    Q_OBJECT
    PrivateCups m_cups;
    QTemporaryDir m_work;
    std::unique_ptr<CupsPrinting> m_printing;
    std::unique_ptr<CupsPrinterSetup> m_setup;
    // Jobs and printer setup run on threads, as in the program.
    ThreadBackground m_background;
    std::unique_ptr<WindowFixture> m;

    // A window printing through this spooler to the queue, set up as the user does it, with
    // every entry and these offsets.
    void open(const QString &queue, bool landscape, const QString &sayuu, const QString &jyouge,
              CupsSpooler *spooler = new CupsSpooler)
    {
        m = std::make_unique<WindowFixture>();
        m_printing = std::make_unique<CupsPrinting>(std::unique_ptr<Spooler>(spooler), "");
        m_setup = std::make_unique<CupsPrinterSetup>(*m_printing, m_background);
        m_setup->setChoiceDialog(runSetupDialog(
            [queue, landscape](QDialog &dialog) {
                auto *printer = dialog.findChild<QComboBox *>("printerBox");
                printer->setCurrentIndex(queue.isEmpty() ? printer->count() - 1 // a PDF file
                                                         : printer->findData(queue));
                auto &setup = static_cast<PrinterSetupDialog &>(dialog); // its papers come later
                QSignalSpy loaded(&setup, &PrinterSetupDialog::loaded);
                if (setup.loading() && !loaded.wait(15000))
                    return false;
                auto *paper = dialog.findChild<QComboBox *>("paperBox");
                paper->setCurrentIndex(std::max(paper->findData("iso_a4_210x297mm"),
                                                paper->findData("iso_a4_210x297mm_borderless")));
                dialog.findChild<QRadioButton *>(landscape ? "landscapeButton" : "portraitButton")
                    ->click();
                return true;
            },
            &m_background));
        Ui::Form1 &ui = m->start("0", "0", m_printing.get(), &m_background, m_setup.get());
        m->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m->window.get()));
        QTest::mouseClick(ui.PriDiaBtn, Qt::LeftButton);
        m->fill();
        QTest::mouseClick(ui.Check10201, Qt::LeftButton, {},
                          QPoint(5, ui.Check10201->height() / 2));
        QTest::mouseClick(ui.OnOffBtn, Qt::LeftButton);
        ui.Sayuu_Xtxt->setText(sayuu);
        ui.Jyouge_Ytxt->setText(jyouge);
    }
    // Clicks and waits for the one job it made: its output, or empty with the reason in *failure.
    // Nothing may be told, nor anything in the window change.
    QString print(QAbstractButton *button, QString *failure, const QString &queue = "Sheet")
    {
        const QStringList before = m->state();
        const int earlier = m_cups.jobs(queue).size();
        QTest::mouseClick(button, Qt::LeftButton);
        m->waitForJob();
        if (queue.isEmpty())
            return m->desktop.shown.isEmpty() ? m->desktop.pickedFile : QString();
        const auto jobs = m_cups.jobs(queue);
        int id = 0;
        for (const auto &job : jobs)
            id = std::max(id, job.first);
        *failure = QStringLiteral("%1 jobs; told: ").arg(jobs.size() - earlier) +
                   m->desktop.shown.join(' ');
        if (!m->desktop.shown.isEmpty() || m->state() != before || jobs.size() != earlier + 1)
            return QString();
        return m_cups.output(queue, id, failure);
    }

private slots:
    void initTestCase()
    {
        const QString ppd = SORAFU_TEST_DIR "/ppd/";
        QVERIFY2(m_cups.start() && m_cups.addQueue("Sheet") &&
                     m_cups.addQueue("PostScript", "drv:///sample.drv/generic.ppd") &&
                     m_cups.addQueue("Raster", ppd + "raster.ppd") &&
                     m_cups.addQueue("Borderless", ppd + "borderless.ppd"),
                 qPrintable(m_cups.lastError));
        // The program's settings and its temporary files stay in this test's folder.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           m_work.filePath("config"));
        QVERIFY(QDir().mkpath(m_work.filePath("tmp")));
        qputenv("TMPDIR", QFile::encodeName(m_work.filePath("tmp")));
    }
    void cleanup()
    {
        m.reset();
        m_setup.reset();
        m_printing.reset();
        QCOMPARE(QDir(m_work.filePath("tmp")).entryList(QDir::Files), QStringList());
    }

    void letter_data()
    {
        rows(R"(
            A4 landscape, offsets -15, 62.5 | landscape | -15 | 62.5
            A4 portrait, offsets 0, 40 | portrait | 0 | 40)");
    }
    // Every entry lands at the printable corner plus its place, shifted by the offsets and moved
    // up by its size's correction; nothing is scaled and nothing else is printed. A portrait sheet
    // ends at 210 mm: what lies beyond falls off it.
    void letter()
    {
        QFETCH(QStringList, row);
        const bool landscape = row[0] == "landscape";
        open("Sheet", landscape, row[1], row[2]);
        QString error;
        const QString output = print(m->window->ui().InsatsuBtn, &error);
        QList<pagemeasure::Word> words = pagemeasure::words(output, &error);
        QVERIFY2(words.size() > 1, qPrintable(error));
        const QSizeF paper = words.takeFirst().mm.size(); // A4, whichever way poppler shows it
        QVERIFY(std::fabs(std::min(paper.width(), paper.height()) - 210) < 0.2);
        const QPointF shift(row[1].toDouble(), row[2].toDouble() - 40);
        double lowest = 1e9, highest = 0; // line height per point
        for (int i = 0; i < 24; ++i) {
            const LetterItem &item = kLetterItems[i];
            const double points = item.points;
            const QPointF expected =
                corner(landscape) + (shift * kTwipsPerTenthMm +
                                     QPointF(item.x, item.y - 1.5 * points * kTwipsPerTenthMm)) *
                                        kMmPerTwip;
            int found = -1;
            for (int w = 0; w < words.size(); ++w)
                if (kLetterTexts[i].startsWith(words[w].text))
                    found = w;
            QVERIFY2((found >= 0) == (expected.x() < (landscape ? 297 : 210)),
                     qPrintable(kLetterTexts[i]));
            if (found < 0)
                continue;
            const QRectF box = toSheet(landscape).mapRect(words.takeAt(found).mm);
            const QPointF off = box.topLeft() - expected;
            QVERIFY2(std::fabs(off.x()) <= kToleranceMm && std::fabs(off.y()) <= kToleranceMm,
                     qPrintable(kLetterTexts[i]));
            lowest = std::min(lowest, box.height() / points);
            highest = std::max(highest, box.height() / points);
        }
        QVERIFY2(highest / lowest < 1.01, qPrintable(QString::number(highest / lowest)));
        QVERIFY2(words.isEmpty(), qPrintable("printed as well: " + words.value(0).text));
    }

    // What the administrator does to the queue between two letters; papers read for the second.
    void paperList_data()
    {
        rows(R"(
            nothing | - | 0
            describes it anew | -D | 1)");
    }
    void paperList()
    {
        QFETCH(QStringList, row);
        const QString queue = QString(QTest::currentDataTag()).replace(' ', '_');
        QVERIFY(m_cups.addQueue(queue));
        auto *spooler = new CountingPapers;
        open(queue, true, "0", "0", spooler);
        int read = 0;
        for (const QString &step : {QString(), row[0]}) {
            QTest::qWait(1100); // the queue's clock counts whole seconds
            QVERIFY(step.isEmpty() || m_cups.tool("lpadmin", {"-p", queue, step, "Annex"}));
            read = spooler->read;
            QTest::mouseClick(m->window->ui().InsatsuBtn, Qt::LeftButton);
            m->waitForJob();
        }
        QCOMPARE(m->desktop.shown, QStringList());
        QCOMPARE(spooler->read - read, row[1].toInt());
    }

    // The queue (- : a PDF file); the printable corner on the landscape sheet in points.
    void marks_data()
    {
        rows(R"(
            PDF pass-through | Sheet | 36 | 18
            PostScript driver | PostScript | 12 | 12
            raster driver, 600 dpi | Raster | 12 | 12
            every paper borderless | Borderless | 0 | 0
            PDF file | - | 0 | 0)");
    }
    // A letter prints, its text as outlines on a PostScript printer; the marks' centres lie at the
    // printable corner plus their places within 0.05 mm, measured on what the printer gets at
    // 600 dpi. The page is as large as the sheet (A4 is not 842 x 595 pt).
    void marks()
    {
        QFETCH(QStringList, row);
        open(row[0], true, "40", "-77");
        m->desktop.pickedFile = m_work.filePath("sheet.pdf");
        QString error;
        const QString letter = print(m->window->ui().InsatsuBtn, &error, row[0]);
        QVERIFY2(!letter.isEmpty() && !readFile(letter).contains("/Type3"), qPrintable(error));
        const QString marks = print(m->window->ui().IchiBtn, &error, row[0]);
        QImage page = pagemeasure::image(marks, &error);
        if (page.height() > page.width()) // the landscape sheet as it lies on the upright paper
            page = page.transformed(QTransform().rotate(90));
        for (const float x : {kLeftMarkX, kRightMarkX}) {
            const QPointF place =
                QPointF(row[1].toDouble(), row[2].toDouble()) * pagemeasure::kMmPerPoint +
                (QPointF(40, -77) * kTwipsPerTenthMm + QPointF(x, kMarkY)) * kMmPerTwip;
            const QPointF off = pagemeasure::inkCentre(page, place) - place;
            QVERIFY2(std::hypot(off.x(), off.y()) < 0.05, qPrintable(error));
        }
        const QSizeF points =
            pagemeasure::words(marks, &error).value(0).mm.size() / pagemeasure::kMmPerPoint;
        QVERIFY(!row[0].isEmpty() ||
                std::hypot(points.width() - 841.8898, points.height() - 595.2756) < 0.01);
    }

    // What the administrator does to the queue, the button, what the one message says.
    void failure_data()
    {
        rows(R"(
            queue stopped | cupsdisable | InsatsuBtn | 停止しています,紙詰まり
            stopped while the page is sent | late | IchiBtn | 停止しています,紙詰まり
            queue refusing jobs | cupsreject | InsatsuBtn | 受け付けない,トナー交換中
            queue deleted | lpadmin | InsatsuBtn | 見つかりません,プリンタ設定
            scheduler not running | down | InsatsuBtn | 印刷サービス,接続できません
            scheduler stalled | stalled | InsatsuBtn | 応答しません)");
    }
    // Each fault is told with its reason; the window keeps running with everything as it was, and
    // neither a job nor a page is left anywhere.
    void failure()
    {
        QFETCH(QStringList, row);
        const QString queue = QString(QTest::currentDataTag()).replace(' ', '_');
        PrivateCups down; // a scheduler of its own to stop; CUPS_SERVER comes back when it goes
        PrivateCups &cups = row[0] == "down" ? down : m_cups;
        QVERIFY2((&cups == &m_cups || down.start()) && cups.addQueue(queue),
                 qPrintable(cups.lastError));
        open(queue, true, "10", "-15",
             row[0] == "late" ? new StoppedWhileSending(&cups) : new CupsSpooler);
        if (row[0] == "lpadmin")
            QVERIFY(cups.tool("lpadmin", {"-x", queue}));
        if (row[0].startsWith("cups"))
            QVERIFY(cups.tool(row[0], {"-r", row[2].section(',', 1), queue}));
        if (row[0] == "down")
            cups.stop();
        const QStringList before = m->state();
        const bool stalled = row[0] == "stalled";
        // Takes the connection, never answers.
        QVERIFY(!stalled || ::kill(pid_t(cups.pid()), SIGSTOP) == 0);
        auto resume = qScopeGuard([&] { stalled && ::kill(pid_t(cups.pid()), SIGCONT); });
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(m->window->findChild<QAbstractButton *>(row[1]), Qt::LeftButton);
        QVERIFY(!stalled || !m->window->ui().InsatsuBtn->isEnabled());
        QVERIFY2(m->waitForJob() < 100, "the window stood still");
        QVERIFY(clock.elapsed() < 8000);
        // A scheduler on a local socket is named "localhost".
        QCOMPARE(m->notToldOnce(row[2].split(',') << (row[0] == "down" ? ""
                                                      : stalled        ? "localhost"
                                                                       : "「" + queue + "」")),
                 QString());
        QVERIFY(m->window->isVisible() && m->desktop.quits == 0);
        QCOMPARE(m->state(), before);
        QVERIFY(!QFile::exists(cups.outputPath(queue)));
        resume.dismiss(); // our own questions below would wait on a stopped scheduler
        QVERIFY(!stalled || ::kill(pid_t(cups.pid()), SIGCONT) == 0);
        if (row[0] != "down")
            QCOMPARE(cups.jobs(queue, true).size(), 0);
        if (!stalled)
            return;
        // Once the service answers again, the same click prints.
        m->desktop.shown.clear();
        QTest::mouseClick(m->window->ui().InsatsuBtn, Qt::LeftButton);
        m->waitForJob();
        QCOMPARE(m->desktop.shown, QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(cups.outputPath(queue)), 20000);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
