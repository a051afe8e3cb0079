// The two print jobs as the window's buttons run them, on a surface that records every operation.

#include "exactfloat.h"
#include "printwindow.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using Op = RecordedPage::Op;
using Places = QList<QPair<float, float>>;

// Where each item starts, in twips, for the offsets in the boxes; worked out apart from the
// program, in single precision as the sheet's layout defines it.
static const Places kAt0and40 = {
    {3742.19995f, 2375.72998f}, {11719.8906f, 2874.68994f}, {11907.0f, 3963.33008f},
    {12842.5498f, 3963.33008f}, {13778.1006f, 3963.33008f}, {2517.47998f, 4966.92041f},
    {3572.1001f, 6282.35986f},  {3572.1001f, 6701.93994f},  {3572.1001f, 7076.16016f},
    {4819.5f, 7059.15039f},     {3572.1001f, 7711.2002f},   {3572.1001f, 8023.05029f},
    {10432.7998f, 5012.28027f}, {10432.7998f, 5431.85986f}, {10432.7998f, 5806.08008f},
    {11680.2002f, 5789.07031f}, {10432.7998f, 6441.12012f}, {10432.7998f, 6752.97021f},
    {10432.7998f, 7756.56006f}, {10432.7998f, 8176.14014f}, {10432.7998f, 8550.36035f},
    {11680.2002f, 8533.35059f}, {10432.7998f, 9185.40039f}, {10432.7998f, 9497.25f}};

static const Places kAt10and50 = {
    {3798.8999f, 2432.42993f},  {11776.5908f, 2931.38989f}, {11963.7002f, 4020.03003f},
    {12899.25f, 4020.03003f},   {13834.8008f, 4020.03003f}, {2574.17993f, 5023.62012f},
    {3628.80005f, 6339.06006f}, {3628.80005f, 6758.64014f}, {3628.80005f, 7132.86035f},
    {4876.2002f, 7115.8501f},   {3628.80005f, 7767.8999f},  {3628.80005f, 8079.75f},
    {10489.5f, 5068.98047f},    {10489.5f, 5488.56006f},    {10489.5f, 5862.78027f},
    {11736.9004f, 5845.77002f}, {10489.5f, 6497.81982f},    {10489.5f, 6809.66992f},
    {10489.5f, 7813.26025f},    {10489.5f, 8232.83984f},    {10489.5f, 8607.06055f},
    {11736.9004f, 8590.05078f}, {10489.5f, 9242.10059f},    {10489.5f, 9553.9502f}};

static const Places kAtMinus15and2p5 = {
    {3657.1499f, 2163.10498f},  {11634.8408f, 2662.06494f}, {11821.9502f, 3750.70508f},
    {12757.5f, 3750.70508f},    {13693.0508f, 3750.70508f}, {2432.42993f, 4754.29541f},
    {3487.05005f, 6069.73486f}, {3487.05005f, 6489.31494f}, {3487.05005f, 6863.53516f},
    {4734.4502f, 6846.52539f},  {3487.05005f, 7498.5752f},  {3487.05005f, 7810.42529f},
    {10347.75f, 4799.65527f},   {10347.75f, 5219.23486f},   {10347.75f, 5593.45508f},
    {11595.1504f, 5576.44531f}, {10347.75f, 6228.49512f},   {10347.75f, 6540.34521f},
    {10347.75f, 7543.93506f},   {10347.75f, 7963.51514f},   {10347.75f, 8337.73535f},
    {11595.1504f, 8320.72559f}, {10347.75f, 8972.77539f},   {10347.75f, 9284.625f}};

static const Places kAt0and0 = {
    {3742.19995f, 2148.92993f}, {11719.8906f, 2647.88989f}, {11907.0f, 3736.53003f},
    {12842.5498f, 3736.53003f}, {13778.1006f, 3736.53003f}, {2517.47998f, 4740.12012f},
    {3572.1001f, 6055.56006f},  {3572.1001f, 6475.14014f},  {3572.1001f, 6849.36035f},
    {4819.5f, 6832.3501f},      {3572.1001f, 7484.3999f},   {3572.1001f, 7796.25f},
    {10432.7998f, 4785.48047f}, {10432.7998f, 5205.06006f}, {10432.7998f, 5579.28027f},
    {11680.2002f, 5562.27002f}, {10432.7998f, 6214.31982f}, {10432.7998f, 6526.16992f},
    {10432.7998f, 7529.76025f}, {10432.7998f, 7949.34033f}, {10432.7998f, 8323.56055f},
    {11680.2002f, 8306.55078f}, {10432.7998f, 8958.60059f}, {10432.7998f, 9270.4502f}};

