#include "fakes.h"
#include "platform/paths.h"
#include "window/mainwindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

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

// Puts the content at the path: bytes, nothing when null, or a folder for "<folder>".
static bool place(const QString &path, const QByteArray &content)
{
    if (content.isNull())
        return true;
    if (content == "<folder>")
        return QDir().mkdir(path);
    return writeFile(path, content);
}

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void firstStartCreatesEmptyFiles();
    void offsetsComeFromTheFiles_data();
    void offsetsComeFromTheFiles();
    void unusableFileWarnsAndCountsAsZero_data();
    void unusableFileWarnsAndCountsAsZero();
    void bothFilesUnusableGiveOneWarning();
    void unwritableFolderStillOpensTheWindow();
    void unwritableExecutableFolderFallsBack();
    void secondInstanceStillCreatesFiles();
};

void TestStartup::firstStartCreatesEmptyFiles()
{
    QTemporaryDir dir;
    FakeDesktop desktop;
    MainWindow window(desktop.services(dir.path()));
    QVERIFY(window.load());

    for (const char *name : {"ini_x1.txt", "ini_y1.txt"}) {
        const QFileInfo file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY2(file.isFile(), name);
        QCOMPARE(file.size(), 0);
    }
    QCOMPARE(window.ui().UpDownX->value(), 0);
    QCOMPARE(window.ui().UpDownY->value(), 0);
    QCOMPARE(window.ui().Sayuu_Xtxt->text(), QStringLiteral("0"));
    QCOMPARE(window.ui().Jyouge_Ytxt->text(), QStringLiteral("0"));
    QCOMPARE(desktop.messages.shown.size(), 0);
}

void TestStartup::offsetsComeFromTheFiles_data()
{
    QTest::addColumn<QByteArray>("x");
    QTest::addColumn<QByteArray>("y");
    QTest::addColumn<int>("xValue");
    QTest::addColumn<int>("yValue");

    QTest::newRow("saved pair") << QByteArray("-30\r\n") << QByteArray("45\r\n") << -30 << 45;
    QTest::newRow("blanks are not shown") << QByteArray(" 12 \r\n") << QByteArray("7") << 12 << 7;
    QTest::newRow("lines joined, half to even")
        << QByteArray("1\r\n5\r\n") << QByteArray("2.5\r\n") << 15 << 2;
    QTest::newRow("x missing") << QByteArray() << QByteArray("-20\r\n") << 0 << -20;
    QTest::newRow("y missing") << QByteArray("15\r\n") << QByteArray() << 15 << 0;
    // Beyond the spins' -1000..1000 the spins clamp, and the boxes show what the spins hold.
    QTest::newRow("clamped high") << QByteArray("5000\r\n") << QByteArray("5000\r\n") << 1000
                                  << 1000;
    QTest::newRow("clamped low") << QByteArray("-2147483648\r\n") << QByteArray("-1001\r\n")
                                 << -1000 << -1000;
    QTest::newRow("range ends") << QByteArray("1000\r\n") << QByteArray("-1000\r\n") << 1000
                                << -1000;
}

void TestStartup::offsetsComeFromTheFiles()
{
    QFETCH(QByteArray, x);
    QFETCH(QByteArray, y);
    QFETCH(int, xValue);
    QFETCH(int, yValue);

    QTemporaryDir dir;
    const QString xPath = dir.filePath(QStringLiteral("ini_x1.txt"));
    const QString yPath = dir.filePath(QStringLiteral("ini_y1.txt"));
    QVERIFY(place(xPath, x));
    QVERIFY(place(yPath, y));
    // Dated in the past, so a rewrite would show in the time as well as in the bytes.
    const QDateTime past(QDate(2020, 1, 2), QTime(3, 4, 5));
    for (const QString &path : {xPath, yPath}) {
        QFile file(path);
        if (file.exists())
            QVERIFY(file.open(QIODevice::ReadWrite) &&
                    file.setFileTime(past, QFileDevice::FileModificationTime));
    }

    FakeDesktop desktop;
    MainWindow window(desktop.services(dir.path()));
    QVERIFY(window.load());
    Ui::Form1 &ui = window.ui();
    QCOMPARE(ui.UpDownX->value(), xValue);
    QCOMPARE(ui.UpDownY->value(), yValue);
    QCOMPARE(ui.Sayuu_Xtxt->text(), QString::number(xValue));
    QCOMPARE(ui.Jyouge_Ytxt->text(), QString::number(yValue));
    QCOMPARE(desktop.messages.shown.size(), 0);

    // Existing files are neither rewritten nor emptied; a missing one is created empty.
    QCOMPARE(readFile(xPath), x.isNull() ? QByteArray("") : x);
    QCOMPARE(readFile(yPath), y.isNull() ? QByteArray("") : y);
    if (!x.isNull())
        QCOMPARE(QFileInfo(xPath).lastModified(), past);
    if (!y.isNull())
        QCOMPARE(QFileInfo(yPath).lastModified(), past);
}

