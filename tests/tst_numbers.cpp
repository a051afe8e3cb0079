// An offset file's bytes to the number it holds: the lines joined, then the locale's conversion.

#include "entries/offsetfiles.h"
#include "offsetfolder.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <cstdio>

Q_DECLARE_METATYPE(NumberError)

static QString outcome(NumberError error, qint32 value)
{
    return QStringLiteral("%1 %2").arg(int(error)).arg(value);
}

static QString convert(const QByteArray &content)
{
    qint32 value = 0;
    const NumberError error = offsetTextToInt32(joinOffsetLines(content), &value);
    return outcome(error, value);
}

// The system locale comes from LC_ALL, read once per process, so another locale needs a child.
static QString convertIn(const QString &locale, const QByteArray &content)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), locale);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--convert"), QString::fromLatin1(content.toHex())});
    if (!child.waitForFinished(30000) || child.exitCode() != 0)
        return QStringLiteral("child failed");
    return QString::fromUtf8(child.readAllStandardOutput());
}

class TestNumbers : public QObject
{
    Q_OBJECT

private slots:
    void readAndConvert_data();
    void readAndConvert();
    void randomContentNeverCrashes();
};

void TestNumbers::readAndConvert_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<NumberError>("error");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("locale"); // empty: the tests' own C locale

    const auto row = [](const char *name, const QByteArray &content, NumberError error,
                        int value = 0, const char *locale = "") {
        QTest::newRow(name) << content << error << value << QString::fromLatin1(locale);
    };
    const auto ok = NumberError::None;
    row("0 bytes is 0", "", ok, 0);
    row("7 without line end", "7", ok, 7);
    row("-30 CR LF", "-30\r\n", ok, -30);
    row("blanks around", " 12 \r\n", ok, 12);
    row("LF at the end is a blank", "12\n", ok, 12);
    row("lines joined", "1\r\n5\r\n", ok, 15);
    row("CR alone ends a line", "1\r5", ok, 15);
    row("CR CR LF", "1\r\r\n5", ok, 15);
    row("empty last line adds nothing", "12\r\n\r\n", ok, 12);
    row("plus sign", "+45\r\n", ok, 45);
    row("2.5 to even", "2.5\r\n", ok, 2);
    row("3.5 to even", "3.5\r\n", ok, 4);
    row("-2.5 to even", "-2.5\r\n", ok, -2);
    row("exponent", "1.5e3", ok, 1500);
    row("too small to tell from zero", "1e-400", ok, 0);
    row("largest", "2147483647\r\n", ok, 2147483647);
    row("smallest", "-2147483648\r\n", ok, -2147483647 - 1);
    row("byte-order mark skipped",
        "\xef\xbb\xbf"
        "5\r\n",
        ok, 5);
    row("de: decimal comma, to even", "2,5\r\n", ok, 2, "de_DE.UTF-8");

    row("empty line", "\r\n", NumberError::Empty);
    row("LF only", "\n", NumberError::Empty);
    row("blanks only", "   \r\n", NumberError::Empty);
    row("letters", "abc\r\n", NumberError::NotANumber);
    row("number then letters", "12px\r\n", NumberError::NotANumber);
    row("lone LF stays between the digits", "1\n5\r\n", NumberError::NotANumber);
    row("blank inside", "1 2", NumberError::NotANumber);
    row("full-width digits", "１２", NumberError::NotANumber);
    row("the word inf", "inf", NumberError::NotANumber);
    row("C: comma is no decimal", "1,5", NumberError::NotANumber);
    row("many digits, wrong separator", "123456789012345678901234,5", NumberError::NotANumber);
    row("NUL byte", QByteArray("1\0002", 3), NumberError::NotANumber);
    row("broken UTF-8", "\xff\xfe", NumberError::NotANumber);
    row("de: point is no decimal", "2.5\r\n", NumberError::NotANumber, 0, "de_DE.UTF-8");
    row("beyond 32 bits", "2147483648\r\n", NumberError::Overflow);
    row("beyond 32 bits, negative", "-2147483649\r\n", NumberError::Overflow);
    row("largest plus a half, to even", "2147483647.5", NumberError::Overflow);
    row("beyond double", "1e400", NumberError::Overflow);
}

void TestNumbers::readAndConvert()
{
    QFETCH(QByteArray, content);
    QFETCH(NumberError, error);
    QFETCH(int, value);
    QFETCH(QString, locale);

    if (!locale.isEmpty()) {
        QCOMPARE(convertIn(locale, content), outcome(error, value));
        return;
    }
    QCOMPARE(convert(content), outcome(error, value));

    // The same through a file, which the reading leaves as it was.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ini_x1.txt"));
    QVERIFY(writeFile(path, content));
    const OffsetReading reading = readOffsetFile(path);
    QCOMPARE(reading.problem.isEmpty(), error == NumberError::None);
    QCOMPARE(reading.value, value);
    QCOMPARE(readFile(path), content);
}

void TestNumbers::randomContentNeverCrashes()
{
    // Bytes that matter to the reader and the conversion come up more often than the rest.
    static const QByteArray alphabet("0123456789-+.,eE \t\r\n\r\nx\xe3\x80");
    QRandomGenerator random(20260305);
    for (int round = 0; round < 2000; ++round) {
        QByteArray content;
        const int length = int(random.bounded(40));
        for (int i = 0; i < length; ++i)
            content.append(random.bounded(4) == 0 ? char(random.bounded(256))
                                                  : alphabet[random.bounded(alphabet.size())]);
        const std::optional<QString> text = joinOffsetLines(content);
        QCOMPARE(text.has_value(), !content.isEmpty());
        if (text)
            QVERIFY2(!text->contains(u'\r'), content.toHex().constData());
        qint32 value = 0;
        if (offsetTextToInt32(text, &value) == NumberError::None) {
            // Whatever was taken for a number shows and saves as a text that reads back the same.
            qint32 again = 0;
            QCOMPARE(textToInt32(int32ToText(value), &again), NumberError::None);
            QCOMPARE(again, value);
        }

        // Any whole number, split anywhere into CR- or CR LF-ended lines, reads back as itself.
        const qint32 number = qint32(random.generate());
        QByteArray split(int(random.bounded(3)), ' ');
        for (const char c : QByteArray::number(number))
            split.append(c).append(random.bounded(3) == 0 ? "\r\n" : random.bounded(2) ? "\r" : "");
        QCOMPARE(convert(split), outcome(NumberError::None, number));
    }
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--convert") == 0) {
        std::fputs(convert(QByteArray::fromHex(argv[2])).toUtf8().constData(), stdout);
        return 0;
    }
    TestNumbers test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_numbers.moc"
