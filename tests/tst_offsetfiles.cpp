// The offset files: the number a file's bytes give (the lines joined, then the user's locale),
// where they live, what start-up makes of them, and what the ズレ保存 button writes.

#include "core/offsetfiles.h"
#include "system/paths.h"
#include "windowfixture.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The rename of this number fails, counting from 1: the only way to fail the second file's
// replacement alone.
static int s_renames = 0, s_failingRename = 0;

extern "C" int rename(const char *from, const char *to) noexcept
{
    if (++s_renames == s_failingRename)
        return errno = EIO, -1;
    return renameat(AT_FDCWD, from, AT_FDCWD, to);
}

// The value a file holding these bytes gives, or why it is not used.
static QString reading(const QByteArray &content)
{
    QTemporaryDir dir;
    place(dir.filePath("x"), content);
    const OffsetReading read = readOffsetFile(dir.filePath("x"));
    if (readFile(dir.filePath("x")) != content)
        return QStringLiteral("changed the file");
    return read.problem.isEmpty() ? QString::number(read.value) : read.problem;
}

class TestOffsetFiles : public QObject
{
    Q_OBJECT

private slots:
    // The bytes in the file, the value read or part of why not, the locale (- for the tests' C).
    void read_data()
    {
        rows(R"(
            0 bytes is 0 | - | 0 | -
            7 without line end | 7 | 7 | -
            -30 CR LF, blanks around | %20-30%20\r\n | -30 | -
            lines joined | 1\r\n5\r\n | 15 | -
            CR alone ends a line | 1\r5 | 15 | -
            empty last line adds nothing | +12\r\n\r\n | 12 | -
            2.5 to even | 2.5\r\n | 2 | -
            -3.5 to even | -3.5 | -4 | -
            smallest | -2147483648\r\n | -2147483648 | -
            byte-order mark skipped | %EF%BB%BF5\r\n | 5 | -
            de: decimal comma, to even | 2,5\r\n | 2 | de_DE.UTF-8
            empty line | \r\n | 空の行 | -
            lone LF stays between the digits | 1\n5\r\n | 数値ではありません | -
            full-width digits | １２ | 数値ではありません | -
            C: comma is no decimal | 1,5 | 数値ではありません | -
            inf | inf\r\n | 数値ではありません | -
            -inf | -inf | 数値ではありません | -
            nan | nan | 数値ではありません | -
            de: point is no decimal | 2.5\r\n | 数値ではありません | de_DE.UTF-8
            beyond 32 bits | 2147483648\r\n | 大きすぎます | -
            beyond double | 1e400 | 大きすぎます | -)");
    }
    void read()
    {
        QFETCH(QStringList, row);
        // The locale comes from LC_ALL, read once per process: another one needs a child.
        QProcess child;
        child.setEnvironment(QProcess::systemEnvironment() << "LC_ALL=" + row[2]);
        if (!row[2].isEmpty())
            child.start(QCoreApplication::applicationFilePath(),
                        {"--read", row[0].toUtf8().toHex()});
        child.waitForFinished(30000);
        const QString got =
            row[2].isEmpty() ? reading(row[0].toUtf8()) : child.readAllStandardOutput();
        QVERIFY2(got.contains(row[1]), qPrintable(got + child.readAllStandardError()));
    }

    // Neither blocks nor reads forever, and nothing is created in its place.
    void nothingButAFileIsRead()
    {
        QTemporaryDir dir;
        for (const QString &kind : {"pipe", "/dev/zero", "large"}) {
            const QString path = dir.filePath(kind.section('/', -1));
            QVERIFY(kind == "pipe"    ? ::mkfifo(QFile::encodeName(path), 0644) == 0
                    : kind == "large" ? place(path, QByteArray(2 << 20, '0'))
                                      : QFile::link(kind, path));
            const QFileInfo before(path);
            const OffsetReading reading = readOffsetFile(path);
            // ズレ保存 reads what it may put back with the same checks, and writes nothing.
            QVERIFY(kind != "pipe" ||
                    !saveOffsetFiles({path, "x", "1"}, {dir.filePath("y"), "y", "2"}).isEmpty());
            QVERIFY2(createMissingOffsetFile(path).isEmpty() && reading.value == 0 &&
                         !reading.problem.isEmpty(),
                     qPrintable(kind));
            QVERIFY(QFileInfo(path).isSymLink() == before.isSymLink() &&
                    QFileInfo(path).size() == before.size());
        }
    }

