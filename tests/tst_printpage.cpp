// The pages as they leave the program: drawn through the real PDF surface and measured with
// poppler, against the places the jobs computed.

#include "fakes.h"
#include "pagemeasure.h"
#include "platform/cupsprinting.h"
#include "platform/japanesefont.h"
#include "platform/pdfsurface.h"
#include "platform/printerchoice.h"
#include "print/letterjob.h"
#include "print/markjob.h"
#include "print/placement.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr double kMmPerTwip = 25.4 / 1440.0;
// How far a measured place may lie from the computed one.
constexpr double kToleranceMm = 0.05;

const QStringList kTexts = {"委任太郎",
                            "名義変更",
                            "7",
                            "12",
                            "31",
                            "品川500あ1234",
                            "いにんしゃ",
                            "株式会社ソラフ",
                            "代表取締役",
                            "山田一郎",
                            "東京都千代田区",
                            "霞が関1-1-1",
                            "かぶしき",
                            "合同会社二",
                            "代表社員",
                            "鈴木花子",
                            "大阪市北区",
                            "梅田2-2",
                            "さんばん",
                            "三番商事",
                            "取締役",
                            "佐藤次郎",
                            "名古屋市中区",
                            "栄3-3"};

struct Placed
{
    int points;
    float x;
    float y;
    QString text;
};

// What the letter job asks of a surface, item by item.
QList<Placed> computedLetter(const LetterEntries &entries)
{
    FakePrinting recorder;
    PrintPlacement placement;
    const QString failure = printLetter(entries, recorder, placement);
    Q_ASSERT(failure.isEmpty());
    QList<Placed> placed;
    Placed current{};
    for (const RecordedPage::Op &op : recorder.pages.at(0)->ops) {
        if (op.kind == RecordedPage::Op::SetFontSize)
            current.points = op.points;
        else if (op.kind == RecordedPage::Op::SetCurrentX)
            current.x = op.value;
        else if (op.kind == RecordedPage::Op::SetCurrentY)
            current.y = op.value;
        else if (op.kind == RecordedPage::Op::PrintText) {
            current.text = op.text;
            placed.append(current);
        }
    }
    return placed;
}

QList<RecordedPage::Op> computedMarks(const QString &sayuu, const QString &jyouge)
{
    FakePrinting recorder;
    PrintPlacement placement;
    const QString failure = printMarks(sayuu, jyouge, recorder, placement);
    Q_ASSERT(failure.isEmpty());
    return recorder.pages.at(0)->opsOf(RecordedPage::Op::DrawCircle);
}

} // namespace

class tst_PrintPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void letter_data();
    void letter();
    void emptyLetterHasNoInk();
    void marks_data();
    void marks();
    void oneTypeface();
    void unfinishedPageGoesNowhere();
    void fontSizeReported();

private:
    // Prints through the real surface, to a PDF file or through a fake queue with the given
    // printable margins; the page's file comes back in *pdf.
    QString print(bool toQueue, QPageLayout::Orientation orientation,
                  const std::function<QString(Printing &)> &job, QString *pdf);

    QTemporaryDir m_dir;
    QString m_temporary;
    int m_run = 0;
};

// A4 as a printer with uneven edges describes it, so a wrong turn of the page shows.
static const QMarginsF kQueueMargins(3, 5, 7, 11);

void tst_PrintPage::initTestCase()
{
    // Nothing here may reach a real print service.
    qputenv("CUPS_SERVER", "/nonexistent/sorafu-test.sock");
    const QStringList missing = pagemeasure::missingTools();
    if (!missing.isEmpty())
        QSKIP(qPrintable("poppler-utils missing: " + missing.join(' ')));
    QVERIFY(m_dir.isValid());
    // The surfaces' temporary files, kept apart to see that none stays.
    m_temporary = m_dir.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(m_temporary));
    qputenv("TMPDIR", QFile::encodeName(m_temporary));
}

QString tst_PrintPage::print(bool toQueue, QPageLayout::Orientation orientation,
                             const std::function<QString(Printing &)> &job, QString *pdf)
{
    const QString run = QString::number(++m_run);
    auto *spooler = new FakeSpooler;
    PrinterPapers papers;
    papers.papers = {FakeSpooler::a4(kQueueMargins)};
    papers.defaultMedia = papers.papers[0].media;
    spooler->queues.insert(QStringLiteral("Sheet"), papers);

    const QString settingsPath = m_dir.filePath("settings" + run + ".ini");
    {
        QSettings settings(settingsPath, QSettings::IniFormat);
        PrinterChoice choice;
        choice.pdfFile = !toQueue;
        choice.destination = QStringLiteral("Sheet");
        choice.media = QStringLiteral("iso_a4_210x297mm");
        choice.orientation = orientation;
        savePrinterChoice(settings, choice);
    }
    CupsPrinting printing(std::unique_ptr<Spooler>(spooler), settingsPath, nullptr);
    const QString file = m_dir.filePath("page" + run + ".pdf");
    printing.setPdfFilePicker([file](const QString &) { return file; });

    const QString failure = job(printing);
    if (!failure.isEmpty())
        return failure;
    if (toQueue) {
        if (spooler->jobs.size() != 1)
            return QStringLiteral("the queue got %1 jobs").arg(spooler->jobs.size());
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(spooler->jobs[0].pdf) < 0)
            return out.errorString();
    }
    *pdf = file;
    return QString();
}

