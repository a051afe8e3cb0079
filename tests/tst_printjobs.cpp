// The two print jobs as the window's buttons run them, on a surface that writes down every
// operation: sizes, places to the bit, texts, and what a failure leaves.

#include "windowfixture.h"

// Where each item starts, in twips, at offsets -500.5 (printed as -500, half to even) and -1000:
// as far up as the panel reaches, so that the places come near the origin, where single
// precision tells each rounding step apart. Worked out apart from the program, in single
// precision as the sheet's layout defines it.
static const float kPlaces[24][2] = {
    {907.199951f, -3521.07031f}, {8884.89062f, -3022.11035f}, {9072.0f, -1933.47009f},
    {10007.5498f, -1933.47009f}, {10943.1006f, -1933.47009f}, {-317.52002f, -929.880066f},
    {737.100098f, 385.559601f},  {737.100098f, 805.139709f},  {737.100098f, 1179.35986f},
    {1984.5f, 1162.34985f},      {737.100098f, 1814.39966f},  {737.100098f, 2126.24976f},
    {7597.7998f, -884.519958f},  {7597.7998f, -464.940369f},  {7597.7998f, -90.7201767f},
    {8845.2002f, -107.730179f},  {7597.7998f, 544.319641f},   {7597.7998f, 856.169739f},
    {7597.7998f, 1859.75977f},   {7597.7998f, 2279.33984f},   {7597.7998f, 2653.56006f},
    {8845.2002f, 2636.55005f},   {7597.7998f, 3288.59985f},   {7597.7998f, 3600.44946f}};
static const int kSizes[24] = {14, 14, 14, 14, 14, 14, 8, 12, 8, 10, 10, 10,
                               8,  12, 8,  10, 10, 10, 8, 12, 8, 10, 10, 10};

class TestPrintJobs : public QObject
{
    Q_OBJECT
    std::unique_ptr<WindowFixture> m;
    Ui::Form1 *ui = nullptr;

private slots:
    void init()
    {
        m = std::make_unique<WindowFixture>();
        ui = &m->start();
    }

    void letter_data()
    {
        QTest::addColumn<int>("matter"); // 1: ticked, 2: its list shown
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("asked"); // what the clerk was asked about first
        QStringList asTyped = kLetterTexts;
        asTyped[0] = "  前後に空白  ";
        asTyped[3] = "　全角空白　";
        asTyped[7] = QString(50, QChar(0x9577)); // far longer than its place
        asTyped[9] = QString();
        asTyped[23] = "𠮷野家ビル";
        QStringList full = kLetterTexts;
        full[2] = "令和八"; // each up to the next column's edge
        full[8] = "代表取締役社長";
        QTest::newRow("every item, each rounding step") << 3 << kLetterTexts << "";
        // The check box decides, not the list's visibility.
        QTest::newRow("matter ticked, list hidden") << 1 << kLetterTexts << "";
        QTest::newRow("matter cleared, list shown") << 2 << kLetterTexts << "";
        QTest::newRow("as typed, empty placed too")
            << 3 << asTyped << "委任者1の氏名又は会社名：欄から";
        QTest::newRow("full, yet nothing to warn of") << 3 << full << "";
    }
    void letter()
    {
        QFETCH(int, matter);
        QFETCH(QStringList, texts);
        QFETCH(QString, asked);
        m->fill(texts);
        ui->Sayuu_Xtxt->setText("-500.5");
        ui->Jyouge_Ytxt->setText("-1000");
        ui->Check10201->setChecked(matter & 1);
        m->field("delegated_matter")->parentWidget()->setVisible(matter & 2);
        // The expiry date is never printed.
        ui->Check10401->setChecked(true);
        ui->Combo10401->setEditText("有効期限");
        ui->InsatsuBtn->click();
        QStringList expected{"委任状"};
        for (int i = 0; i < 24; ++i)
            if (i != 1 || matter & 1)
                expected << QString::number(kSizes[i]) + "pt"
                         << "x " + exact(kPlaces[i][0]) << "y " + exact(kPlaces[i][1]) << texts[i];
        QCOMPARE(m->printing.pages, {expected << "end"});
        QCOMPARE(m->desktop.shown.size(), int(!asked.isEmpty()));
        QVERIFY(m->desktop.shown.join("").contains(asked));
    }