    // The two files; the values taken; the boxes named in the one warning and part of why.
    void startUp_data()
    {
        rows(R"(
            first start | <missing> | <missing> | 0 0 | - | -
            x missing | <missing> | -40\r\n | 0 -40 | - | -
            clamped to the spin range | 2147483647 | -2147483648 | 1000 -1000 | - | -
            x letters | abc\r\n | -40 | 0 -40 | x | 数値ではありません
            y a folder | -40 | <folder> | -40 0 | y | フォルダー
            both damaged, one warning | x\r\n | \r\n | 0 0 | xy | 空の行)");
    }
    // A missing file is created empty; whatever was there is left as it was.
    void startUp()
    {
        QFETCH(QStringList, row);
        WindowFixture m;
        Ui::Form1 &ui = m.start(row[0].toUtf8(), row[1].toUtf8());
        QCOMPARE(QStringLiteral("%1 %2").arg(ui.UpDownX->value()).arg(ui.UpDownY->value()), row[2]);
        QCOMPARE(ui.Sayuu_Xtxt->text() + ' ' + ui.Jyouge_Ytxt->text(), row[2]);
        QCOMPARE(row[3].isEmpty() ? m.desktop.shown.join("") : m.notToldOnce({row[4]}, "warning"),
                 QString());
        const QString msg = m.desktop.shown.value(0);
        QCOMPARE(msg.contains(m.xPath()) && msg.contains("左右のズレ"), row[3].contains('x'));
        QCOMPARE(msg.contains(m.yPath()) && msg.contains("上下のズレ"), row[3].contains('y'));
        QCOMPARE(readFile(m.xPath()), row[0] == "<missing>" ? "" : row[0].toUtf8());
        QCOMPARE(readFile(m.yPath()), row[1] == "<missing>" ? "" : row[1].toUtf8());
    }

