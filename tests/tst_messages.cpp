// Every text of the catalogue in src/system/texts.h, brought to the screen by the situation it
// names: one row a situation, with the catalogue entries its message is made of. Folders and
// files that refuse even root come from /proc.

#include "offsetfolder.h"
#include "printing/cupsprinting.h"
#include "printing/cupsspooler.h"
#include "printing/pdfsurface.h"
#include "printwindow.h"
#include "system/texts.h"
#include "window/previewwindow.h"

#include <QApplication>
#include <QBuffer>
#include <QFileDialog>
#include <QLabel>
#include <QRegularExpression>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

// While not negative, this many renames succeed and every later one fails: the only way to fail
// the second offset file's replacement and then the putting back of the first.
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
const QString kOffice = QStringLiteral("Office");

using Work = std::function<void()>;
using Page = std::unique_ptr<PrintSurface>;

// A file size limit of 0 fails every write the way a full disk does, for root too.
void onFullDisk(const Work &work)
{
    rlimit before;
    getrlimit(RLIMIT_FSIZE, &before);
    const rlimit none{0, before.rlim_max};
    setrlimit(RLIMIT_FSIZE, &none);
    work();
    setrlimit(RLIMIT_FSIZE, &before);
}

// Hands out a real page ended once already, which no job does: what would a second end say?
struct EndedPagePrinting : FakePrinting
{
    Page open(const QString &, QString *error) override
    {
        Page page = PdfSurface::create(
            {QPageSize(QPageSize::A4)}, QString(), QString(),
            [](const QString &) { return QString(); }, error);
        if (page)
            page->EndDocument();
        return page;
    }
};

// A window on its own offset folder, printing the real way to a fake print service with one
// printer, Office, the default, offering A4.
struct Rig : OffsetFolder
{
    Rig() : OffsetFolder("<missing>", "<missing>")
    {
        auto spooler = std::make_unique<FakeSpooler>();
        service = spooler.get();
        service->queues.insert(kOffice, {{FakeSpooler::a4(QMarginsF(5, 5, 5, 5))}, kA4});
        service->defaultQueue = kOffice;
        printThrough(std::move(spooler));
    }
    ~Rig() { window.reset(); } // before the printing it was given
    QString x() const { return QDir(folder).filePath(QStringLiteral("ini_x1.txt")); }
    Ui::Form1 &start()
    {
        if (!window)
            window = openWindow(desktop, printing, folder);
        return window->ui();
    }
    // Printer setup's own line for problems counts as shown; the dialog is then cancelled.
    void printThrough(std::unique_ptr<Spooler> spooler)
    {
        cups = std::make_unique<CupsPrinting>(std::move(spooler),
                                              dir.filePath(QStringLiteral("printer.ini")), nullptr);
        printing = cups.get();
        cups->setChoiceDialog(runSetupDialog([this](QDialog &dialog) {
            if (auto *label = dialog.findChild<QLabel *>("noticeLabel"); !label->isHidden())
                desktop.messages.shown.append({"notice", dialog.windowTitle(), label->text()});
            return false;
        }));
    }
    // As printer setup would have saved it.
    void choose(bool pdf, const QString &destination, const QString &media)
    {
        QSettings settings(dir.filePath(QStringLiteral("printer.ini")), QSettings::IniFormat);
        savePrinterChoice(settings, {pdf, destination, media, QPageLayout::Landscape});
    }

    FakeSpooler *service; // cups' print service, until it is given another
    std::unique_ptr<CupsPrinting> cups;
    FakePrinting fake;
    EndedPagePrinting endedTwice;
    Printing *printing = nullptr;
    QString folder = dir.path(); // of the offset files
    QString expected;            // the row's text, for a fake to answer with; empty: not here
    bool exact = false;          // the message is that text, word for word
    std::function<void(const Work &)> around = [](const Work &click) { click(); };
};

