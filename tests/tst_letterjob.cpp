#include "exactfloat.h"
#include "fakes.h"
#include "window/mainwindow.h"

#include <QTemporaryDir>
#include <QtTest>

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

// Far enough up that the places come near the origin, where single precision is fine enough
// to tell each rounding step apart.
static const Places kAtMinus499p9andMinus1646 = {
    {907.766846f, -7183.89014f}, {8885.45703f, -6684.93018f}, {9072.56641f, -5596.29004f},
    {10008.1172f, -5596.29004f}, {10943.668f, -5596.29004f},  {-316.953125f, -4592.69971f},
    {737.666992f, -3277.26025f}, {737.666992f, -2857.68018f}, {737.666992f, -2483.45996f},
    {1985.06689f, -2500.46997f}, {737.666992f, -1848.42017f}, {737.666992f, -1536.57007f},
    {7598.3667f, -4547.33984f},  {7598.3667f, -4127.76025f},  {7598.3667f, -3753.54004f},
    {8845.76758f, -3770.55005f}, {7598.3667f, -3118.50024f},  {7598.3667f, -2806.65015f},
    {7598.3667f, -1803.06006f},  {7598.3667f, -1383.47998f},  {7598.3667f, -1009.2597f},
    {8845.76758f, -1026.26978f}, {7598.3667f, -374.21991f},   {7598.3667f, -62.3703156f}};

static const QList<int> kSizes = {14, 14, 14, 14, 14, 14, 8, 12, 8, 10, 10, 10,
                                  8,  12, 8,  10, 10, 10, 8, 12, 8, 10, 10, 10};

using Op = RecordedPage::Op;

class tst_LetterJob : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void wholePage_data();
    void wholePage();
    void delegatedMatter_data();
    void delegatedMatter();
    void emptyEntriesStillPlaced();
    void textsPrintedUnchanged();
    void expiryDateNeverPrinted();
    void failure_data();
    void failure();

private:
    // The 24 controls in the order of the letter, from the window.
    QList<QWidget *> itemControls() const;
    void setText(QWidget *control, const QString &text);
    void fillAll(const QStringList &texts);
    // Everything the user typed, chose or set, to see that a job changed none of it.
    QStringList snapshot() const;

    QTemporaryDir m_dir;
    FakeDesktop m_desktop;
    FakePrinting *m_printing = nullptr;
    MainWindow *m_window = nullptr;
};

void tst_LetterJob::init()
{
    m_desktop.messages.shown.clear();
    m_printing = new FakePrinting;
    Services services = m_desktop.services(m_dir.path());
    services.printing = m_printing;
    m_window = new MainWindow(services);
    m_window->load();
    m_window->ui().Sayuu_Xtxt->setText(QStringLiteral("0"));
    m_window->ui().Jyouge_Ytxt->setText(QStringLiteral("40"));
}

void tst_LetterJob::cleanup()
{
    delete m_window;
    delete m_printing;
}

QList<QWidget *> tst_LetterJob::itemControls() const
{
    Ui::Form1 &ui = m_window->ui();
    return {ui.Combo10101, ui.Combo10201,       ui.Combo10301, ui.Combo10302, ui.Combo10303,
            ui.Text10501,  ui.cIninFuriganaBtn, ui.IninShimei, ui.Combo10601, ui.DaihyouShimei,
            ui.IninJyu1,   ui.IninJyu2,         ui.Text10701,  ui.Text10702,  ui.Combo10701,
            ui.Text10703,  ui.Text10704,        ui.Text10705,  ui.Text10801,  ui.Text10802,
            ui.Combo10801, ui.Text10803,        ui.Text10804,  ui.Text10805};
}

void tst_LetterJob::setText(QWidget *control, const QString &text)
{
    if (auto *combo = qobject_cast<QComboBox *>(control))
        combo->setEditText(text);
    else
        qobject_cast<QLineEdit *>(control)->setText(text);
}

void tst_LetterJob::fillAll(const QStringList &texts)
{
    const QList<QWidget *> controls = itemControls();
    for (int i = 0; i < controls.size(); ++i)
        setText(controls[i], texts[i]);
}