// As far up as the panel reaches, so that the places come near the origin, where single
// precision is fine enough to tell each rounding step apart.
static const Places kAtMinus499p9andMinus1000 = {
    {907.766846f, -3521.07031f}, {8885.45703f, -3022.11035f}, {9072.56641f, -1933.47009f},
    {10008.1172f, -1933.47009f}, {10943.668f, -1933.47009f},  {-316.953125f, -929.880066f},
    {737.666992f, 385.559601f},  {737.666992f, 805.139709f},  {737.666992f, 1179.35986f},
    {1985.06689f, 1162.34985f},  {737.666992f, 1814.39966f},  {737.666992f, 2126.24976f},
    {7598.3667f, -884.519958f},  {7598.3667f, -464.940369f},  {7598.3667f, -90.7201767f},
    {8845.76758f, -107.730179f}, {7598.3667f, 544.319641f},   {7598.3667f, 856.169739f},
    {7598.3667f, 1859.75977f},   {7598.3667f, 2279.33984f},   {7598.3667f, 2653.56006f},
    {8845.76758f, 2636.55005f},  {7598.3667f, 3288.59985f},   {7598.3667f, 3600.44946f}};

static const QList<int> kSizes = {14, 14, 14, 14, 14, 14, 8, 12, 8, 10, 10, 10,
                                  8,  12, 8,  10, 10, 10, 8, 12, 8, 10, 10, 10};

class tst_PrintJobs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void letter_data();
    void letter();
    void marks_data();
    void marks();
    void failure_data();
    void failure();

private:
    QTemporaryDir m_dir;
    FakeDesktop m_desktop;
    std::unique_ptr<FakePrinting> m_printing;
    std::unique_ptr<MainWindow> m_window;
};

void tst_PrintJobs::init()
{
    m_desktop.messages.shown.clear();
    m_printing = std::make_unique<FakePrinting>();
    m_window = openWindow(m_desktop, m_printing.get(), m_dir.path());
}

void tst_PrintJobs::cleanup()
{
    m_window.reset();
    m_printing.reset();
}

void tst_PrintJobs::letter_data()
{
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");
    QTest::addColumn<Places>("places");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("ticked");    // the delegated matter
    QTest::addColumn<bool>("listShown"); // its list
    QTest::addColumn<bool>("expiry");    // the expiry date set too

    const auto row = [](const char *name, const char *sayuu, const char *jyouge,
                        const Places &places, const QStringList &texts = letterTexts(),
                        bool ticked = true, bool listShown = true, bool expiry = false) {
        QTest::newRow(name) << QString(sayuu) << QString(jyouge) << places << texts << ticked
                            << listShown << expiry;
    };
    row("0, 40: design places", "0", "40", kAt0and40);
    row("10, 50", "10", "50", kAt10and50);
    row("-15, 2.5", "-15", "2.5", kAtMinus15and2p5);
    row("0, 0: 4 mm up", "0", "0", kAt0and0);
    row("-499.9, -1000: each rounding step", "-499.9", "-1000", kAtMinus499p9andMinus1000);
    // The check box decides, not the list's visibility.
    row("matter ticked, list hidden", "0", "40", kAt0and40, letterTexts(), true, false);
    row("matter cleared, list shown", "0", "40", kAt0and40, letterTexts(), false, true);
    row("empty entries still placed", "0", "40", kAt0and40, QStringList(24, QString()));
    // Nothing is joined, trimmed or put in front.
    QStringList asTyped = letterTexts();
    asTyped[0] = QStringLiteral("  前後に空白  ");
    asTyped[3] = QStringLiteral("　全角空白　");
    asTyped[7] = QString(200, QChar(0x9577)); // far longer than its place
    asTyped[23] = QStringLiteral("𠮷野家ビル");
    row("texts as typed", "0", "40", kAt0and40, asTyped);
    row("expiry date never printed", "0", "40", kAt0and40, letterTexts(), true, true, true);
}

