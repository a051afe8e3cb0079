#include "fakes.h"
#include "window/mainwindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

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

static QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A window started in its own folder, with earlier offsets already saved there.
struct Started
{
    Started(const QByteArray &x = "5\r\n", const QByteArray &y = "6\r\n")
    {
        writeFile(xPath(), x);
        writeFile(yPath(), y);
        window = std::make_unique<MainWindow>(desktop.services(dir.path()));
        window->load();
        desktop.messages.shown.clear();
    }
    QString xPath() const { return dir.filePath(QStringLiteral("ini_x1.txt")); }
    QString yPath() const { return dir.filePath(QStringLiteral("ini_y1.txt")); }
    Ui::Form1 &ui() { return window->ui(); }
    void save() { QTest::mouseClick(ui().HozonBtn, Qt::LeftButton); }

    QTemporaryDir dir;
    FakeDesktop desktop;
    std::unique_ptr<MainWindow> window;
};

class TestOffsetSave : public QObject
{
    Q_OBJECT

private slots:
    void savesTextAndCrLf_data();
    void savesTextAndCrLf();
    void savingTwiceLeavesTheSameBytes();
    void typedTextIsSavedNotTheSpin();
    void savedOffsetsComeBackAtTheNextStart();
    void refusesWhatStartupWouldReject_data();
    void refusesWhatStartupWouldReject();
    void refusedTargetLeavesBothFiles_data();
    void refusedTargetLeavesBothFiles();
    void fullDiskLeavesBothFiles();
};

void TestOffsetSave::savesTextAndCrLf_data()
{
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    QTest::addColumn<QByteArray>("xBytes");
    QTest::addColumn<QByteArray>("yBytes");

    QTest::newRow("-30 and 45") << "-30"
                                << "45" << QByteArray::fromHex("2d33300d0a")
                                << QByteArray::fromHex("34350d0a");
    QTest::newRow("zeros") << "0"
                           << "0" << QByteArray("0\r\n") << QByteArray("0\r\n");
    QTest::newRow("as typed: blanks, sign, fraction")
        << " 12 "
        << "+2.5" << QByteArray(" 12 \r\n") << QByteArray("+2.5\r\n");
    QTest::newRow("beyond the spin range, as typed")
        << "5000"
        << "-2147483648" << QByteArray("5000\r\n") << QByteArray("-2147483648\r\n");
}

void TestOffsetSave::savesTextAndCrLf()
{
    QFETCH(QString, x);
    QFETCH(QString, y);
    QFETCH(QByteArray, xBytes);
    QFETCH(QByteArray, yBytes);

    Started started("1234567890\r\n\r\n", "");
    started.ui().Sayuu_Xtxt->setText(x);
    started.ui().Jyouge_Ytxt->setText(y);
    const int spin = started.ui().UpDownX->value();
    started.save();
    QCOMPARE(readFile(started.xPath()), xBytes);
    QCOMPARE(readFile(started.yPath()), yBytes);
    QCOMPARE(started.desktop.messages.shown.size(), 0); // success shows nothing
    QCOMPARE(entries(started.dir.path()), QStringList({"ini_x1.txt", "ini_y1.txt"}));
    // The save changes nothing in the window.
    QCOMPARE(started.ui().Sayuu_Xtxt->text(), x);
    QCOMPARE(started.ui().UpDownX->value(), spin);
}

void TestOffsetSave::savingTwiceLeavesTheSameBytes()
{
    Started started;
    started.ui().Sayuu_Xtxt->setText(QStringLiteral("-30"));
    started.ui().Jyouge_Ytxt->setText(QStringLiteral("45"));
    started.save();
    started.save();
    QCOMPARE(readFile(started.xPath()), QByteArray("-30\r\n"));
    QCOMPARE(readFile(started.yPath()), QByteArray("45\r\n"));
    QCOMPARE(started.desktop.messages.shown.size(), 0);
}

void TestOffsetSave::typedTextIsSavedNotTheSpin()
{
    Started started("0\r\n", "0\r\n");
    QTest::keyClicks(started.ui().Sayuu_Xtxt, QStringLiteral("999"));
    started.ui().UpDownY->stepUp(); // the up arrow of the up/down spin lowers it
    started.save();
    QCOMPARE(started.ui().UpDownX->value(), 0);
    QCOMPARE(readFile(started.xPath()), QByteArray("0999\r\n"));
    QCOMPARE(readFile(started.yPath()), QByteArray("-10\r\n"));
}

void TestOffsetSave::savedOffsetsComeBackAtTheNextStart()
{
    QTemporaryDir dir;
    {
        FakeDesktop desktop;
        MainWindow window(desktop.services(dir.path()));
        window.load();
        window.ui().UpDownX->setValue(-30);
        window.ui().UpDownY->setValue(450);
        QTest::mouseClick(window.ui().HozonBtn, Qt::LeftButton);
    }
    FakeDesktop desktop;
    MainWindow window(desktop.services(dir.path()));
    window.load();
    QCOMPARE(window.ui().UpDownX->value(), -30);
    QCOMPARE(window.ui().Sayuu_Xtxt->text(), QStringLiteral("-30"));
    QCOMPARE(window.ui().UpDownY->value(), 450);
    QCOMPARE(window.ui().Jyouge_Ytxt->text(), QStringLiteral("450"));
    QCOMPARE(desktop.messages.shown.size(), 0);
}

