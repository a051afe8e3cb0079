#include "platform/paths.h"
#include "startup/offsetfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

Q_DECLARE_METATYPE(NumberError)

static bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

static QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class TestOffsetFiles : public QObject
{
    Q_OBJECT

private slots:
    void joinLines_data();
    void joinLines();
    void readAndConvert_data();
    void readAndConvert();
    void randomContentNeverCrashes();
    void numbersSplitOverLinesComeBack();
    void nothingButAFileIsRead_data();
    void nothingButAFileIsRead();
    void missingFileIsCreatedEmpty();
    void existingFileIsLeftAlone();
    void creationFailureIsExplained();
    void warningNamesEveryUnusableFile();
    void executableDirectoryWhenWritable();
    void configDirectoryOtherwise_data();
    void configDirectoryOtherwise();
};

void TestOffsetFiles::joinLines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("absent");
    QTest::addColumn<QString>("text");

    QTest::newRow("0 bytes") << QByteArray() << true << QString();
    QTest::newRow("empty line") << QByteArray("\r\n") << false << QString();
    QTest::newRow("two empty lines") << QByteArray("\r\n\r\n") << false << QString();
    QTest::newRow("lone CR") << QByteArray("\r") << false << QString();
    QTest::newRow("last line without end") << QByteArray("7") << false << "7";
    QTest::newRow("CR LF is one end") << QByteArray("1\r\n5\r\n") << false << "15";
    QTest::newRow("CR alone ends a line") << QByteArray("1\r5") << false << "15";
    QTest::newRow("LF stays in the text") << QByteArray("1\n5") << false << "1\n5";
    QTest::newRow("LF only") << QByteArray("\n") << false << "\n";
    QTest::newRow("LF CR is LF then an end") << QByteArray("1\n\r5") << false << "1\n5";
    QTest::newRow("CR CR LF") << QByteArray("1\r\r\n5") << false << "15";
    QTest::newRow("UTF-8 kept") << QByteArray("ズレ\r\n") << false << "ズレ";
}

void TestOffsetFiles::joinLines()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, absent);
    QFETCH(QString, text);
    const std::optional<QString> joined = joinOffsetLines(content);
    QCOMPARE(!joined.has_value(), absent);
    if (joined) {
        QCOMPARE(*joined, text);
        QVERIFY(!joined->isNull()); // an empty line is text, not the absence of it
    }
}

void TestOffsetFiles::readAndConvert_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<NumberError>("error");
    QTest::addColumn<int>("value");

    const auto ok = NumberError::None;
    QTest::newRow("0 bytes is 0") << QByteArray() << ok << 0;
    QTest::newRow("7 without line end") << QByteArray("7") << ok << 7;
    QTest::newRow("-30 CR LF") << QByteArray("-30\r\n") << ok << -30;
    QTest::newRow("blanks around 12") << QByteArray(" 12 \r\n") << ok << 12;
    QTest::newRow("lines 1 and 5 joined") << QByteArray("1\r\n5\r\n") << ok << 15;
    QTest::newRow("empty second line adds nothing") << QByteArray("12\r\n\r\n") << ok << 12;
    QTest::newRow("empty first line adds nothing") << QByteArray("\r\n12\r\n") << ok << 12;
    QTest::newRow("2.5 gives 2") << QByteArray("2.5\r\n") << ok << 2;
    QTest::newRow("3.5 gives 4") << QByteArray("3.5\r\n") << ok << 4;
    QTest::newRow("-2.5 gives -2") << QByteArray("-2.5\r\n") << ok << -2;
    QTest::newRow("fraction split over lines") << QByteArray("3\r\n.\r\n5") << ok << 4;
    QTest::newRow("Unix line end is a blank") << QByteArray("12\n") << ok << 12;
    QTest::newRow("plus sign") << QByteArray("+45\r\n") << ok << 45;
    QTest::newRow("largest") << QByteArray("2147483647\r\n") << ok << 2147483647;
    QTest::newRow("beyond the spin, within 32 bits") << QByteArray("5000\r\n") << ok << 5000;

    QTest::newRow("letters") << QByteArray("abc\r\n") << NumberError::NotANumber << 0;
    QTest::newRow("number then letters") << QByteArray("12px\r\n") << NumberError::NotANumber << 0;
    QTest::newRow("empty line") << QByteArray("\r\n") << NumberError::Empty << 0;
    QTest::newRow("empty lines") << QByteArray("\r\n\r\n\r\n") << NumberError::Empty << 0;
    QTest::newRow("LF only") << QByteArray("\n") << NumberError::Empty << 0;
    QTest::newRow("blanks only") << QByteArray("   \r\n") << NumberError::Empty << 0;
    QTest::newRow("LF between digits") << QByteArray("1\n5\r\n") << NumberError::NotANumber << 0;
    QTest::newRow("overflow") << QByteArray("2147483648\r\n") << NumberError::Overflow << 0;
    QTest::newRow("negative overflow")
        << QByteArray("-2147483649\r\n") << NumberError::Overflow << 0;
    QTest::newRow("overflow split over lines")
        << QByteArray("21474\r\n83648\r\n") << NumberError::Overflow << 0;
    QTest::newRow("NUL byte") << QByteArray("1\0002", 3) << NumberError::NotANumber << 0;
    QTest::newRow("broken UTF-8") << QByteArray("\xff\xfe") << NumberError::NotANumber << 0;
    QTest::newRow("byte-order mark is skipped") << QByteArray("\xef\xbb\xbf"
                                                              "5\r\n")
                                                << ok << 5;
}