QStringList tst_LetterJob::snapshot() const
{
    QStringList state;
    for (const QLineEdit *edit : m_window->findChildren<QLineEdit *>())
        state << edit->objectName() + '=' + edit->text();
    for (const QComboBox *combo : m_window->findChildren<QComboBox *>())
        state << combo->objectName() + '=' + combo->currentText() + '#' +
                     QString::number(combo->currentIndex()) + '/' + QString::number(combo->count());
    for (const QAbstractButton *button : m_window->findChildren<QAbstractButton *>())
        state << button->objectName() + (button->isChecked() ? "+" : "-") + button->text();
    state << QStringLiteral("panel=%1").arg(m_window->ui().CyouseiFrm->isVisibleTo(m_window));
    state << QStringLiteral("spins=%1,%2")
                 .arg(m_window->ui().UpDownX->value())
                 .arg(m_window->ui().UpDownY->value());
    return state;
}

static QStringList distinctTexts()
{
    return {"委任太郎",
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
}

void tst_LetterJob::wholePage_data()
{
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");
    QTest::addColumn<Places>("places");

    QTest::newRow("0, 40: design places") << "0"
                                          << "40" << kAt0and40;
    QTest::newRow("10, 50") << "10"
                            << "50" << kAt10and50;
    QTest::newRow("-15, 2.5") << "-15"
                              << "2.5" << kAtMinus15and2p5;
    QTest::newRow("0, 0: 4 mm up") << "0"
                                   << "0" << kAt0and0;
    QTest::newRow("-499.9, -1646") << "-499.9"
                                   << "-1646" << kAtMinus499p9andMinus1646;
}

// The complete sequence of a ticked letter: per item the size, the size read back, X, Y and the
// text, then the end of the document.
void tst_LetterJob::wholePage()
{
    QFETCH(QString, sayuu);
    QFETCH(QString, jyouge);
    QFETCH(Places, places);

    m_window->ui().Sayuu_Xtxt->setText(sayuu);
    m_window->ui().Jyouge_Ytxt->setText(jyouge);
    m_window->ui().Check10201->setChecked(true);
    const QStringList texts = distinctTexts();
    fillAll(texts);

    m_window->ui().InsatsuBtn->click();

    QVERIFY(m_desktop.messages.shown.isEmpty());
    QCOMPARE(m_printing->pages.size(), 1);
    const RecordedPage &page = *m_printing->pages[0];
    QCOMPARE(page.ops.size(), 24 * 5 + 1);
    for (int i = 0; i < 24; ++i) {
        const Op *op = &page.ops[i * 5];
        QCOMPARE(op[0].kind, Op::SetFontSize);
        QCOMPARE(op[0].points, kSizes[i]);
        QCOMPARE(op[1].kind, Op::FontSize);
        QCOMPARE(op[2].kind, Op::SetCurrentX);
        COMPARE_EXACT(op[2].value, places[i].first);
        QCOMPARE(op[3].kind, Op::SetCurrentY);
        COMPARE_EXACT(op[3].value, places[i].second);
        QCOMPARE(op[4].kind, Op::PrintText);
        QCOMPARE(op[4].text, texts[i]);
    }
    QCOMPARE(page.ops.last().kind, Op::EndDocument);
    QVERIFY(page.ended);
    QCOMPARE(page.title, QStringLiteral("委任状"));
}

void tst_LetterJob::delegatedMatter_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("matter");
    QTest::addColumn<bool>("listShown");

    QTest::newRow("ticked") << true << "抹消" << true;
    QTest::newRow("ticked, list empty") << true << "" << true;
    QTest::newRow("ticked, list hidden") << true << "名義変更" << false;
    QTest::newRow("cleared") << false << "抹消" << false;
    QTest::newRow("cleared, list shown") << false << "名義変更" << true;
}