void TestStartup::unusableFileWarnsAndCountsAsZero_data()
{
    QTest::addColumn<bool>("damageX");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");

    for (bool damageX : {true, false}) {
        const char *which = damageX ? "x: " : "y: ";
        QTest::addRow("%sletters", which)
            << damageX << QByteArray("abc\r\n") << "数値ではありません";
        QTest::addRow("%sempty line", which) << damageX << QByteArray("\r\n") << "空の行";
        QTest::addRow("%soverflow", which)
            << damageX << QByteArray("99999999999\r\n") << "大きすぎます";
        QTest::addRow("%sfolder of that name", which)
            << damageX << QByteArray("<folder>") << "フォルダー";
    }
}

void TestStartup::unusableFileWarnsAndCountsAsZero()
{
    QFETCH(bool, damageX);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    const QString damaged = dir.filePath(damageX ? "ini_x1.txt" : "ini_y1.txt");
    const QString good = dir.filePath(damageX ? "ini_y1.txt" : "ini_x1.txt");
    QVERIFY(place(damaged, content));
    QVERIFY(writeFile(good, "-40\r\n"));

    FakeDesktop desktop;
    MainWindow window(desktop.services(dir.path()));
    QVERIFY(window.load()); // the window opens
    Ui::Form1 &ui = window.ui();

    QCOMPARE(desktop.messages.shown.size(), 1);
    const FakeMessages::Shown &shown = desktop.messages.shown.first();
    QCOMPARE(shown.kind, QStringLiteral("warning"));
    QCOMPARE(shown.title, QStringLiteral("ソラフ"));
    QVERIFY2(shown.text.contains(damaged), qPrintable(shown.text));
    QVERIFY2(!shown.text.contains(good), qPrintable(shown.text));
    QVERIFY2(shown.text.contains(reason), qPrintable(shown.text));
    QVERIFY2(shown.text.contains(damageX ? "左右のズレ" : "上下のズレ"), qPrintable(shown.text));

    QCOMPARE((damageX ? ui.UpDownX : ui.UpDownY)->value(), 0);
    QCOMPARE((damageX ? ui.Sayuu_Xtxt : ui.Jyouge_Ytxt)->text(), QStringLiteral("0"));
    QCOMPARE((damageX ? ui.UpDownY : ui.UpDownX)->value(), -40);
    QCOMPARE((damageX ? ui.Jyouge_Ytxt : ui.Sayuu_Xtxt)->text(), QStringLiteral("-40"));

    // The damaged file stays exactly as it was, for the user to look at or save over.
    if (content == "<folder>")
        QVERIFY(QFileInfo(damaged).isDir());
    else
        QCOMPARE(readFile(damaged), content);
    QCOMPARE(readFile(good), QByteArray("-40\r\n"));
}

void TestStartup::bothFilesUnusableGiveOneWarning()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("ini_x1.txt"), "x\r\n"));
    QVERIFY(writeFile(dir.filePath("ini_y1.txt"), "\r\n"));
    FakeDesktop desktop;
    MainWindow window(desktop.services(dir.path()));
    QVERIFY(window.load());
    QCOMPARE(desktop.messages.shown.size(), 1);
    QVERIFY(desktop.messages.shown[0].text.contains(dir.filePath("ini_x1.txt")));
    QVERIFY(desktop.messages.shown[0].text.contains(dir.filePath("ini_y1.txt")));
}

void TestStartup::unwritableFolderStillOpensTheWindow()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("not-there"));
    FakeDesktop desktop;
    MainWindow window(desktop.services(folder));
    QVERIFY(window.load());
    QCOMPARE(window.ui().UpDownX->value(), 0);
    QCOMPARE(window.ui().Jyouge_Ytxt->text(), QStringLiteral("0"));
    QCOMPARE(desktop.messages.shown.size(), 1);
    QVERIFY(desktop.messages.shown[0].text.contains(folder + "/ini_x1.txt"));
    QVERIFY(desktop.messages.shown[0].text.contains(folder + "/ini_y1.txt"));
    // The lists are filled all the same.
    QCOMPARE(window.ui().Combo10303->count(), 31);
}

void TestStartup::unwritableExecutableFolderFallsBack()
{
    if (!QFileInfo(QStringLiteral("/proc")).isDir())
        QSKIP("/proc, a folder nobody may write in, is not mounted here");
    QTemporaryDir home;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    const QString folder = offsetDirectoryFor(QStringLiteral("/proc"));
    qputenv("XDG_CONFIG_HOME", saved);
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    QVERIFY(folder.startsWith(home.path()));

    FakeDesktop desktop;
    MainWindow window(desktop.services(folder));
    QVERIFY(window.load());
    QCOMPARE(desktop.messages.shown.size(), 0);
    QCOMPARE(QFileInfo(folder + "/ini_x1.txt").size(), 0);
    QCOMPARE(QFileInfo(folder + "/ini_y1.txt").size(), 0);
}

void TestStartup::secondInstanceStillCreatesFiles()
{
    QTemporaryDir dir;
    FakeDesktop desktop;
    desktop.anotherInstance = true;
    MainWindow window(desktop.services(dir.path()));
    QVERIFY(!window.load());
    QVERIFY(QFileInfo::exists(dir.filePath("ini_x1.txt")));
    QVERIFY(QFileInfo::exists(dir.filePath("ini_y1.txt")));
    QCOMPARE(desktop.messages.shown.size(), 1);
    QCOMPARE(desktop.messages.shown[0].text, QStringLiteral("多重起動は、できません。"));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
