// The sheet as the printer gets it: the window's own buttons print through the real print path
// (CupsPrinting over libcups) into a private CUPS scheduler whose "Generic PDF Printer" queue
// writes what a printer would receive. Every place is measured on that output with poppler and
// compared with places worked out here, from the form's design and the PPD's printable area.

#include "pagemeasure.h"
#include "printing/cupsprinting.h"
#include "printing/cupsspooler.h"
#include "printwindow.h"
#include "privatecups.h"
#include "system/background.h"

#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QRadioButton>
#include <QSettings>
#include <QTransform>
#include <QtTest>

#include <cstdio>
#include <functional>
#include <sys/wait.h>
#include <utility>

namespace {

// What the pre-printed sheet allows.
constexpr double kToleranceMm = 0.1;
constexpr double kMmPerTwip = 25.4 / 1440.0;
constexpr double kTwipsPerTenthMm = 5.67;
const QString kA4 = QStringLiteral("iso_a4_210x297mm");

// Each item's size and design place in twips, in the order of letterFields().
struct Design
{
    int points;
    double x;
    double y;
};
const QList<Design> kDesign = {
    {14, 3742.2, 2494.8},      {14, 11719.891, 2993.76},   {14, 11907, 4082.4001},
    {14, 12842.55, 4082.4001}, {14, 13778.101, 4082.4001}, {14, 2517.48, 5085.99},
    {8, 3572.1, 6350.4},       {12, 3572.1, 6804},         {8, 3572.1, 7144.2},
    {10, 4819.5, 7144.2},      {10, 3572.1, 7796.25},      {10, 3572.1, 8108.1},
    {8, 10432.8, 5080.3203},   {12, 10432.8, 5533.92},     {8, 10432.8, 5874.12},
    {10, 11680.2, 5874.12},    {10, 10432.8, 6526.17},     {10, 10432.8, 6838.02},
    {8, 10432.8, 7824.6},      {12, 10432.8, 8278.2},      {8, 10432.8, 8618.4},
    {10, 11680.2, 8618.4},     {10, 10432.8, 9270.45},     {10, 10432.8, 9582.3}};
// The centres of the two alignment marks, and their radius.
const QList<QPointF> kMarkCentres = {{1615.9501, 1088.64}, {15756.931, 1088.64}};
constexpr double kMarkRadiusTwips = 17.01;

// A4 of the Generic PDF Printer's PPD: 595 x 842 pt, printable from 18 to 577 pt across and
// 36 to 806 pt down the upright paper. Its LandscapeOrientation is Plus90: a landscape page is
// turned a quarter anticlockwise onto the paper, its top along the paper's left edge.
const QSizeF kPaperMm = QSizeF(595, 842) * pagemeasure::kMmPerPoint;
const QRectF kPrintableMm(QPointF(18, 36) * pagemeasure::kMmPerPoint,
                          QPointF(577, 806) * pagemeasure::kMmPerPoint);

// From the sheet the jobs draw on (turned as chosen) to the upright paper the printer feeds.
QTransform sheetToPaper(bool landscape)
{
    return landscape ? QTransform(0, -1, 1, 0, 0, kPaperMm.height()) : QTransform();
}

QString mm(const QPointF &p)
{
    return QStringLiteral("(%1, %2)").arg(p.x(), 0, 'f', 3).arg(p.y(), 0, 'f', 3);
}

// The real spooler, whose queue its administrator stops once the program has checked it, while
// the page is being drawn.
struct StoppedAfterCheck : CupsSpooler
{
    std::function<void(const QString &)> stop;
    QString check(const QString &destination) override
    {
        const QString answer = CupsSpooler::check(destination);
        if (stop)
            std::exchange(stop, nullptr)(destination);
        return answer;
    }
};

} // namespace

