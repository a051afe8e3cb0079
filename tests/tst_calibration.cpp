// ズレを測って入力: the offsets that follow from where the printed ○ lay, held against
// where the mark job places them.

#include "layout/markjob.h"
#include "layout/placement.h"
#include "offsets/calibration.h"
#include "ui/calibration/calibrationdialog.h"
#include "windowfixture.h"

class TestCalibration : public QObject
{
    Q_OBJECT

private slots:
    // The offsets printed with; how far the left, then the right ○ lay (mm, right and down);
    // the new offsets, or part of why there are none.
    void calibrate_data()
    {
        rows(R"(
            on the marks already | 0 40 | 0 0 0 0 | 0 40
            right and low | 15 35 | 1.5 2 1.5 2 | 0 15
            left and high | -20 0 | -3 -0.5 -3 -0.5 | 10 5
            0.5 mm apart: the mean | 0 0 | 1 1 0.5 0.5 | -8 -8
            the mean of halves away from zero | 0 0 | -0.5 0 -1 0 | 8 0
            stretched across | 0 40 | 0 0 1 0 | 伸び縮み
            skewed | 0 40 | 0 -0.5 0 0.5 | 斜め
            beyond the panel's reach | 990 0 | -2 0 -2 0 | 範囲)");
    }
    void calibrate()
    {
        QFETCH(QStringList, row);
        const QStringList now = row[0].split(' ');
        const PrintOffset current{now[0].toInt(), now[1].toInt()};
        QList<qint32> away;
        for (const QString &mm : row[1].split(' '))
            away << qRound(mm.toDouble() * 10);
        const Calibration got = ::calibrate(current, {away[0], away[1]}, {away[2], away[3]});
        QVERIFY2(got.problem.isEmpty() || got.problem.contains(row[2]), qPrintable(got.problem));
        if (!got.problem.isEmpty())
            return;
        QCOMPARE(QString("%1 %2").arg(got.offset.leftRight).arg(got.offset.upDown), row[2]);
        // New offsets print each ○ where it lay less the distance, within the mean's rounding.
        PrintPlacement placement;
        for (int i : {0, 2}) {
            const float across = i == 0 ? kLeftMarkX : kRightMarkX;
            placement.setOffset(current);
            const MarkPlace printed = placement.PlaceMark(across, kMarkY);
            placement.setOffset(got.offset);
            const MarkPlace again = placement.PlaceMark(across, kMarkY);
            const float within = 3.01f * kTwipsPerTenthMm;
            QVERIFY(qAbs(printed.centreX - away[i] * kTwipsPerTenthMm - again.centreX) < within);
            QVERIFY(qAbs(printed.centreY - away[i + 1] * kTwipsPerTenthMm - again.centreY) <
                    within);
        }
    }

    // Ctrl+T, Ctrl+K: ○ 0.5 mm right, 1.5 mm high move the boxes from 10 and 40; none saved.
    void fromTheWindow()
    {
        WindowFixture m;
        Ui::Form1 &ui = m.start("10\r\n", "40\r\n");
        m.window->show();
        QVERIFY(QTest::qWaitForWindowActive(m.window.get()));
        QTimer::singleShot(0, [] {
            QWidget *dialog = QApplication::activeModalWidget();
            for (auto *box : dialog->findChildren<QDoubleSpinBox *>())
                box->setValue(box->objectName().endsWith("Down") ? -1.5 : 0.5);
            dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        });
        QTest::keySequence(m.window.get(), QKeySequence("Ctrl+T, Ctrl+K"));
        QCOMPARE(ui.Sayuu_Xtxt->text() + ' ' + ui.Jyouge_Ytxt->text() + readFile(m.xPath()),
                 "5 5510\r\n");
    }
};

QTEST_MAIN(TestCalibration)

#include "tst_calibration.moc"
