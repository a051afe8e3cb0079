#include "fakes.h"
#include "startup/choicelists.h"
#include "startup/japaneseera.h"
#include "window/mainwindow.h"

#include <QTemporaryDir>
#include <QTest>

class TestChoiceLists : public QObject
{
    Q_OBJECT

private slots:
    void eraOfADay_data();
    void eraOfADay();
    void dateListsStartToday_data();
    void dateListsStartToday();
    void listItemsAndStartingTexts_data();
    void listItemsAndStartingTexts();
    void expiryGroupStaysHidden();
    void normalStartShowsNoMessage();
};

void TestChoiceLists::eraOfADay_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("era");
    QTest::addColumn<int>("year");

    QTest::newRow("2004-02-08") << QDate(2004, 2, 8) << "平成" << 16;
    QTest::newRow("2000-01-01") << QDate(2000, 1, 1) << "平成" << 12;
    QTest::newRow("last day of Heisei") << QDate(2019, 4, 30) << "平成" << 31;
    QTest::newRow("first day of Reiwa") << QDate(2019, 5, 1) << "令和" << 1;
    QTest::newRow("2026-12-05") << QDate(2026, 12, 5) << "令和" << 8;
    QTest::newRow("last day of Showa") << QDate(1989, 1, 7) << "昭和" << 64;
    QTest::newRow("first day of Heisei") << QDate(1989, 1, 8) << "平成" << 1;
    QTest::newRow("new year's eve") << QDate(2025, 12, 31) << "令和" << 7;
}

void TestChoiceLists::eraOfADay()
{
    QFETCH(QDate, date);
    QFETCH(QString, era);
    QFETCH(int, year);
    const std::optional<JapaneseEraDate> result = japaneseEraDate(date);
    QVERIFY(result.has_value());
    QCOMPARE(result->era, era);
    QCOMPARE(result->year, year);
}

void TestChoiceLists::dateListsStartToday_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("era");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("day");
    QTest::addColumn<int>("yearIndex");

    QTest::newRow("2004-02-08") << QDate(2004, 2, 8) << "平成"
                                << "16"
                                << "02"
                                << "08" << -1;
    QTest::newRow("2000-01-01") << QDate(2000, 1, 1) << "平成"
                                << "12"
                                << "01"
                                << "01" << -1;
    QTest::newRow("2019-04-30") << QDate(2019, 4, 30) << "平成"
                                << "31"
                                << "04"
                                << "30" << -1;
    QTest::newRow("2019-05-01: 1, not 元年") << QDate(2019, 5, 1) << "令和"
                                             << "1"
                                             << "05"
                                             << "01" << -1;
    QTest::newRow("2026-12-05") << QDate(2026, 12, 5) << "令和"
                                << "8"
                                << "12"
                                << "05" << -1;
}

void TestChoiceLists::dateListsStartToday()
{
    QFETCH(QDate, today);
    QFETCH(QString, era);
    QFETCH(QString, year);
    QFETCH(QString, month);
    QFETCH(QString, day);

    QTemporaryDir dir;
    FakeDesktop desktop;
    desktop.clock.date = today;
    MainWindow window(desktop.services(dir.path()));
    QVERIFY(window.load());
    Ui::Form1 &ui = window.ui();

    // The shown date and the hidden expiry date alike.
    for (QLabel *label : {ui.Label10301, ui.Label10401})
        QCOMPARE(label->text(), era);
    for (QComboBox *list : {ui.Combo10301, ui.Combo10401})
        QCOMPARE(list->currentText(), year);
    for (QComboBox *list : {ui.Combo10302, ui.Combo10402})
        QCOMPARE(list->currentText(), month);
    for (QComboBox *list : {ui.Combo10303, ui.Combo10403})
        QCOMPARE(list->currentText(), day);
    // The texts are set, not picked, even where an item holds the same text.
    for (QComboBox *list :
         {ui.Combo10301, ui.Combo10302, ui.Combo10303, ui.Combo10401, ui.Combo10402, ui.Combo10403})
        QCOMPARE(list->currentIndex(), -1);
}