void tst_PrintPage::letter_data()
{
    QTest::addColumn<bool>("toQueue");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");

    const int landscape = QPageLayout::Landscape;
    QTest::newRow("PDF file, 0, 40") << false << landscape << "0"
                                     << "40";
    QTest::newRow("PDF file, 10, 50") << false << landscape << "10"
                                      << "50";
    QTest::newRow("PDF file, -15, 2.5") << false << landscape << "-15"
                                        << "2.5";
    QTest::newRow("PDF file, 0, 0") << false << landscape << "0"
                                    << "0";
    QTest::newRow("queue, landscape, 10, 50") << true << landscape << "10"
                                              << "50";
    QTest::newRow("queue, portrait, 0, 40") << true << int(QPageLayout::Portrait) << "0"
                                            << "40";
}

// Every item starts where the job put it (left edge and top of the line), prints whole and
// unchanged, and the sizes keep their order.
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
    for (int i = 0; i < kLetterItemCount; ++i)
        entries.texts[i] = kTexts[i];
    const QList<Placed> computed = computedLetter(entries);
    QCOMPARE(computed.size(), 24);

    QString pdf;
    const auto layout = QPageLayout::Orientation(orientation);
    const QString failure = print(
        toQueue, layout,
        [&](Printing &printing) {
            PrintPlacement placement;
            return printLetter(entries, printing, placement);
        },
        &pdf);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    QString error;
    const pagemeasure::PageInfo info = pagemeasure::pageInfo(pdf, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(info.pages, 1);
    const QSizeF page = info.shownMm();
    QCOMPARE(page.width() > page.height(), layout == QPageLayout::Landscape);
    const QList<pagemeasure::Word> words = pagemeasure::words(pdf, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    const QPointF origin = toQueue ? printableOriginMm(kQueueMargins, layout) : QPointF(0, 0);
    double smallestRatio = 1e9, largestRatio = 0;
    int onPage = 0;
    for (const Placed &item : computed) {
        const QPointF expected = origin + QPointF(item.x, item.y) * kMmPerTwip;
        const pagemeasure::Word word = pagemeasure::find(words, item.text);
        if (expected.x() >= page.width() - 20)
            continue; // at or beyond the edge of a portrait sheet: the page simply ends there
        ++onPage;
        QVERIFY2(!word.mm.isNull(), qPrintable(item.text + " is not on the page"));
        QVERIFY2(std::fabs(word.mm.left() - expected.x()) <= kToleranceMm,
                 qPrintable(QStringLiteral("%1 starts at %2 mm across, computed %3")
                                .arg(item.text)
                                .arg(word.mm.left(), 0, 'f', 4)
                                .arg(expected.x(), 0, 'f', 4)));
        QVERIFY2(std::fabs(word.mm.top() - expected.y()) <= kToleranceMm,
                 qPrintable(QStringLiteral("%1 starts at %2 mm down, computed %3")
                                .arg(item.text)
                                .arg(word.mm.top(), 0, 'f', 4)
                                .arg(expected.y(), 0, 'f', 4)));
        // The line's height follows the size in points.
        const double ratio = word.mm.height() / item.points;
        smallestRatio = std::min(smallestRatio, ratio);
        largestRatio = std::max(largestRatio, ratio);
    }
    QVERIFY(onPage >= (layout == QPageLayout::Landscape ? 24 : 12));
    QVERIFY2(largestRatio / smallestRatio < 1.01,
             qPrintable(QStringLiteral("line heights per point from %1 to %2")
                            .arg(smallestRatio)
                            .arg(largestRatio)));
    // Nothing else is printed: each text is one word, and there are no others.
    QVERIFY(words.size() >= onPage && words.size() <= computed.size());
    // (a word cut off by the sheet's edge shows only its start)
    for (const pagemeasure::Word &word : words)
        QVERIFY2(std::any_of(kTexts.begin(), kTexts.end(),
                             [&](const QString &text) { return text.startsWith(word.text); }),
                 qPrintable(word.text));
}

void tst_PrintPage::emptyLetterHasNoInk()
{
    LetterEntries entries;
    entries.sayuu = QStringLiteral("0");
    entries.jyouge = QStringLiteral("40");
    QString pdf;
    const QString failure = print(
        true, QPageLayout::Landscape,
        [&](Printing &printing) {
            PrintPlacement placement;
            return printLetter(entries, printing, placement);
        },
        &pdf);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QString error;
    QCOMPARE(pagemeasure::pageInfo(pdf, &error).pages, 1);
    QVERIFY(pagemeasure::words(pdf, &error).isEmpty());
    QVERIFY(pagemeasure::rings(pdf, &error).isEmpty());
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void tst_PrintPage::marks_data()
{
    QTest::addColumn<bool>("toQueue");
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");

    QTest::newRow("PDF file, 0, 0") << false << "0"
                                    << "0";
    QTest::newRow("PDF file, 0, 40") << false << "0"
                                     << "40";
    QTest::newRow("PDF file, 10, -15") << false << "10"
                                       << "-15";
    QTest::newRow("PDF file, -15, 2.5") << false << "-15"
                                        << "2.5";
    QTest::newRow("queue, 0, 40") << true << "0"
                                  << "40";
}

// Two rings, 14140.98 twips (249.4 mm at the form's 56.7 per mm) apart whatever the offset,
// each where the offset puts it, and nothing else.
void tst_PrintPage::marks()
{
    QFETCH(bool, toQueue);
    QFETCH(QString, sayuu);
    QFETCH(QString, jyouge);

    const QList<RecordedPage::Op> computed = computedMarks(sayuu, jyouge);
    QCOMPARE(computed.size(), 2);
    QString pdf;
    const QString failure = print(
        toQueue, QPageLayout::Landscape,
        [&](Printing &printing) {
            PrintPlacement placement;
            return printMarks(sayuu, jyouge, printing, placement);
        },
        &pdf);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    QString error;
    QList<pagemeasure::Ring> found = pagemeasure::rings(pdf, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(found.size(), 2);
    std::sort(found.begin(), found.end(),
              [](const pagemeasure::Ring &a, const pagemeasure::Ring &b) {
                  return a.centreMm.x() < b.centreMm.x();
              });
    const QPointF origin =
        toQueue ? printableOriginMm(kQueueMargins, QPageLayout::Landscape) : QPointF(0, 0);
    for (int i = 0; i < 2; ++i) {
        const QPointF expected =
            origin + QPointF(computed[i].centreX, computed[i].centreY) * kMmPerTwip;
        const QPointF offBy = found[i].centreMm - expected;
        QVERIFY2(std::hypot(offBy.x(), offBy.y()) <= kToleranceMm,
                 qPrintable(QStringLiteral("mark %1 at (%2, %3) mm, computed (%4, %5)")
                                .arg(i)
                                .arg(found[i].centreMm.x(), 0, 'f', 4)
                                .arg(found[i].centreMm.y(), 0, 'f', 4)
                                .arg(expected.x(), 0, 'f', 4)
                                .arg(expected.y(), 0, 'f', 4)));
        // A ring of 0.3 mm radius with a thin line: clearly there, and small.
        QVERIFY2(found[i].sizeMm.width() > 0.6 && found[i].sizeMm.width() < 0.9,
                 qPrintable(QString::number(found[i].sizeMm.width())));
    }
    const double apart = found[1].centreMm.x() - found[0].centreMm.x();
    QVERIFY2(std::fabs(apart - 14140.98 * kMmPerTwip) <= kToleranceMm,
             qPrintable(QString::number(apart, 'f', 4)));
    QVERIFY2(std::fabs(apart - 249.4) <= kToleranceMm, qPrintable(QString::number(apart, 'f', 4)));
    QCOMPARE(found[0].centreMm.y(), found[0].centreMm.y());
    QVERIFY(std::fabs(found[1].centreMm.y() - found[0].centreMm.y()) <= kToleranceMm);
    QVERIFY(pagemeasure::words(pdf, &error).isEmpty());
    QVERIFY(QDir(m_temporary).entryList(QDir::Files).isEmpty());
}

// Latin, kana and kanji all from the one named Japanese face: no fallback, no empty boxes.
void tst_PrintPage::oneTypeface()
{
    LetterEntries entries;
    entries.sayuu = QStringLiteral("0");
    entries.jyouge = QStringLiteral("40");
    entries.texts[0] = QStringLiteral("ABC 123 かなカナ漢字");
    QString pdf;
    const QString failure = print(
        false, QPageLayout::Landscape,
        [&](Printing &printing) {
            PrintPlacement placement;
            return printLetter(entries, printing, placement);
        },
        &pdf);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QString error;
    const QStringList fonts = pagemeasure::fonts(pdf, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(fonts.size(), 1);
    QString none;
    QCOMPARE(fonts[0], japaneseFontFamily(&none));
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
    const QStringList left = QDir(m_temporary).entryList(QDir::Files);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
}

void tst_PrintPage::fontSizeReported()
{
    QString error;
    PageGeometry geometry{QPageSize(QPageSize::A4), QPageLayout::Landscape, QPointF()};
    auto surface = PdfSurface::create(
        geometry, QStringLiteral("IPAGothic"), QString(), [](const QString &) { return QString(); },
        &error);
    QVERIFY2(surface, qPrintable(error));
    for (int points : {8, 10, 12, 14}) {
        surface->SetFontSize(points);
        QCOMPARE(surface->FontSize(), double(points));
    }
    QVERIFY(surface->EndDocument().isEmpty());
    QVERIFY(!surface->EndDocument().isEmpty()); // a page goes out once
}

QTEST_MAIN(tst_PrintPage)
#include "tst_printpage.moc"
