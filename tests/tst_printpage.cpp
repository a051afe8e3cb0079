// The pages as they leave the program: drawn through the real PDF surface and measured with
// poppler, against the places the jobs computed.

#include "jobs/letterjob.h"
#include "jobs/markjob.h"
#include "jobs/placement.h"
#include "pagemeasure.h"
#include "printing/cupsprinting.h"
#include "printing/japanesefont.h"
#include "printing/pdfsurface.h"
#include "printing/printerchoice.h"
#include "printwindow.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr double kMmPerTwip = 25.4 / 1440.0;
// How far a measured place may lie from the computed one.
constexpr double kToleranceMm = 0.05;
// A4 as a printer with uneven edges describes it (left, top, right, bottom of the upright
// sheet), so a wrong turn of the page shows.
const QMarginsF kQueueMargins(3, 5, 7, 11);

// Where the printable area begins on the page as drawn. A landscape page lies on the upright
// sheet turned a quarter left, its top-left corner at the sheet's bottom-left: across from the
// bottom edge, down from the left edge. A PDF file has no unprintable edge.
QPointF printableCorner(bool toQueue, QPageLayout::Orientation orientation)
{
    if (!toQueue)
        return QPointF(0, 0);
    return orientation == QPageLayout::Landscape ? QPointF(11, 3) : QPointF(3, 5);
}

using Job = std::function<QString(PrintTarget &)>;
using Op = RecordedPage::Op;

// What the job asks of a surface.
QList<Op> recorded(const Job &job)
{
    FakePrinting recorder;
    return job(*recorder.target()).isEmpty() ? recorder.pages.at(0)->ops : QList<Op>();
}

} // namespace

class tst_PrintPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void letter_data();
    void letter();
    void marks_data();
    void marks();
    void unfinishedPageGoesNowhere();

private:
    // Runs the job through the real surface into a PDF file, or through a fake queue with
    // kQueueMargins; the page's file, or empty with the reason in *failure.
    QString print(bool toQueue, QPageLayout::Orientation orientation, const Job &job,
                  QString *failure);

    QTemporaryDir m_dir;
    QString m_temporary;
    int m_run = 0;
};

void tst_PrintPage::initTestCase()
{
    // Nothing here may reach a real print service.
    qputenv("CUPS_SERVER", "/nonexistent/sorafu-test.sock");
    QVERIFY(m_dir.isValid());
    // The surfaces' temporary files, kept apart to see that none stays.
    m_temporary = m_dir.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(m_temporary));
    qputenv("TMPDIR", QFile::encodeName(m_temporary));
}

QString tst_PrintPage::print(bool toQueue, QPageLayout::Orientation orientation, const Job &job,
                             QString *failure)
{
    const QString run = QString::number(++m_run);
    auto *spooler = new FakeSpooler;
    PrinterPapers papers;
    papers.papers = {FakeSpooler::a4(kQueueMargins)};
    spooler->queues.insert(QStringLiteral("Sheet"), papers);
    const QString settingsPath = m_dir.filePath("settings" + run + ".ini");
    {
        QSettings settings(settingsPath, QSettings::IniFormat);
        savePrinterChoice(settings, {!toQueue, QStringLiteral("Sheet"),
                                     QStringLiteral("iso_a4_210x297mm"), orientation});
    }
    CupsPrinting printing(std::unique_ptr<Spooler>(spooler), settingsPath, nullptr);
    const QString file = m_dir.filePath("page" + run + ".pdf");
    printing.setPdfFilePicker([file](const QString &) { return file; });

    *failure = job(*printing.target());
    if (failure->isEmpty() && toQueue) {
        QFile out(file);
        if (spooler->jobs.size() != 1)
            *failure = QStringLiteral("the queue got %1 jobs").arg(spooler->jobs.size());
        else if (!out.open(QIODevice::WriteOnly) || out.write(spooler->jobs[0].pdf) < 0)
            *failure = out.errorString();
    }
    if (const QStringList left = QDir(m_temporary).entryList(QDir::Files); !left.isEmpty())
        *failure += " left behind: " + left.join(' ');
    return failure->isEmpty() ? file : QString();
}