// Per printed item the size, the size read back, X, Y and the text, then the end of the
// document.
void tst_PrintJobs::letter()
{
    QFETCH(QString, sayuu);
    QFETCH(QString, jyouge);
    QFETCH(Places, places);
    QFETCH(QStringList, texts);
    QFETCH(bool, ticked);
    QFETCH(bool, listShown);
    QFETCH(bool, expiry);

    Ui::Form1 &ui = m_window->ui();
    fillLetter(*m_window, texts);
    ui.Sayuu_Xtxt->setText(sayuu);
    ui.Jyouge_Ytxt->setText(jyouge);
    ui.Check10201->setChecked(ticked);
    ui.Combo10201->setVisible(listShown);
    if (expiry) {
        ui.Check10401->setChecked(true);
        ui.Combo10401->setEditText(QStringLiteral("8"));
        ui.Combo10402->setEditText(QStringLiteral("9"));
        ui.Combo10403->setEditText(QStringLiteral("10"));
    }

    ui.InsatsuBtn->click();

    QVERIFY(m_desktop.messages.shown.isEmpty());
    QCOMPARE(m_printing->pages.size(), 1);
    const RecordedPage &page = *m_printing->pages[0];
    QCOMPARE(page.title, QStringLiteral("委任状"));
    QList<int> items;
    for (int i = 0; i < 24; ++i)
        if (ticked || i != 1)
            items << i;
    QCOMPARE(page.ops.size(), items.size() * 5 + 1);
    const Op *op = page.ops.constData();
    for (int i : std::as_const(items)) {
        QCOMPARE(op[0].kind, Op::SetFontSize);
        QCOMPARE(op[0].points, kSizes[i]);
        QCOMPARE(op[1].kind, Op::FontSize);
        QCOMPARE(op[2].kind, Op::SetCurrentX);
        COMPARE_EXACT(op[2].x, places[i].first);
        QCOMPARE(op[3].kind, Op::SetCurrentY);
        COMPARE_EXACT(op[3].y, places[i].second);
        QCOMPARE(op[4].kind, Op::PrintText);
        QCOMPARE(op[4].text, texts[i]);
        op += 5;
    }
    QCOMPARE(op->kind, Op::EndDocument);
    QVERIFY(page.ended);
}

void tst_PrintJobs::marks_data()
{
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");
    QTest::addColumn<float>("leftX");
    QTest::addColumn<float>("rightX");
    QTest::addColumn<float>("y");

    const auto row = [](const char *name, const char *sayuu, const char *jyouge, float leftX,
                        float rightX, float y) {
        QTest::newRow(name) << QString(sayuu) << QString(jyouge) << leftX << rightX << y;
    };
    row("0, 0: design places", "0", "0", 1615.95007f, 15756.9307f, 1088.64001f);
    row("0, 40: no bias taken off", "0", "40", 1615.95007f, 15756.9307f, 1315.44006f);
    row("10, 50", "10", "50", 1672.65002f, 15813.6309f, 1372.14001f);
    row("-15, 2.5", "-15", "2.5", 1530.90002f, 15671.8809f, 1102.81506f);
    // The factor widened from single and the one rounding at the end both show here.
    row("-199, 158.5", "-199", "158.5", 487.620056f, 14628.6006f, 1987.33508f);
}

// Only the two circles and the end of the document: no font, no position, no text.
void tst_PrintJobs::marks()
{
    QFETCH(QString, sayuu);
    QFETCH(QString, jyouge);
    QFETCH(float, leftX);
    QFETCH(float, rightX);
    QFETCH(float, y);

    m_window->ui().Sayuu_Xtxt->setText(sayuu);
    m_window->ui().Jyouge_Ytxt->setText(jyouge);
    m_window->ui().IchiBtn->click();

    QVERIFY(m_desktop.messages.shown.isEmpty());
    QCOMPARE(m_printing->pages.size(), 1);
    const RecordedPage &page = *m_printing->pages[0];
    QCOMPARE(page.title, QStringLiteral("位置合わせの○印"));
    QCOMPARE(page.ops.size(), 3);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(page.ops[i].kind, Op::DrawCircle);
        COMPARE_EXACT(page.ops[i].x, i ? rightX : leftX);
        COMPARE_EXACT(page.ops[i].y, y);
        COMPARE_EXACT(page.ops[i].radius, 17.0100002f);
    }
    QCOMPARE(page.ops[2].kind, Op::EndDocument);
    QVERIFY(page.ended);
}

