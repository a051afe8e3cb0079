// The window's own behaviour: what start-up hides, where Tab goes, the check box, the panel
// toggle, the spin controls' text boxes and the exit question.

#include "fakes.h"
#include "window/mainwindow.h"
#include "window/updown.h"

#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startUpVisibility();
    void secondInstance();
    void tabOrder_data();
    void tabOrder();
    void delegatedMatterList();
    void adjustmentPanel();
    void spinMirrorsIntoBox_data();
    void spinMirrorsIntoBox();
    void typedOffsetLeftAloneUntilArrow();
    void exitQuestion_data();
    void exitQuestion();
    void exitQuestionInJapanese();

private:
    QTemporaryDir m_dir;
    FakeDesktop m_desktop;
    std::unique_ptr<MainWindow> m_window;
};

void TestWindow::init()
{
    m_desktop = {};
    m_window = std::make_unique<MainWindow>(m_desktop.services(m_dir.path()));
    QVERIFY(m_window->load());
}

void TestWindow::cleanup()
{
    m_window.reset();
}

void TestWindow::startUpVisibility()
{
    Ui::Form1 &ui = m_window->ui();
    for (QWidget *hidden :
         {static_cast<QWidget *>(ui.CyouseiFrm), static_cast<QWidget *>(ui.Combo10201),
          static_cast<QWidget *>(ui.Label10401), static_cast<QWidget *>(ui.Label10402),
          static_cast<QWidget *>(ui.Label10403), static_cast<QWidget *>(ui.Label10404),
          static_cast<QWidget *>(ui.Combo10401), static_cast<QWidget *>(ui.Combo10402),
          static_cast<QWidget *>(ui.Combo10403)})
        QVERIFY2(hidden->isHidden(), qPrintable(hidden->objectName()));
    QVERIFY(!ui.Frame10401->isHidden());
    QVERIFY(!ui.Check10401->isHidden());
    QCOMPARE(ui.OnOffBtn->text(), QString());
    QVERIFY(!ui.OnOffBtn->isChecked());
    QVERIFY(m_desktop.messages.shown.isEmpty());
}

void TestWindow::secondInstance()
{
    FakeDesktop desktop;
    desktop.anotherInstance = true;
    Services services = desktop.services(m_dir.path());
    int raised = 0;
    services.raiseRunningInstance = [&raised] { ++raised; };
    MainWindow second(services);
    QVERIFY(!second.load());
    QCOMPARE(raised, 1);
    QCOMPARE(desktop.messages.shown.size(), 1);
    QCOMPARE(desktop.messages.shown[0].kind, QStringLiteral("warning"));
    QCOMPARE(desktop.messages.shown[0].title, QStringLiteral("ソラフ"));
    QCOMPARE(desktop.messages.shown[0].text, QStringLiteral("多重起動は、できません。"));
    QVERIFY(!second.isVisible());
}

void TestWindow::tabOrder_data()
{
    QTest::addColumn<bool>("tickDelegatedMatter");
    QTest::addColumn<bool>("openPanel");
    QTest::addColumn<QStringList>("order");

    const QStringList head = {QStringLiteral("Combo10101"), QStringLiteral("Check10201")};
    const QStringList middle =
        QStringLiteral(
            "Combo10301 Combo10302 Combo10303 Text10501 cIninFuriganaBtn IninShimei Combo10601 "
            "DaihyouShimei IninJyu1 IninJyu2 Text10701 Text10702 Combo10701 Text10703 Text10704 "
            "Text10705 Text10801 Text10802 Combo10801 Text10803 Text10804 Text10805")
            .split(QLatin1Char(' '));
    const QStringList panel =
        QStringLiteral("IchiBtn HozonBtn Jyouge_Ytxt Sayuu_Xtxt").split(QLatin1Char(' '));
    const QStringList spins = {QStringLiteral("UpDownX"), QStringLiteral("UpDownY")};
    const QStringList tail =
        QStringLiteral("InsatsuBtn zEndBtn PriDiaBtn ImejiBtn RirekiBtn ShinkiBtn Combo10101")
            .split(QLatin1Char(' '));
    const QStringList toggle = {QStringLiteral("OnOffBtn")};
    const QStringList matter = {QStringLiteral("Combo10201")};

    QTest::newRow("as started") << false << false << head + middle + toggle + tail;
    QTest::newRow("matter ticked") << true << false << head + matter + middle + toggle + tail;
    QTest::newRow("panel open") << false << true << head + middle + panel + toggle + spins + tail;
    QTest::newRow("both") << true << true << head + matter + middle + panel + toggle + spins + tail;
}

