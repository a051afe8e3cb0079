// The sheet as the printer gets it: the window's own buttons print through the real print path
// (CupsPrinting over libcups) into a private CUPS scheduler whose "Generic PDF Printer" queue
// writes what a printer would receive. Every place is measured on that output with poppler and
// compared with places worked out here, from the form's table and the PPD's printable area.

#include "fakes.h"
#include "pagemeasure.h"
#include "platform/cupsprinting.h"
#include "platform/cupsspooler.h"
#include "platform/updown.h"
#include "privatecups.h"
#include "window/mainwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTransform>
#include <QtTest>

#include <cmath>
#include <functional>
#include <utility>

namespace {

// What the pre-printed sheet allows.
constexpr double kToleranceMm = 0.1;
constexpr double kMmPerTwip = 25.4 / 1440.0;
constexpr double kMmPerPoint = 25.4 / 72.0;
constexpr double kTwipsPerTenthMm = 5.67;
const QString kA4 = QStringLiteral("iso_a4_210x297mm");

// The letter as the form lays it out: the control typed into, its size and its design place in
// twips, and what is typed there. Typed hiragana in a reading field comes out as katakana.
struct Entry
{
    const char *control;
    int points;
    double x;
    double y;
    QString typed;
    QString printed;
};

const QList<Entry> &letterEntries()
{
    static const QList<Entry> entries = {
        {"Combo10101", 14, 3742.2, 2494.8, "委任太郎", "委任太郎"},
        {"Combo10201", 14, 11719.891, 2993.76, QString(), "抹消"}, // picked from its list
        {"Combo10301", 14, 11907, 4082.4001, "7", "7"},
        {"Combo10302", 14, 12842.55, 4082.4001, "11", "11"},
        {"Combo10303", 14, 13778.101, 4082.4001, "30", "30"},
        {"Text10501", 14, 2517.48, 5085.99, "NZE141-9012345", "NZE141-9012345"},
        {"cIninFuriganaBtn", 8, 3572.1, 6350.4, "かぶしきがいしゃそらふ", "カブシキガイシャソラフ"},
        {"IninShimei", 12, 3572.1, 6804, "株式会社ソラフ", "株式会社ソラフ"},
        {"Combo10601", 8, 3572.1, 7144.2, "代表取締役", "代表取締役"},
        {"DaihyouShimei", 10, 4819.5, 7144.2, "山田一郎", "山田一郎"},
        {"IninJyu1", 10, 3572.1, 7796.25, "東京都千代田区霞が関1-1-1", "東京都千代田区霞が関1-1-1"},
        {"IninJyu2", 10, 3572.1, 8108.1, "ABCビル3F", "ABCビル3F"},
        {"Text10701", 8, 10432.8, 5080.3203, "ごうどうがいしゃ", "ゴウドウガイシャ"},
        {"Text10702", 12, 10432.8, 5533.92, "SORAFU-LLC", "SORAFU-LLC"},
        {"Combo10701", 8, 10432.8, 5874.12, "代表社員", "代表社員"},
        {"Text10703", 10, 11680.2, 5874.12, "鈴木花子", "鈴木花子"},
        {"Text10704", 10, 10432.8, 6526.17, "大阪市北区梅田2-2", "大阪市北区梅田2-2"},
        {"Text10705", 10, 10432.8, 6838.02, "Umeda-Tower5F", "Umeda-Tower5F"},
        {"Text10801", 8, 10432.8, 7824.6, "さんばん", "サンバン"},
        {"Text10802", 12, 10432.8, 8278.2, "三番商事", "三番商事"},
        {"Combo10801", 8, 10432.8, 8618.4, "取締役", "取締役"},
        {"Text10803", 10, 11680.2, 8618.4, "佐藤次郎", "佐藤次郎"},
        {"Text10804", 10, 10432.8, 9270.45, "名古屋市中区栄3-3", "名古屋市中区栄3-3"},
        {"Text10805", 10, 10432.8, 9582.3, "Sakae-Bldg.2F", "Sakae-Bldg.2F"},
    };
    return entries;
}

// The two alignment marks: centres in twips, and their radius.
const QList<QPointF> kMarkCentres = {{1615.9501, 1088.64}, {15756.931, 1088.64}};
constexpr double kMarkRadiusTwips = 17.01;

// A paper as the PPD describes it, in mm of the upright sheet from its top-left corner, and how
// a landscape page is turned onto it.
struct PpdPaper
{
    QSizeF size;
    QRectF printable;
    bool landscapePlus90 = true;
};

bool readPpdPaper(const QString &ppdPath, const QString &name, PpdPaper *paper, QString *error)
{
    QFile file(ppdPath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = ppdPath + ": " + file.errorString();
        return false;
    }
    const QString ppd = QString::fromLatin1(file.readAll());
    const auto numbers = [&](const QString &keyword) {
        const QRegularExpression line(QStringLiteral("^\\*%1 %2/[^:]*:\\s*\"([^\"]*)\"")
                                          .arg(keyword, QRegularExpression::escape(name)),
                                      QRegularExpression::MultilineOption);
        QList<double> values;
        for (const QString &value : line.match(ppd).captured(1).split(' ', Qt::SkipEmptyParts))
            values << value.toDouble();
        return values;
    };
    const QList<double> dimension = numbers(QStringLiteral("PaperDimension"));
    const QList<double> area = numbers(QStringLiteral("ImageableArea"));
    if (dimension.size() != 2 || area.size() != 4) {
        *error =
            QStringLiteral("no PaperDimension or ImageableArea for %1 in %2").arg(name, ppdPath);
        return false;
    }
    // PostScript points from the bottom-left corner: llx lly urx ury.
    paper->size = QSizeF(dimension[0], dimension[1]) * kMmPerPoint;
    paper->printable =
        QRectF(QPointF(area[0], dimension[1] - area[3]), QPointF(area[2], dimension[1] - area[1]));
    paper->printable = QRectF(paper->printable.topLeft() * kMmPerPoint,
                              paper->printable.bottomRight() * kMmPerPoint);
    const QRegularExpression turn(QStringLiteral(R"(^\*LandscapeOrientation:\s*(\w+))"),
                                  QRegularExpression::MultilineOption);
    paper->landscapePlus90 = turn.match(ppd).captured(1) != QLatin1String("Minus90");
    return true;
}

// From the sheet the jobs draw on (turned as chosen) to the upright paper the printer feeds.
// Plus90: the landscape page is turned a quarter anticlockwise, its top along the paper's left.
QTransform sheetToPaper(const PpdPaper &paper, bool landscape)
{
    if (!landscape)
        return QTransform();
    if (paper.landscapePlus90)
        return QTransform(0, -1, 1, 0, 0, paper.size.height());
    return QTransform(0, 1, -1, 0, paper.size.width(), 0);
}

// Where the printable area begins on the sheet as the jobs see it.
QPointF printableCorner(const PpdPaper &paper, bool landscape)
{
    return sheetToPaper(paper, landscape).inverted().mapRect(paper.printable).topLeft();
}

QString mm(const QPointF &p)
{
    return QStringLiteral("(%1, %2)").arg(p.x(), 0, 'f', 3).arg(p.y(), 0, 'f', 3);
}

// The real spooler, whose queue its administrator stops once the program has checked it, while
// the page is being drawn.
class StoppedAfterCheck : public CupsSpooler
{
public:
    explicit StoppedAfterCheck(std::function<void(const QString &)> stop) : m_stop(std::move(stop))
    {
    }
    QString check(const QString &destination) override
    {
        const QString answer = CupsSpooler::check(destination);
        if (m_stop)
            std::exchange(m_stop, nullptr)(destination);
        return answer;
    }

private:
    std::function<void(const QString &)> m_stop;
};

} // namespace