void TestOffsetFiles::readAndConvert()
{
    QFETCH(QByteArray, content);
    QFETCH(NumberError, error);
    QFETCH(int, value);

    qint32 converted = -1;
    QCOMPARE(offsetTextToInt32(joinOffsetLines(content), &converted), error);
    if (error == NumberError::None)
        QCOMPARE(converted, value);

    // The same through a file, which is never changed by the reading.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ini_x1.txt"));
    QVERIFY(writeFile(path, content));
    const OffsetReading reading = readOffsetFile(path);
    QCOMPARE(reading.path, path);
    QCOMPARE(reading.problem.isEmpty(), error == NumberError::None);
    QCOMPARE(reading.value, error == NumberError::None ? value : 0);
    QCOMPARE(readFile(path), content);
}

void TestOffsetFiles::randomContentNeverCrashes()
{
    // Bytes that matter to the reader and the conversion come up more often than the rest.
    static const QByteArray alphabet("0123456789-+.,eE \t\r\n\r\nx\xe3\x80");
    QRandomGenerator random(20260305);
    for (int round = 0; round < 5000; ++round) {
        QByteArray content;
        const int length = int(random.bounded(40));
        for (int i = 0; i < length; ++i) {
            content.append(random.bounded(4) == 0 ? char(random.bounded(256))
                                                  : alphabet[random.bounded(alphabet.size())]);
        }
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
    }
}

void TestOffsetFiles::numbersSplitOverLinesComeBack()
{
    // Any whole number, split anywhere into CR- or CR LF-ended lines and padded with blanks,
    // reads back as itself.
    QRandomGenerator random(4711);
    for (int round = 0; round < 2000; ++round) {
        const qint32 number = qint32(random.generate());
        const QByteArray digits = QByteArray::number(number);
        QByteArray content(int(random.bounded(3)), ' ');
        for (const char c : digits) {
            content.append(c);
            switch (random.bounded(6)) {
            case 0:
                content.append("\r\n");
                break;
            case 1:
                content.append('\r');
                break;
            default:
                break;
            }
        }
        content.append(QByteArray(int(random.bounded(3)), ' '));
        content.append(random.bounded(2) ? "\r\n" : "");
        qint32 value = 0;
        QCOMPARE(offsetTextToInt32(joinOffsetLines(content), &value), NumberError::None);
        QCOMPARE(value, number);
    }
}

void TestOffsetFiles::nothingButAFileIsRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder of that name") << "folder";
    QTest::newRow("named pipe") << "pipe";
    QTest::newRow("link to an endless device") << "device";
    QTest::newRow("larger than an offset can be") << "large";
}

void TestOffsetFiles::nothingButAFileIsRead()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ini_y1.txt"));
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ini_y1.txt")));
    } else if (kind == QLatin1String("pipe")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    } else if (kind == QLatin1String("device")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    } else {
        QVERIFY(writeFile(path, QByteArray(2 << 20, '0')));
    }
    const QFileInfo before(path);

    // Neither blocks nor reads forever, and nothing is created in its place.
    QCOMPARE(createMissingOffsetFile(path), QString());
    const OffsetReading reading = readOffsetFile(path);
    QCOMPARE(reading.value, 0);
    QVERIFY(!reading.problem.isEmpty());
    const QFileInfo after(path);
    QCOMPARE(after.isDir(), before.isDir());
    QCOMPARE(after.isSymLink(), before.isSymLink());
    QCOMPARE(after.size(), before.size());
}

void TestOffsetFiles::missingFileIsCreatedEmpty()
{
    QTemporaryDir dir;
    const QString path = offsetFilePath(dir.path(), kLeftRightFile);
    QCOMPARE(path, dir.path() + QStringLiteral("/ini_x1.txt"));
    QCOMPARE(createMissingOffsetFile(path), QString());
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(QFileInfo(path).size(), 0);
    const OffsetReading reading = readOffsetFile(path);
    QCOMPARE(reading.value, 0);
    QCOMPARE(reading.problem, QString());
}

