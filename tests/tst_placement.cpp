#include "exactfloat.h"
#include "fakes.h"
#include "platform/numbers.h"
#include "print/placement.h"

#include <QtTest>

#include <limits>

class tst_Placement : public QObject
{
    Q_OBJECT

private slots:
    void readPrintOffset_data();
    void readPrintOffset();
    void letterOffset_data();
    void letterOffset();
    void fontCorrection_data();
    void fontCorrection();
    void markPlace_data();
    void markPlace();
};

void tst_Placement::readPrintOffset_data()
{
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");
    QTest::addColumn<float>("sayuuZure");
    QTest::addColumn<float>("jyougeZure");
    QTest::addColumn<QString>("failingBox"); // empty: both read
    QTest::addColumn<int>("reason");

    const int none = int(NumberError::None);
    QTest::newRow("no shift") << "0"
                              << "40" << 0.0f << 40.0f << "" << none;
    QTest::newRow("negative and fraction") << "-15"
                                           << "2.5" << -15.0f << 2.5f << "" << none;
    QTest::newRow("blanks around") << " 10 "
                                   << "\t50" << 10.0f << 50.0f << "" << none;
    QTest::newRow("plus sign") << "+7"
                               << "-0.5" << 7.0f << -0.5f << "" << none;
    QTest::newRow("rounded to single") << "0.1"
                                       << "40" << 0.1f << 40.0f << "" << none;

    const QString sayuu = QStringLiteral("左右のズレ");
    const QString jyouge = QStringLiteral("上下のズレ");
    QTest::newRow("left/right empty") << ""
                                      << "40" << 0.0f << 0.0f << sayuu << int(NumberError::Empty);
    QTest::newRow("up/down blank") << "0"
                                   << "   " << 0.0f << 0.0f << jyouge << int(NumberError::Empty);
    QTest::newRow("letters") << "abc"
                             << "40" << 0.0f << 0.0f << sayuu << int(NumberError::NotANumber);
    QTest::newRow("number then letters")
        << "0"
        << "40mm" << 0.0f << 0.0f << jyouge << int(NumberError::NotANumber);
    QTest::newRow("not a number") << "nan"
                                  << "40" << 0.0f << 0.0f << sayuu << int(NumberError::NotANumber);
    QTest::newRow("beyond single")
        << "0"
        << "1e39" << 0.0f << 0.0f << jyouge << int(NumberError::Overflow);
    QTest::newRow("beyond double") << "-1e400"
                                   << "40" << 0.0f << 0.0f << sayuu << int(NumberError::Overflow);
    QTest::newRow("the word inf") << "0"
                                  << "inf" << 0.0f << 0.0f << jyouge << int(NumberError::NotANumber);
    QTest::newRow("both bad: left/right told")
        << "x"
        << "" << 0.0f << 0.0f << sayuu << int(NumberError::NotANumber);
}

void tst_Placement::readPrintOffset()
{
    QFETCH(QString, sayuu);
    QFETCH(QString, jyouge);
    QFETCH(float, sayuuZure);
    QFETCH(float, jyougeZure);
    QFETCH(QString, failingBox);
    QFETCH(int, reason);

    PrintPlacement placement;
    QString error;
    const bool ok = placement.ReadPrintOffset(sayuu, jyouge, &error);
    QCOMPARE(ok, failingBox.isEmpty());
    if (ok) {
        QVERIFY(error.isEmpty());
        COMPARE_EXACT(placement.SayuuZure, sayuuZure);
        COMPARE_EXACT(placement.JyougeZure, jyougeZure);
    } else {
        QVERIFY2(error.contains(failingBox), qPrintable(error));
        QVERIFY2(error.contains(numberErrorText(NumberError(reason))), qPrintable(error));
        const QString other = failingBox == sayuuBoxName() ? jyougeBoxName() : sayuuBoxName();
        QVERIFY2(!error.contains(other), qPrintable(error));
    }
}

void tst_Placement::letterOffset_data()
{
    QTest::addColumn<float>("sayuuZure");
    QTest::addColumn<float>("jyougeZure");
    QTest::addColumn<float>("sayuuTwip");
    QTest::addColumn<float>("jyougeTwip");
    QTest::addColumn<QString>("failingBox");

    QTest::newRow("0, 40") << 0.0f << 40.0f << 0.0f << 0.0f << "";
    QTest::newRow("10, 50") << 10.0f << 50.0f << 56.7000008f << 56.7000008f << "";
    QTest::newRow("-15, 2.5") << -15.0f << 2.5f << -85.0500031f << -212.625f << "";
    QTest::newRow("0, 0") << 0.0f << 0.0f << 0.0f << -226.800003f << "";
    const float huge = std::numeric_limits<float>::max() / 2;
    QTest::newRow("left/right overflows in twips")
        << huge << 40.0f << 0.0f << 0.0f << sayuuBoxName();
    QTest::newRow("up/down overflows in twips") << 0.0f << -huge << 0.0f << 0.0f << jyougeBoxName();
}