class tst_EndToEnd : public QObject
{
    Q_OBJECT

public:
    static void initMain();

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void letter_data();
    void letter();
    void marks_data();
    void marks();
    void failure_data();
    void failure();
    void schedulerEndsWithItsTest();

private:
    // A window whose printing goes through this spooler.
    void openWindow(std::unique_ptr<CupsSpooler> spooler);
    // Printer setup as the user does it: the dialog, with this queue, A4 and the orientation.
    void setUpPrinter(const QString &queue, bool landscape);
    // The entries (all of the letter, or none), the delegated matter ticked, and the offsets in
    // the opened panel.
    void fillIn(bool letter, const QString &sayuu, const QString &jyouge);
    // Clicks the button and waits for the one job it made: its output, or empty with the reason
    // in *failure. Nothing may be told, nor anything in the window change.
    QString print(QAbstractButton *button, const QString &queue, QString *failure);
    QList<int> jobIds(const PrivateCups &cups, const QString &queue) const;
    // Lets the window run until its job has ended; the longest it went without an event.
    qint64 waitForJob();
    // The pages the program drew and has not cleaned up.
    QStringList temporaryFiles() const;

    PrivateCups m_cups;
    QTemporaryDir m_work;
    QString m_temporary;
    FakeDesktop m_desktop;
    std::unique_ptr<CupsPrinting> m_printing;
    std::unique_ptr<MainWindow> m_window;
    // Jobs and printer setup run on threads, as in the program.
    ThreadBackground m_background;
    int m_run = 0;
};

// With SORAFU_ABANDON_SCHEDULER set this program starts a scheduler, tells its folder and pid,
// and dies without any destructor, as a crashed or killed test does.
void tst_EndToEnd::initMain()
{
    if (!qEnvironmentVariableIsSet("SORAFU_ABANDON_SCHEDULER"))
        return;
    int argc = 1;
    char name[] = "abandon";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    auto *cups = new PrivateCups;
    if (!cups->start())
        ::_exit(2);
    std::printf("%s\n%lld\n", qPrintable(cups->path()), cups->schedulerPid());
    std::fflush(stdout);
    ::kill(getpid(), SIGKILL);
}

void tst_EndToEnd::initTestCase()
{
    QVERIFY(m_work.isValid());
    QVERIFY2(m_cups.start(), qPrintable(m_cups.lastError()));
    QVERIFY2(m_cups.addQueue(QStringLiteral("Sheet")), qPrintable(m_cups.lastError()));

    // The program's settings and its temporary files stay in this test's folder.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_work.filePath("config"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_work.filePath("config"));
    m_temporary = m_work.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(m_temporary));
    qputenv("TMPDIR", QFile::encodeName(m_temporary));
}

void tst_EndToEnd::init()
{
    openWindow(std::make_unique<CupsSpooler>());
}

