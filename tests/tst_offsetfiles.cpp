// The offset files on disk: what the reader refuses to read, and what the ズレ保存 button writes.

#include "entries/offsetfiles.h"
#include "offsetfolder.h"

#include <QTest>

#include <sys/stat.h>

class TestOffsetFiles : public QObject
{
    Q_OBJECT

private slots:
    void nothingButAFileIsRead_data();
    void nothingButAFileIsRead();
    void save_data();
    void save();
};

void TestOffsetFiles::nothingButAFileIsRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("named pipe") << "pipe";
    QTest::newRow("link to an endless device") << "device";
    QTest::newRow("larger than an offset can be") << "large";
    // ズレ保存 reads what it may have to put back with the same checks, and writes nothing.
    QTest::newRow("i9 fault 3: ズレ保存 onto a named pipe") << "pipe, saved onto";
}

void TestOffsetFiles::nothingButAFileIsRead()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ini_y1.txt"));
    if (kind.startsWith(QLatin1String("pipe")))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    else if (kind == QLatin1String("device"))
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    else
        QVERIFY(writeFile(path, QByteArray(2 << 20, '0')));
    const QFileInfo before(path);

    // Neither blocks nor reads forever, and nothing is created in its place.
    QCOMPARE(createMissingOffsetFile(path), QString());
    const OffsetReading reading = readOffsetFile(path);
    QCOMPARE(reading.value, 0);
    QVERIFY(!reading.problem.isEmpty());
    if (kind.endsWith(QLatin1String("saved onto")))
        QVERIFY(
            !saveOffsetFiles({path, "x", "1"}, {dir.filePath("ini_x1.txt"), "y", "2"}).isEmpty());
    const QFileInfo after(path);
    QCOMPARE(after.isSymLink(), before.isSymLink());
    QCOMPARE(after.isFile(), before.isFile());
    QCOMPARE(after.size(), before.size());
}

void TestOffsetFiles::save_data()
{
    // The folder starts with 5 and 6 saved. Root writes through any permission bits, so a
    // target is blocked by a folder in its place, which holds for root too.
    QTest::addColumn<QString>("blocked"); // a file replaced by a folder, or the whole folder
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    QTest::addColumn<QByteArray>("xAfter");
    QTest::addColumn<QByteArray>("yAfter");
    QTest::addColumn<QStringList>("told"); // in the one message; none for a success
    QTest::addColumn<QStringList>("notTold");

    const auto row = [](const char *name, const char *blocked, const QString &x, const QString &y,
                        const QByteArray &xAfter, const QByteArray &yAfter,
                        const QStringList &told = {}, const QStringList &notTold = {}) {
        QTest::newRow(name) << QString::fromLatin1(blocked) << x << y << xAfter << yAfter << told
                            << notTold;
    };
    const QString lr = QStringLiteral("左右のズレ");
    const QString ud = QStringLiteral("上下のズレ");
    const QByteArray x0 = "5\r\n", y0 = "6\r\n";
    row("-30 and 45", "", "-30", "45", QByteArray::fromHex("2d33300d0a"),
        QByteArray::fromHex("34350d0a"));
    row("i9 fault 8: the whole number, in digits only", "", " 1,000 ", "+2.5", "1000\r\n", "2\r\n");
    row("i9 fault 7: beyond -1000..1000 refused", "", "1000.5", "-2147483648", x0, y0,
        {lr, ud, "-1000", "1000"});

    row("empty left/right", "", "", "45", x0, y0, {lr, "入力されていません"}, {ud});
    row("letters up/down", "", "-30", "abc", x0, y0, {ud, "数値ではありません"}, {lr});
    row("overflow left/right", "", "3000000000", "0", x0, y0, {lr, "大きすぎます"}, {ud});
    row("both refused", "", "x", "", x0, y0, {lr, ud});

    row("folder in place of ini_x1.txt", "ini_x1.txt", "-30", "45", "<folder>", y0,
        {"<x>", "フォルダー"}, {"<y>"});
    row("folder in place of ini_y1.txt", "ini_y1.txt", "-30", "45", x0, "<folder>",
        {"<y>", "フォルダー"}, {"<x>"});
    row("save folder gone", "*", "-30", "45", "<missing>", "<missing>",
        {"<x>", "フォルダーがありません"});
    row("i9 fault 11: temporaries of a save cut short cleared", "<temp>", "-30", "45", "-30\r\n",
        "45\r\n");
}

void TestOffsetFiles::save()
{
    QFETCH(QString, blocked);
    QFETCH(QString, x);
    QFETCH(QString, y);
    QFETCH(QByteArray, xAfter);
    QFETCH(QByteArray, yAfter);
    QFETCH(QStringList, told);
    QFETCH(QStringList, notTold);

    OffsetFolder folder;
    Ui::Form1 &ui = folder.start();
    if (blocked == QLatin1String("*")) {
        QVERIFY(folder.dir.remove());
    } else if (blocked.endsWith(QLatin1String(".txt"))) {
        QVERIFY(QFile::remove(folder.dir.filePath(blocked)));
        QVERIFY(QDir().mkdir(folder.dir.filePath(blocked)));
    }
    for (QStringList *parts : {&told, &notTold}) {
        parts->replaceInStrings(QStringLiteral("<x>"), folder.xPath());
        parts->replaceInStrings(QStringLiteral("<y>"), folder.yPath());
    }
    ui.Sayuu_Xtxt->setText(x);
    ui.Jyouge_Ytxt->setText(y);
    const int spin = ui.UpDownX->value();
    const QStringList entries = folder.entries();
    if (blocked == QLatin1String("<temp>")) // as a save killed before its rename leaves them
        QVERIFY(writeFile(folder.xPath() + ".aB3xYz", "-3") &&
                writeFile(folder.yPath() + ".Q1w2E3", ""));

    // A second save leaves the same bytes, or is refused the same way.
    for (int round = 0; round < 2; ++round) {
        QList<FakeMessages::Shown> &shown = folder.desktop.messages.shown;
        shown.clear();
        QTest::mouseClick(ui.HozonBtn, Qt::LeftButton);
        QCOMPARE(readFile(folder.xPath()), xAfter);
        QCOMPARE(readFile(folder.yPath()), yAfter);
        QCOMPARE(folder.entries(), entries); // no temporary file left behind
        QCOMPARE(shown.size(), told.isEmpty() ? 0 : 1);
        if (told.isEmpty())
            continue;
        QCOMPARE(shown[0].kind, QStringLiteral("critical"));
        QCOMPARE(shown[0].title, QStringLiteral("ソラフ"));
        for (const QString &part : told)
            QVERIFY2(shown[0].text.contains(part), qPrintable(shown[0].text));
        for (const QString &part : notTold)
            QVERIFY2(!shown[0].text.contains(part), qPrintable(shown[0].text));
    }
    // What was typed stays, to be corrected; the spin is not touched.
    QCOMPARE(ui.Sayuu_Xtxt->text(), x);
    QCOMPARE(ui.Jyouge_Ytxt->text(), y);
    QCOMPARE(ui.UpDownX->value(), spin);
}

QTEST_MAIN(TestOffsetFiles)
#include "tst_offsetfiles.moc"