using Situation = std::function<void(Rig &)>;

struct Row
{
    const char *situation;
    QStringList shows; // the catalogue entries the message is made of
    QString kind;
    QString title;
    const char *button; // pressed once the window is up; none: start-up itself
    QString expected;   // "<x>" and "<y>" stand for the offset files
    Situation scene;    // before the window starts, or starting it itself
};

QList<Row> rows()
{
    using namespace texts;
    QList<Row> rows;
    QString kind, title;
    const char *button = nullptr;
    const auto section = [&](const char *k, const QString &t, const char *b) {
        kind = k, title = t, button = b;
    };
    const auto add = [&](const char *situation, const QStringList &shows, const QString &expected,
                         const Situation &scene) {
        rows.append({situation, shows, kind, title, button, expected, scene});
    };
    const QString app = appTitle();
    const auto startWarning = [](const QString &problem, const QString &box = leftRightBox(),
                                 const QString &path = QStringLiteral("<x>")) {
        return offsetFilesUnusable(offsetFileUnusable(path, problem, box));
    };
    const auto notSaved = [](const QString &reason) {
        return offsetsNotSaved("<x>", reason, offsetsKeptAsBefore());
    };
    const auto xHolding = [](const QByteArray &content) -> Situation {
        return [content](Rig &r) { QVERIFY(place(r.x(), content)); };
    };
    const auto xLinkedTo = [](const QString &target) -> Situation {
        return [target](Rig &r) { QVERIFY(QFile::link(target, r.x())); };
    };
    const auto folder = [](const QString &path) -> Situation {
        return [path](Rig &r) { r.folder = path.isEmpty() ? r.dir.filePath("gone") : path; };
    };
    // Memory cannot be run out of on purpose; the handler meets the same exception.
    const auto throwing = [](auto error) -> Situation {
        return [error](Rig &r) {
            r.cups->setChoiceDialog(runSetupDialog([error](QDialog &) -> bool { throw error; }));
        };
    };
    // Only a running print service says these; tst_endtoend meets the stopped, refusing and
    // deleted queue and the stopped scheduler through a private one. Here the fake service gives
    // the same answer, which shows the way from there to the message box.
    const Situation refusing = [](Rig &r) { r.service->refusing.insert(kOffice, r.expected); };
    const Situation refusingJob = [](Rig &r) { r.service->refuseJob = r.expected; };
    const Situation failing = [](Rig &r) { r.service->unreachable = r.expected; };
    // What the page cannot be made to do on purpose: the printer reports it as it would.
    const Situation reports = [](Rig &r) {
        r.printing = &r.fake;
        r.fake.openError = r.expected;
    };

    section("warning", app, nullptr);
    add("second copy started", {"anotherInstance", "appTitle"}, anotherInstance(),
        [](Rig &r) { r.desktop.anotherInstance = true; });
    add("clock without a date", {"eraUnknown"}, eraUnknown(),
        [](Rig &r) { r.desktop.clock.date = QDate(); });
    add("letters in ini_x1.txt",
        {"offsetFilesUnusable", "offsetFileUnusable", "contentNotANumber", "leftRightBox"},
        startWarning(contentNotANumber()), xHolding("abc\r\n"));
    add("ini_y1.txt beyond 32 bits", {"numberTooLarge", "upDownBox"},
        startWarning(numberTooLarge(), upDownBox(), QStringLiteral("<y>")),
        [](Rig &r) { QVERIFY(writeFile(r.yPath(), "3000000000\r\n")); });
    add("ini_x1.txt of blank lines", {"onlyEmptyLines"}, startWarning(onlyEmptyLines()),
        xHolding(" \r\n\r\n"));
    add("ini_x1.txt over a megabyte", {"fileTooLarge"}, startWarning(fileTooLarge()),
        xHolding(QByteArray((1 << 20) + 1, '0')));
    add("folder named ini_x1.txt", {"folderInPlaceOfFile"}, startWarning(folderInPlaceOfFile()),
        xHolding("<folder>"));
    add("ini_x1.txt links to nothing", {"fileMissing"}, startWarning(fileMissing()),
        xLinkedTo(QStringLiteral("/nonexistent/ini_x1.txt")));
    add("ini_x1.txt links to a device", {"notARegularFile"}, startWarning(notARegularFile()),
        xLinkedTo(QStringLiteral("/dev/zero")));
    // Write-only for everyone, root included.
    add("ini_x1.txt links to a file nobody may read", {"cannotOpenFile"},
        startWarning(cannotOpenFile()), xLinkedTo(QStringLiteral("/proc/sys/vm/drop_caches")));
    // Opens, but its first bytes are unmapped memory and reading them fails.
    add("ini_x1.txt links to a file that fails when read", {"cannotReadFile"},
        startWarning(cannotReadFile()), xLinkedTo(QStringLiteral("/proc/self/mem")));
    add("offset folder gone", {"noFolderForFile"},
        offsetFileUnusable("<x>", noFolderForFile(), leftRightBox()), folder(QString()));
    add("offset folder nobody may write in", {"cannotCreateFile"},
        offsetFileUnusable("<y>", cannotCreateFile(), upDownBox()),
        folder(QStringLiteral("/proc")));

    section("critical", app, "HozonBtn");
    add("save with letters left/right",
        {"offsetsRefused", "offsetRefusal", "notANumber", "offsetsKeptAsBefore"},
        offsetsRefused(offsetRefusal(leftRightBox(), notANumber())),
        [](Rig &r) { r.start().Sayuu_Xtxt->setText(QStringLiteral("abc")); });
    add("save onto a folder named ini_x1.txt", {"offsetsNotSaved", "folderInPlaceOfSavedFile"},
        notSaved(folderInPlaceOfSavedFile()), xHolding("<folder>"));
    add("save with the offset folder gone", {"saveFolderMissing"}, notSaved(saveFolderMissing()),
        folder(QString()));
    add("save onto a read-only ini_x1.txt", {"fileReadOnly"}, notSaved(fileReadOnly()), [](Rig &r) {
        QVERIFY(writeFile(r.x(), "0") && QFile::setPermissions(r.x(), QFile::ReadOwner));
        if (geteuid() == 0)
            r.expected.clear(); // root writes through it
    });
    add("save into a folder nobody may write in", {"saveFolderNotWritable"},
        notSaved(saveFolderNotWritable()), folder(QStringLiteral("/proc")));
    add("save with the disk full", {"writeFailed"}, notSaved(writeFailed()),
        [](Rig &r) { r.around = onFullDisk; });
    add("save: ini_y1.txt not replaced, ini_x1.txt not put back", {"firstOffsetFileChanged"},
        offsetsNotSaved("<y>", writeFailed(), firstOffsetFileChanged("<x>")),
        [](Rig &r) { s_renamesLeft = 1; });

    section("critical", app, "PriDiaBtn");
    add("out of memory in printer setup", {"outOfMemory"}, outOfMemory(),
        throwing(std::bad_alloc()));
    add("unforeseen failure in printer setup", {"unexpectedError"},
        unexpectedError(QStringLiteral("lost")), throwing(std::logic_error("lost")));
    add("printer setup confirmed, settings not writable", {"printerChoiceNotSaved"},
        printerChoiceNotSaved(QString()), [](Rig &r) {
            QVERIFY(QDir().mkdir(r.dir.filePath("printer.ini"))); // the file follows the text
            r.cups->setChoiceDialog(runSetupDialog([](QDialog &) { return true; }));
        });

    section("critical", app, "InsatsuBtn");
    add("print with up/down empty", {"offsetUnusable", "numberMissing"},
        offsetUnusable(upDownBox(), numberMissing()),
        [](Rig &r) { r.start().Jyouge_Ytxt->clear(); });
    add("print with left/right beyond the panel's range", {"offsetOutOfRange"},
        offsetUnusable(leftRightBox(), offsetOutOfRange()),
        [](Rig &r) { r.start().Sayuu_Xtxt->setText(QStringLiteral("5000")); });
    // A real page always reports the size it was given; only a fake page can do otherwise.
    add("printer reports an endless font size", {"fontSizeUnusable"}, fontSizeUnusable(14),
        [](Rig &r) {
            r.printing = &r.fake;
            r.fake.reportedSize = qInf();
        });
    add("print service knows no printer", {"noPrinters"}, noPrinters(),
        [](Rig &r) { *r.service = FakeSpooler(); });
    add("printers but no default", {"noDefaultPrinter"}, noDefaultPrinter(),
        [](Rig &r) { r.service->defaultQueue.clear(); });
    // Papers by the names clerks use: a common size, a JIS B size, one without a name.
    const auto chosen = [](const char *media) -> Situation {
        return [media](Rig &r) { r.choose(false, kOffice, QString::fromLatin1(media)); };
    };
    add("chosen paper no longer offered: letter", {"paperUnavailable", "paperName"},
        paperUnavailable(kOffice, QStringLiteral("レター")), chosen("na_letter_8.5x11in"));
    add("chosen paper no longer offered: JIS B5", {"paperName"},
        paperUnavailable(kOffice, QStringLiteral("B5（JIS）")), chosen("jis_b5_182x257mm"));
    add("chosen paper no longer offered: custom size", {"otherPaper"},
        paperUnavailable(kOffice, QStringLiteral("その他の用紙（100×150 mm）")),
        chosen("custom_100x150mm_100x150mm"));
    // The installed fonts cannot be taken from a running test.
    add("no Japanese font", {"noJapaneseFont"}, noJapaneseFont(), reports);
    add("PDF file in a folder that is gone", {"pdfNotSaved", "saveFolderMissing"},
        pdfNotSaved("/nonexistent/letter.pdf", saveFolderMissing()), [](Rig &r) {
            r.choose(true, QString(), kA4);
            r.cups->setPdfFilePicker([](const QString &) { return "/nonexistent/letter.pdf"; });
        });
    add("temporary folder refuses files", {"noTemporaryFile", "saveFolderNotWritable"},
        noTemporaryFile(saveFolderNotWritable()), [](Rig &) { qputenv("TMPDIR", "/proc"); });
    add("page written onto a full disk", {"pageNotWritten", "writeFailed"},
        pageNotWritten(writeFailed()), [](Rig &r) { r.around = onFullDisk; });
    // The PDF writer takes any page size and begins any page: not to be made to fail.
    add("paper that makes no page", {"pageUnavailable"}, pageUnavailable(QStringLiteral("A4")),
        reports);
    add("page that does not begin", {"cannotStartPage"}, cannotStartPage(), reports);
    add("page ended twice", {"pageAlreadyEnded"}, pageAlreadyEnded(),
        [](Rig &r) { r.printing = &r.endedTwice; });
    add("print service not running", {"serviceUnreachable"}, serviceUnreachable(), [](Rig &r) {
        r.printThrough(std::make_unique<CupsSpooler>());
        r.exact = true; // libcups' socket error would only mislead: ours stands alone
    });
    add("printer not found", {"printerNotFound"}, printerNotFound(kOffice), refusing);
    add("printer stopped, with its reason", {"printerStopped", "printerState", "printerReason"},
        printerStopped(kOffice, printerState(printerReason("media-jam"), "Paper jam")), refusing);
    add("printer set to refuse jobs", {"printerRejecting"}, printerRejecting(kOffice, QString()),
        refusing);
    add("printer state not answered", {"printerStateUnknown"}, printerStateUnknown(kOffice),
        refusing);
    add("printer papers not answered", {"papersUnknown"}, papersUnknown(kOffice), failing);
    add("printer names no paper", {"noPapersOffered"}, noPapersOffered(kOffice), failing);
    add("job refused: not accepting", {"printerNotAccepting"}, printerNotAccepting(kOffice),
        refusingJob);
    add("job refused: no permission", {"noPrintPermission"}, noPrintPermission(kOffice),
        refusingJob);
    add("job refused", {"jobRefused", "serviceReply"},
        serviceReply(jobRefused(kOffice), QStringLiteral("document-format-not-supported")),
        refusingJob);
    add("job taken by a stopped printer, not withdrawn", {"jobNotWithdrawn"},
        printerStopped(kOffice, QString()) + jobNotWithdrawn(), refusingJob);
    // A silent service is met in tst_endtoend; here the way to the message box.
    add("print service silent", {"serviceNotAnswering"},
        serviceNotAnswering(QStringLiteral("127.0.0.1:631")), reports);
    add("page not through, its job not withdrawn", {"jobMayStillPrint"},
        serviceNotAnswering(QStringLiteral("127.0.0.1:631")) + jobMayStillPrint(), reports);

    // The window's own line, read while the job is held (`during`) or after it ended.
    const auto notice = [](bool held, std::function<void(Rig &)> during) -> Situation {
        return [held, during](Rig &r) {
            r.around = [&r, held, during](const Work &click) {
                r.desktop.background.hold = held;
                click();
                during(r);
                if (!held)
                    r.desktop.background.release();
                const auto *label = r.window->findChild<QLabel *>(QStringLiteral("noticeLabel"));
                if (label->isVisibleTo(r.window.get()))
                    r.desktop.messages.shown.append({"window", QString(), label->text()});
                r.desktop.background.release();
            };
        };
    };
    section("window", QString(), "InsatsuBtn");
    add("letter on its way", {"printingNow"}, printingNow(), notice(true, [](Rig &) {}));
    add("closed while printing", {"closingAfterJob"}, closingAfterJob(),
        notice(true, [](Rig &r) { r.window->close(); }));
    add("letter taken by the queue", {"jobSent"}, jobSent(kOffice, 1), notice(false, [](Rig &) {}));
    add("letter saved as a PDF file", {"pdfSaved"}, pdfSaved(QStringLiteral("letter.pdf")),
        [notice](Rig &r) {
            r.choose(true, QString(), kA4);
            const QString file = r.dir.filePath(QStringLiteral("letter.pdf"));
            r.cups->setPdfFilePicker([file](const QString &) { return file; });
            notice(false, [](Rig &) {})(r);
        });

    section("question", quitTitle(), "zEndBtn");
    add("exit question, answered No", {"quitQuestion", "quitTitle"}, quitQuestion(), [](Rig &) {});

    section("file dialog", pdfDialogTitle(), "InsatsuBtn");
    add("PDF file chosen: where to", {"pdfDialogTitle", "pdfDialogFilter"}, pdfDialogFilter(),
        [](Rig &r) {
            r.choose(true, QString(), kA4);
            // The real dialog, read and closed once it is up.
            r.around = [&r](const Work &click) {
                QTimer answer;
                QObject::connect(&answer, &QTimer::timeout, [&r] {
                    if (auto *dialog =
                            qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                        r.desktop.messages.shown.append({"file dialog", dialog->windowTitle(),
                                                         dialog->nameFilters().join('\n')});
                        dialog->reject();
                    }
                });
                answer.start(10);
                click();
            };
        });

    section("tooltip", app, nullptr);
    add("the blank panel toggle explained, with its key", {"buttonTip"},
        buttonTip("OnOffBtn", "Ctrl+T"), [](Rig &r) {
            r.desktop.messages.shown.append({"tooltip", appTitle(), r.start().OnOffBtn->toolTip()});
        });
    // 印刷イメージ opened on a remembered scan, once the scan and the printer have answered.
    const auto preview = [](const QString &scan, const QByteArray &content) -> Situation {
        return [scan, content](Rig &r) {
            const QString path = scan == "<x>" ? r.x() : QDir(r.folder).filePath(scan);
            QVERIFY(content.isEmpty() || writeFile(path, content));
            if (!scan.isEmpty())
                QSettings(QDir(r.folder).filePath("user.ini"), QSettings::IniFormat)
                    .setValue("preview/scan", path);
            r.around = [&r](const Work &click) {
                click();
                PreviewWindow *shown = r.window->preview();
                QTRY_VERIFY(!shown->loadingScan() && !shown->askingPrinter());
                if (r.desktop.messages.shown.isEmpty())
                    r.desktop.messages.shown.append(
                        {"notice", shown->windowTitle(), shown->ui().noteLabel->text()});
            };
        };
    };
    section("warning", app, "ImejiBtn");
    add("remembered scan is no image", {"scanUnusable", "scanNotAnImage"},
        scanUnusable("<x>", scanNotAnImage()), preview("<x>", {}));
    add("remembered scan is gone", {"scanMissing"}, scanMissing(), preview("gone.png", {}));
    QBuffer icon;
    icon.open(QIODevice::WriteOnly);
    QImage(20, 20, QImage::Format_RGB32).save(&icon, "PNG");
    add("remembered scan is an icon", {"scanSizeAbsurd"}, scanSizeAbsurd(20, 20),
        preview("icon.png", icon.data()));
    add("scan's settings file is a folder", {"previewSettingsNotSaved"},
        previewSettingsNotSaved(QString()), [](Rig &r) {
            QVERIFY(QDir(r.folder).mkdir("user.ini"));
            r.around = [&r](const Work &click) {
                click();
                PreviewWindow *shown = r.window->preview();
                QVERIFY(QImage(1754, 1240, QImage::Format_RGB32).save(r.dir.filePath("a.png")));
                shown->loadScan(r.dir.filePath("a.png"));
                QTRY_VERIFY(!shown->loadingScan());
                QTest::keyClick(shown->canvas(), Qt::Key_Left);
            };
        });
    section("notice", QStringLiteral("印刷イメージ"), "ImejiBtn");
    add("printer's paper not known", {"previewPaperUnknown", "printerSilent", "previewPaper"},
        previewPaperUnknown(previewPaper("A4", true), printerSilent()), preview("", {}));
    section("file dialog", scanDialogTitle(), "ImejiBtn");
    add("scan chosen: which", {"scanDialogTitle", "scanDialogFilter"}, scanDialogFilter(),
        [](Rig &r) {
            r.around = [&r](const Work &click) {
                QTimer answer;
                QObject::connect(&answer, &QTimer::timeout, [&r] {
                    if (auto *dialog =
                            qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                        r.desktop.messages.shown.append({"file dialog", dialog->windowTitle(),
                                                         dialog->nameFilters().join('\n')});
                        dialog->reject();
                    }
                });
                answer.start(10);
                click();
                QTest::mouseClick(r.window->preview()->ui().scanBtn, Qt::LeftButton);
            };
        });

    section("tooltip", app, "OnOffBtn"); // the folder follows the text
    add("adjustment panel opened: where the offsets are kept", {"offsetFolderTip"},
        offsetFolderTip(QString()), [](Rig &r) {
            r.around = [&r](const Work &click) {
                click();
                r.desktop.messages.shown.append(
                    {"tooltip", appTitle(), r.window->ui().CyouseiFrm->toolTip()});
            };
        });

    section("notice", QStringLiteral("プリンタの設定"), "PriDiaBtn");
    add("printer setup, print service not running", {"printersUnlisted"},
        printersUnlisted(serviceUnreachable()),
        [](Rig &r) { r.printThrough(std::make_unique<CupsSpooler>()); });
    add("printer setup, the printer chosen before is gone", {"earlierPrinterGone"},
        earlierPrinterGone(QStringLiteral("Gone")),
        [](Rig &r) { r.choose(false, QStringLiteral("Gone"), kA4); });
    add("printer setup, the list refused", {"printersUnknown"}, printersUnlisted(printersUnknown()),
        [](Rig &r) { r.service->unreachable = printersUnknown(); });
    // What the dialog says while the print service has not answered: the list, then the papers.
    for (const int answered : {0, 1})
        add(answered ? "printer setup, papers on their way"
                     : "printer setup, printers on their way",
            {answered ? "loadingPapers" : "loadingPrinters"},
            answered ? loadingPapers() : loadingPrinters(), [answered](Rig &r) {
                r.choose(false, kOffice, kA4);
                r.cups->setChoiceDialog(
                    [&r, answered](Spooler &spooler, const auto &current, QWidget *parent) {
                        InlineBackground held;
                        held.hold = true;
                        PrinterSetupDialog dialog(spooler, held, current, parent);
                        held.release(answered);
                        const auto *label = dialog.findChild<QLabel *>("loadingLabel");
                        if (label->isVisibleTo(&dialog))
                            r.desktop.messages.shown.append(
                                {"notice", dialog.windowTitle(), label->text()});
                        return std::optional<PrinterChoice>();
                    });
            });
    return rows;
}

} // namespace