void tst_EndToEnd::openWindow(std::unique_ptr<CupsSpooler> spooler)
{
    m_window.reset();
    const QString offsets = m_work.filePath(QStringLiteral("offsets%1").arg(++m_run));
    QVERIFY(QDir().mkpath(offsets));
    m_desktop = {};
    // As the desktop makes it, with the settings of the user (here the test's folder).
    m_printing = std::make_unique<CupsPrinting>(std::move(spooler), QString(), nullptr);
    Services services = m_desktop.services(offsets);
    services.printing = m_printing.get();
    services.background = &m_background;
    m_window = std::make_unique<MainWindow>(services);
    m_window->load();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_EndToEnd::cleanup()
{
    m_window.reset();
    m_printing.reset();
    QVERIFY2(temporaryFiles().isEmpty(), qPrintable(temporaryFiles().join(' ')));
    const QList<PrivateCups::Job> left = m_cups.jobs(true);
    // Gone before the next test, which would otherwise fail for it too.
    for (const PrivateCups::Job &job : left)
        cupsCancelJob2(CUPS_HTTP_DEFAULT, job.queue.toUtf8().constData(), job.id, 1);
    QVERIFY2(left.isEmpty(),
             qPrintable(QStringLiteral("%1 jobs left in the queues").arg(left.size())));
}

void tst_EndToEnd::setUpPrinter(const QString &queue, bool landscape)
{
    m_printing->setChoiceDialog(runSetupDialog(
        [queue, landscape](QDialog &dialog) {
            auto *printer = dialog.findChild<QComboBox *>(QStringLiteral("printerBox"));
            printer->setCurrentIndex(printer->findData(queue, Qt::UserRole));
            // Its papers arrive a moment later.
            auto &setup = static_cast<PrinterSetupDialog &>(dialog);
            QSignalSpy loaded(&setup, &PrinterSetupDialog::loaded);
            if (setup.loading() && !loaded.wait(15000))
                return false;
            auto *paper = dialog.findChild<QComboBox *>(QStringLiteral("paperBox"));
            paper->setCurrentIndex(paper->findData(kA4));
            dialog.findChild<QRadioButton *>(landscape ? "landscapeButton" : "portraitButton")
                ->click();
            return true;
        },
        &m_background));
    QTest::mouseClick(m_window->ui().PriDiaBtn, Qt::LeftButton);
    // Kept where the program keeps it, which this test pointed at its own folder.
    QSettings kept(m_work.filePath("config/sorafu/sorafu.conf"), QSettings::IniFormat);
    QCOMPARE(kept.value("printer/destination").toString(), queue);
    QCOMPARE(kept.value("printer/media").toString(), kA4);
    QCOMPARE(kept.value("printer/orientation").toString(), landscape ? "landscape" : "portrait");
}

void tst_EndToEnd::fillIn(bool letter, const QString &sayuu, const QString &jyouge)
{
    Ui::Form1 &ui = m_window->ui();
    if (letter) {
        fillLetter(*m_window, letterTexts());
        QTest::mouseClick(ui.Check10201, Qt::LeftButton, {},
                          QPoint(5, ui.Check10201->height() / 2));
        QVERIFY(ui.Combo10201->isVisible());
    }
    QTest::mouseClick(ui.OnOffBtn, Qt::LeftButton);
    QVERIFY(ui.CyouseiFrm->isVisible());
    ui.Sayuu_Xtxt->setText(sayuu);
    ui.Jyouge_Ytxt->setText(jyouge);
}

QList<int> tst_EndToEnd::jobIds(const PrivateCups &cups, const QString &queue) const
{
    QList<int> ids;
    for (const PrivateCups::Job &job : cups.jobs())
        if (job.queue == queue)
            ids << job.id;
    return ids;
}

qint64 tst_EndToEnd::waitForJob()
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    while (m_window->printing() && clock.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    }
    QCoreApplication::processEvents();
    return longest;
}

QStringList tst_EndToEnd::temporaryFiles() const
{
    return QDir(m_temporary).entryList({"sorafu-*"}, QDir::Files);
}

QString tst_EndToEnd::print(QAbstractButton *button, const QString &queue, QString *failure)
{
    const QStringList before = windowState(*m_window);
    const qsizetype told = m_desktop.messages.shown.size();
    const QList<int> earlier = jobIds(m_cups, queue);
    QFile::remove(m_cups.outputPath(queue));
    QTest::mouseClick(button, Qt::LeftButton);
    waitForJob();
    QList<int> made = jobIds(m_cups, queue);
    for (int id : earlier)
        made.removeAll(id);
    if (m_desktop.messages.shown.size() != told)
        *failure = "told: " + m_desktop.messages.shown.last().text;
    else if (windowState(*m_window) != before)
        *failure = QStringLiteral("the window changed");
    else if (made.size() != 1)
        *failure = QStringLiteral("%1 jobs from one click").arg(made.size());
    else if (const QString output = m_cups.output(queue, made.first()); !output.isEmpty())
        return output;
    else
        *failure = m_cups.lastError();
    return QString();
}