void tst_PrintJobs::failure_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");
    QTest::addColumn<QString>("fault"); // of the printer: "open", "end", "size" or "cancel"
    QTest::addColumn<QString>("told");  // all of it in the one message

    const QString sayuu = QStringLiteral("左右のズレ");
    const QString jyouge = QStringLiteral("上下のズレ");
    for (const char *button : {"InsatsuBtn", "IchiBtn"}) {
        const auto box = [button](const char *name, const char *sayuuText, const char *jyougeText,
                                  const QString &told) {
            QTest::addRow("%s, %s", button, name)
                << button << QString(sayuuText) << QString(jyougeText) << QString() << told;
        };
        box("left/right empty", "", "40", sayuu + "|入力されていません");
        box("up/down not a number", "0", "四十", jyouge + "|数値ではありません");
        box("left/right nan", "nan", "40", sayuu + "|数値ではありません");
        box("up/down -inf", "0", "-inf", jyouge + "|数値ではありません");
        box("left/right beyond single", "1e39", "40", sayuu + "|大きすぎます");
        box("left/right 3e38, beyond the range", "3e38", "40", sayuu + "|範囲|-1000");
        box("up/down -3.3e38, beyond the range", "0", "-3.3e38", jyouge + "|範囲|-1000");
        // Further off than the panel reaches, every item lands off the sheet.
        box("i9 fault 7: left/right 1000.5 refused", "1000.5", "40", sayuu + "|範囲|-1000");
    }
    const auto printer = [](const char *name, const char *button, const char *fault,
                            const QString &told) {
        QTest::newRow(name) << button << QStringLiteral("0") << QStringLiteral("40")
                            << QString(fault) << told;
    };
    printer("destination vanished", "InsatsuBtn", "open", "プリンタ「Sheet」が見つかりません。");
    printer("queue stopped, marks", "IchiBtn", "open", "プリンタ「Sheet」は停止しています。");
    printer("spooler refused the job", "InsatsuBtn", "end", "印刷を受け付けませんでした。");
    printer("spooler refused the marks", "IchiBtn", "end", "印刷を受け付けませんでした。");
    printer("size unusable during the job", "InsatsuBtn", "size", "文字の大きさ");
    printer("no file picked", "InsatsuBtn", "cancel", "");
}

// Told once with its reason (a box failure names only its own box), nothing printed and every
// entry kept; a page begun is thrown away. The next click prints once the cause is gone.
void tst_PrintJobs::failure()
{
    QFETCH(QString, button);
    QFETCH(QString, sayuu);
    QFETCH(QString, jyouge);
    QFETCH(QString, fault);
    QFETCH(QString, told);

    Ui::Form1 &ui = m_window->ui();
    fillLetter(*m_window, letterTexts());
    ui.Check10201->click();
    ui.OnOffBtn->click(); // panel open, as when calibrating
    ui.UpDownX->setValue(-3);
    ui.UpDownY->setValue(41);
    ui.Sayuu_Xtxt->setText(sayuu);
    ui.Jyouge_Ytxt->setText(jyouge);
    if (fault == "open")
        m_printing->openError = told;
    else if (fault == "end")
        m_printing->endError = told;
    m_printing->reportedSize = fault == "size" ? std::nan("") : -1;
    m_printing->cancelOpen = fault == "cancel";
    const QStringList before = windowState(*m_window);

    m_window->findChild<QAbstractButton *>(button)->click();

    QCOMPARE(m_printing->openCalls, fault.isEmpty() ? 0 : 1);
    QCOMPARE(m_printing->pages.size(), fault == "end" || fault == "size" ? 1 : 0);
    for (const auto &page : std::as_const(m_printing->pages))
        QVERIFY(!page->ended && page->discarded);
    if (told.isEmpty())
        QVERIFY(m_desktop.messages.shown.isEmpty());
    else
        QCOMPARE(notToldOnce(m_desktop.messages, told.split('|')), QString());
    const QString text = m_desktop.messages.shown.value(0).text;
    QVERIFY2(!text.contains("左右のズレ") || !text.contains("上下のズレ"), qPrintable(text));
    QCOMPARE(windowState(*m_window), before);

    *m_printing = FakePrinting();
    ui.Sayuu_Xtxt->setText(QStringLiteral("0"));
    ui.Jyouge_Ytxt->setText(QStringLiteral("40"));
    m_window->findChild<QAbstractButton *>(button)->click();
    QCOMPARE(m_printing->pages.size(), 1);
    QVERIFY(m_printing->pages[0]->ended);
}

QTEST_MAIN(tst_PrintJobs)
#include "tst_printjobs.moc"