void tst_PrintPage::letter_data()
{
    QTest::addColumn<bool>("toQueue");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");

    const auto row = [](const char *name, bool toQueue, int orientation, const char *sayuu,
                        const char *jyouge) {
        QTest::newRow(name) << toQueue << orientation << QString(sayuu) << QString(jyouge);
    };
    row("PDF file, 0, 40", false, QPageLayout::Landscape, "0", "40");
    row("PDF file, -15, 2.5", false, QPageLayout::Landscape, "-15", "2.5");
    row("queue, landscape, 10, 50", true, QPageLayout::Landscape, "10", "50");
    row("queue, portrait, 0, 0", true, QPageLayout::Portrait, "0", "0");
}

// Every item starts where the job put it (left edge and top of the line), whole and unchanged,
// in the one Japanese typeface; the sizes keep their order and nothing else is printed.
void tst_PrintPage::letter()
{
    QFETCH(bool, toQueue);
    QFETCH(int, orientation);
    QFETCH(QString, sayuu);
    QFETCH(QString, jyouge);

    LetterEntries entries;
    entries.sayuu = sayuu;
    entries.jyouge = jyouge;
    entries.delegatedMatterTicked = true;
    const QStringList texts = letterTexts();
    std::copy(texts.begin(), texts.end(), entries.texts.begin());
    const Job job = [entries](PrintTarget &printing) {
        PrintPlacement placement;
        return printLetter(entries, printing, placement);
    };
    const auto layout = QPageLayout::Orientation(orientation);
    QString error;
    const QString pdf = print(toQueue, layout, job, &error);
    QVERIFY2(!pdf.isEmpty(), qPrintable(error));

    const pagemeasure::PageInfo info = pagemeasure::pageInfo(pdf, &error);
    QCOMPARE(info.pages, 1);
    QCOMPARE(info.sizeMm.width() > info.sizeMm.height(), layout == QPageLayout::Landscape);
    const QList<pagemeasure::Word> words = pagemeasure::words(pdf, &error);
    QCOMPARE(pagemeasure::fonts(pdf, &error), QStringList{japaneseFontFamily(&error)});
    QVERIFY2(error.isEmpty(), qPrintable(error));

    const QPointF origin = printableCorner(toQueue, layout);
    double smallestRatio = 1e9, largestRatio = 0;
    int onPage = 0;
    Op at{};
    for (const Op &op : recorded(job)) {
        if (op.kind == Op::SetFontSize)
            at.points = op.points;
        else if (op.kind == Op::SetCurrentX)
            at.x = op.x;
        else if (op.kind == Op::SetCurrentY)
            at.y = op.y;
        if (op.kind != Op::PrintText)
            continue;
        const QPointF expected = origin + QPointF(at.x, at.y) * kMmPerTwip;
        if (expected.x() >= info.sizeMm.width() - 20)
            continue; // at or beyond the edge of a portrait sheet: the page simply ends there
        ++onPage;
        // The whole text, or what of it fits on the sheet.
        const auto word = std::find_if(words.begin(), words.end(), [&](const auto &w) {
            return !w.text.isEmpty() && op.text.startsWith(w.text);
        });
        QVERIFY2(word != words.end(), qPrintable(op.text + " is not on the page"));
        const QPointF off = word->mm.topLeft() - expected;
        QVERIFY2(std::fabs(off.x()) <= kToleranceMm && std::fabs(off.y()) <= kToleranceMm,
                 qPrintable(QStringLiteral("%1 is (%2, %3) mm off its place")
                                .arg(op.text)
                                .arg(off.x(), 0, 'f', 4)
                                .arg(off.y(), 0, 'f', 4)));
        // The line's height follows the size in points.
        const double ratio = word->mm.height() / at.points;
        smallestRatio = std::min(smallestRatio, ratio);
        largestRatio = std::max(largestRatio, ratio);
    }
    QVERIFY(onPage >= (layout == QPageLayout::Landscape ? 24 : 12));
    QVERIFY2(largestRatio / smallestRatio < 1.01,
             qPrintable(QStringLiteral("line heights per point from %1 to %2")
                            .arg(smallestRatio)
                            .arg(largestRatio)));
    // Each text is one word (a word cut off by the sheet's edge shows only its start).
    QVERIFY(words.size() >= onPage && words.size() <= texts.size());
    for (const pagemeasure::Word &word : words)
        QVERIFY2(std::any_of(texts.begin(), texts.end(),
                             [&](const QString &text) { return text.startsWith(word.text); }),
                 qPrintable(word.text));
}