// The check box decides, not the list's visibility nor its text.
void tst_LetterJob::delegatedMatter()
{
    QFETCH(bool, ticked);
    QFETCH(QString, matter);
    QFETCH(bool, listShown);

    fillAll(distinctTexts());
    m_window->ui().Check10201->setChecked(ticked);
    m_window->ui().Combo10201->setEditText(matter);
    m_window->ui().Combo10201->setVisible(listShown);

    m_window->ui().InsatsuBtn->click();

    QCOMPARE(m_printing->pages.size(), 1);
    const RecordedPage &page = *m_printing->pages[0];
    QVERIFY(page.ended);
    const QList<Op> xs = page.opsOf(Op::SetCurrentX);
    const QList<Op> ys = page.opsOf(Op::SetCurrentY);
    const QList<Op> printed = page.opsOf(Op::PrintText);
    QCOMPARE(printed.size(), ticked ? 24 : 23);
    bool atMatterPlace = false;
    for (int i = 0; i < xs.size(); ++i)
        atMatterPlace |=
            sameBits(xs[i].value, kAt0and40[1].first) && sameBits(ys[i].value, kAt0and40[1].second);
    QCOMPARE(atMatterPlace, ticked);
    QCOMPARE(printed.size() > 1 && printed[1].text == matter, ticked);
    // The items after it are where they always are.
    COMPARE_EXACT(xs.last().value, kAt0and40[23].first);
    COMPARE_EXACT(ys.last().value, kAt0and40[23].second);
    QCOMPARE(printed.last().text, QStringLiteral("栄3-3"));
}

void tst_LetterJob::emptyEntriesStillPlaced()
{
    fillAll(QStringList(24, QString()));
    m_window->ui().Check10201->setChecked(false);

    m_window->ui().InsatsuBtn->click();

    QCOMPARE(m_printing->pages.size(), 1);
    const RecordedPage &page = *m_printing->pages[0];
    QCOMPARE(page.ops.size(), 23 * 5 + 1);
    const QList<Op> printed = page.opsOf(Op::PrintText);
    for (const Op &op : printed)
        QVERIFY(op.text.isEmpty());
    const QList<Op> ys = page.opsOf(Op::SetCurrentY);
    COMPARE_EXACT(ys[0].value, kAt0and40[0].second);
    COMPARE_EXACT(ys[1].value, kAt0and40[2].second);
    COMPARE_EXACT(ys.last().value, kAt0and40[23].second);
    QVERIFY(page.ended);
    QVERIFY(m_desktop.messages.shown.isEmpty());
}

// Nothing is joined, trimmed or put in front: blanks, full-width spaces, a bare day number and
// a text far longer than its place all go out as typed.
void tst_LetterJob::textsPrintedUnchanged()
{
    QStringList texts = distinctTexts();
    texts[0] = QStringLiteral("  前後に空白  ");
    texts[2] = QStringLiteral("17");
    texts[3] = QStringLiteral("　全角空白　");
    texts[5] = QStringLiteral("ABC-123 abc");
    texts[7] = QString(200, QChar(0x9577)); // 長
    texts[10] = QStringLiteral("〒100-0013 東京都千代田区霞が関３丁目");
    texts[23] = QStringLiteral("𠮷野家ビル");
    fillAll(texts);
    m_window->ui().Check10201->setChecked(true);

    m_window->ui().InsatsuBtn->click();

    const QList<Op> printed = m_printing->pages.at(0)->opsOf(Op::PrintText);
    QCOMPARE(printed.size(), 24);
    for (int i = 0; i < 24; ++i)
        QCOMPARE(printed[i].text, texts[i]);
}

void tst_LetterJob::expiryDateNeverPrinted()
{
    fillAll(distinctTexts());
    m_window->ui().InsatsuBtn->click();

    Ui::Form1 &ui = m_window->ui();
    ui.Check10401->setChecked(true);
    ui.Combo10401->setEditText(QStringLiteral("8"));
    ui.Combo10402->setEditText(QStringLiteral("9"));
    ui.Combo10403->setEditText(QStringLiteral("10"));
    ui.InsatsuBtn->click();

    QCOMPARE(m_printing->pages.size(), 2);
    const QList<Op> first = m_printing->pages[0]->ops;
    const QList<Op> second = m_printing->pages[1]->ops;
    QCOMPARE(first.size(), second.size());
    for (int i = 0; i < first.size(); ++i) {
        QCOMPARE(second[i].kind, first[i].kind);
        QVERIFY(sameBits(second[i].value, first[i].value));
        QCOMPARE(second[i].text, first[i].text);
    }
}