    // The offsets; where both circles go; the PDF file taken, if any. The factor widened from
    // single and the one rounding at the end both show in the second row; the half goes to the
    // even neighbour.
    void marks_data()
    {
        rows(R"(
            to a printer | 0 | 40 | 1615.95007 | 15756.9307 | 1315.44006 | -
            into a file | -199 | 158.5 | 487.620056 | 14628.6006 | 1984.5 | /書類/位置.pdf)");
    }
    // Only the two circles and the end of the document: no font, no position, no text.
    void marks()
    {
        QFETCH(QStringList, row);
        ui->Sayuu_Xtxt->setText(row[0]);
        ui->Jyouge_Ytxt->setText(row[1]);
        m->printing.file = row[5];
        ui->IchiBtn->click();
        const QString circle = "circle %1 " + row[4] + " 17.0100002";
        const QString title = "位置合わせの○印";
        const QStringList page{title, circle.arg(row[2]), circle.arg(row[3]), "end"};
        QCOMPARE(m->printing.pages, {page});
        QCOMPARE(m->desktop.shown, QStringList());
        const auto *notice = m->window->findChild<QLabel *>("noticeLabel");
        const QString sent = "Fake に送りました（ジョブ 1）";
        QCOMPARE(notice->text(), row[5].isEmpty() ? sent : "位置.pdf を保存しました");
        QVERIFY(notice->isVisibleTo(m->window.get()));
    }

    // The button, the offsets, the printer's fault, what is told.
    void failure_data()
    {
        rows(R"(
            letter, x empty | InsatsuBtn | - | 40 | - | 左右のズレ|入力されていません
            letter, y not a number | InsatsuBtn | 0 | 四十 | - |
                上下のズレ|数値ではありません
            letter, x beyond float | InsatsuBtn | 1e39 | 40 | - | 左右のズレ|大きすぎます
            letter, x 1000.5 refused | InsatsuBtn | 1000.5 | 40 | - | 左右のズレ|範囲|-1000
            letter, y -3.3e38 | InsatsuBtn | 0 | -3.3e38 | - | 上下のズレ|範囲|-1000
            marks, x empty | IchiBtn | - | 40 | - | 左右のズレ|入力されていません
            marks, y -3.3e38 | IchiBtn | 0 | -3.3e38 | - | 上下のズレ|範囲|-1000
            queue stopped, marks | IchiBtn | 0 | 40 | open |
                プリンタ「Sheet」は停止しています。
            letter refused | InsatsuBtn | 0 | 40 | end | 印刷を受け付けませんでした。
            size unusable during the job | InsatsuBtn | 0 | 40 | size | 文字の大きさ
            no file picked | InsatsuBtn | 0 | 40 | cancel | -
            year too long | InsatsuBtn | 0 | 40 | year=令和八年 | 日付の年|はみ出
            emoji | InsatsuBtn | 0 | 40 | delegator2_title=👍🏽 | 2の肩書|「👍🏽」
            nothing to print on | InsatsuBtn | 0 | 40 | = | 委任者の氏名又は会社名も)");
    }
    // Told once with its reason (a box failure names only its own box), nothing printed and every
    // entry kept; a page begun is thrown away. The next click prints once the cause is gone.
    void failure()
    {
        QFETCH(QStringList, row);
        const QString fault = row[3], told = row[4];
        // Text that would not print as typed: the clerk chooses やめる.
        const bool asked = fault.contains('=');
        m->fill(fault == "=" ? QStringList(24, "") : kLetterTexts);
        if (asked && fault != "=")
            m->field(fault.section('=', 0, 0))->setText(fault.section('=', 1));
        m->desktop.printAnyway = !asked;
        ui->Check10201->click();
        ui->OnOffBtn->click();
        ui->Sayuu_Xtxt->setText(row[1]);
        ui->Jyouge_Ytxt->setText(row[2]);
        FakePrinting &printing = m->printing;
        printing.openError = fault == "open" ? told : "";
        printing.endError = fault == "end" ? told : "";
        printing.reportedSize = fault == "size" ? std::nan("") : -1;
        printing.cancel = fault == "cancel";
        const QStringList before = m->state();
        auto *button = m->window->findChild<QAbstractButton *>(row[0]);
        button->click();
        QCOMPARE(printing.opened, fault.isEmpty() || asked ? 0 : 1);
        for (const QStringList &page : std::as_const(printing.pages))
            QCOMPARE(page.last(), "discarded");
        const QString kind = asked ? "printAnyway" : "critical";
        QCOMPARE(told.isEmpty() ? m->desktop.shown.join("") : m->notToldOnce(told.split('|'), kind),
                 QString());
        const QString text = m->desktop.shown.value(0);
        const bool both = text.contains("左右のズレ") && text.contains("上下のズレ");
        QVERIFY2(!both, qPrintable(text));
        QCOMPARE(m->state(), before);

        printing = FakePrinting();
        m->desktop.printAnyway = true;
        ui->Sayuu_Xtxt->setText("0");
        ui->Jyouge_Ytxt->setText("40");
        button->click();
        QCOMPARE(printing.pages.size(), 1);
        QCOMPARE(printing.pages[0].last(), "end");
    }
};

QTEST_MAIN(TestPrintJobs)
#include "tst_printjobs.moc"
