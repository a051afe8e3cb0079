// Every text of the catalogue in src/platform/texts.h, brought to the screen by the situation it
// names: one row a situation, with the catalogue entries its message is made of. Folders and
// files that refuse even root come from /proc.

#include "fakes.h"
#include "offsetfolder.h"
#include "platform/cupsprinting.h"
#include "platform/cupsspooler.h"
#include "platform/japanesefont.h"
#include "platform/pdfsurface.h"
#include "platform/printerchoice.h"
#include "platform/texts.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QRegularExpression>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <cups/cups.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <stdexcept>
#include <sys/resource.h>
#include <unistd.h>

// While not negative, this many renames succeed and every later one fails. A saved file replaces
// the one before it by a rename, so this can fail the second offset file's replacement and the
// putting back of the first: no state of the disk arranges that between the two.
static int s_renamesLeft = -1;

extern "C" int rename(const char *from, const char *to) noexcept
{
    if (s_renamesLeft == 0) {
        errno = EIO;
        return -1;
    }
    if (s_renamesLeft > 0)
        --s_renamesLeft;
    return renameat(AT_FDCWD, from, AT_FDCWD, to);
}

namespace {

const QString kA4 = QStringLiteral("iso_a4_210x297mm");

// A file size limit of 0 fails every write the way a full disk does, for root too.
struct FullDisk
{
    FullDisk()
    {
        getrlimit(RLIMIT_FSIZE, &m_limit);
        rlimit none = m_limit;
        none.rlim_cur = 0;
        setrlimit(RLIMIT_FSIZE, &none);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &m_limit);
        std::signal(SIGXFSZ, m_handler);
    }
    rlimit m_limit;
    void (*m_handler)(int);
};

struct TemporaryFolder
{
    explicit TemporaryFolder(const QString &path)
        : m_had(qEnvironmentVariableIsSet("TMPDIR")), m_old(qgetenv("TMPDIR"))
    {
        qputenv("TMPDIR", QFile::encodeName(path));
    }
    ~TemporaryFolder() { m_had ? qputenv("TMPDIR", m_old) : qunsetenv("TMPDIR"); }
    bool m_had;
    QByteArray m_old;
};

// Throws from every call, as a failure nothing in the program foresees.
class ThrowingPrinting : public Printing
{
public:
    explicit ThrowingPrinting(std::function<void()> raise) : m_raise(std::move(raise)) {}
    std::unique_ptr<PrintSurface> open(const QString &, QString *) override
    {
        m_raise();
        return nullptr;
    }
    void setup(QWidget *) override { m_raise(); }

private:
    std::function<void()> m_raise;
};

// Hands out a real page that was ended once already, which no print job does.
class EndedPagePrinting : public Printing
{
public:
    std::unique_ptr<PrintSurface> open(const QString &title, QString *error) override
    {
        auto page = PdfSurface::create(
            {QPageSize(QPageSize::A4)}, japaneseFontFamily(error), title,
            [](const QString &) { return QString(); }, error);
        if (page)
            page->EndDocument();
        return page;
    }
    void setup(QWidget *) override {}
};

// One window on its own offset folder, printing through a fake unless a row says otherwise.
struct Rig
{
    QTemporaryDir dir;
    QString folder = dir.path();
    FakeDesktop desktop;
    FakePrinting fake;
    std::unique_ptr<Printing> printing;
    CupsPrinting *cups = nullptr;   // printing, when it is the real one
    FakeSpooler *service = nullptr; // cups' print service, when it is a fake
    std::unique_ptr<MainWindow> window;
    QString expected;   // set last by the row: what the one message must contain
    bool exact = false; // ... or be, word for word

    QString x() const { return QDir(folder).filePath(QStringLiteral("ini_x1.txt")); }
    QString y() const { return QDir(folder).filePath(QStringLiteral("ini_y1.txt")); }
    Ui::Form1 &ui() { return window->ui(); }
    QList<FakeMessages::Shown> &shown() { return desktop.messages.shown; }

    Ui::Form1 &start(const QString &offsets = {})
    {
        if (!offsets.isEmpty())
            folder = offsets;
        Services services = desktop.services(folder);
        services.printing = printing ? printing.get() : &fake;
        window = std::make_unique<MainWindow>(services);
        window->load();
        return ui();
    }
    void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    void print() { click(ui().InsatsuBtn); }
    void save(const QString &sayuu, const QString &jyouge)
    {
        ui().Sayuu_Xtxt->setText(sayuu);
        ui().Jyouge_Ytxt->setText(jyouge);
        click(ui().HozonBtn);
    }