void TestOffsetFiles::existingFileIsLeftAlone()
{
    QTemporaryDir dir;
    const QString path = offsetFilePath(dir.path(), kUpDownFile);
    QVERIFY(writeFile(path, "-30\r\n"));
    QCOMPARE(createMissingOffsetFile(path), QString());
    QCOMPARE(readFile(path), QByteArray("-30\r\n"));
}

void TestOffsetFiles::creationFailureIsExplained()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("gone"));
    const OffsetReadings readings = loadOffsetFiles(folder);
    QVERIFY(!readings.leftRight.problem.isEmpty());
    QVERIFY(!readings.upDown.problem.isEmpty());
    QCOMPARE(readings.leftRight.value, 0);
    QCOMPARE(readings.upDown.value, 0);
    QVERIFY(!QFileInfo::exists(folder));
}

void TestOffsetFiles::warningNamesEveryUnusableFile()
{
    OffsetReadings readings;
    readings.leftRight = {QStringLiteral("/a/ini_x1.txt"), 0,
                          QStringLiteral("中身が数値ではありません。")};
    readings.upDown = {QStringLiteral("/a/ini_y1.txt"), 12, QString()};
    QString text = offsetLoadWarning(readings);
    QVERIFY(text.contains(QStringLiteral("/a/ini_x1.txt")));
    QVERIFY(text.contains(QStringLiteral("中身が数値ではありません。")));
    QVERIFY(text.contains(QStringLiteral("左右のズレ")));
    QVERIFY(!text.contains(QStringLiteral("/a/ini_y1.txt")));
    QVERIFY(!text.contains(QStringLiteral("上下のズレ")));

    readings.upDown.problem = QStringLiteral("数値が大きすぎます（桁あふれ）。");
    text = offsetLoadWarning(readings);
    QVERIFY(text.contains(QStringLiteral("/a/ini_x1.txt")));
    QVERIFY(text.contains(QStringLiteral("/a/ini_y1.txt")));
    QVERIFY(text.contains(QStringLiteral("上下のズレ")));

    readings.leftRight.problem.clear();
    readings.upDown.problem.clear();
    QCOMPARE(offsetLoadWarning(readings), QString());
}

void TestOffsetFiles::executableDirectoryWhenWritable()
{
    QTemporaryDir dir;
    QVERIFY(canCreateFilesIn(dir.path()));
    QCOMPARE(offsetDirectoryFor(dir.path()), dir.path());
    // The trial leaves nothing behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
    // The test runs from its build folder, which is writable.
    QCOMPARE(offsetDirectory(), QCoreApplication::applicationDirPath());
}

void TestOffsetFiles::configDirectoryOtherwise_data()
{
    QTest::addColumn<QString>("candidate");
    QTest::newRow("folder that does not exist") << "missing";
    QTest::newRow("a file, not a folder") << "file";
    QTest::newRow("folder nobody may write, not even root") << "/proc";
    QTest::newRow("no folder at all") << "";
    QTest::newRow("installed, even where root may write") << "installed";
}

void TestOffsetFiles::configDirectoryOtherwise()
{
    QFETCH(QString, candidate);
    QTemporaryDir home;
    if (candidate == QLatin1String("missing")) {
        candidate = home.filePath(QStringLiteral("missing"));
    } else if (candidate == QLatin1String("file")) {
        candidate = home.filePath(QStringLiteral("file"));
        QVERIFY(writeFile(candidate, "x"));
    } else if (candidate == QLatin1String("installed")) {
        candidate = home.filePath(QStringLiteral("usr/bin"));
        QVERIFY(QDir().mkpath(candidate));
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("usr/share/applications"))));
        QVERIFY(
            writeFile(home.filePath(QStringLiteral("usr/share/applications/sorafu.desktop")), ""));
        QVERIFY(isInstalledLayout(candidate));
    } else if (candidate == QLatin1String("/proc") && !QFileInfo(candidate).isDir()) {
        QSKIP("/proc is not mounted here");
    }
    if (candidate != home.filePath(QStringLiteral("usr/bin")))
        QVERIFY(!canCreateFilesIn(candidate));

    const QString config = home.filePath(QStringLiteral("config"));
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    const QString chosen = offsetDirectoryFor(candidate);
    qputenv("XDG_CONFIG_HOME", saved);
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");

    QCOMPARE(chosen, config + QLatin1Char('/') + QCoreApplication::applicationName());
    QVERIFY(QFileInfo(chosen).isDir()); // created when needed
    QVERIFY(canCreateFilesIn(chosen));
}

QTEST_GUILESS_MAIN(TestOffsetFiles)
#include "tst_offsetfiles.moc"