Q_DECLARE_METATYPE(Row)

class tst_Messages : public QObject
{
    Q_OBJECT

    QTemporaryDir m_temporary; // what TMPDIR names, but where a row says otherwise

private slots:
    void initTestCase()
    {
        // No real print service is ever asked.
        qputenv("CUPS_SERVER", "/nonexistent/sorafu-test.sock");
        std::signal(SIGXFSZ, SIG_IGN); // beyond the file size limit a write just fails
    }

    void shown_data()
    {
        QTest::addColumn<Row>("row");
        for (const Row &row : rows())
            QTest::newRow(row.situation) << row;
    }

    // Exactly one message, of its kind and title, holding the catalogue's text. What the start
    // said before a button was pressed belongs to other rows.
    void shown()
    {
        QFETCH(Row, row);
        qputenv("TMPDIR", QFile::encodeName(m_temporary.path()));
        Rig rig;
        rig.expected = row.expected;
        row.scene(rig);
        if (QTest::currentTestFailed())
            return;
        if (rig.expected.isEmpty())
            QSKIP("not to be made on this machine");
        rig.start();
        if (row.button) {
            rig.desktop.messages.shown.clear();
            auto *button = rig.window->findChild<QAbstractButton *>(row.button);
            rig.around([button] { QTest::mouseClick(button, Qt::LeftButton); });
        }
        s_renamesLeft = -1;

        QString expected = row.expected;
        expected.replace("<x>", QDir::toNativeSeparators(rig.x()))
            .replace("<y>", QDir::toNativeSeparators(QDir(rig.folder).filePath("ini_y1.txt")));
        const QString wrong = notToldOnce(rig.desktop.messages, {expected}, row.kind, row.title);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong + "\n--- should hold ---\n" + expected));
        if (rig.exact)
            QCOMPARE(rig.desktop.messages.shown[0].text, expected);
    }

    // A text added to the catalogue without a row here, or a row naming a text that is gone.
    void everyTextHasARow()
    {
        QFile header(QStringLiteral(SORAFU_TEST_DIR "/../src/system/texts.h"));
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
        for (const QString &name : std::as_const(catalogue))
            QVERIFY2(shown.contains(name) || name.startsWith(QLatin1String("history")), // tst_history
                     qPrintable(name + " has no row"));
        for (const QString &name : std::as_const(shown))
            QVERIFY2(catalogue.contains(name), qPrintable(name + " is not in the catalogue"));
    }
};

QTEST_MAIN(tst_Messages)
#include "tst_messages.moc"