    void printThrough(std::unique_ptr<Spooler> spooler)
    {
        auto real = std::make_unique<CupsPrinting>(
            std::move(spooler), dir.filePath(QStringLiteral("printer.ini")), nullptr);
        cups = real.get();
        printing = std::move(real);
    }
    // A print service with one printer, Office, the default, offering A4.
    FakeSpooler &fakeService()
    {
        auto spooler = std::make_unique<FakeSpooler>();
        service = spooler.get();
        PrinterPapers papers;
        papers.papers = {FakeSpooler::a4(QMarginsF(5, 5, 5, 5))};
        papers.defaultMedia = kA4;
        service->queues.insert(QStringLiteral("Office"), papers);
        service->defaultQueue = QStringLiteral("Office");
        printThrough(std::move(spooler));
        return *service;
    }
    // As printer setup would have saved it.
    void choose(bool pdf, const QString &destination, const QString &media)
    {
        QSettings settings(dir.filePath(QStringLiteral("printer.ini")), QSettings::IniFormat);
        savePrinterChoice(settings, {pdf, destination, media, QPageLayout::Landscape});
    }
    // Printer setup's own line for problems counts as shown; the dialog is cancelled.
    void recordNotice()
    {
        cups->setDialogRunner([this](QDialog &dialog) {
            const auto *notice = dialog.findChild<QLabel *>(QStringLiteral("noticeLabel"));
            if (notice && !notice->isHidden())
                shown().append({QStringLiteral("notice"), dialog.windowTitle(), notice->text()});
            return false;
        });
    }

    static QString startWarning(const QString &path, const QString &problem, const QString &box)
    {
        return texts::offsetFilesUnusable(
            texts::offsetFileUnusable(QDir::toNativeSeparators(path), problem, box));
    }
    static QString notSaved(const QString &path, const QString &reason)
    {
        return texts::offsetsNotSaved(QDir::toNativeSeparators(path), reason,
                                      texts::offsetsKeptAsBefore());
    }
};

using Situation = std::function<void(Rig &)>;

struct Row
{
    const char *situation;
    QStringList shows; // the catalogue entries the message is made of
    QString kind;
    QString title;
    Situation run;
};

// Start-up with ini_x1.txt made by `make`: the warning names the file and what is wrong with it.
Situation startsWithX(const std::function<bool(const QString &)> &make, const QString &problem)
{
    return [make, problem](Rig &r) {
        QVERIFY(make(r.x()));
        r.start();
        r.expected = r.startWarning(r.x(), problem, texts::leftRightBox());
    };
}

std::function<bool(const QString &)> holding(const QByteArray &content)
{
    return [content](const QString &path) { return writeFile(path, content); };
}

std::function<bool(const QString &)> linkTo(const QString &target)
{
    return [target](const QString &path) { return QFile::link(target, path); };
}

// Only a running print service says these; tst_endtoend meets the stopped, refusing and deleted
// queue and the stopped scheduler through a private one. Here the fake service gives the same
// answer, which shows the way from there to the message box.
Situation refusedAtCheck(const QString &text)
{
    return [text](Rig &r) {
        r.fakeService().refusing.insert(QStringLiteral("Office"), text);
        r.start();
        r.print();
        r.expected = text;
    };
}

Situation refusedAtSubmit(const QString &text)
{
    return [text](Rig &r) {
        r.fakeService().refuseJob = text;
        r.start();
        r.print();
        r.expected = text;
    };
}

Situation serviceFails(const QString &text)
{
    return [text](Rig &r) {
        r.fakeService().unreachable = text;
        r.start();
        r.print();
        r.expected = text;
    };
}

// What the page cannot be made to do on purpose: the printer reports it as it would.
Situation printerReports(const QString &text)
{
    return [text](Rig &r) {
        r.fake.openError = text;
        r.start();
        r.print();
        r.expected = text;
    };
}