void TestChoiceLists::listItemsAndStartingTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("text");

    const QString e;
    QStringList months;
    for (int m = 1; m <= 12; ++m)
        months << QString::asprintf("%02d", m);
    QStringList days;
    for (int d = 1; d <= 31; ++d)
        days << QString::asprintf("%02d", d);
    const QStringList years{"16", "17", "18"};
    const QStringList titles{"代表取締役", e};

    // Started on 2026-12-05.
    QTest::newRow("Combo10101") << "Combo10101" << QStringList{e, e} << 1 << e;
    QTest::newRow("Combo10201") << "Combo10201" << QStringList{"名義変更", "抹消", e, e} << 0
                                << "名義変更";
    QTest::newRow("cIninFuriganaBtn") << "cIninFuriganaBtn" << QStringList{e, e, e} << 0 << e;
    QTest::newRow("IninShimei") << "IninShimei" << QStringList{e, e, e} << 0 << e;
    QTest::newRow("DaihyouShimei") << "DaihyouShimei" << QStringList{e, e, e} << 0 << e;
    QTest::newRow("IninJyu1") << "IninJyu1" << QStringList{e, e} << 0 << e;
    QTest::newRow("IninJyu2") << "IninJyu2" << QStringList{e, e} << 0 << e;
    QTest::newRow("Combo10301") << "Combo10301" << years << -1 << "8";
    QTest::newRow("Combo10302") << "Combo10302" << months << -1 << "12";
    QTest::newRow("Combo10303") << "Combo10303" << days << -1 << "05";
    QTest::newRow("Combo10401") << "Combo10401" << years << -1 << "8";
    QTest::newRow("Combo10402") << "Combo10402" << months << -1 << "12";
    QTest::newRow("Combo10403") << "Combo10403" << days << -1 << "05";
    QTest::newRow("Combo10601") << "Combo10601" << titles << 1 << e;
    QTest::newRow("Combo10701") << "Combo10701" << titles << 1 << e;
    QTest::newRow("Combo10801") << "Combo10801" << titles << 1 << e;
}

void TestChoiceLists::listItemsAndStartingTexts()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);
    QFETCH(int, selected);
    QFETCH(QString, text);

    QTemporaryDir dir;
    FakeDesktop desktop;
    desktop.clock.date = QDate(2026, 12, 5);
    MainWindow window(desktop.services(dir.path()));
    QVERIFY(window.load());

    auto *list = window.findChild<QComboBox *>(name);
    QVERIFY(list);
    QStringList actual;
    for (int i = 0; i < list->count(); ++i)
        actual << list->itemText(i);
    QCOMPARE(list->count(), items.size());
    QCOMPARE(actual, items);
    QCOMPARE(list->currentIndex(), selected);
    QCOMPARE(list->currentText(), text);
    QVERIFY(list->isEditable());

    // A blank item clears the field again.
    const int blank = items.lastIndexOf(QString());
    if (blank >= 0) {
        list->setEditText(QStringLiteral("typed"));
        list->setCurrentIndex(blank);
        QCOMPARE(list->currentText(), QString());
    }
}

void TestChoiceLists::expiryGroupStaysHidden()
{
    QTemporaryDir dir;
    FakeDesktop desktop;
    MainWindow window(desktop.services(dir.path()));
    QVERIFY(window.load());
    Ui::Form1 &ui = window.ui();
    for (QWidget *hidden : std::initializer_list<QWidget *>{
             ui.Label10401, ui.Label10402, ui.Label10403, ui.Label10404, ui.Combo10401,
             ui.Combo10402, ui.Combo10403, ui.CyouseiFrm, ui.Combo10201})
        QVERIFY2(hidden->isHidden(), qPrintable(hidden->objectName()));
    // The date shown on the letter is not part of the hidden group.
    for (QWidget *shown : std::initializer_list<QWidget *>{
             ui.Label10301, ui.Combo10301, ui.Combo10302, ui.Combo10303, ui.Check10401})
        QVERIFY2(!shown->isHidden(), qPrintable(shown->objectName()));
}

void TestChoiceLists::normalStartShowsNoMessage()
{
    QTemporaryDir dir;
    FakeDesktop desktop;
    MainWindow window(desktop.services(dir.path()));
    QVERIFY(window.load());
    QCOMPARE(desktop.messages.shown.size(), 0);
}

QTEST_MAIN(TestChoiceLists)
#include "tst_choicelists.moc"