class tst_EndToEnd : public QObject
{
    Q_OBJECT

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

private:
    // A window whose printing goes through this spooler.
    void openWindow(std::unique_ptr<CupsSpooler> spooler);
    // Printer setup as the user does it: the dialog, with this queue, A4 and the orientation.
    void setUpPrinter(const QString &queue, bool landscape);
    void typeInto(const char *control, const QString &text);
    void typeLetter();
    void typeOffsets(const QString &sayuu, const QString &jyouge);
    QStringList snapshot() const;
    // Clicks the button and waits for the one job it made; the output file, or empty.
    QString print(QAbstractButton *button, const QString &queue);
    QList<int> jobIds(const PrivateCups &cups, const QString &queue) const;
    // The scheduler's files of jobs after `lastJob` (c: control, d: document).
    QStringList spooledFiles(const PrivateCups &cups, int lastJob) const;
    QStringList temporaryFiles() const;

    PrivateCups m_cups;
    QTemporaryDir m_work;
    QString m_temporary;
    PpdPaper m_a4;
    FakeDesktop m_desktop;
    std::unique_ptr<CupsPrinting> m_printing;
    std::unique_ptr<MainWindow> m_window;
    int m_run = 0;
};

void tst_EndToEnd::initTestCase()
{
    const QStringList missing = pagemeasure::missingTools();
    QVERIFY2(missing.isEmpty(), qPrintable("poppler-utils missing: " + missing.join(' ')));
    QVERIFY(m_work.isValid());
    QString error;
    QVERIFY2(readPpdPaper(QString::fromLatin1(PrivateCups::genericPdfPpd), QStringLiteral("A4"),
                          &m_a4, &error),
             qPrintable(error));

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
    m_printing.reset();
    const QString offsets = m_work.filePath(QStringLiteral("offsets%1").arg(++m_run));
    QVERIFY(QDir().mkpath(offsets));
    m_desktop = {};
    // As the desktop makes it, with the settings of the user (here the test's folder).
    m_printing = std::make_unique<CupsPrinting>(std::move(spooler), QString(), nullptr);
    Services services = m_desktop.services(offsets);
    services.printing = m_printing.get();
    m_window = std::make_unique<MainWindow>(services);
    QVERIFY(m_window->load());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_EndToEnd::cleanup()
{
    m_window.reset();
    m_printing.reset();
    QVERIFY2(temporaryFiles().isEmpty(), qPrintable(temporaryFiles().join(' ')));
    const QList<PrivateCups::Job> left = m_cups.leftoverJobs();
    // Gone before the next test, which would otherwise fail for it too.
    for (const PrivateCups::Job &job : left)
        cupsCancelJob2(CUPS_HTTP_DEFAULT, job.queue.toUtf8().constData(), job.id, 1);
    QVERIFY2(left.isEmpty(),
             qPrintable(QStringLiteral("%1 jobs left in the queues").arg(left.size())));
}

void tst_EndToEnd::setUpPrinter(const QString &queue, bool landscape)
{
    QString problem;
    m_printing->setDialogRunner([&problem, queue, landscape](QDialog &dialog) {
        auto *printer = dialog.findChild<QComboBox *>(QStringLiteral("printerBox"));
        auto *paper = dialog.findChild<QComboBox *>(QStringLiteral("paperBox"));
        const int printerIndex = printer->findData(queue, Qt::UserRole);
        if (printerIndex < 0) {
            problem = queue + " is not offered";
            return false;
        }
        printer->setCurrentIndex(printerIndex);
        const int paperIndex = paper->findData(kA4);
        if (paperIndex < 0) {
            problem = "A4 is not offered";
            return false;
        }
        paper->setCurrentIndex(paperIndex);
        dialog
            .findChild<QRadioButton *>(landscape ? QStringLiteral("landscapeButton")
                                                 : QStringLiteral("portraitButton"))
            ->click();
        dialog.accept();
        return dialog.result() == QDialog::Accepted;
    });
    QTest::mouseClick(m_window->ui().PriDiaBtn, Qt::LeftButton);
    m_printing->setDialogRunner([](QDialog &) { return false; });
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    // Kept where the program keeps it, which this test pointed at its own folder.
    QSettings kept(m_work.filePath("config/sorafu/sorafu.conf"), QSettings::IniFormat);
    QCOMPARE(kept.value("printer/destination").toString(), queue);
    QCOMPARE(kept.value("printer/media").toString(), kA4);
}

// Latin keys as key presses, Japanese as the input method hands over converted text.
void tst_EndToEnd::typeInto(const char *control, const QString &text)
{
    QWidget *field = m_window->findChild<QWidget *>(QString::fromLatin1(control));
    QVERIFY2(field, control);
    QLineEdit *edit = qobject_cast<QLineEdit *>(field);
    if (auto *combo = qobject_cast<QComboBox *>(field))
        edit = combo->lineEdit();
    QVERIFY2(edit, control);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    for (qsizetype i = 0; i < text.size();) {
        qsizetype end = i;
        const bool latin = text[i].unicode() < 0x80;
        while (end < text.size() && (text[end].unicode() < 0x80) == latin)
            ++end;
        const QString part = text.mid(i, end - i);
        if (latin) {
            QTest::keyClicks(edit, part);
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(part);
            QApplication::sendEvent(edit, &commit);
        }
        i = end;
    }
}

void tst_EndToEnd::typeLetter()
{
    Ui::Form1 &ui = m_window->ui();
    for (const Entry &entry : letterEntries())
        if (!entry.typed.isEmpty())
            typeInto(entry.control, entry.typed);
    if (QTest::currentTestFailed())
        return;
    // The delegated matter: tick, then pick the second choice of the list.
    QTest::mouseClick(ui.Check10201, Qt::LeftButton, {}, QPoint(5, ui.Check10201->height() / 2));
    QVERIFY(ui.Check10201->isChecked());
    QVERIFY(ui.Combo10201->isVisible());
    ui.Combo10201->setFocus();
    QTest::keyClick(ui.Combo10201, Qt::Key_Down);
    QCOMPARE(ui.Combo10201->currentText(), QStringLiteral("抹消"));
    for (const Entry &entry : letterEntries()) {
        const QWidget *field = m_window->findChild<QWidget *>(QString::fromLatin1(entry.control));
        const auto *combo = qobject_cast<const QComboBox *>(field);
        const QString shown =
            combo ? combo->currentText() : qobject_cast<const QLineEdit *>(field)->text();
        QCOMPARE(shown, entry.printed);
    }
}

void tst_EndToEnd::typeOffsets(const QString &sayuu, const QString &jyouge)
{
    Ui::Form1 &ui = m_window->ui();
    if (!ui.CyouseiFrm->isVisible())
        QTest::mouseClick(ui.OnOffBtn, Qt::LeftButton);
    QVERIFY(ui.CyouseiFrm->isVisible());
    typeInto("Sayuu_Xtxt", sayuu);
    if (QTest::currentTestFailed())
        return;
    typeInto("Jyouge_Ytxt", jyouge);
    QCOMPARE(ui.Sayuu_Xtxt->text(), sayuu);
    QCOMPARE(ui.Jyouge_Ytxt->text(), jyouge);
}

QStringList tst_EndToEnd::snapshot() const
{
    QStringList state;
    for (const QLineEdit *edit : m_window->findChildren<QLineEdit *>())
        state << edit->objectName() + '=' + edit->text();
    for (const QComboBox *combo : m_window->findChildren<QComboBox *>())
        state << QStringLiteral("%1=%2 #%3 %4")
                     .arg(combo->objectName(), combo->currentText())
                     .arg(combo->currentIndex())
                     .arg(combo->isVisible());
    for (const QCheckBox *box : m_window->findChildren<QCheckBox *>())
        state << QStringLiteral("%1=%2").arg(box->objectName()).arg(box->isChecked());
    for (const UpDown *spin : m_window->findChildren<UpDown *>())
        state << QStringLiteral("%1=%2").arg(spin->objectName()).arg(spin->value());
    const Ui::Form1 &ui = m_window->ui();
    state << QStringLiteral("panel=%1 toggle=%2 '%3'")
                 .arg(ui.CyouseiFrm->isVisible())
                 .arg(ui.OnOffBtn->isChecked())
                 .arg(ui.OnOffBtn->text());
    return state;
}

QList<int> tst_EndToEnd::jobIds(const PrivateCups &cups, const QString &queue) const
{
    QList<int> ids;
    for (const PrivateCups::Job &job : cups.jobs())
        if (job.queue == queue)
            ids << job.id;
    return ids;
}

QStringList tst_EndToEnd::spooledFiles(const PrivateCups &cups, int lastJob) const
{
    QStringList files;
    for (const QString &name : QDir(cups.path("spool")).entryList({"c*", "d*"}, QDir::Files)) {
        if (name.mid(1, 5).toInt() > lastJob)
            files << name;
    }
    return files;
}

// The pages the program drew and has not cleaned up.
QStringList tst_EndToEnd::temporaryFiles() const
{
    return QDir(m_temporary).entryList({"sorafu-*"}, QDir::Files);
}

QString tst_EndToEnd::print(QAbstractButton *button, const QString &queue)
{
    const QList<int> before = jobIds(m_cups, queue);
    QTest::mouseClick(button, Qt::LeftButton);
    QList<int> made = jobIds(m_cups, queue);
    for (int id : before)
        made.removeAll(id);
    if (made.size() != 1) {
        qWarning("%lld jobs from one click", qint64(made.size()));
        return QString();
    }
    const QString output = m_cups.takeOutput(queue, made.first());
    if (output.isEmpty())
        qWarning("%s", qPrintable(m_cups.lastError()));
    return output;
}

void tst_EndToEnd::letter_data()
{
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");

    QTest::newRow("A4 landscape, offsets 0, 40") << true << "0"
                                                 << "40";
    QTest::newRow("A4 landscape, offsets -15, 62.5") << true << "-15"
                                                     << "62.5";
    QTest::newRow("A4 portrait, offsets 0, 40") << false << "0"
                                                << "40";
}

// Every entry lands at the printable corner plus its place, shifted by the offsets and moved up
// by its size's correction; nothing is scaled and nothing else is printed.
void tst_EndToEnd::letter()
{
    QFETCH(bool, landscape);
    QFETCH(QString, sayuu);
    QFETCH(QString, jyouge);

    setUpPrinter(QStringLiteral("Sheet"), landscape);
    typeLetter();
    typeOffsets(sayuu, jyouge);
    if (QTest::currentTestFailed())
        return;
    const QStringList before = snapshot();

    const QString output = print(m_window->ui().InsatsuBtn, QStringLiteral("Sheet"));
    QVERIFY(!output.isEmpty());
    QVERIFY2(m_desktop.messages.shown.isEmpty(),
             qPrintable(m_desktop.messages.shown.value(0).text));
    QCOMPARE(snapshot(), before);

    QString error;
    const pagemeasure::PageInfo info = pagemeasure::pageInfo(output, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(info.pages, 1);
    // The paper as the printer feeds it: A4 upright.
    QVERIFY(std::fabs(info.shownMm().width() - m_a4.size.width()) < 0.01);
    QVERIFY(std::fabs(info.shownMm().height() - m_a4.size.height()) < 0.01);

    const QTransform toPaper = sheetToPaper(m_a4, landscape);
    const QTransform toSheet = toPaper.inverted();
    const QPointF corner = printableCorner(m_a4, landscape);
    const QRectF sheet = toSheet.mapRect(QRectF(QPointF(), m_a4.size));
    QList<pagemeasure::Word> words = pagemeasure::words(output, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    const double sayuuTenths = sayuu.toDouble();
    const double jyougeTenths = jyouge.toDouble();
    double worst = 0;
    int measured = 0;
    double lowestPerPoint = 1e9, highestPerPoint = 0;
    for (const Entry &entry : letterEntries()) {
        const double correction = -1.5 * entry.points * kTwipsPerTenthMm;
        const QPointF expected =
            corner + QPointF(sayuuTenths * kTwipsPerTenthMm + entry.x,
                             (jyougeTenths - 40) * kTwipsPerTenthMm + entry.y + correction) *
                         kMmPerTwip;
        // The word poppler found there: the whole text, or what of it is on the sheet.
        int best = -1;
        for (int i = 0; i < words.size(); ++i) {
            const QRectF box = toSheet.mapRect(words[i].mm);
            const bool whole = words[i].text == entry.printed;
            const bool cut = entry.printed.startsWith(words[i].text) &&
                             box.right() > sheet.right() - entry.points * kMmPerPoint;
            if ((whole || cut) &&
                (best < 0 ||
                 QLineF(box.topLeft(), expected).length() <
                     QLineF(toSheet.mapRect(words[best].mm).topLeft(), expected).length()))
                best = i;
        }
        if (expected.x() >= sheet.right()) {
            QVERIFY2(best < 0, qPrintable(entry.printed + " is printed beyond the sheet"));
            continue;
        }
        QVERIFY2(
            best >= 0,
            qPrintable(
                QStringLiteral("%1 (%2) is not on the page").arg(entry.printed, entry.control)));
        const QRectF box = toSheet.mapRect(words.takeAt(best).mm);
        const QPointF off = box.topLeft() - expected;
        worst = std::max({worst, std::fabs(off.x()), std::fabs(off.y())});
        QVERIFY2(
            std::fabs(off.x()) <= kToleranceMm && std::fabs(off.y()) <= kToleranceMm,
            qPrintable(QStringLiteral("%1 (%2) starts at %3 mm on the sheet, expected %4")
                           .arg(entry.printed, entry.control, mm(box.topLeft()), mm(expected))));
        // The line's height goes with the size: no scaling on the way.
        lowestPerPoint = std::min(lowestPerPoint, box.height() / entry.points);
        highestPerPoint = std::max(highestPerPoint, box.height() / entry.points);
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

    QVERIFY(m_cups.untakenOutputs().isEmpty());
}

void tst_EndToEnd::marks_data()
{
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");

    QTest::newRow("offsets 0, 0") << "0"
                                  << "0";
    QTest::newRow("offsets 0, 40") << "0"
                                   << "40";
    QTest::newRow("offsets 10, -15") << "10"
                                     << "-15";
}

// Two rings of radius 0.3 mm at the printable corner plus their places, the offsets added as
// they are (no bias), 249.4 mm apart whatever the offsets; no text.
void tst_EndToEnd::marks()
{
    QFETCH(QString, sayuu);
    QFETCH(QString, jyouge);

    setUpPrinter(QStringLiteral("Sheet"), true);
    typeOffsets(sayuu, jyouge);
    if (QTest::currentTestFailed())
        return;
    const QStringList before = snapshot();

    const QString output = print(m_window->ui().IchiBtn, QStringLiteral("Sheet"));
    QVERIFY(!output.isEmpty());
    QVERIFY2(m_desktop.messages.shown.isEmpty(),
             qPrintable(m_desktop.messages.shown.value(0).text));
    QCOMPARE(snapshot(), before);

    QString error;
    QCOMPARE(pagemeasure::pageInfo(output, &error).pages, 1);
    QVERIFY(pagemeasure::words(output, &error).isEmpty());
    const QList<pagemeasure::Ring> rings = pagemeasure::rings(output, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(rings.size(), 2);

    const QTransform toSheet = sheetToPaper(m_a4, true).inverted();
    const QPointF corner = printableCorner(m_a4, true);
    const QPointF shift(sayuu.toDouble() * kTwipsPerTenthMm, jyouge.toDouble() * kTwipsPerTenthMm);
    QList<QPointF> found;
    for (const pagemeasure::Ring &ring : rings)
        found << toSheet.map(ring.centreMm);
    std::sort(found.begin(), found.end(),
              [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
    double worst = 0;
    for (int i = 0; i < 2; ++i) {
        const QPointF expected = corner + (kMarkCentres[i] + shift) * kMmPerTwip;
        const double off = QLineF(found[i], expected).length();
        worst = std::max(worst, off);
        QVERIFY2(off <= kToleranceMm, qPrintable(QStringLiteral("mark %1 at %2 mm, expected %3")
                                                     .arg(i)
                                                     .arg(mm(found[i]), mm(expected))));
        QVERIFY2(std::fabs(rings[i].radiusMm - kMarkRadiusTwips * kMmPerTwip) < 0.03,
                 qPrintable(QString::number(rings[i].radiusMm)));
    }
    const QPointF apart = found[1] - found[0];
    QVERIFY2(std::fabs(apart.x() - 249.4) <= 0.05, qPrintable(QString::number(apart.x(), 'f', 4)));
    QVERIFY2(std::fabs(apart.y()) <= 0.05, qPrintable(QString::number(apart.y(), 'f', 4)));
    qInfo("farthest %.4f mm from their places, %.4f mm apart", worst, apart.x());
    QVERIFY(m_cups.untakenOutputs().isEmpty());
}

void tst_EndToEnd::failure_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("told"); // all of it in the message

    for (const char *button : {"InsatsuBtn", "IchiBtn"}) {
        QTest::addRow("queue stopped, %s", button)
            << "stopped" << button << QStringList{"停止しています", "紙詰まり"};
        QTest::addRow("queue stopped while the page is drawn, %s", button)
            << "stopped late" << button << QStringList{"停止しています", "紙詰まり"};
        QTest::addRow("queue refusing jobs, %s", button)
            << "rejecting" << button << QStringList{"受け付けない", "トナー交換中"};
        QTest::addRow("queue deleted after setup, %s", button)
            << "deleted" << button << QStringList{"見つかりません", "プリンタ設定"};
        QTest::addRow("scheduler not running, %s", button)
            << "down" << button << QStringList{"印刷サービス", "接続できません"};
    }
}

// Each fault is told with its reason; the window keeps running with everything as it was, and
// neither a job nor a page is left anywhere. Once the fault is gone the same click prints.
void tst_EndToEnd::failure()
{
    QFETCH(QString, fault);
    QFETCH(QString, button);
    QFETCH(QStringList, told);

    if (fault == "stopped late") {
        openWindow(std::make_unique<StoppedAfterCheck>([this](const QString &queue) {
            QVERIFY2(m_cups.disableQueue(queue, "紙詰まり"), qPrintable(m_cups.lastError()));
        }));
    }
    // A scheduler of its own to stop; CUPS_SERVER returns to m_cups when it goes.
    PrivateCups down;
    PrivateCups &cups = fault == "down" ? down : m_cups;
    if (fault == "down")
        QVERIFY2(down.start(), qPrintable(down.lastError()));
    const QString queue = QStringLiteral("%1_%2").arg(QString(fault).replace(' ', '_'), button);
    QVERIFY2(cups.addQueue(queue), qPrintable(cups.lastError()));
    setUpPrinter(queue, true);
    typeLetter();
    typeOffsets(QStringLiteral("10"), QStringLiteral("-15"));
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
    const QStringList before = snapshot();

    QAbstractButton *clicked = m_window->findChild<QAbstractButton *>(button);
    QTest::mouseClick(clicked, Qt::LeftButton);

    QCOMPARE(m_desktop.messages.shown.size(), 1);
    const FakeMessages::Shown &shown = m_desktop.messages.shown[0];
    QCOMPARE(shown.kind, QStringLiteral("critical"));
    QCOMPARE(shown.title, QStringLiteral("ソラフ"));
    if (fault != "down")
        told << QStringLiteral("「%1」").arg(queue);
    for (const QString &part : std::as_const(told))
        QVERIFY2(shown.text.contains(part), qPrintable(shown.text));
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_desktop.session.quitCalls, 0);
    QCOMPARE(snapshot(), before);
    QVERIFY(cups.untakenOutputs().isEmpty());
    QVERIFY(!QFile::exists(cups.outputPath(queue)));
    QVERIFY2(temporaryFiles().isEmpty(), qPrintable(temporaryFiles().join(' ')));
    QCOMPARE(spooledFiles(cups, lastJob), QStringList());
    if (fault == "down")
        return;
    QCOMPARE(jobIds(cups, queue), QList<int>());

    if (fault.startsWith("stopped"))
        QVERIFY2(cups.enableQueue(queue), qPrintable(cups.lastError()));
    else if (fault == "rejecting")
        QVERIFY2(cups.acceptQueue(queue), qPrintable(cups.lastError()));
    else
        QVERIFY2(cups.addQueue(queue), qPrintable(cups.lastError()));
    const QString output = print(clicked, queue);
    QVERIFY(!output.isEmpty());
    QCOMPARE(m_desktop.messages.shown.size(), 1);
    QString error;
    const QList<pagemeasure::Word> words = pagemeasure::words(output, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(words.size(), button == "InsatsuBtn" ? letterEntries().size() : 0);
    QVERIFY(cups.untakenOutputs().isEmpty());
}

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