void tst_LetterJob::failure_data()
{
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");
    QTest::addColumn<QString>("openError");
    QTest::addColumn<QString>("endError");
    QTest::addColumn<QStringList>("told"); // empty: no message at all
    QTest::addColumn<bool>("opened");

    const QString sayuu = QStringLiteral("左右のズレ");
    const QString jyouge = QStringLiteral("上下のズレ");
    const QString vanished = QStringLiteral("プリンタ「Sheet」が見つかりません。");
    const QString refused = QStringLiteral("プリンタ「Sheet」が印刷を受け付けませんでした。");

    QTest::newRow("left/right empty") << ""
                                      << "40"
                                      << ""
                                      << "" << QStringList{sayuu, "入力されていません"} << false;
    QTest::newRow("up/down not a number")
        << "0"
        << "四十"
        << ""
        << "" << QStringList{jyouge, "数値ではありません"} << false;
    QTest::newRow("left/right overflows") << "1e39"
                                          << "40"
                                          << ""
                                          << "" << QStringList{sayuu, "大きすぎます"} << false;
    QTest::newRow("up/down the word -inf") << "0"
                                           << "-inf"
                                           << ""
                                           << "" << QStringList{jyouge, "数値ではありません"} << false;
    QTest::newRow("overflow only in twips") << "3e38"
                                            << "40"
                                            << ""
                                            << "" << QStringList{sayuu, "大きすぎます"} << false;
    QTest::newRow("destination vanished")
        << "0"
        << "40" << vanished << "" << QStringList{vanished} << true;
    QTest::newRow("spooler refused the job") << "0"
                                             << "40"
                                             << "" << refused << QStringList{refused} << true;
    QTest::newRow("no file picked") << "0"
                                    << "40"
                                    << ""
                                    << "" << QStringList() << true;
}

void tst_LetterJob::failure()
{
    QFETCH(QString, sayuu);
    QFETCH(QString, jyouge);
    QFETCH(QString, openError);
    QFETCH(QString, endError);
    QFETCH(QStringList, told);
    QFETCH(bool, opened);

    fillAll(distinctTexts());
    Ui::Form1 &ui = m_window->ui();
    ui.Check10201->setChecked(true);
    ui.OnOffBtn->click(); // panel open, as when calibrating
    ui.UpDownX->setValue(-3);
    ui.UpDownY->setValue(41);
    ui.Sayuu_Xtxt->setText(sayuu);
    ui.Jyouge_Ytxt->setText(jyouge);
    m_printing->openError = openError;
    m_printing->endError = endError;
    m_printing->cancelOpen = told.isEmpty();
    const QStringList before = snapshot();

    ui.InsatsuBtn->click();

    QCOMPARE(m_printing->openCalls, opened ? 1 : 0);
    for (const auto &page : m_printing->pages)
        QVERIFY(!page->ended);
    if (told.isEmpty()) {
        QVERIFY(m_desktop.messages.shown.isEmpty());
    } else {
        QCOMPARE(m_desktop.messages.shown.size(), 1);
        const FakeMessages::Shown &shown = m_desktop.messages.shown[0];
        QCOMPARE(shown.kind, QStringLiteral("critical"));
        QCOMPARE(shown.title, QStringLiteral("ソラフ"));
        for (const QString &part : told)
            QVERIFY2(shown.text.contains(part), qPrintable(shown.text));
    }
    QCOMPARE(snapshot(), before);

    // The program goes on: with the boxes put right, the next click prints.
    m_printing->openError.clear();
    m_printing->endError.clear();
    m_printing->cancelOpen = false;
    ui.Sayuu_Xtxt->setText(QStringLiteral("0"));
    ui.Jyouge_Ytxt->setText(QStringLiteral("40"));
    ui.InsatsuBtn->click();
    QVERIFY(m_printing->pages.last()->ended);
}

QTEST_MAIN(tst_LetterJob)
#include "tst_letterjob.moc"