void tst_PrintPage::marks_data()
{
    QTest::addColumn<bool>("toQueue");
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");

    QTest::newRow("PDF file, 0, 0") << false << QStringLiteral("0") << QStringLiteral("0");
    QTest::newRow("PDF file, 10, -15") << false << QStringLiteral("10") << QStringLiteral("-15");
    QTest::newRow("queue, -15, 2.5") << true << QStringLiteral("-15") << QStringLiteral("2.5");
}

// Two rings of radius 0.3 mm, each where the offset puts it, 249.4 mm apart whatever the
// offset, and nothing else.
void tst_PrintPage::marks()
{
    QFETCH(bool, toQueue);
    QFETCH(QString, sayuu);
    QFETCH(QString, jyouge);

    const Job job = [sayuu, jyouge](PrintTarget &printing) {
        PrintPlacement placement;
        return printMarks(sayuu, jyouge, printing, placement);
    };
    QString error;
    const QString pdf = print(toQueue, QPageLayout::Landscape, job, &error);
    QVERIFY2(!pdf.isEmpty(), qPrintable(error));

    const QPointF origin = printableCorner(toQueue, QPageLayout::Landscape);
    QList<QPointF> expected;
    QList<pagemeasure::Ring> found;
    for (const Op &circle : recorded(job)) {
        if (circle.kind != Op::DrawCircle)
            continue;
        expected << origin + QPointF(circle.x, circle.y) * kMmPerTwip;
        found << pagemeasure::ring(pdf, expected.last(), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QPointF off = found.last().centreMm - expected.last();
        QVERIFY2(std::hypot(off.x(), off.y()) <= kToleranceMm,
                 qPrintable(QStringLiteral("mark is (%1, %2) mm off its place")
                                .arg(off.x(), 0, 'f', 4)
                                .arg(off.y(), 0, 'f', 4)));
        QVERIFY2(std::fabs(found.last().radiusMm - 0.3) < 0.03,
                 qPrintable(QString::number(found.last().radiusMm)));
    }
    QCOMPARE(found.size(), 2);
    const QPointF apart = found[1].centreMm - found[0].centreMm;
    QVERIFY2(std::fabs(apart.x() - 249.4) <= kToleranceMm && std::fabs(apart.y()) <= kToleranceMm,
             qPrintable(QStringLiteral("%1, %2").arg(apart.x()).arg(apart.y())));
    QCOMPARE(pagemeasure::inkElsewhere(pdf, expected, 1.5, &error), 0);
}

void tst_PrintPage::unfinishedPageGoesNowhere()
{
    int delivered = 0;
    {
        QString error;
        PageGeometry geometry{QPageSize(QPageSize::A4), QPageLayout::Landscape, QPointF()};
        auto surface = PdfSurface::create(
            geometry, QStringLiteral("IPAGothic"), QStringLiteral("委任状"),
            [&](const QString &) {
                ++delivered;
                return QString();
            },
            &error);
        QVERIFY2(surface, qPrintable(error));
        surface->SetFontSize(14);
        surface->PrintText(QStringLiteral("途中まで"));
    }
    QCOMPARE(delivered, 0);
    QCOMPARE(QDir(m_temporary).entryList(QDir::Files), QStringList());
}

QTEST_MAIN(tst_PrintPage)
#include "tst_printpage.moc"