void tst_EndToEnd::letter_data()
{
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");

    QTest::newRow("A4 landscape, offsets 0, 40") << true << QString("0") << QString("40");
    QTest::newRow("A4 landscape, offsets -15, 62.5") << true << QString("-15") << QString("62.5");
    QTest::newRow("A4 portrait, offsets 0, 40") << false << QString("0") << QString("40");
}

// Every entry lands at the printable corner plus its place, shifted by the offsets and moved up
// by its size's correction; nothing is scaled and nothing else is printed.
void tst_EndToEnd::letter()
{
    QFETCH(bool, landscape);
    QFETCH(QString, sayuu);
    QFETCH(QString, jyouge);

    setUpPrinter(QStringLiteral("Sheet"), landscape);
    fillIn(true, sayuu, jyouge);
    if (QTest::currentTestFailed())
        return;
    QString error;
    const QString output = print(m_window->ui().InsatsuBtn, QStringLiteral("Sheet"), &error);
    QVERIFY2(!output.isEmpty(), qPrintable(error));
    const pagemeasure::PageInfo info = pagemeasure::pageInfo(output, &error);
    QCOMPARE(info.pages, 1);
    // The paper as the printer feeds it: A4 upright.
    QVERIFY(std::fabs(info.sizeMm.width() - kPaperMm.width()) < 0.01);
    QVERIFY(std::fabs(info.sizeMm.height() - kPaperMm.height()) < 0.01);
    QList<pagemeasure::Word> words = pagemeasure::words(output, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    const QTransform toSheet = sheetToPaper(landscape).inverted();
    const QPointF corner = toSheet.mapRect(kPrintableMm).topLeft();
    const QRectF sheet = toSheet.mapRect(QRectF(QPointF(), kPaperMm));
    const QPointF shift(sayuu.toDouble() * kTwipsPerTenthMm,
                        (jyouge.toDouble() - 40) * kTwipsPerTenthMm);
    double worst = 0;
    int measured = 0;
    double lowestPerPoint = 1e9, highestPerPoint = 0;
    for (int i = 0; i < kDesign.size(); ++i) {
        const Design &item = kDesign[i];
        const QString &text = letterFields()[i].text;
        const QPointF expected =
            corner +
            (shift + QPointF(item.x, item.y - 1.5 * item.points * kTwipsPerTenthMm)) * kMmPerTwip;
        // The word poppler found nearest: the whole text, or what of it is on the sheet.
        int best = -1;
        const auto distance = [&](int w) {
            return QLineF(toSheet.mapRect(words[w].mm).topLeft(), expected).length();
        };
        for (int w = 0; w < words.size(); ++w)
            if (text.startsWith(words[w].text) && (best < 0 || distance(w) < distance(best)))
                best = w;
        if (expected.x() >= sheet.right()) {
            QVERIFY2(best < 0, qPrintable(text + " is printed beyond the sheet"));
            continue;
        }
        QVERIFY2(best >= 0, qPrintable(text + " is not on the page"));
        const QRectF box = toSheet.mapRect(words.takeAt(best).mm);
        const QPointF off = box.topLeft() - expected;
        worst = std::max({worst, std::fabs(off.x()), std::fabs(off.y())});
        QVERIFY2(std::fabs(off.x()) <= kToleranceMm && std::fabs(off.y()) <= kToleranceMm,
                 qPrintable(QStringLiteral("%1 starts at %2 mm on the sheet, expected %3")
                                .arg(text, mm(box.topLeft()), mm(expected))));
        // The line's height goes with the size: no scaling on the way.
        lowestPerPoint = std::min(lowestPerPoint, box.height() / item.points);
        highestPerPoint = std::max(highestPerPoint, box.height() / item.points);
        ++measured;
    }
    // A portrait sheet ends at 210 mm: the date, the delegated matter and the representatives
    // of delegators 2 and 3 (206 mm and beyond) fall off it.
    QCOMPARE(measured, landscape ? 24 : 18);
    QVERIFY2(highestPerPoint / lowestPerPoint < 1.01,
             qPrintable(QStringLiteral("line heights of %1 to %2 mm a point")
                            .arg(lowestPerPoint)
                            .arg(highestPerPoint)));
    QVERIFY2(words.isEmpty(), qPrintable("printed as well: " + words.value(0).text));
    qInfo("%d items, farthest %.4f mm from their places", measured, worst);
}

void tst_EndToEnd::marks_data()
{
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");

    QTest::newRow("offsets 0, 0") << QString("0") << QString("0");
    QTest::newRow("offsets 0, 40") << QString("0") << QString("40");
    QTest::newRow("offsets 10, -15") << QString("10") << QString("-15");
}

// Two rings of radius 0.3 mm at the printable corner plus their places, the offsets added as
// they are (no bias), 249.4 mm apart whatever the offsets, and nothing else.
void tst_EndToEnd::marks()
{
    QFETCH(QString, sayuu);
    QFETCH(QString, jyouge);

    setUpPrinter(QStringLiteral("Sheet"), true);
    fillIn(false, sayuu, jyouge);
    if (QTest::currentTestFailed())
        return;
    QString error;
    const QString output = print(m_window->ui().IchiBtn, QStringLiteral("Sheet"), &error);
    QVERIFY2(!output.isEmpty(), qPrintable(error));
    QCOMPARE(pagemeasure::pageInfo(output, &error).pages, 1);
    const QTransform toPaper = sheetToPaper(true);
    const QPointF corner = toPaper.inverted().mapRect(kPrintableMm).topLeft();
    const QPointF shift(sayuu.toDouble() * kTwipsPerTenthMm, jyouge.toDouble() * kTwipsPerTenthMm);
    QList<QPointF> expected;
    QList<QPointF> found;
    for (const QPointF &centre : kMarkCentres) {
        expected << toPaper.map(corner + (centre + shift) * kMmPerTwip);
        const pagemeasure::Ring ring = pagemeasure::ring(output, expected.last(), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        found << ring.centreMm;
        QVERIFY2(QLineF(ring.centreMm, expected.last()).length() <= kToleranceMm,
                 qPrintable(QStringLiteral("mark at %1 mm on the paper, expected %2")
                                .arg(mm(ring.centreMm), mm(expected.last()))));
        QVERIFY2(std::fabs(ring.radiusMm - kMarkRadiusTwips * kMmPerTwip) < 0.03,
                 qPrintable(QString::number(ring.radiusMm)));
    }
    QCOMPARE(pagemeasure::inkElsewhere(output, expected, 1.5, &error), 0);
    const QPointF apart = toPaper.inverted().map(found[1]) - toPaper.inverted().map(found[0]);
    QVERIFY2(std::fabs(apart.x() - 249.4) <= 0.05 && std::fabs(apart.y()) <= 0.05,
             qPrintable(mm(apart)));
    qInfo("marks %.4f and %.4f mm from their places, %.4f mm apart",
          QLineF(found[0], expected[0]).length(), QLineF(found[1], expected[1]).length(),
          apart.x());
}

void tst_EndToEnd::failure_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("told"); // all of it in the message

    const auto row = [](const char *name, const char *fault, const char *button,
                        const QStringList &told) {
        QTest::newRow(name) << QString(fault) << QString(button) << told;
    };
    row("queue stopped", "stopped", "InsatsuBtn", {"停止しています", "紙詰まり"});
    row("queue stopped while the page is drawn", "stopped late", "InsatsuBtn",
        {"停止しています", "紙詰まり"});
    row("queue stopped while the marks are drawn", "stopped late", "IchiBtn",
        {"停止しています", "紙詰まり"});
    row("queue refusing jobs", "rejecting", "InsatsuBtn", {"受け付けない", "トナー交換中"});
    row("queue deleted after setup", "deleted", "InsatsuBtn", {"見つかりません", "プリンタ設定"});
    row("scheduler not running", "down", "InsatsuBtn", {"印刷サービス", "接続できません"});
    row("scheduler stalled", "stalled", "InsatsuBtn", {"応答しません"});
    row("scheduler stalled: printer setup", "stalled", "PriDiaBtn", {"応答しません"});
}

// Each fault is told with its reason; the window keeps running with everything as it was, and
// neither a job nor a page is left anywhere. Once the fault is gone the same click prints.
void tst_EndToEnd::failure()
{
    QFETCH(QString, fault);
    QFETCH(QString, button);
    QFETCH(QStringList, told);

    if (fault == "stopped late") {
        auto spooler = std::make_unique<StoppedAfterCheck>();
        spooler->stop = [this](const QString &queue) {
            QVERIFY2(m_cups.disableQueue(queue, "紙詰まり"), qPrintable(m_cups.lastError()));
        };
        openWindow(std::move(spooler));
    }
    // A scheduler of its own to stop; CUPS_SERVER returns to m_cups when it goes.
    PrivateCups down;
    PrivateCups &cups = fault == "down" ? down : m_cups;
    if (fault == "down")
        QVERIFY2(down.start(), qPrintable(down.lastError()));
    const QString queue = QString(QTest::currentDataTag()).replace(' ', '_');
    QVERIFY2(cups.addQueue(queue), qPrintable(cups.lastError()));
    setUpPrinter(queue, true);
    fillIn(true, QStringLiteral("10"), QStringLiteral("-15"));
    if (QTest::currentTestFailed())
        return;
    // Control files of finished jobs are written when the scheduler gets round to it, so only
    // files of jobs newer than these count.
    int lastJob = 0;
    for (const PrivateCups::Job &job : cups.jobs())
        lastJob = std::max(lastJob, job.id);

    if (fault == "stopped")
        QVERIFY2(cups.disableQueue(queue, "紙詰まり"), qPrintable(cups.lastError()));
    else if (fault == "rejecting")
        QVERIFY2(cups.rejectQueue(queue, "トナー交換中"), qPrintable(cups.lastError()));
    else if (fault == "deleted")
        QVERIFY2(cups.deleteQueue(queue), qPrintable(cups.lastError()));
    else if (fault == "down")
        cups.stopScheduler();
    const QStringList before = windowState(*m_window);
    // Takes the connection, never answers.
    if (fault == "stalled")
        QCOMPARE(::kill(pid_t(cups.schedulerPid()), SIGSTOP), 0);
    auto resume = qScopeGuard([&] { ::kill(pid_t(cups.schedulerPid()), SIGCONT); });

    auto *clicked = m_window->findChild<QAbstractButton *>(button);
    const bool setup = button == "PriDiaBtn";
    QElapsedTimer clock;
    clock.start();
    if (setup) {
        // Opens at once, keeps the queue chosen before, and OK changes nothing.
        QString wrong;
        m_printing->setChoiceDialog([&](Spooler &spooler,
                                        const std::optional<PrinterChoice> &current,
                                        QWidget *parent) -> std::optional<PrinterChoice> {
            PrinterSetupDialog dialog(spooler, m_background, current, parent);
            if (clock.elapsed() > 100 ||
                !dialog.findChild<QLabel *>("loadingLabel")->isVisibleTo(&dialog))
                wrong = QStringLiteral("not open at once, or not loading");
            QSignalSpy loaded(&dialog, &PrinterSetupDialog::loaded);
            if (!loaded.wait(15000))
                wrong = QStringLiteral("never loaded");
            const auto *notice = dialog.findChild<QLabel *>("noticeLabel");
            m_desktop.messages.shown.append({"notice", "ソラフ", notice->text()});
            return dialog.choice();
        });
        QTest::mouseClick(clicked, Qt::LeftButton);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    } else {
        QTest::mouseClick(clicked, Qt::LeftButton);
        QVERIFY(m_window->printing() || fault != "stalled");
        QVERIFY(!m_window->ui().InsatsuBtn->isEnabled() || fault != "stalled");
        QVERIFY2(waitForJob() < 100, "the window stood still");
    }
    // Within the bound of one question, not libcups' minute.
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));

    if (fault == "stalled")
        told << cups.server();
    else if (fault != "down")
        told << QStringLiteral("「%1」").arg(queue);
    QCOMPARE(notToldOnce(m_desktop.messages, told, setup ? "notice" : "critical"), QString());
    if (setup)
        QCOMPARE(QSettings(m_work.filePath("config/sorafu/sorafu.conf"), QSettings::IniFormat)
                     .value("printer/destination")
                     .toString(),
                 queue);
    resume.dismiss();
    if (fault == "stalled")
        QCOMPARE(::kill(pid_t(cups.schedulerPid()), SIGCONT), 0);
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_desktop.session.quitCalls, 0);
    QCOMPARE(windowState(*m_window), before);
    QVERIFY(!QFile::exists(cups.outputPath(queue)));
    QVERIFY2(temporaryFiles().isEmpty(), qPrintable(temporaryFiles().join(' ')));
    QStringList spooled = QDir(cups.path("spool")).entryList({"c*", "d*"}, QDir::Files);
    spooled.removeIf([lastJob](const QString &name) { return name.mid(1, 5).toInt() <= lastJob; });
    QCOMPARE(spooled, QStringList());
    if (fault == "down")
        return;
    QCOMPARE(jobIds(cups, queue), QList<int>());

    if (fault == "stalled")
        clicked = m_window->ui().InsatsuBtn;
    else if (fault.startsWith("stopped"))
        QVERIFY2(cups.enableQueue(queue), qPrintable(cups.lastError()));
    else if (fault == "rejecting")
        QVERIFY2(cups.acceptQueue(queue), qPrintable(cups.lastError()));
    else if (fault == "deleted")
        QVERIFY2(cups.addQueue(queue), qPrintable(cups.lastError()));
    QString error;
    const QString output = print(clicked, queue, &error);
    QVERIFY2(!output.isEmpty(), qPrintable(error));
    QCOMPARE(pagemeasure::words(output, &error).size(), button == "IchiBtn" ? 0 : 24);
}