void tst_Placement::letterOffset()
{
    QFETCH(float, sayuuZure);
    QFETCH(float, jyougeZure);
    QFETCH(float, sayuuTwip);
    QFETCH(float, jyougeTwip);
    QFETCH(QString, failingBox);

    PrintPlacement placement;
    placement.SayuuZure = sayuuZure;
    placement.JyougeZure = jyougeZure;
    QString error;
    QCOMPARE(placement.ComputeLetterOffset(&error), failingBox.isEmpty());
    if (failingBox.isEmpty()) {
        COMPARE_EXACT(placement.SayuuTwip, sayuuTwip);
        COMPARE_EXACT(placement.JyougeTwip, jyougeTwip);
    } else {
        QVERIFY2(error.contains(failingBox), qPrintable(error));
        QVERIFY2(error.contains(numberErrorText(NumberError::Overflow)), qPrintable(error));
    }
}

// The correction comes from the size the surface reports back, not the size asked for.
void tst_Placement::fontCorrection_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("reported");
    QTest::addColumn<double>("mojiZure");
    QTest::addColumn<float>("y"); // with JyougeTwip 0 and design Y 2494.8

    QTest::newRow("8 pt") << 8 << -1.0 << -12.0 << 2426.76001f;
    QTest::newRow("10 pt") << 10 << -1.0 << -15.0 << 2409.75f;
    QTest::newRow("12 pt") << 12 << -1.0 << -18.0 << 2392.73999f;
    QTest::newRow("14 pt") << 14 << -1.0 << -21.0 << 2375.72998f;
    QTest::newRow("reported 10.5") << 10 << 10.5 << -15.75 << 2405.49756f;
    QTest::newRow("reported four decimals") << 7 << 7.3333 << -10.99995 << 2432.43042f;
}

void tst_Placement::fontCorrection()
{
    QFETCH(int, points);
    QFETCH(double, reported);
    QFETCH(double, mojiZure);
    QFETCH(float, y);

    RecordedPage page;
    RecordingSurface surface(&page, QString());
    surface.reportedSize = reported;
    PrintPlacement placement;
    QString error;
    QVERIFY(placement.PlaceText(surface, points, 3742.2f, 2494.8f, &error));
    COMPARE_EXACT(placement.MojiZure, mojiZure);

    // The size is set, read back, then X and then Y.
    QCOMPARE(page.ops.size(), 4);
    QCOMPARE(page.ops[0].kind, RecordedPage::Op::SetFontSize);
    QCOMPARE(page.ops[0].points, points);
    QCOMPARE(page.ops[1].kind, RecordedPage::Op::FontSize);
    QCOMPARE(page.ops[2].kind, RecordedPage::Op::SetCurrentX);
    COMPARE_EXACT(page.ops[2].value, 3742.2f);
    QCOMPARE(page.ops[3].kind, RecordedPage::Op::SetCurrentY);
    COMPARE_EXACT(page.ops[3].value, y);
}

void tst_Placement::markPlace_data()
{
    QTest::addColumn<QString>("sayuu");
    QTest::addColumn<QString>("jyouge");
    QTest::addColumn<float>("leftX");
    QTest::addColumn<float>("rightX");
    QTest::addColumn<float>("y");
    QTest::addColumn<QString>("failingBox");

    QTest::newRow("0, 0") << "0"
                          << "0" << 1615.95007f << 15756.9307f << 1088.64001f << "";
    QTest::newRow("0, 40: no bias taken off")
        << "0"
        << "40" << 1615.95007f << 15756.9307f << 1315.44006f << "";
    QTest::newRow("10, 0") << "10"
                           << "0" << 1672.65002f << 15813.6309f << 1088.64001f << "";
    QTest::newRow("-15, 2.5") << "-15"
                              << "2.5" << 1530.90002f << 15671.8809f << 1102.81506f << "";
    QTest::newRow("10, 50") << "10"
                            << "50" << 1672.65002f << 15813.6309f << 1372.14001f << "";
    // Here the factor widened from single and the one rounding at the end both show.
    QTest::newRow("-199, 158.5") << "-199"
                                 << "158.5" << 487.620056f << 14628.6006f << 1987.33508f << "";
    QTest::newRow("left/right overflows") << "3e38"
                                          << "0" << 0.0f << 0.0f << 0.0f << sayuuBoxName();
    QTest::newRow("up/down overflows") << "0"
                                       << "-3.3e38" << 0.0f << 0.0f << 0.0f << jyougeBoxName();
}

void tst_Placement::markPlace()
{
    QFETCH(QString, sayuu);
    QFETCH(QString, jyouge);
    QFETCH(float, leftX);
    QFETCH(float, rightX);
    QFETCH(float, y);
    QFETCH(QString, failingBox);

    PrintPlacement placement;
    QString error;
    QVERIFY(placement.ReadPrintOffset(sayuu, jyouge, &error));
    placement.MaruHankei = 3;
    MarkPlace left;
    MarkPlace right;
    const bool ok = placement.PlaceMark(1615.9501f, 1088.64f, &left, &error) &&
                    placement.PlaceMark(15756.931f, 1088.64f, &right, &error);
    QCOMPARE(ok, failingBox.isEmpty());
    if (!ok) {
        QVERIFY2(error.contains(failingBox), qPrintable(error));
        return;
    }
    COMPARE_EXACT(left.centreX, leftX);
    COMPARE_EXACT(right.centreX, rightX);
    COMPARE_EXACT(left.centreY, y);
    COMPARE_EXACT(right.centreY, y);
    COMPARE_EXACT(left.radius, 17.0100002f);
    COMPARE_EXACT(right.radius, 17.0100002f);
}

QTEST_GUILESS_MAIN(tst_Placement)
#include "tst_placement.moc"
