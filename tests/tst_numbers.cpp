#include "platform/numbers.h"

#include <QProcess>
#include <QTest>

#include <cstdio>
#include <limits>

Q_DECLARE_METATYPE(NumberError)

// Runs the conversions in another process, whose system locale comes from LC_ALL.
static QString convertIn(const QString &locale, const QString &function, const QString &text)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), locale);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--convert"), function, text});
    if (!child.waitForFinished(30000) || child.exitCode() != 0)
        return QStringLiteral("child failed");
    return QString::fromUtf8(child.readAllStandardOutput()).trimmed();
}

static QString describe(NumberError error, const QString &value)
{
    switch (error) {
    case NumberError::None:
        return value;
    case NumberError::Empty:
        return QStringLiteral("empty");
    case NumberError::NotANumber:
        return QStringLiteral("not a number");
    case NumberError::Overflow:
        return QStringLiteral("overflow");
    }
    return QString();
}

char *toString(const NumberError &error)
{
    return qstrdup(describe(error, QStringLiteral("no error")).toUtf8().constData());
}

class TestNumbers : public QObject
{
    Q_OBJECT

private slots:
    void textToInt32_data();
    void textToInt32();
    void textToSingle_data();
    void textToSingle();
    void int32ToText_data();
    void int32ToText();
    void decimalSeparatorOfTheLocale_data();
    void decimalSeparatorOfTheLocale();
    void everyRefusalIsExplained();
};

void TestNumbers::textToInt32_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<NumberError>("error");
    QTest::addColumn<int>("value");

    const auto ok = NumberError::None;
    QTest::newRow("digits") << "7" << ok << 7;
    QTest::newRow("negative") << "-30" << ok << -30;
    QTest::newRow("plus sign") << "+8" << ok << 8;
    QTest::newRow("blanks around") << " 12 " << ok << 12;
    QTest::newRow("tab and line feed around") << "\t12\n" << ok << 12;
    QTest::newRow("leading zeros") << "007" << ok << 7;
    QTest::newRow("2.5 to even") << "2.5" << ok << 2;
    QTest::newRow("3.5 to even") << "3.5" << ok << 4;
    QTest::newRow("-2.5 to even") << "-2.5" << ok << -2;
    QTest::newRow("-3.5 to even") << "-3.5" << ok << -4;
    QTest::newRow("0.5 to even") << "0.5" << ok << 0;
    QTest::newRow("-0.5 is zero") << "-0.5" << ok << 0;
    QTest::newRow("just below a half") << "2.4999" << ok << 2;
    QTest::newRow("just above a half") << "2.5001" << ok << 3;
    QTest::newRow("exponent") << "1.5e3" << ok << 1500;
    QTest::newRow("too small to tell from zero") << "1e-400" << ok << 0;
    QTest::newRow("negative, too small") << "-7e-999" << ok << 0;
    QTest::newRow("largest") << "2147483647" << ok << std::numeric_limits<qint32>::max();
    QTest::newRow("smallest") << "-2147483648" << ok << std::numeric_limits<qint32>::min();
    QTest::newRow("smallest minus a half, to even")
        << "-2147483648.5" << ok << std::numeric_limits<qint32>::min();

    QTest::newRow("nothing") << "" << NumberError::Empty << 0;
    QTest::newRow("blanks only") << "   " << NumberError::Empty << 0;
    QTest::newRow("line feed only") << "\n" << NumberError::Empty << 0;
    QTest::newRow("letters") << "abc" << NumberError::NotANumber << 0;
    QTest::newRow("number and letters") << "12abc" << NumberError::NotANumber << 0;
    QTest::newRow("blank inside") << "1 2" << NumberError::NotANumber << 0;
    QTest::newRow("line feed inside") << "1\n2" << NumberError::NotANumber << 0;
    QTest::newRow("two signs") << "--5" << NumberError::NotANumber << 0;
    QTest::newRow("sign only") << "-" << NumberError::NotANumber << 0;
    QTest::newRow("decimal comma in C") << "1,5" << NumberError::NotANumber << 0;
    QTest::newRow("many digits, wrong separator")
        << "123456789012345678901234,5" << NumberError::NotANumber << 0;
    QTest::newRow("full-width digits") << "１２" << NumberError::NotANumber << 0;
    QTest::newRow("hexadecimal") << "0x10" << NumberError::NotANumber << 0;
    QTest::newRow("infinity word") << "inf" << NumberError::NotANumber << 0;
    QTest::newRow("nan word") << "nan" << NumberError::NotANumber << 0;
    QTest::newRow("one beyond largest") << "2147483648" << NumberError::Overflow << 0;
    QTest::newRow("one beyond smallest") << "-2147483649" << NumberError::Overflow << 0;
    QTest::newRow("largest plus a half, to even") << "2147483647.5" << NumberError::Overflow << 0;
    QTest::newRow("twenty digits") << "99999999999999999999" << NumberError::Overflow << 0;
    QTest::newRow("beyond double") << "1e400" << NumberError::Overflow << 0;
    QTest::newRow("negative beyond double") << "-1e400" << NumberError::Overflow << 0;
    QTest::newRow("400 digits") << QString(400, u'9') << NumberError::Overflow << 0;
}

