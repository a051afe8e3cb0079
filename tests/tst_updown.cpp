// The spin control: steps, limits, reversed ranges, and a change signal only on a real change.

#include "window/updown.h"

#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include <climits>

class TestUpDown : public QObject
{
    Q_OBJECT

private slots:
    void steps_data();
    void steps();
    void setValueClamps_data();
    void setValueClamps();
    void holdingAnArrowRepeats();
};

void TestUpDown::steps_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("start");
    // u/d: up and down arrow clicked; U/D/L/R: arrow keys.
    QTest::addColumn<QString>("actions");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("notifications");

    QTest::newRow("up twice") << -1000 << 1000 << 10 << 0 << "uu" << 20 << 2;
    QTest::newRow("down") << -1000 << 1000 << 10 << 0 << "d" << -10 << 1;
    QTest::newRow("up then down") << -1000 << 1000 << 10 << 0 << "ud" << 0 << 2;
    QTest::newRow("no signal at maximum") << -1000 << 1000 << 10 << 1000 << "uuu" << 1000 << 0;
    QTest::newRow("no signal at minimum") << -1000 << 1000 << 10 << -1000 << "d" << -1000 << 0;
    QTest::newRow("last step clamps") << -1000 << 1000 << 10 << 995 << "uu" << 1000 << 1;
    QTest::newRow("reversed: up lowers") << 1000 << -1000 << 10 << 0 << "u" << -10 << 1;
    QTest::newRow("reversed: down raises") << 1000 << -1000 << 10 << 0 << "dd" << 20 << 2;
    QTest::newRow("reversed: stops at -1000") << 1000 << -1000 << 10 << -1000 << "u" << -1000 << 0;
    QTest::newRow("reversed: stops at 1000") << 1000 << -1000 << 10 << 1000 << "d" << 1000 << 0;
    QTest::newRow("keys up/right raise") << -1000 << 1000 << 10 << 0 << "UR" << 20 << 2;
    QTest::newRow("keys down/left lower") << -1000 << 1000 << 10 << 0 << "DL" << -20 << 2;
    QTest::newRow("reversed keys") << 1000 << -1000 << 10 << 0 << "UUD" << -10 << 3;
    QTest::newRow("32-bit top, no overflow")
        << INT_MIN << INT_MAX << 1000 << INT_MAX - 5 << "uu" << INT_MAX << 1;
    QTest::newRow("32-bit bottom, no overflow")
        << INT_MIN << INT_MAX << 1000 << INT_MIN + 5 << "d" << INT_MIN << 1;
}

void TestUpDown::steps()
{
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, step);
    QFETCH(int, start);
    QFETCH(QString, actions);
    QFETCH(int, value);
    QFETCH(int, notifications);

    UpDown spin;
    spin.resize(40, 16);
    spin.setMinimum(minimum);
    spin.setMaximum(maximum);
    spin.setSingleStep(step);
    spin.setValue(start);
    QCOMPARE(spin.value(), start);
    spin.show();
    QSignalSpy changed(&spin, &UpDown::changed);
    for (const QChar action : actions) {
        switch (action.toLatin1()) {
        case 'u':
            QTest::mouseClick(spin.upButton(), Qt::LeftButton);
            break;
        case 'd':
            QTest::mouseClick(spin.downButton(), Qt::LeftButton);
            break;
        case 'U':
            QTest::keyClick(&spin, Qt::Key_Up);
            break;
        case 'D':
            QTest::keyClick(&spin, Qt::Key_Down);
            break;
        case 'L':
            QTest::keyClick(&spin, Qt::Key_Left);
            break;
        case 'R':
            QTest::keyClick(&spin, Qt::Key_Right);
            break;
        }
    }
    QCOMPARE(spin.value(), value);
    QCOMPARE(changed.size(), notifications);
    if (notifications > 0)
        QCOMPARE(changed.last().at(0).toInt(), value);
}

void TestUpDown::setValueClamps_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("value");
    QTest::newRow("inside") << -1000 << 1000 << 15 << 15;
    QTest::newRow("above") << -1000 << 1000 << 5000 << 1000;
    QTest::newRow("below") << -1000 << 1000 << INT_MIN << -1000;
    QTest::newRow("reversed above") << 1000 << -1000 << 1001 << 1000;
    QTest::newRow("reversed below") << 1000 << -1000 << -2000 << -1000;
}

void TestUpDown::setValueClamps()
{
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, set);
    QFETCH(int, value);
    UpDown spin;
    spin.setMinimum(minimum);
    spin.setMaximum(maximum);
    spin.setValue(set);
    QCOMPARE(spin.value(), value);
}

void TestUpDown::holdingAnArrowRepeats()
{
    UpDown spin;
    spin.setMinimum(-1000);
    spin.setMaximum(1000);
    spin.setSingleStep(10);
    spin.resize(40, 16);
    spin.show();
    QTest::mousePress(spin.upButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(spin.value() >= 30, 5000);
    QTest::mouseRelease(spin.upButton(), Qt::LeftButton);
    const int released = spin.value();
    QTest::qWait(300);
    QCOMPARE(spin.value(), released);
}

QTEST_MAIN(TestUpDown)
#include "tst_updown.moc"
