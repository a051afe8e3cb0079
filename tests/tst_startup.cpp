// The start-up sequence: where the offsets live, what the files give the panel, and how the
// choice lists start.

#include "offsetfolder.h"
#include "system/paths.h"

#include <QScopeGuard>
#include <QTest>

#include <unistd.h>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void offsetsFromTheFiles_data();
    void offsetsFromTheFiles();
    void secondInstanceStillCreatesTheFiles();
    void offsetFolder_data();
    void offsetFolder();
    void dateListsStartToday_data();
    void dateListsStartToday();
    void choiceLists_data();
    void choiceLists();
};

void TestStartup::offsetsFromTheFiles_data()
{
    QTest::addColumn<QByteArray>("x");
    QTest::addColumn<QByteArray>("y");
    QTest::addColumn<int>("xValue");
    QTest::addColumn<int>("yValue");
    QTest::addColumn<QString>("warned"); // the files named in the one warning: x, y or xy
    QTest::addColumn<QString>("reason");

    const auto row = [](const char *name, const QByteArray &x, const QByteArray &y, int xValue,
                        int yValue, const char *warned = "", const char *reason = "") {
        QTest::newRow(name) << x << y << xValue << yValue << QString::fromLatin1(warned)
                            << QString::fromUtf8(reason);
    };
    const QByteArray missing = "<missing>", good = "-40\r\n";
    row("first start", missing, missing, 0, 0);
    row("existing files", "-30\r\n", "45\r\n", -30, 45);
    row("x missing", missing, good, 0, -40);
    // The spins hold -1000..1000, and the boxes show what the spins took.
    row("clamped to the spin range", "5000\r\n", "-2147483648\r\n", 1000, -1000);
    row("x letters", "abc\r\n", good, 0, -40, "x", "数値ではありません");
    row("y empty line", good, "\r\n", -40, 0, "y", "空の行");
    row("x overflow", "99999999999\r\n", good, 0, -40, "x", "大きすぎます");
    row("y folder of that name", good, "<folder>", -40, 0, "y", "フォルダー");
    row("both damaged, one warning", "x\r\n", "\r\n", 0, 0, "xy", "数値ではありません");
    // A copy that is not to start says only that.
    row("i9 fault 10: second copy, damaged file: only 多重起動", "abc\r\n", good, 0, -40, "2nd",
        "多重起動は、できません。");
}

void TestStartup::offsetsFromTheFiles()
{
    QFETCH(QByteArray, x);
    QFETCH(QByteArray, y);
    QFETCH(int, xValue);
    QFETCH(int, yValue);
    QFETCH(QString, warned);
    QFETCH(QString, reason);

    OffsetFolder folder(x, y);
    folder.desktop.anotherInstance = warned == QLatin1String("2nd");
    // Dated in the past, so a rewrite would show in the time as well as in the bytes.
    const QDateTime past(QDate(2020, 1, 2), QTime(3, 4, 5));
    for (const QString &path : {folder.xPath(), folder.yPath()}) {
        QFile file(path);
        if (QFileInfo(path).isFile())
            QVERIFY(file.open(QIODevice::ReadWrite) &&
                    file.setFileTime(past, QFileDevice::FileModificationTime));
    }
    Ui::Form1 &ui = folder.start();

    QCOMPARE(ui.UpDownX->value(), xValue);
    QCOMPARE(ui.UpDownY->value(), yValue);
    QCOMPARE(ui.Sayuu_Xtxt->text(), QString::number(xValue));
    QCOMPARE(ui.Jyouge_Ytxt->text(), QString::number(yValue));

    const QList<FakeMessages::Shown> &shown = folder.desktop.messages.shown;
    QCOMPARE(shown.size(), warned.isEmpty() ? 0 : 1);
    if (folder.desktop.anotherInstance) {
        QCOMPARE(shown[0].text, reason);
    } else if (!warned.isEmpty()) {
        QCOMPARE(shown[0].kind, QStringLiteral("warning"));
        QCOMPARE(shown[0].title, QStringLiteral("ソラフ"));
        QVERIFY2(shown[0].text.contains(reason), qPrintable(shown[0].text));
        const bool xWarned = warned.contains(u'x'), yWarned = warned.contains(u'y');
        QCOMPARE(shown[0].text.contains(folder.xPath()), xWarned);
        QCOMPARE(shown[0].text.contains(QStringLiteral("左右のズレ")), xWarned);
        QCOMPARE(shown[0].text.contains(folder.yPath()), yWarned);
        QCOMPARE(shown[0].text.contains(QStringLiteral("上下のズレ")), yWarned);
    }

    // A missing file is created empty; whatever was there is left exactly as it was.
    for (const auto &[path, content] : {std::pair(folder.xPath(), x), {folder.yPath(), y}}) {
        QCOMPARE(readFile(path), content == "<missing>" ? QByteArray("") : content);
        if (content != "<missing>" && content != "<folder>")
            QCOMPARE(QFileInfo(path).lastModified(), past);
    }
}