void TestNumbers::textToInt32()
{
    QFETCH(QString, text);
    QFETCH(NumberError, error);
    QFETCH(int, value);
    qint32 result = -12345;
    QCOMPARE(::textToInt32(text, &result), error);
    if (error == NumberError::None)
        QCOMPARE(result, value);
    else
        QCOMPARE(result, -12345); // a refusal leaves the target alone
}

void TestNumbers::textToSingle_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<NumberError>("error");
    QTest::addColumn<float>("value");

    QTest::newRow("whole") << "-30" << NumberError::None << -30.0f;
    QTest::newRow("fraction kept") << "2.5" << NumberError::None << 2.5f;
    QTest::newRow("rounded to single") << "0.1" << NumberError::None << 0.1f;
    QTest::newRow("near the largest single") << "3.4e38" << NumberError::None << 3.4e38f;
    QTest::newRow("underflow is zero") << "1e-60" << NumberError::None << 0.0f;
    QTest::newRow("beyond single") << "1e39" << NumberError::Overflow << 0.0f;
    QTest::newRow("negative beyond single") << "-1e39" << NumberError::Overflow << 0.0f;
    QTest::newRow("beyond double") << "1e400" << NumberError::Overflow << 0.0f;
    QTest::newRow("empty") << "" << NumberError::Empty << 0.0f;
    QTest::newRow("letters") << "x" << NumberError::NotANumber << 0.0f;
    QTest::newRow("infinity word") << "-inf" << NumberError::NotANumber << 0.0f;
}

void TestNumbers::textToSingle()
{
    QFETCH(QString, text);
    QFETCH(NumberError, error);
    QFETCH(float, value);
    float result = 0;
    QCOMPARE(::textToSingle(text, &result), error);
    if (error == NumberError::None)
        QCOMPARE(result, value);
}

void TestNumbers::int32ToText_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0 << "0";
    QTest::newRow("positive") << 15 << "15";
    QTest::newRow("negative") << -20 << "-20";
    QTest::newRow("no group separator") << 1234567 << "1234567";
    QTest::newRow("largest") << std::numeric_limits<qint32>::max() << "2147483647";
    QTest::newRow("smallest") << std::numeric_limits<qint32>::min() << "-2147483648";
}

void TestNumbers::int32ToText()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    QCOMPARE(::int32ToText(value), text);
    qint32 back = 0;
    QCOMPARE(::textToInt32(text, &back), NumberError::None);
    QCOMPARE(back, value);
}

void TestNumbers::decimalSeparatorOfTheLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");

    QTest::newRow("ja: point") << "ja_JP.UTF-8"
                               << "int32"
                               << "2.5"
                               << "2";
    QTest::newRow("ja: comma groups") << "ja_JP.UTF-8"
                                      << "int32"
                                      << "1,000"
                                      << "1000";
    QTest::newRow("ja: comma is no decimal") << "ja_JP.UTF-8"
                                             << "int32"
                                             << "1,5"
                                             << "not a number";
    QTest::newRow("de: comma") << "de_DE.UTF-8"
                               << "int32"
                               << "2,5"
                               << "2";
    QTest::newRow("de: comma, odd") << "de_DE.UTF-8"
                                    << "int32"
                                    << "3,5"
                                    << "4";
    QTest::newRow("de: negative comma") << "de_DE.UTF-8"
                                        << "int32"
                                        << "-2,5"
                                        << "-2";
    QTest::newRow("de: point is no decimal") << "de_DE.UTF-8"
                                             << "int32"
                                             << "2.5"
                                             << "not a number";
    QTest::newRow("de: overflow") << "de_DE.UTF-8"
                                  << "int32"
                                  << "3000000000"
                                  << "overflow";
    QTest::newRow("de: single") << "de_DE.UTF-8"
                                << "single"
                                << "-0,25"
                                << "-0.25";
}

void TestNumbers::decimalSeparatorOfTheLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, function);
    QFETCH(QString, text);
    QFETCH(QString, result);
    QCOMPARE(convertIn(locale, function, text), result);
}

void TestNumbers::everyRefusalIsExplained()
{
    QVERIFY(numberErrorText(NumberError::None).isEmpty());
    QStringList texts;
    for (NumberError error : {NumberError::Empty, NumberError::NotANumber, NumberError::Overflow}) {
        const QString text = numberErrorText(error);
        QVERIFY(!text.isEmpty());
        QVERIFY(!texts.contains(text));
        texts.append(text);
    }
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--convert") == 0) {
        const QString text = QString::fromUtf8(argv[3]);
        QString out;
        if (qstrcmp(argv[2], "single") == 0) {
            float value = 0;
            const NumberError error = textToSingle(text, &value);
            out = describe(error, QString::number(value));
        } else {
            qint32 value = 0;
            const NumberError error = textToInt32(text, &value);
            out = describe(error, QString::number(value));
        }
        std::fputs(out.toUtf8().constData(), stdout);
        return 0;
    }
    TestNumbers test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_numbers.moc"