// A test that dies (crash, CTest's timeout) takes its scheduler with it, and the next start
// clears what it left; one that ends gives everything back.
void tst_EndToEnd::schedulerEndsWithItsTest()
{
    // The orphaned scheduler comes to us, so that it is reaped even where init does not.
    QVERIFY(prctl(PR_SET_CHILD_SUBREAPER, 1) == 0);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SORAFU_ABANDON_SCHEDULER", "1");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    const QStringList told = QString::fromLocal8Bit(child.readAllStandardOutput()).split('\n');
    QVERIFY2(told.size() >= 2 && told[0].contains("sorafu-cups-"),
             child.readAllStandardError().constData());
    const QString folder = told[0];
    const pid_t cupsd = pid_t(told[1].toInt());
    QVERIFY(cupsd > 0);
    const auto ended = [cupsd] {
        if (waitpid(cupsd, nullptr, WNOHANG) == cupsd)
            return true;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(cupsd));
        return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
    };
    QTRY_VERIFY_WITH_TIMEOUT(ended(), 10000);
    prctl(PR_SET_CHILD_SUBREAPER, 0);

    QString ownFolder;
    QString ownProcess;
    {
        PrivateCups next;
        QVERIFY2(next.start(), qPrintable(next.lastError()));
        QVERIFY(!QFileInfo::exists(folder));
        QCOMPARE(qgetenv("CUPS_SERVER"), next.server().toUtf8());
        ownFolder = next.path();
        ownProcess = QStringLiteral("/proc/%1").arg(next.schedulerPid());
        QVERIFY(QFileInfo::exists(ownProcess));
    }
    QVERIFY(!QFileInfo::exists(ownProcess));
    QVERIFY(!QFileInfo::exists(ownFolder));
    QCOMPARE(qgetenv("CUPS_SERVER"), m_cups.server().toUtf8());
}

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