void TestStartup::secondInstanceStillCreatesTheFiles()
{
    OffsetFolder folder("<missing>", "<missing>");
    folder.desktop.anotherInstance = true;
    folder.start();
    QCOMPARE(folder.entries(), QStringList({"ini_x1.txt", "ini_y1.txt"}));
}

void TestStartup::offsetFolder_data()
{
    QTest::addColumn<QString>("candidate"); // the program's folder
    QTest::addColumn<bool>("configBlocked");
    QTest::addColumn<bool>("config"); // the configuration folder is chosen

    QTest::newRow("writable bin without a desktop entry") << "usr/bin" << false << false;
    QTest::newRow("installed, though writable") << "installed" << false << true;
    QTest::newRow("folder that does not exist") << "missing" << false << true;
    QTest::newRow("a file, not a folder") << "file" << false << true;
    QTest::newRow("nobody may write, not even root") << "/proc" << false << true;
    QTest::newRow("configuration folder blocked too") << "missing" << true << true;
    // Files kept beside the program are read, and saved in place, though no file can be added.
    QTest::newRow("i9 fault 2: folder refusing new files, holding both") << "ro" << false << false;
}

void TestStartup::offsetFolder()
{
    QFETCH(QString, candidate);
    QFETCH(bool, configBlocked);
    QFETCH(bool, config);

    QTemporaryDir home;
    if (candidate == QLatin1String("/proc") && !QFileInfo(candidate).isDir())
        QSKIP("/proc is not mounted here");
    if (candidate == QLatin1String("installed")) {
        candidate = home.filePath(QStringLiteral("usr/bin"));
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("usr/share/applications"))));
        QVERIFY(
            writeFile(home.filePath(QStringLiteral("usr/share/applications/sorafu.desktop")), ""));
    } else if (!candidate.startsWith(u'/')) {
        candidate = home.filePath(candidate);
    }
    if (candidate.endsWith(QLatin1String("bin")))
        QVERIFY(QDir().mkpath(candidate));
    if (candidate.endsWith(QLatin1String("file")))
        QVERIFY(writeFile(candidate, "x"));
    const bool kept = candidate.endsWith(QLatin1String("/ro"));
    const QByteArray offset = kept ? "70\r\n" : "";
    const QFile::Permissions anyone(0x5555), writable(0x2222); // owner, user, group, other
    if (kept) {
        QVERIFY(QDir().mkpath(candidate));
        for (const char *name : {"/ini_x1.txt", "/ini_y1.txt"})
            QVERIFY(writeFile(candidate + name, offset) &&
                    QFile::setPermissions(candidate + name, anyone | writable));
        QVERIFY(QFile::setPermissions(candidate, anyone) &&
                QFile::setPermissions(home.path(), anyone));
    }
    // Root writes anywhere: the rest of this row runs as nobody.
    if (kept && geteuid() == 0)
        QVERIFY(setresuid(65534, 65534, 0) == 0);
    const auto asBefore = qScopeGuard([] { setresuid(0, 0, 0); });

    const QString configHome = home.filePath(QStringLiteral("config"));
    if (configBlocked)
        QVERIFY(writeFile(configHome, "x"));
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome));
    const QString chosen = offsetDirectoryFor(candidate);
    qputenv("XDG_CONFIG_HOME", saved);
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(chosen, config ? configHome + u'/' + QCoreApplication::applicationName() : candidate);
    // Trying the program's folder leaves nothing behind.
    QCOMPARE(QDir(chosen).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             kept ? QStringList({"ini_x1.txt", "ini_y1.txt"}) : QStringList());

    FakeDesktop desktop;
    MainWindow window(desktop.services(chosen));
    QVERIFY(window.load());
    // The panel tells where its offsets are kept.
    QVERIFY(window.ui().CyouseiFrm->toolTip().contains(QDir::toNativeSeparators(chosen)));
    if (!configBlocked) {
        QCOMPARE(window.ui().UpDownX->value(), kept ? 70 : 0);
        window.ui().Sayuu_Xtxt->setText(QStringLiteral("-30"));
        if (kept)
            QTest::mouseClick(window.ui().HozonBtn, Qt::LeftButton);
        QCOMPARE(desktop.messages.shown.size(), 0);
        QCOMPARE(readFile(chosen + QStringLiteral("/ini_x1.txt")), kept ? "-30\r\n" : offset);
        QCOMPARE(readFile(chosen + QStringLiteral("/ini_y1.txt")), offset);
        return;
    }
    // Nowhere to keep the offsets: the window opens all the same, and says so once.
    QCOMPARE(desktop.messages.shown.size(), 1);
    QVERIFY(desktop.messages.shown[0].text.contains(chosen + QStringLiteral("/ini_x1.txt")));
    QVERIFY(desktop.messages.shown[0].text.contains(chosen + QStringLiteral("/ini_y1.txt")));
    QCOMPARE(window.ui().Combo10303->count(), 31);
}