    // Where the program lies; whether the configuration folder is chosen instead.
    void folder_data()
    {
        rows(R"(
            writable bin without a desktop entry | usr/bin | no
            installed, though writable | usr/bin+desktop entry | yes
            nobody may write, not even root | /proc | yes
            configuration folder blocked too | file+blocked | yes
            folder refusing new files, holding both | kept | no
            and a printer's file: rewritten in place | kept+printer+file | no
            and no printer's file: nothing saved | kept+printer | no)");
    }
    // Trying the program's folder leaves nothing behind; with nowhere to keep the offsets the
    // window opens all the same, and says so once.
    void folder()
    {
        QFETCH(QStringList, row);
        WindowFixture m;
        const QString program =
            row[0].startsWith('/') ? row[0] : m.dir.filePath(row[0].section('+', 0, 0));
        const bool kept = row[0].startsWith("kept"); // read, saved in place, no file added
        const bool printer = row[0].contains("printer"),
                   refused = printer && !row[0].endsWith("file");
        if (printer)
            m.printing.identity = PrinterIdentity{true, "", ""};
        QVERIFY(row[0] == "/proc" ||
                (program.endsWith("bin") || kept ? QDir().mkpath(program) : place(program, "x")));
        const QFile::Permissions anyone(0x5555), writable(0x2222); // owner, user, group, other
        const QString extra = printer && !refused ? " sorafu_printers.txt" : "";
        const QStringList files = ("ini_x1.txt ini_y1.txt" + extra).split(' ');
        for (const QString &file : files)
            QVERIFY(!kept || (place(program + '/' + file, file.startsWith('s') ? "" : "70\r\n") &&
                              QFile::setPermissions(program + '/' + file, anyone | writable)));
        QVERIFY(!kept || (QFile::setPermissions(program, anyone) &&
                          QFile::setPermissions(m.dir.path(), anyone)));
        // Root writes anywhere: the rest of this row runs as nobody.
        QVERIFY(!kept || geteuid() != 0 || setresuid(65534, 65534, 0) == 0);
        const auto asBefore = qScopeGuard([] { setresuid(0, 0, 0); });
        if (row[0].endsWith("entry"))
            QVERIFY(QDir().mkpath(m.dir.filePath("usr/share/applications")) &&
                    place(m.dir.filePath("usr/share/applications/sorafu.desktop"), ""));
        QVERIFY(!row[0].endsWith("blocked") || place(m.dir.filePath("config"), "x"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m.dir.filePath("config")));
        const QString chosen = offsetDirectoryFor(program);
        QCOMPARE(chosen, row[1] == "yes" ? m.dir.filePath("config/tst_offsetfiles") : program);
        QCOMPARE(QDir(chosen).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 kept ? files : QStringList());
        MainWindow window(m.desktop.services(chosen, &m.printing));
        QVERIFY(window.load());
        // The panel tells where its offsets are kept.
        QVERIFY(window.ui().CyouseiFrm->toolTip().contains(QDir::toNativeSeparators(chosen)));
        const QString x = chosen + "/ini_x1.txt", y = chosen + "/ini_y1.txt";
        QVERIFY(!kept || window.ui().UpDownX->value() == 70);
        window.ui().Sayuu_Xtxt->setText("-30");
        if (kept)
            QTest::mouseClick(window.ui().HozonBtn, Qt::LeftButton);
        if (row[0].endsWith("blocked"))
            QCOMPARE(m.notToldOnce({x, y}, "warning"), QString());
        else if (refused)
            QCOMPARE(m.notToldOnce({"sorafu_printers.txt", "変更していません"}) +
                         QString(readFile(x) + readFile(y)),
                     "70\r\n70\r\n");
        else if (printer)
            QCOMPARE(m.desktop.shown.join("") + readFile(x) + readFile(y) +
                         readFile(chosen + "/sorafu_printers.txt"),
                     "-30\r\n70\r\npdf\t\t\t-30\t70\r\n");
        else
            QCOMPARE(m.desktop.shown.join("") + readFile(x) + readFile(y),
                     kept ? "-30\r\n70\r\n" : "");
    }

    // Blocked: a file replaced by a folder or a pipe, * for the whole folder, or a backup beside
    // it; the rename that fails; the boxes; the files after; what the one message says (- for
    // none, the notice line telling the values saved) and does not say.
    void save_data()
    {
        rows(R"(
            -30 and 45 | - | 0 | -30 | 45 | -30\r\n | 45\r\n | - | -
            the whole number, in digits only | - | 0 | %201,000%20 | +2.5 | 1000\r\n | 2\r\n | - | -
            beyond -1000..1000 refused | - | 0 | 1000.5 | -2147483648 | 5\r\n | 6\r\n |
                左右のズレ,上下のズレ,-1000,1000 | -
            temporaries of a cut save cleared | <temp> | 0 | -30 | 45 | -30\r\n | 45\r\n | - | -
            a clerk's backup kept | <backup> | 0 | -30 | 45 | -30\r\n | 45\r\n | - | -
            told in the notice line | - | 0 | 15 | 35 | 15\r\n | 35\r\n | - | -
            full-width digits and signs | - | 0 | −１０ | ＋３５ | -10\r\n | 35\r\n | - | -
            a pipe in place of ini_x1.txt | <pipe> | 0 | -30 | 45 | <pipe> | 6\r\n |
                <x>,通常のファイルではない,書き込めません | 読み込め
            empty left/right | - | 0 | - | 45 | 5\r\n | 6\r\n |
                左右のズレ,入力されていません | 上下
            letters up/down | - | 0 | -30 | abc | 5\r\n | 6\r\n |
                上下のズレ,数値ではありません | 左右
            overflow left/right | - | 0 | 3000000000 | 0 | 5\r\n | 6\r\n |
                左右のズレ,大きすぎます | 上下
            folder in place of ini_y1.txt | ini_y1.txt | 0 | -30 | 45 | 5\r\n | <folder> |
                <y>,フォルダー,前のまま | <x>
            2nd failed: 1st put back | - | 2 | -30 | 45 | 5\r\n | 6\r\n | <y>,前のまま | <x>
            save folder gone | * | 0 | -30 | 45 | <missing> | <missing> |
                <x>,フォルダーがありません | -)");
    }
    // The folder starts with 5 and 6 saved. Root writes through any permission bits, so a
    // target is blocked by a folder in its place, which holds for root too.
    void save()
    {
        QFETCH(QStringList, row);
        WindowFixture m;
        const QString printers = m.dir.filePath("sorafu_printers.txt");
        // A save killed beside the printers' file too: PDF files are chosen, with none kept.
        if (row[0] == "<temp>")
            m.printing.identity = PrinterIdentity{true, "", ""};
        QVERIFY(row[0] != "<temp>" || place(printers, ""));
        Ui::Form1 &ui = m.start();
        if (row[0] == "*")
            QVERIFY(m.dir.remove());
        else if (row[0] == "<pipe>")
            QVERIFY(QFile::remove(m.xPath()) && ::mkfifo(QFile::encodeName(m.xPath()), 0644) == 0);
        else if (row[0] == "<backup>")
            QVERIFY(place(m.xPath() + ".backup", "5"));
        else if (row[0].endsWith(".txt"))
            QVERIFY(QFile::remove(m.dir.filePath(row[0])) &&
                    place(m.dir.filePath(row[0]), "<folder>"));
        row.replaceInStrings("<x>", m.xPath()).replaceInStrings("<y>", m.yPath());
        ui.Sayuu_Xtxt->setText(row[2]);
        ui.Jyouge_Ytxt->setText(row[3]);
        const QStringList entries = QDir(m.dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
        // As a save killed before its rename leaves them.
        QVERIFY(row[0] != "<temp>" || (place(m.xPath() + ".sorafu-aB3xYz", "-3") &&
                                       place(m.yPath() + ".sorafu-Q1w2E3", "") &&
                                       place(printers + ".sorafu-Zz9Kq1", "pdf\t")));
        // A second save leaves the same bytes, or is refused the same way.
        for (int round = 0; round < 2; ++round) {
            m.desktop.shown.clear();
            s_renames = 0;
            s_failingRename = row[1].toInt();
            QTest::mouseClick(ui.HozonBtn, Qt::LeftButton);
            s_failingRename = 0;
            QCOMPARE(readFile(m.xPath()) + '|' + readFile(m.yPath()),
                     (row[4] + '|' + row[5]).toUtf8());
            // No temporary file left behind.
            QCOMPARE(QDir(m.dir.path()).entryList(QDir::AllEntries | QDir::Hidden), entries);
            QCOMPARE(row[6].isEmpty() ? m.desktop.shown.join("") : m.notToldOnce(row[6].split(',')),
                     QString());
            QVERIFY(row[7].isEmpty() || !m.desktop.shown.value(0).contains(row[7]));
            const auto *notice = m.window->findChild<QLabel *>("noticeLabel");
            const QString who = m.printing.identity ? "プリンタ「Fake」の" : "";
            const QString done = "ズレを保存しました（左右 %1・上下 %2）";
            const QString saved = (who + done).arg(row[4].trimmed(), row[5].trimmed());
            QCOMPARE(notice->isVisibleTo(m.window.get()) ? notice->text() : "",
                     row[6].isEmpty() ? saved : "");
        }
        QVERIFY(row[0] != "<temp>" || readFile(printers) == "pdf\t\t\t-30\t45\r\n");
        // What was typed stays, to be corrected; the spin is not touched.
        QCOMPARE(ui.Sayuu_Xtxt->text() + '|' + ui.Jyouge_Ytxt->text(), row[2] + '|' + row[3]);
        QCOMPARE(ui.UpDownX->value(), 5);
    }

    // The printers' file; the printer then chosen (queue and device, or pdf); the boxes; part
    // of the notice and of the one warning; the file once ズレ保存 kept 12 and 34 (%09: tab).
    void printers_data()
    {
        rows(R"(
            its offsets | printer%09laser%09usb://A%0915%0935\r\n | laser usb://A | 15 35 |
                「Fake」のズレ（左右 15・上下 35）にしました | - |
                printer%09laser%09usb://A%0912%0934\r\n
            renamed queue, same device | printer%09laser%09usb://A%0915%0935\r\n |
                office usb://A | 15 35 | 左右 15 | - | printer%09office%09usb://A%0912%0934\r\n
            device learnt later | printer%09laser%09%0915%0935\r\n | laser usb://A | 15 35 |
                上下 35 | - | printer%09laser%09usb://A%0912%0934\r\n
            same queue, other device: the files | printer%09laser%09usb://A%0915%0935\r\n |
                laser usb://B | 5 6 | - | - |
                printer%09laser%09usb://A%0915%0935\r\nprinter%09laser%09usb://B%0912%0934\r\n
            none kept: the files | <missing> | laser usb://A | 5 6 | - | - |
                printer%09laser%09usb://A%0912%0934\r\n
            PDF files | printer%09laser%09%0915%0935\r\npdf%09%09%09-20%0940 | pdf | -20 40 |
                左右 -20 | - | printer%09laser%09%0915%0935\r\npdf%09%09%0912%0934\r\n
            damaged: told, untouched | printer%09laser%09usb://A%09x%0935\r\n | laser usb://A |
                5 6 | - | 1 行目 | printer%09laser%09usb://A%09x%0935\r\n)");
    }
    // Files at 5 and 6; printer setup switches; a refused save writes neither offset file.
    void printers()
    {
        QFETCH(QStringList, row);
        WindowFixture m;
        const QString file = m.dir.filePath("sorafu_printers.txt");
        QVERIFY(place(file, row[0].toUtf8()));
        Ui::Form1 &ui = m.start();
        const QStringList chosen = row[1].split(' ');
        m.printing.identity = PrinterIdentity{chosen[0] == "pdf", chosen[0], chosen.value(1)};
        QTest::mouseClick(ui.PriDiaBtn, Qt::LeftButton);
        QCOMPARE(ui.Sayuu_Xtxt->text() + ' ' + ui.Jyouge_Ytxt->text(), row[2]);
        const auto *notice = m.window->findChild<QLabel *>("noticeLabel");
        const bool told = notice->isVisibleTo(m.window.get());
        QVERIFY2(row[3].isEmpty() ? !told : told && notice->text().contains(row[3]),
                 qPrintable(notice->text()));
        QCOMPARE(row[4].isEmpty() ? m.desktop.shown.join("")
                                  : m.notToldOnce({file, row[4]}, "warning"),
                 QString());
        // The offset files hold the offsets in use, for whoever else reads them.
        QCOMPARE(readFile(m.xPath()) + readFile(m.yPath()),
                 row[2].replace(' ', "\r\n").toUtf8() + "\r\n");
        ui.Sayuu_Xtxt->setText("12");
        ui.Jyouge_Ytxt->setText("34");
        m.desktop.shown.clear();
        QTest::mouseClick(ui.HozonBtn, Qt::LeftButton);
        QCOMPARE(readFile(file), row[5].toUtf8());
        const bool kept = row[5] != row[0];
        QCOMPARE(readFile(m.xPath()) + readFile(m.yPath()), kept ? "12\r\n34\r\n" : "5\r\n6\r\n");
        const QString refused = kept ? "" : m.notToldOnce({file, "変更していません"});
        QCOMPARE(kept ? m.desktop.shown.join("") : refused, QString());
        // A printer with none kept: the files as they are now; a damaged file told only once.
        m.printing.identity = PrinterIdentity{false, "other", "usb://C"};
        QTest::mouseClick(ui.PriDiaBtn, Qt::LeftButton);
        QCOMPARE(ui.Sayuu_Xtxt->text() + ui.Jyouge_Ytxt->text(), kept ? "1234" : "56");
        QCOMPARE(m.desktop.shown.size(), kept ? 0 : 2); // and asked for the 12 and 34 refused
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--read") == 0)
        return std::fputs(qPrintable(reading(QByteArray::fromHex(argv[2]))), stdout) < 0;
    TestOffsetFiles test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_offsetfiles.moc"
