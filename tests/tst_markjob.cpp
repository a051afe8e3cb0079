#include "exactfloat.h"
#include "fakes.h"
#include "window/mainwindow.h"

#include <QTemporaryDir>
#include <QtTest>

using Op = RecordedPage::Op;

class tst_MarkJob : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void twoCircles_data();
    void twoCircles();
    void failure_data();
    void failure();

private:
    QStringList snapshot() const;

    QTemporaryDir m_dir;
    FakeDesktop m_desktop;
    FakePrinting *m_printing = nullptr;
    MainWindow *m_window = nullptr;
};

void tst_MarkJob::init()
{
    m_desktop.messages.shown.clear();
    m_printing = new FakePrinting;
    Services services = m_desktop.services(m_dir.path());
    services.printing = m_printing;
    m_window = new MainWindow(services);
    m_window->load();
    m_window->ui().OnOffBtn->click();
}

void tst_MarkJob::cleanup()
{
    delete m_window;
    delete m_printing;
}

QStringList tst_MarkJob::snapshot() const
{
    QStringList state;
    for (const QLineEdit *edit : m_window->findChildren<QLineEdit *>())
        state << edit->objectName() + '=' + edit->text();
    for (const QComboBox *combo : m_window->findChildren<QComboBox *>())
        state << combo->objectName() + '=' + combo->currentText();
    state << QStringLiteral("panel=%1").arg(m_window->ui().CyouseiFrm->isVisibleTo(m_window));
    state << QStringLiteral("spins=%1,%2")
                 .arg(m_window->ui().UpDownX->value())
                 .arg(m_window->ui().UpDownY->value());
    return state;
}

void tst_MarkJob::twoCircles_data()
{
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");
    QTest::addColumn<float>("leftX");
    QTest::addColumn<float>("rightX");
    QTest::addColumn<float>("y");

    QTest::newRow("0, 0: design places") << "0"
                                         << "0" << 1615.95007f << 15756.9307f << 1088.64001f;
    QTest::newRow("0, 40: 4 mm down") << "0"
                                      << "40" << 1615.95007f << 15756.9307f << 1315.44006f;
    QTest::newRow("10, 50") << "10"
                            << "50" << 1672.65002f << 15813.6309f << 1372.14001f;
    QTest::newRow("-15, 2.5") << "-15"
                              << "2.5" << 1530.90002f << 15671.8809f << 1102.81506f;
    QTest::newRow("negative up/down") << "0"
                                      << "-20" << 1615.95007f << 15756.9307f << 975.23999f;
}

// Only the two circles and the end of the document: no font, no position, no text.
void tst_MarkJob::twoCircles()
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
    QCOMPARE(page.ops.size(), 3);
    QCOMPARE(page.ops[0].kind, Op::DrawCircle);
    QCOMPARE(page.ops[1].kind, Op::DrawCircle);
    QCOMPARE(page.ops[2].kind, Op::EndDocument);
    COMPARE_EXACT(page.ops[0].centreX, leftX);
    COMPARE_EXACT(page.ops[1].centreX, rightX);
    COMPARE_EXACT(page.ops[0].centreY, y);
    COMPARE_EXACT(page.ops[1].centreY, y);
    COMPARE_EXACT(page.ops[0].radius, 17.0100002f);
    COMPARE_EXACT(page.ops[1].radius, 17.0100002f);
    QVERIFY(page.ended);
}

void tst_MarkJob::failure_data()
{
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");
    QTest::addColumn<QString>("openError");
    QTest::addColumn<QString>("endError");
    QTest::addColumn<QStringList>("told");
    QTest::addColumn<bool>("opened");

    const QString sayuu = QStringLiteral("左右のズレ");
    const QString jyouge = QStringLiteral("上下のズレ");
    const QString stopped = QStringLiteral("プリンタ「Sheet」は停止しています。");
    const QString unreachable = QStringLiteral("印刷サービス（CUPS）に接続できません。");

    QTest::newRow("up/down empty") << "0"
                                   << ""
                                   << ""
                                   << "" << QStringList{jyouge, "入力されていません"} << false;
    QTest::newRow("left/right letters") << "みぎ"
                                        << "0"
                                        << ""
                                        << "" << QStringList{sayuu, "数値ではありません"} << false;
    QTest::newRow("up/down beyond single") << "0"
                                           << "4e38"
                                           << ""
                                           << "" << QStringList{jyouge, "大きすぎます"} << false;
    QTest::newRow("left/right overflows in twips")
        << "3e38"
        << "0"
        << ""
        << "" << QStringList{sayuu, "大きすぎます"} << false;
    QTest::newRow("queue stopped") << "0"
                                   << "0" << stopped << "" << QStringList{stopped} << true;
    QTest::newRow("spooler gone at the end")
        << "0"
        << "0"
        << "" << unreachable << QStringList{unreachable} << true;
}

void tst_MarkJob::failure()
{
    QFETCH(QString, sayuu);
    QFETCH(QString, jyouge);
    QFETCH(QString, openError);
    QFETCH(QString, endError);
    QFETCH(QStringList, told);
    QFETCH(bool, opened);

    Ui::Form1 &ui = m_window->ui();
    ui.Combo10101->setEditText(QStringLiteral("委任太郎"));
    ui.Text10805->setText(QStringLiteral("栄3-3"));
    ui.UpDownX->setValue(7);
    ui.Sayuu_Xtxt->setText(sayuu);
    ui.Jyouge_Ytxt->setText(jyouge);
    m_printing->openError = openError;
    m_printing->endError = endError;
    const QStringList before = snapshot();

    ui.IchiBtn->click();

    QCOMPARE(m_printing->openCalls, opened ? 1 : 0);
    for (const auto &page : m_printing->pages)
        QVERIFY(!page->ended);
    QCOMPARE(m_desktop.messages.shown.size(), 1);
    QCOMPARE(m_desktop.messages.shown[0].kind, QStringLiteral("critical"));
    QCOMPARE(m_desktop.messages.shown[0].title, QStringLiteral("ソラフ"));
    for (const QString &part : told)
        QVERIFY2(m_desktop.messages.shown[0].text.contains(part),
                 qPrintable(m_desktop.messages.shown[0].text));
    QCOMPARE(snapshot(), before);
}

QTEST_MAIN(tst_MarkJob)
#include "tst_markjob.moc"