void TestOffsetSave::refusesWhatStartupWouldReject_data()
{
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    QTest::addColumn<QStringList>("told");
    QTest::addColumn<QStringList>("notTold");

    const QString lr = QStringLiteral("左右のズレ");
    const QString ud = QStringLiteral("上下のズレ");
    QTest::newRow("empty left/right")
        << ""
        << "45" << QStringList{lr, "入力されていません"} << QStringList{ud};
    QTest::newRow("blanks only") << "   "
                                 << "45" << QStringList{lr, "入力されていません"}
                                 << QStringList{ud};
    QTest::newRow("letters up/down")
        << "-30"
        << "abc" << QStringList{ud, "数値ではありません"} << QStringList{lr};
    QTest::newRow("full-width digits")
        << "３０"
        << "0" << QStringList{lr, "数値ではありません"} << QStringList{ud};
    QTest::newRow("overflow") << "3000000000"
                              << "0" << QStringList{lr, "大きすぎます"} << QStringList{ud};
    QTest::newRow("both wrong") << "x"
                                << "" << QStringList{lr, ud} << QStringList{};
}

void TestOffsetSave::refusesWhatStartupWouldReject()
{
    QFETCH(QString, x);
    QFETCH(QString, y);
    QFETCH(QStringList, told);
    QFETCH(QStringList, notTold);

    Started started;
    started.ui().Sayuu_Xtxt->setText(x);
    started.ui().Jyouge_Ytxt->setText(y);
    started.save();

    QCOMPARE(started.desktop.messages.shown.size(), 1);
    const FakeMessages::Shown &shown = started.desktop.messages.shown.first();
    QCOMPARE(shown.kind, QStringLiteral("critical"));
    QCOMPARE(shown.title, QStringLiteral("ソラフ"));
    for (const QString &part : told)
        QVERIFY2(shown.text.contains(part), qPrintable(shown.text));
    for (const QString &part : notTold)
        QVERIFY2(!shown.text.contains(part), qPrintable(shown.text));
    // Nothing written, and what was typed is still there to be corrected.
    QCOMPARE(readFile(started.xPath()), QByteArray("5\r\n"));
    QCOMPARE(readFile(started.yPath()), QByteArray("6\r\n"));
    QCOMPARE(started.ui().Sayuu_Xtxt->text(), x);
    QCOMPARE(started.ui().Jyouge_Ytxt->text(), y);
}

void TestOffsetSave::refusedTargetLeavesBothFiles_data()
{
    // Root writes through any permission bits, so the targets are refused in ways that hold
    // for root too.
    QTest::addColumn<QString>("blocked");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder in place of ini_x1.txt") << "ini_x1.txt"
                                                   << "フォルダー";
    QTest::newRow("folder in place of ini_y1.txt") << "ini_y1.txt"
                                                   << "フォルダー";
    QTest::newRow("save folder gone") << ""
                                      << "フォルダーがありません";
}

void TestOffsetSave::refusedTargetLeavesBothFiles()
{
    QFETCH(QString, blocked);
    QFETCH(QString, reason);

    Started started;
    QString named;
    if (blocked.isEmpty()) {
        QVERIFY(started.dir.remove());
        named = started.xPath();
    } else {
        const QString path = started.dir.filePath(blocked);
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
        named = path;
    }
    const QStringList before = entries(started.dir.path());
    started.ui().Sayuu_Xtxt->setText(QStringLiteral("-30"));
    started.ui().Jyouge_Ytxt->setText(QStringLiteral("45"));
    started.save();

    QCOMPARE(started.desktop.messages.shown.size(), 1);
    const FakeMessages::Shown &shown = started.desktop.messages.shown.first();
    QCOMPARE(shown.kind, QStringLiteral("critical"));
    QVERIFY2(shown.text.contains(named), qPrintable(shown.text));
    QVERIFY2(shown.text.contains(reason), qPrintable(shown.text));
    QCOMPARE(entries(started.dir.path()), before); // no stray temporary file either
    if (blocked.isEmpty())
        return;
    const QString other =
        blocked == QLatin1String("ini_x1.txt") ? started.yPath() : started.xPath();
    QCOMPARE(readFile(other),
             blocked == QLatin1String("ini_x1.txt") ? QByteArray("6\r\n") : QByteArray("5\r\n"));
    QVERIFY(QFileInfo(started.dir.filePath(blocked)).isDir());
}

void TestOffsetSave::fullDiskLeavesBothFiles()
{
    // A file size limit of 0 fails every write the way a full disk does, for root as well.
    Started started;
    started.ui().Sayuu_Xtxt->setText(QStringLiteral("-30"));
    started.ui().Jyouge_Ytxt->setText(QStringLiteral("45"));

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit none = saved;
    none.rlim_cur = 0;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &none), 0);
    started.save();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(started.desktop.messages.shown.size(), 1);
    QVERIFY(started.desktop.messages.shown[0].text.contains(started.xPath()));
    QCOMPARE(readFile(started.xPath()), QByteArray("5\r\n"));
    QCOMPARE(readFile(started.yPath()), QByteArray("6\r\n"));
    QCOMPARE(entries(started.dir.path()), QStringList({"ini_x1.txt", "ini_y1.txt"}));

    // Once there is room again, the same save goes through.
    started.desktop.messages.shown.clear();
    started.save();
    QCOMPARE(started.desktop.messages.shown.size(), 0);
    QCOMPARE(readFile(started.xPath()), QByteArray("-30\r\n"));
    QCOMPARE(readFile(started.yPath()), QByteArray("45\r\n"));
}

QTEST_MAIN(TestOffsetSave)
#include "tst_offsetsave.moc"