void TestStartup::dateListsStartToday_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QStringList>("texts"); // era, year, month, day

    QTest::newRow("2004-02-08") << QDate(2004, 2, 8) << QStringList{"平成", "16", "02", "08"};
    QTest::newRow("2000-01-01") << QDate(2000, 1, 1) << QStringList{"平成", "12", "01", "01"};
    QTest::newRow("2019-04-30") << QDate(2019, 4, 30) << QStringList{"平成", "31", "04", "30"};
    QTest::newRow("2019-05-01: 1, not 元年")
        << QDate(2019, 5, 1) << QStringList{"令和", "1", "05", "01"};
    QTest::newRow("2026-12-05") << QDate(2026, 12, 5) << QStringList{"令和", "8", "12", "05"};
}

void TestStartup::dateListsStartToday()
{
    QFETCH(QDate, today);
    QFETCH(QStringList, texts);

    OffsetFolder folder;
    folder.desktop.clock.date = today;
    Ui::Form1 &ui = folder.start();
    // The shown date and the hidden expiry date alike; the texts are set, not picked, even
    // where an item holds the same text.
    QCOMPARE(ui.Label10301->text(), texts[0]);
    QCOMPARE(ui.Label10401->text(), texts[0]);
    const QList<QComboBox *> lists{ui.Combo10301, ui.Combo10302, ui.Combo10303,
                                   ui.Combo10401, ui.Combo10402, ui.Combo10403};
    for (int i = 0; i < lists.size(); ++i) {
        QCOMPARE(lists[i]->currentText(), texts[1 + i % 3]);
        QCOMPARE(lists[i]->currentIndex(), -1);
    }
}

void TestStartup::choiceLists_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("typed"); // then typed into the emptied field

    const QString e;
    QStringList months, days;
    for (int i = 1; i <= 31; ++i)
        (i <= 12 ? months : days) << QString::asprintf("%02d", i);
    days = months + days;
    const QStringList years{"16", "17", "18"};
    const QStringList titles{"代表取締役", e};
    const auto row = [](const char *name, const QStringList &items, int selected,
                        const QString &text) {
        QTest::newRow(name) << QString::fromLatin1(name) << items << selected << text << QString();
    };
    row("Combo10101", {e, e}, 1, e);
    row("Combo10201", {"名義変更", "抹消", e, e}, 0, "名義変更");
    row("cIninFuriganaBtn", {e, e, e}, 0, e);
    row("IninShimei", {e, e, e}, 0, e);
    row("DaihyouShimei", {e, e, e}, 0, e);
    row("IninJyu1", {e, e}, 0, e);
    row("IninJyu2", {e, e}, 0, e);
    row("Combo10301", years, -1, "8");
    row("Combo10302", months, -1, "12");
    row("Combo10303", days, -1, "05");
    row("Combo10401", years, -1, "8");
    row("Combo10402", months, -1, "12");
    row("Combo10403", days, -1, "05");
    row("Combo10601", titles, 1, e);
    row("Combo10701", titles, 1, e);
    row("Combo10801", titles, 1, e);
    // No list completes inline: "1" must not print as "10".
    QTest::newRow("i9 fault 1: 1 typed in the month list stays 1")
        << "Combo10302" << months << -1 << "1"
        << "1";
}

void TestStartup::choiceLists()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);
    QFETCH(int, selected);
    QFETCH(QString, text);
    QFETCH(QString, typed);

    OffsetFolder folder;
    folder.desktop.clock.date = QDate(2026, 12, 5);
    folder.start();
    auto *list = folder.window->findChild<QComboBox *>(name);
    QVERIFY(list);
    if (!typed.isEmpty()) {
        folder.window->show();
        QVERIFY(QTest::qWaitForWindowActive(folder.window.get()));
        list->setFocus();
        list->clearEditText();
        QTest::keyClicks(list->lineEdit(), typed);
        QTest::keyClick(list->lineEdit(), Qt::Key_Tab);
    }
    QStringList actual;
    for (int i = 0; i < list->count(); ++i)
        actual << list->itemText(i);
    QCOMPARE(actual, items);
    QCOMPARE(list->currentIndex(), selected);
    QCOMPARE(list->currentText(), text);
    QVERIFY(list->isEditable());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