QList<Row> rows()
{
    const QString warning = QStringLiteral("warning"), critical = QStringLiteral("critical");
    const QString app = texts::appTitle();
    const QString setupTitle = QStringLiteral("プリンタの設定");
    const QString office = QStringLiteral("Office");
    QList<Row> rows;
    const auto add = [&rows](const char *situation, const QStringList &shows, const QString &kind,
                             const QString &title, const Situation &run) {
        rows.append({situation, shows, kind, title, run});
    };

    // ---- The window
    add("exit question, answered No", {"quitQuestion", "quitTitle"}, QStringLiteral("question"),
        texts::quitTitle(), [](Rig &r) {
            r.start();
            r.click(r.ui().zEndBtn);
            QCOMPARE(r.desktop.session.quitCalls, 0);
            r.expected = texts::quitQuestion();
        });
    add("second copy started", {"anotherInstance", "appTitle"}, warning, app, [](Rig &r) {
        r.desktop.anotherInstance = true;
        r.start();
        r.expected = texts::anotherInstance();
    });
    add("clock without a date", {"eraUnknown"}, warning, app, [](Rig &r) {
        r.desktop.clock.date = QDate();
        r.start();
        r.expected = texts::eraUnknown();
    });
    // Memory cannot be run out of on purpose; the handler meets the same exception.
    add("out of memory while printing", {"outOfMemory"}, critical, app, [](Rig &r) {
        r.printing = std::make_unique<ThrowingPrinting>([] { throw std::bad_alloc(); });
        r.start();
        r.print();
        r.expected = texts::outOfMemory();
    });
    add("unforeseen failure in printer setup", {"unexpectedError"}, critical, app, [](Rig &r) {
        r.printing = std::make_unique<ThrowingPrinting>([] { throw std::logic_error("lost"); });
        r.start();
        r.click(r.ui().PriDiaBtn);
        r.expected = texts::unexpectedError(QStringLiteral("lost"));
    });

    // ---- Start-up with an offset file that cannot be used
    add("letters in ini_x1.txt",
        {"offsetFilesUnusable", "offsetFileUnusable", "contentNotANumber", "leftRightBox"}, warning,
        app, startsWithX(holding("abc\r\n"), texts::contentNotANumber()));
    add("ini_y1.txt beyond 32 bits", {"numberTooLarge", "upDownBox"}, warning, app, [](Rig &r) {
        QVERIFY(writeFile(r.y(), "3000000000\r\n"));
        r.start();
        r.expected = r.startWarning(r.y(), texts::numberTooLarge(), texts::upDownBox());
    });
    add("ini_x1.txt of blank lines", {"onlyEmptyLines"}, warning, app,
        startsWithX(holding(" \r\n\r\n"), texts::onlyEmptyLines()));
    add("ini_x1.txt over a megabyte", {"fileTooLarge"}, warning, app,
        startsWithX(holding(QByteArray((1 << 20) + 1, '0')), texts::fileTooLarge()));
    add("folder named ini_x1.txt", {"folderInPlaceOfFile"}, warning, app,
        startsWithX([](const QString &x) { return QDir().mkdir(x); },
                    texts::folderInPlaceOfFile()));
    add("ini_x1.txt links to nothing", {"fileMissing"}, warning, app,
        startsWithX(linkTo(QStringLiteral("/nonexistent/ini_x1.txt")), texts::fileMissing()));
    add("ini_x1.txt links to a device", {"notARegularFile"}, warning, app,
        startsWithX(linkTo(QStringLiteral("/dev/zero")), texts::notARegularFile()));
    // Write-only for everyone, root included.
    add("ini_x1.txt links to a file nobody may read", {"cannotOpenFile"}, warning, app,
        startsWithX(linkTo(QStringLiteral("/proc/sys/vm/drop_caches")), texts::cannotOpenFile()));
    // Opens, but its first bytes are unmapped memory and reading them fails.
    add("ini_x1.txt links to a file that fails when read", {"cannotReadFile"}, warning, app,
        startsWithX(linkTo(QStringLiteral("/proc/self/mem")), texts::cannotReadFile()));
    add("offset folder gone", {"noFolderForFile"}, warning, app, [](Rig &r) {
        r.start(r.dir.filePath(QStringLiteral("gone")));
        r.expected = texts::offsetFileUnusable(QDir::toNativeSeparators(r.x()),
                                               texts::noFolderForFile(), texts::leftRightBox());
    });
    add("offset folder nobody may write in", {"cannotCreateFile"}, warning, app, [](Rig &r) {
        r.start(QStringLiteral("/proc"));
        r.expected = texts::offsetFileUnusable(QDir::toNativeSeparators(r.y()),
                                               texts::cannotCreateFile(), texts::upDownBox());
    });

    // ---- ズレ保存
    add("save with letters left/right",
        {"offsetsRefused", "offsetRefusal", "notANumber", "offsetsKeptAsBefore"}, critical, app,
        [](Rig &r) {
            r.start();
            r.save(QStringLiteral("abc"), QStringLiteral("0"));
            r.expected = texts::offsetsRefused(
                texts::offsetRefusal(texts::leftRightBox(), texts::notANumber()));
        });
    add("save with up/down empty", {"numberMissing"}, critical, app, [](Rig &r) {
        r.start();
        r.save(QStringLiteral("0"), QString());
        r.expected = texts::offsetRefusal(texts::upDownBox(), texts::numberMissing());
    });
    add("save onto a folder named ini_x1.txt", {"offsetsNotSaved", "folderInPlaceOfSavedFile"},
        critical, app, [](Rig &r) {
            r.start();
            QVERIFY(QFile::remove(r.x()) && QDir().mkdir(r.x()));
            r.save(QStringLiteral("1"), QStringLiteral("2"));
            r.expected = r.notSaved(r.x(), texts::folderInPlaceOfSavedFile());
        });
    add("save after the offset folder was removed", {"saveFolderMissing"}, critical, app,
        [](Rig &r) {
            QVERIFY(QDir(r.dir.path()).mkdir(QStringLiteral("offsets")));
            r.start(r.dir.filePath(QStringLiteral("offsets")));
            QVERIFY(QDir(r.folder).removeRecursively());
            r.save(QStringLiteral("1"), QStringLiteral("2"));
            r.expected = r.notSaved(r.x(), texts::saveFolderMissing());
        });
    add("save onto a read-only ini_x1.txt", {"fileReadOnly"}, critical, app, [](Rig &r) {
        if (geteuid() == 0)
            QSKIP("root writes through a read-only file");
        r.start();
        QVERIFY(QFile::setPermissions(r.x(), QFile::ReadOwner | QFile::ReadGroup));
        r.save(QStringLiteral("1"), QStringLiteral("2"));
        r.expected = r.notSaved(r.x(), texts::fileReadOnly());
    });
    add("save into a folder nobody may write in", {"saveFolderNotWritable"}, critical, app,
        [](Rig &r) {
            r.start(QStringLiteral("/proc"));
            r.shown().clear(); // the start-up warning about the same folder
            r.save(QStringLiteral("1"), QStringLiteral("2"));
            r.expected = r.notSaved(r.x(), texts::saveFolderNotWritable());
        });
    add("save with the disk full", {"writeFailed"}, critical, app, [](Rig &r) {
        r.start();
        {
            FullDisk full;
            r.save(QStringLiteral("1"), QStringLiteral("2"));
        }
        r.expected = r.notSaved(r.x(), texts::writeFailed());
    });
    add("save: ini_y1.txt not replaced, ini_x1.txt not put back", {"firstOffsetFileChanged"},
        critical, app, [](Rig &r) {
            r.start();
            s_renamesLeft = 1;
            r.save(QStringLiteral("1"), QStringLiteral("2"));
            const int left = s_renamesLeft;
            s_renamesLeft = -1;
            QCOMPARE(left, 0);
            r.expected = texts::offsetsNotSaved(
                QDir::toNativeSeparators(r.y()), texts::writeFailed(),
                texts::firstOffsetFileChanged(QDir::toNativeSeparators(r.x())));
        });

    // ---- 印刷 and 位置 with an offset box that is not a number
    add("print with letters left/right", {"offsetUnusable"}, critical, app, [](Rig &r) {
        r.start().Sayuu_Xtxt->setText(QStringLiteral("abc"));
        r.print();
        QCOMPARE(r.fake.openCalls, 0);
        r.expected = texts::offsetUnusable(texts::leftRightBox(), texts::notANumber());
    });
    add("marks with up/down empty", {"offsetUnusable"}, critical, app, [](Rig &r) {
        r.start().Jyouge_Ytxt->clear();
        r.click(r.ui().IchiBtn);
        QCOMPARE(r.fake.openCalls, 0);
        r.expected = texts::offsetUnusable(texts::upDownBox(), texts::numberMissing());
    });
    // A real page always reports the size it was given; only a fake page can do otherwise.
    add("printer reports an endless font size", {"fontSizeUnusable"}, critical, app, [](Rig &r) {
        r.fake.reportedSize = qInf();
        r.start();
        r.print();
        r.expected = texts::fontSizeUnusable(14);
    });

    // ---- The printer, before any page is made
    add("print service knows no printer", {"noPrinters"}, critical, app, [](Rig &r) {
        r.fakeService().queues.clear();
        r.service->defaultQueue.clear();
        r.start();
        r.print();
        r.expected = texts::noPrinters();
    });
    add("printers but no default", {"noDefaultPrinter"}, critical, app, [](Rig &r) {
        r.fakeService().defaultQueue.clear();
        r.start();
        r.print();
        r.expected = texts::noDefaultPrinter();
    });
    add("chosen paper no longer offered", {"paperUnavailable"}, critical, app, [](Rig &r) {
        r.fakeService();
        r.choose(false, QStringLiteral("Office"), QStringLiteral("iso_a3_297x420mm"));
        r.start();
        r.print();
        r.expected =
            texts::paperUnavailable(QStringLiteral("Office"), QStringLiteral("A3（297x420mm）"));
    });
    // The installed fonts cannot be taken from a running test.
    add("no Japanese font", {"noJapaneseFont"}, critical, app,
        printerReports(texts::noJapaneseFont()));

    // ---- A PDF file
    add("PDF file chosen: where to", {"pdfDialogTitle", "pdfDialogFilter"},
        QStringLiteral("file dialog"), texts::pdfDialogTitle(), [](Rig &r) {
            r.fakeService();
            r.choose(true, QString(), kA4);
            r.start();
            QTimer answer;
            QObject::connect(&answer, &QTimer::timeout, [&] {
                auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                if (!dialog)
                    return;
                answer.stop();
                r.shown().append({QStringLiteral("file dialog"), dialog->windowTitle(),
                                  dialog->nameFilters().join(QLatin1Char('\n'))});
                dialog->reject();
            });
            answer.start(10);
            r.print();
            r.expected = texts::pdfDialogFilter();
        });
    add("PDF file in a folder that is gone", {"pdfNotSaved"}, critical, app, [](Rig &r) {
        r.fakeService();
        r.choose(true, QString(), kA4);
        const QString target = r.dir.filePath(QStringLiteral("gone/letter.pdf"));
        r.cups->setPdfFilePicker([target](const QString &) { return target; });
        r.start();
        r.print();
        r.expected = texts::pdfNotSaved(QDir::toNativeSeparators(target), QString());
    });

    // ---- The page
    // A missing TMPDIR would send the file to the working folder instead.
    add("temporary folder refuses files", {"noTemporaryFile"}, critical, app, [](Rig &r) {
        r.fakeService();
        r.start();
        {
            TemporaryFolder refusing(QStringLiteral("/proc"));
            r.print();
        }
        QCOMPARE(r.service->jobs.size(), 0);
        r.expected = texts::noTemporaryFile(QString());
    });
    add("page written onto a full disk", {"pageNotWritten"}, critical, app, [](Rig &r) {
        r.fakeService();
        r.start();
        {
            FullDisk full;
            r.print();
        }
        QCOMPARE(r.service->jobs.size(), 0);
        r.expected = texts::pageNotWritten(QString());
    });
    // The PDF writer takes any page size and begins any page: not to be made to fail.
    add("paper that makes no page", {"pageUnavailable"}, critical, app,
        printerReports(texts::pageUnavailable(QStringLiteral("A4"))));
    add("page that does not begin", {"cannotStartPage"}, critical, app,
        printerReports(texts::cannotStartPage()));
    // The jobs end a page once; a page ended before shows what a second end would say.
    add("page ended twice", {"pageAlreadyEnded"}, critical, app, [](Rig &r) {
        r.printing = std::make_unique<EndedPagePrinting>();
        r.start();
        r.print();
        r.expected = texts::pageAlreadyEnded();
    });

    // ---- The print service
    add("print service not running", {"serviceUnreachable"}, critical, app, [](Rig &r) {
        r.printThrough(std::make_unique<CupsSpooler>());
        r.start();
        r.print();
        // libcups' socket error would only mislead: ours stands alone.
        r.expected = texts::serviceUnreachable();
        r.exact = true;
    });
    add("printer not found", {"printerNotFound"}, critical, app,
        refusedAtCheck(texts::printerNotFound(office)));
    add("printer stopped, with its reason", {"printerStopped", "printerState"}, critical, app,
        refusedAtCheck(
            texts::printerStopped(office, texts::printerState(QStringLiteral("紙詰まり")))));
    add("printer set to refuse jobs", {"printerRejecting"}, critical, app,
        refusedAtCheck(texts::printerRejecting(office, QString())));
    add("printer state not answered", {"printerStateUnknown"}, critical, app,
        refusedAtCheck(texts::printerStateUnknown(office)));
    add("printer papers not answered", {"papersUnknown"}, critical, app,
        serviceFails(texts::papersUnknown(office)));
    add("printer names no paper", {"noPapersOffered"}, critical, app,
        serviceFails(texts::noPapersOffered(office)));
    add("job refused: not accepting", {"printerNotAccepting"}, critical, app,
        refusedAtSubmit(texts::printerNotAccepting(office)));
    add("job refused: no permission", {"noPrintPermission"}, critical, app,
        refusedAtSubmit(texts::noPrintPermission(office)));
    add("job refused", {"jobRefused", "serviceReply"}, critical, app,
        refusedAtSubmit(texts::serviceReply(texts::jobRefused(office),
                                            QStringLiteral("document-format-not-supported"))));
    add("job taken by a stopped printer, not withdrawn", {"jobNotWithdrawn"}, critical, app,
        refusedAtSubmit(texts::printerStopped(office, QString()) + texts::jobNotWithdrawn()));

    // ---- Printer setup
    add("printer setup, print service not running", {"printersUnlisted"}, QStringLiteral("notice"),
        setupTitle, [](Rig &r) {
            r.printThrough(std::make_unique<CupsSpooler>());
            r.recordNotice();
            r.start();
            r.click(r.ui().PriDiaBtn);
            r.expected = texts::printersUnlisted(texts::serviceUnreachable());
        });
    add("printer setup, the printer chosen before is gone", {"earlierPrinterGone"},
        QStringLiteral("notice"), setupTitle, [](Rig &r) {
            r.fakeService();
            r.choose(false, QStringLiteral("Gone"), kA4);
            r.recordNotice();
            r.start();
            r.click(r.ui().PriDiaBtn);
            r.expected = texts::earlierPrinterGone(QStringLiteral("Gone"));
        });
    return rows;
}

} // namespace