static QString focusedControl()
{
    // An editable list's focus may sit on its inner line edit; name the control.
    for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (!w->objectName().isEmpty() && w->objectName() != QLatin1String("qt_spinbox_lineedit"))
            return w->objectName();
    return QString();
}

void TestWindow::tabOrder()
{
    QFETCH(bool, tickDelegatedMatter);
    QFETCH(bool, openPanel);
    QFETCH(QStringList, order);

    Ui::Form1 &ui = m_window->ui();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    if (tickDelegatedMatter)
        QTest::mouseClick(ui.Check10201, Qt::LeftButton);
    if (openPanel)
        QTest::mouseClick(ui.OnOffBtn, Qt::LeftButton);

    ui.Combo10101->setFocus(Qt::TabFocusReason);
    QStringList visited = {focusedControl()};
    for (int i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << focusedControl();
    }
    QCOMPARE(visited, order);
}

void TestWindow::delegatedMatterList()
{
    Ui::Form1 &ui = m_window->ui();
    m_window->show();
    const QString before = ui.Combo10201->currentText();
    QTest::mouseClick(ui.Check10201, Qt::LeftButton);
    QVERIFY(ui.Check10201->isChecked());
    QVERIFY(ui.Combo10201->isVisible());
    QCOMPARE(ui.Combo10201->currentText(), before);
    QTest::mouseClick(ui.Check10201, Qt::LeftButton);
    QVERIFY(!ui.Combo10201->isVisible());
    QCOMPARE(ui.Combo10201->currentText(), before);
}

void TestWindow::adjustmentPanel()
{
    Ui::Form1 &ui = m_window->ui();
    m_window->show();
    QTest::mouseClick(ui.OnOffBtn, Qt::LeftButton);
    QCOMPARE(ui.OnOffBtn->text(), QStringLiteral("調整"));
    QVERIFY(ui.CyouseiFrm->isVisible());
    QTest::mouseClick(ui.OnOffBtn, Qt::LeftButton);
    QCOMPARE(ui.OnOffBtn->text(), QString());
    QVERIFY(!ui.CyouseiFrm->isVisible());
    // The keyboard flips it too.
    ui.OnOffBtn->setFocus();
    QTest::keyClick(ui.OnOffBtn, Qt::Key_Space);
    QVERIFY(ui.CyouseiFrm->isVisible());
}

void TestWindow::spinMirrorsIntoBox_data()
{
    QTest::addColumn<QString>("spin");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("arrow");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QString>("shown");

    QTest::newRow("X up") << "UpDownX"
                          << "Sayuu_Xtxt" << 0 << "up" << 2 << "20";
    QTest::newRow("X down to negative") << "UpDownX"
                                        << "Sayuu_Xtxt" << 0 << "down" << 3 << "-30";
    QTest::newRow("X at top stays") << "UpDownX"
                                    << "Sayuu_Xtxt" << 1000 << "up" << 1 << "1000";
    QTest::newRow("X near top clamps") << "UpDownX"
                                       << "Sayuu_Xtxt" << 995 << "up" << 1 << "1000";
    QTest::newRow("Y up lowers") << "UpDownY"
                                 << "Jyouge_Ytxt" << 0 << "up" << 1 << "-10";
    QTest::newRow("Y down raises") << "UpDownY"
                                   << "Jyouge_Ytxt" << 40 << "down" << 1 << "50";
    QTest::newRow("Y at -1000 stays") << "UpDownY"
                                      << "Jyouge_Ytxt" << -1000 << "up" << 1 << "-1000";
}

void TestWindow::spinMirrorsIntoBox()
{
    QFETCH(QString, spin);
    QFETCH(QString, box);
    QFETCH(int, start);
    QFETCH(QString, arrow);
    QFETCH(int, clicks);
    QFETCH(QString, shown);

    auto *updown = m_window->findChild<UpDown *>(spin);
    auto *edit = m_window->findChild<QLineEdit *>(box);
    updown->setValue(start);
    edit->setText(QString::number(start));
    m_window->show();
    QTest::mouseClick(m_window->ui().OnOffBtn, Qt::LeftButton);
    QToolButton *button = arrow == QLatin1String("up") ? updown->upButton() : updown->downButton();
    for (int i = 0; i < clicks; ++i)
        QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(edit->text(), shown);
    QCOMPARE(updown->value(), shown.toInt());
}

void TestWindow::typedOffsetLeftAloneUntilArrow()
{
    Ui::Form1 &ui = m_window->ui();
    m_window->show();
    QTest::mouseClick(ui.OnOffBtn, Qt::LeftButton);
    ui.Sayuu_Xtxt->clear();
    QTest::keyClicks(ui.Sayuu_Xtxt, QStringLiteral("999"));
    QCOMPARE(ui.UpDownX->value(), 0);
    QCOMPARE(ui.Sayuu_Xtxt->text(), QStringLiteral("999"));
    QTest::mouseClick(ui.UpDownX->upButton(), Qt::LeftButton);
    QCOMPARE(ui.Sayuu_Xtxt->text(), QStringLiteral("10"));
}

void TestWindow::exitQuestion_data()
{
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<int>("quits");
    QTest::newRow("No keeps everything") << false << 0;
    QTest::newRow("Yes quits") << true << 1;
}

void TestWindow::exitQuestion()
{
    QFETCH(bool, answerYes);
    QFETCH(int, quits);

    Ui::Form1 &ui = m_window->ui();
    m_window->show();
    ui.Combo10101->setEditText(QStringLiteral("山田太郎"));
    QTest::mouseClick(ui.OnOffBtn, Qt::LeftButton);
    QTest::mouseClick(ui.UpDownX->upButton(), Qt::LeftButton);
    m_desktop.messages.answerYes = answerYes;

    QTest::mouseClick(ui.zEndBtn, Qt::LeftButton);

    QCOMPARE(m_desktop.messages.shown.size(), 1);
    const FakeMessages::Shown &question = m_desktop.messages.shown[0];
    QCOMPARE(question.kind, QStringLiteral("question"));
    QCOMPARE(question.title, QStringLiteral("  ソラフ"));
    QCOMPARE(question.text, QStringLiteral("このプログラムを終了しますか？"));
    QCOMPARE(m_desktop.session.quitCalls, quits);
    QCOMPARE(ui.Combo10101->currentText(), QStringLiteral("山田太郎"));
    QVERIFY(ui.CyouseiFrm->isVisible());
    QCOMPARE(ui.Sayuu_Xtxt->text(), QStringLiteral("10"));
}

// Qt's own box, as the clerk gets it: Japanese buttons, though the tests run in C.UTF-8.
void TestWindow::exitQuestionInJapanese()
{
    QtMessages boxes(nullptr);
    Services services = m_desktop.services(m_dir.path());
    services.messages = &boxes;
    MainWindow window(services);
    QStringList buttons;
    QTimer::singleShot(0, [&buttons] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        for (QAbstractButton *button : box->buttons())
            buttons << button->text();
        box->button(QMessageBox::Yes)->click();
    });
    QTest::mouseClick(window.ui().zEndBtn, Qt::LeftButton);
    buttons.sort();
    QCOMPARE(buttons, QStringList({QStringLiteral("いいえ(&N)"), QStringLiteral("はい(&Y)")}));
    QCOMPARE(m_desktop.session.quitCalls, 1);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