Q_DECLARE_METATYPE(Situation)

class tst_Messages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void shown_data();
    void shown();
    void everyTextHasARow();
};

void tst_Messages::initTestCase()
{
    // No real print service is ever asked.
    qputenv("CUPS_SERVER", "/nonexistent/sorafu-test.sock");
    cupsSetServer(nullptr);
}

void tst_Messages::shown_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<Situation>("situation");
    for (const Row &row : rows())
        QTest::newRow(row.situation) << row.kind << row.title << row.run;
}

// Exactly one message, of its kind and title, containing the catalogue's text.
void tst_Messages::shown()
{
    QFETCH(QString, kind);
    QFETCH(QString, title);
    QFETCH(Situation, situation);

    Rig rig;
    QVERIFY(rig.dir.isValid());
    situation(rig);
    if (rig.expected.isEmpty())
        return; // skipped, or its set-up failed and said so
    const QList<FakeMessages::Shown> &shown = rig.shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].kind, kind);
    QCOMPARE(shown[0].title, title);
    QVERIFY2(
        rig.exact ? shown[0].text == rig.expected : shown[0].text.contains(rig.expected),
        qPrintable(shown[0].text + QStringLiteral("\n--- does not contain ---\n") + rig.expected));
}

// A text added to the catalogue without a row here, or a row naming a text that is gone.
void tst_Messages::everyTextHasARow()
{
    QFile header(QStringLiteral(SORAFU_TEST_DIR "/../src/platform/texts.h"));
    QVERIFY(header.open(QIODevice::ReadOnly | QIODevice::Text));
    const QRegularExpression declaration(QStringLiteral("^QString (\\w+)\\("),
                                         QRegularExpression::MultilineOption);
    QStringList catalogue;
    for (const auto &match : declaration.globalMatch(QString::fromUtf8(header.readAll())))
        catalogue.append(match.captured(1));
    QVERIFY(catalogue.size() > 50);

    QStringList shown;
    for (const Row &row : rows())
        shown += row.shows;
    QStringList withoutRow, unknown;
    for (const QString &name : std::as_const(catalogue))
        if (!shown.contains(name))
            withoutRow.append(name);
    for (const QString &name : std::as_const(shown))
        if (!catalogue.contains(name))
            unknown.append(name);
    QVERIFY2(withoutRow.isEmpty(), qPrintable(withoutRow.join(QStringLiteral(", "))));
    QVERIFY2(unknown.isEmpty(), qPrintable(unknown.join(QStringLiteral(", "))));
}

QTEST_MAIN(tst_Messages)
#include "tst_messages.moc"
