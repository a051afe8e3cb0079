// What a real CUPS spooler does to our pages on the way to the printer, and how libcups
// reports the queue states a user meets. Everything goes through a private scheduler with a
// "Generic PDF Printer" queue, whose file: device holds the page as the printer receives it.

#include "pagemeasure.h"
#include "privatecups.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QTransform>
#include <QtTest>

#include <cups/cups.h>

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <sys/wait.h>

namespace {

// The spooler must not move anything; the sheet allows 0.1 mm, poppler measures to ~0.005 mm.
constexpr double toleranceMm = 0.05;
constexpr double mmPerPoint = 25.4 / 72.0;

// The exact options of the program's print path.
const QByteArray fixedOptions = "print-scaling=none number-up=1 sides=one-sided media=A4";

struct Mark
{
    QPointF centre; // mm from the page's top-left corner
    double radius;  // mm, to the middle of the outline
};

struct Text
{
    QPointF pen; // mm, start of the baseline
    QString text;
};

struct Sheet
{
    QPageLayout::Orientation orientation;
    QList<Mark> marks;
    QList<Text> texts;
};

// Distinct radii tell the marks apart wherever the spooler puts them. The first mark lies in
// the printer's unprintable margin, the next two where the alignment marks go.
Sheet landscapeSheet()
{
    return {QPageLayout::Landscape,
            {{{3.5, 3.5}, 1.0}, {{28.5, 19.2}, 1.5}, {{277.9, 19.2}, 2.0}, {{150.0, 180.0}, 2.5}},
            {{{66.0, 44.0}, "SHEET"}, {{200.0, 120.0}, QString::fromUtf8("委任状")}}};
}

Sheet portraitSheet()
{
    return {QPageLayout::Portrait,
            {{{3.5, 3.5}, 1.0}, {{28.5, 19.2}, 1.5}, {{180.0, 19.2}, 2.0}, {{100.0, 280.0}, 2.5}},
            {{{66.0, 44.0}, "SHEET"}, {{120.0, 200.0}, QString::fromUtf8("委任状")}}};
}

bool writeSheet(const QString &file, const Sheet &sheet)
{
    constexpr int resolution = 1200;
    QPdfWriter writer(file);
    writer.setResolution(resolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), sheet.orientation, QMarginsF()));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    const double dotsPerMm = resolution / 25.4;
    painter.setPen(QPen(Qt::black, 0.25 * dotsPerMm));
    for (const Mark &mark : sheet.marks) {
        painter.drawEllipse(mark.centre * dotsPerMm, mark.radius * dotsPerMm,
                            mark.radius * dotsPerMm);
    }
    QFont font("IPAGothic");
    font.setPointSize(14);
    painter.setFont(font);
    for (const Text &text : sheet.texts)
        painter.drawText(text.pen * dotsPerMm, text.text);
    return painter.end();
}

// cupsPrintFile or cupsCreateJob + cupsStartDocument, with options "name=value name=value".
int submit(const QString &queue, const QString &file, const QByteArray &options,
           bool createJob = false)
{
    cups_option_t *parsed = nullptr;
    const int count = cupsParseOptions(options.constData(), 0, &parsed);
    const QByteArray name = queue.toUtf8();
    int job = 0;
    if (!createJob) {
        job = cupsPrintFile(name.constData(), QFile::encodeName(file).constData(), "spooler test",
                            count, parsed);
    } else {
        job = cupsCreateJob(CUPS_HTTP_DEFAULT, name.constData(), "spooler test", count, parsed);
        QFile pdf(file);
        if (job > 0 && pdf.open(QIODevice::ReadOnly)) {
            const QByteArray data = pdf.readAll();
            if (cupsStartDocument(CUPS_HTTP_DEFAULT, name.constData(), job, "sheet",
                                  CUPS_FORMAT_PDF, 1) != HTTP_STATUS_CONTINUE ||
                cupsWriteRequestData(CUPS_HTTP_DEFAULT, data.constData(), size_t(data.size())) !=
                    HTTP_STATUS_CONTINUE ||
                cupsFinishDocument(CUPS_HTTP_DEFAULT, name.constData()) >
                    IPP_STATUS_OK_CONFLICTING) {
                // A created job without its document would stay behind.
                cupsCancelJob2(CUPS_HTTP_DEFAULT, name.constData(), job, 1);
                job = 0;
            }
        }
    }
    cupsFreeOptions(count, parsed);
    return job;
}

// What a check before printing learns of a queue: one Get-Printer-Attributes request, whose
// status also tells a missing queue (not-found) from a scheduler that is not running
// (service-unavailable).
struct QueueStatus
{
    int status = 0; // ipp_status_t of the request
    int state = 0;  // printer-state: 3 idle, 4 processing, 5 stopped
    bool accepting = false;
    QString message; // printer-state-message: the reason given to cupsdisable/cupsreject
    QString reasons;
};

QueueStatus queueStatus(const QString &queue)
{
    QueueStatus result;
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", queue.toUtf8().constData());
    ipp_t *request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    static const char *const wanted[] = {"printer-state", "printer-is-accepting-jobs",
                                         "printer-state-message", "printer-state-reasons"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr,
                  wanted);
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    result.status = cupsLastError();
    if (ipp_attribute_t *a = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM))
        result.state = ippGetInteger(a, 0);
    if (ipp_attribute_t *a =
            ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
        result.accepting = ippGetBoolean(a, 0);
    if (ipp_attribute_t *a = ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT))
        result.message = QString::fromUtf8(ippGetString(a, 0, nullptr));
    if (ipp_attribute_t *a = ippFindAttribute(response, "printer-state-reasons", IPP_TAG_KEYWORD))
        result.reasons = QString::fromUtf8(ippGetString(a, 0, nullptr));
    ippDelete(response);
    return result;
}

// Sheet millimetres to the millimetres of the output page as displayed.
QTransform inMm(const QTransform &pointTransform)
{
    return QTransform::fromScale(1 / mmPerPoint, 1 / mmPerPoint) * pointTransform *
           QTransform::fromScale(mmPerPoint, mmPerPoint);
}

// The spooler's page transforms, in points, for a page of w x h that we send: a quarter turn
// anticlockwise or clockwise, or a half turn.
QTransform turnedLeft(double w)
{
    return QTransform(0, -1, 1, 0, 0, w);
}
QTransform turnedRight(double h)
{
    return QTransform(0, 1, -1, 0, h, 0);
}
QTransform upsideDown(double w, double h)
{
    return QTransform(-1, 0, 0, -1, w, h);
}
// Scaled to fit the PPD's imageable area and centred in it.
QTransform fitted(const QSizeF &turnedPage, const QRectF &imageable)
{
    const double s =
        qMin(imageable.width() / turnedPage.width(), imageable.height() / turnedPage.height());
    return QTransform(s, 0, 0, s, imageable.x() + (imageable.width() - s * turnedPage.width()) / 2,
                      imageable.y() + (imageable.height() - s * turnedPage.height()) / 2);
}

// A4 is 595 x 842 pt in our PDFs and in the PPD; Letter 612 x 792. The PPD's imageable
// areas, from the top-left corner: A4 18 36 577 806, Letter 18 36 594 756.
const QSizeF a4(595, 842);
const QSizeF letter(612, 792);
const QRectF a4Imageable(18, 36, 559, 770);
const QRectF letterImageable(18, 36, 576, 720);

QString describe(const QPointF &p)
{
    return QStringLiteral("(%1, %2)").arg(p.x(), 0, 'f', 3).arg(p.y(), 0, 'f', 3);
}

} // namespace

class TestSpooler : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void measuring_data();
    void measuring();
    void placement_data();
    void placement();
    void failure_data();
    void failure();
    void heldJobPrintsWhenQueueResumes();
    void schedulerEndsWithItsTest();

private:
    PrivateCups m_cups;
    QTemporaryDir m_work;
};

void TestSpooler::initTestCase()
{
    QVERIFY(m_work.isValid());
    QVERIFY2(m_cups.start(), qPrintable(m_cups.lastError()));
    QCOMPARE(qgetenv("CUPS_SERVER"), m_cups.server().toUtf8());
    QVERIFY2(m_cups.addQueue("Sheet"), qPrintable(m_cups.lastError()));
    QVERIFY2(m_cups.addQueue("FitDefault", {"-o", "fit-to-page-default=true"}),
             qPrintable(m_cups.lastError()));
    QVERIFY2(m_cups.addQueue("ScaleFitDefault", {"-o", "print-scaling-default=fit"}),
             qPrintable(m_cups.lastError()));

    // libcups sees our queues and none of the machine's.
    cups_dest_t *dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    QStringList names;
    for (int i = 0; i < count; ++i)
        names.append(QString::fromUtf8(dests[i].name));
    cupsFreeDests(count, dests);
    names.sort();
    QCOMPARE(names, QStringList({"FitDefault", "ScaleFitDefault", "Sheet"}));
}

// The measuring itself, on our own PDFs: what we drew is where poppler finds it.
void TestSpooler::measuring_data()
{
    QTest::addColumn<bool>("landscape");
    QTest::newRow("A4 landscape") << true;
    QTest::newRow("A4 portrait") << false;
}

void TestSpooler::measuring()
{
    QFETCH(bool, landscape);
    const Sheet sheet = landscape ? landscapeSheet() : portraitSheet();
    const QString pdf = m_work.filePath(landscape ? "own-landscape.pdf" : "own-portrait.pdf");
    QVERIFY(writeSheet(pdf, sheet));

    QString error;
    const auto info = pagemeasure::pageInfo(pdf, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(info.pages, 1);
    QCOMPARE(info.rotation, 0);
    const QSizeF expectedSize = (landscape ? a4.transposed() : a4) * mmPerPoint;
    QVERIFY(std::abs(info.mediaMm.width() - expectedSize.width()) < 0.001);
    QVERIFY(std::abs(info.mediaMm.height() - expectedSize.height()) < 0.001);

    const auto rings = pagemeasure::rings(pdf, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(rings.size(), sheet.marks.size()); // no glyph taken for a circle
    for (const Mark &mark : sheet.marks) {
        bool found = false;
        for (const auto &ring : rings) {
            if (QLineF(ring.centreMm, mark.centre).length() < 0.01 &&
                std::abs(ring.radiusMm - mark.radius) < 0.02)
                found = true;
        }
        QVERIFY2(found, qPrintable("no circle at " + describe(mark.centre)));
    }
    const auto words = pagemeasure::words(pdf, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(words.size(), sheet.texts.size());
    for (int i = 0; i < words.size(); ++i) {
        QCOMPARE(words[i].text, sheet.texts[i].text);
        // pdftotext's box starts at the pen and spans the font's ascent and descent.
        QVERIFY(std::abs(words[i].mm.left() - sheet.texts[i].pen.x()) < 0.01);
        QVERIFY(words[i].mm.top() < sheet.texts[i].pen.y());
        QVERIFY(words[i].mm.bottom() > sheet.texts[i].pen.y());
    }
}

void TestSpooler::placement_data()
{
    QTest::addColumn<QString>("queue");
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<QSizeF>("outputPage");   // displayed, pt
    QTest::addColumn<QTransform>("expected"); // our page to the output page as displayed, pt

    const QSizeF turnedA4 = a4; // a landscape A4 page turned onto portrait paper
    const QTransform left = turnedLeft(a4.height());
    const QByteArray landscapeJob = fixedOptions + " orientation-requested=4";
    const QByteArray unscaled = "number-up=1 sides=one-sided media=A4 orientation-requested=4";

    // With print-scaling=none and media=A4 nothing moves: a landscape page comes out on the
    // portrait sheet turned a quarter anticlockwise (the PPD's LandscapeOrientation Plus90),
    // whether the job asks for landscape, for portrait or for nothing.
    QTest::newRow("landscape page, landscape job") << "Sheet" << true << landscapeJob << a4 << left;
    QTest::newRow("landscape page, portrait job")
        << "Sheet" << true << fixedOptions + " orientation-requested=3" << a4 << left;
    QTest::newRow("landscape page, no orientation")
        << "Sheet" << true << fixedOptions << a4 << left;
    QTest::newRow("landscape page, PWG media name")
        << "Sheet" << true
        << QByteArray("print-scaling=none number-up=1 sides=one-sided media=iso_a4_210x297mm "
                      "orientation-requested=4")
        << a4 << left;
    QTest::newRow("portrait page, portrait job")
        << "Sheet" << false << fixedOptions + " orientation-requested=3" << a4 << QTransform();
    QTest::newRow("portrait page, no orientation")
        << "Sheet" << false << fixedOptions << a4 << QTransform();

    // Wrong orientations turn the page the other way.
    QTest::newRow("landscape page, reverse landscape job")
        << "Sheet" << true << fixedOptions + " orientation-requested=5" << a4
        << turnedRight(a4.width());
    QTest::newRow("portrait page, landscape job")
        << "Sheet" << false << landscapeJob << a4 << upsideDown(a4.width(), a4.height());

    // print-scaling=none wins over every fit-to-page, of the job or of the queue.
    QTest::newRow("fit-to-page and print-scaling=none")
        << "Sheet" << true << "fit-to-page=true " + landscapeJob << a4 << left;
    QTest::newRow("queue fit-to-page, job print-scaling=none")
        << "FitDefault" << true << landscapeJob << a4 << left;
    QTest::newRow("queue print-scaling=fit, job print-scaling=none")
        << "ScaleFitDefault" << true << landscapeJob << a4 << left;
    // Without print-scaling a page of the media's size is left alone ("auto")...
    QTest::newRow("no scaling option") << "Sheet" << true << unscaled << a4 << left;
    // ...unless fit-to-page is asked for: scaled by 770/842 and centred in the imageable area.
    const QTransform fitA4 = left * fitted(turnedA4, a4Imageable);
    QTest::newRow("fit-to-page") << "Sheet" << true << "fit-to-page=true " + unscaled << a4
                                 << fitA4;
    QTest::newRow("print-scaling=fit")
        << "Sheet" << true << "print-scaling=fit " + unscaled << a4 << fitA4;
    QTest::newRow("queue fit-to-page") << "FitDefault" << true << unscaled << a4 << fitA4;
    QTest::newRow("queue print-scaling=fit")
        << "ScaleFitDefault" << true << unscaled << a4 << fitA4;

    // Without media the queue's default paper is used (Letter for this PPD), and the page,
    // too big for it, is shrunk to its imageable area.
    QTest::newRow("no options") << "Sheet" << true << QByteArray() << letter
                                << left * fitted(turnedA4, letterImageable);
    // With the wrong media and no scaling the page is centred on it, and cut.
    QTest::newRow("Letter media, print-scaling=none")
        << "Sheet" << true
        << QByteArray("print-scaling=none number-up=1 sides=one-sided media=Letter "
                      "orientation-requested=4")
        << letter
        << left * QTransform::fromTranslate((letter.width() - a4.width()) / 2,
                                            (letter.height() - a4.height()) / 2);
}

void TestSpooler::placement()
{
    QFETCH(QString, queue);
    QFETCH(bool, landscape);
    QFETCH(QByteArray, options);
    QFETCH(QSizeF, outputPage);
    QFETCH(QTransform, expected);

    const Sheet sheet = landscape ? landscapeSheet() : portraitSheet();
    const QString input = m_work.filePath(QStringLiteral("page-%1.pdf").arg(landscape));
    QVERIFY(writeSheet(input, sheet));
    QString error;
    const auto inputWords = pagemeasure::words(input, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(inputWords.size(), sheet.texts.size());

    const int job = submit(queue, input, options);
    QVERIFY2(job > 0, cupsLastErrorString());
    const QString output = m_cups.takeOutput(queue, job);
    QVERIFY2(!output.isEmpty(), qPrintable(m_cups.lastError()));

    const auto info = pagemeasure::pageInfo(output, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(info.pages, 1);
    const QSizeF shown = info.shownMm() / mmPerPoint;
    QCOMPARE(shown.toSize(), outputPage.toSize());

    const QTransform toOutput = inMm(expected);
    const double scale = std::sqrt(std::abs(expected.determinant()));
    const QRectF page(QPointF(), outputPage * mmPerPoint);
    const auto rings = pagemeasure::rings(output, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    int onPage = 0;
    for (const Mark &mark : sheet.marks) {
        const QPointF want = toOutput.map(mark.centre);
        if (!page.adjusted(2, 2, -2, -2).contains(want))
            continue; // cut off with the page's edge
        ++onPage;
        const pagemeasure::Ring *best = nullptr;
        for (const auto &ring : rings) {
            if (!best || std::abs(ring.radiusMm - mark.radius * scale) <
                             std::abs(best->radiusMm - mark.radius * scale))
                best = &ring;
        }
        QVERIFY2(best, qPrintable("no circle at all on the output page"));
        QVERIFY2(QLineF(best->centreMm, want).length() < toleranceMm,
                 qPrintable(QStringLiteral("circle of radius %1 mm: at %2, expected %3")
                                .arg(mark.radius)
                                .arg(describe(best->centreMm), describe(want))));
        QVERIFY2(std::abs(best->radiusMm - mark.radius * scale) < 0.03,
                 qPrintable(QStringLiteral("radius %1, expected %2")
                                .arg(best->radiusMm)
                                .arg(mark.radius * scale)));
    }
    QCOMPARE(rings.size(), onPage);

    const auto words = pagemeasure::words(output, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(words.size(), inputWords.size());
    for (int i = 0; i < words.size(); ++i) {
        QCOMPARE(words[i].text, inputWords[i].text);
        const QRectF want = toOutput.mapRect(inputWords[i].mm);
        const QRectF got = words[i].mm;
        QVERIFY2(
            std::abs(got.left() - want.left()) < toleranceMm &&
                std::abs(got.top() - want.top()) < toleranceMm &&
                std::abs(got.right() - want.right()) < toleranceMm &&
                std::abs(got.bottom() - want.bottom()) < toleranceMm,
            qPrintable(QStringLiteral("%1: box from %2 to %3, expected %4 to %5")
                           .arg(words[i].text, describe(got.topLeft()), describe(got.bottomRight()),
                                describe(want.topLeft()), describe(want.bottomRight()))));
    }
    QVERIFY(m_cups.leftoverJobs().isEmpty());
}

void TestSpooler::failure_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("createJob");
    // What a check before printing sees
    QTest::addColumn<int>("checkStatus");
    QTest::addColumn<int>("printerState");
    QTest::addColumn<bool>("accepting");
    QTest::addColumn<QString>("stateMessage");
    QTest::addColumn<int>("namedDestStatus"); // cupsLastError() after cupsGetNamedDest
    // and what the submission answers.
    QTest::addColumn<bool>("jobAccepted");
    QTest::addColumn<int>("submitStatus");
    QTest::addColumn<QString>("submitMessage");

    for (bool createJob : {false, true}) {
        const char *api = createJob ? "cupsCreateJob" : "cupsPrintFile";
        // A stopped queue takes the job and holds it: the submission looks like success.
        QTest::addRow("queue stopped, %s", api)
            << "stopped" << createJob << int(IPP_STATUS_OK) << int(IPP_PSTATE_STOPPED) << true
            << "Paper jam" << int(IPP_STATUS_OK) << true << int(IPP_STATUS_OK) << "successful-ok";
        QTest::addRow("queue rejecting, %s", api)
            << "rejecting" << createJob << int(IPP_STATUS_OK) << int(IPP_PSTATE_IDLE) << false
            << "Out of toner" << int(IPP_STATUS_OK) << false
            << int(IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS) << "is not accepting jobs";
        // libcups looks the queue up first and reports a missing one as an internal error
        // with errno's text.
        QTest::addRow("queue deleted, %s", api)
            << "deleted" << createJob << int(IPP_STATUS_ERROR_NOT_FOUND) << 0 << false << QString()
            << int(IPP_STATUS_ERROR_NOT_FOUND) << false << int(IPP_STATUS_ERROR_INTERNAL)
            << "No such file or directory";
        // cupsGetNamedDest cannot tell this from a missing queue; a request of our own can.
        QTest::addRow("scheduler not running, %s", api)
            << "down" << createJob << int(IPP_STATUS_ERROR_SERVICE_UNAVAILABLE) << 0 << false
            << QString() << int(IPP_STATUS_ERROR_NOT_FOUND) << false
            << int(IPP_STATUS_ERROR_INTERNAL) << "No such file or directory";
    }
}

void TestSpooler::failure()
{
    QFETCH(QString, fault);
    QFETCH(bool, createJob);
    QFETCH(int, checkStatus);
    QFETCH(int, printerState);
    QFETCH(bool, accepting);
    QFETCH(QString, stateMessage);
    QFETCH(int, namedDestStatus);
    QFETCH(bool, jobAccepted);
    QFETCH(int, submitStatus);
    QFETCH(QString, submitMessage);

    // A scheduler of its own to stop; CUPS_SERVER returns to m_cups when it goes.
    PrivateCups down;
    PrivateCups &cups = fault == "down" ? down : m_cups;
    if (fault == "down")
        QVERIFY2(down.start(), qPrintable(down.lastError()));
    const QString queue = QStringLiteral("%1_%2").arg(fault).arg(createJob);
    QVERIFY2(cups.addQueue(queue), qPrintable(cups.lastError()));
    if (fault == "stopped")
        QVERIFY2(cups.disableQueue(queue, "Paper jam"), qPrintable(cups.lastError()));
    else if (fault == "rejecting")
        QVERIFY2(cups.rejectQueue(queue, "Out of toner"), qPrintable(cups.lastError()));
    else if (fault == "deleted")
        QVERIFY2(cups.deleteQueue(queue), qPrintable(cups.lastError()));
    else
        cups.stopScheduler();

    const QueueStatus status = queueStatus(queue);
    QCOMPARE(status.status, checkStatus);
    QCOMPARE(status.state, printerState);
    QCOMPARE(status.accepting, accepting);
    QCOMPARE(status.message, stateMessage);
    if (fault == "stopped")
        QCOMPARE(status.reasons, QStringLiteral("paused"));

    cups_dest_t *dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.toUtf8().constData(), nullptr);
    QCOMPARE(int(cupsLastError()), namedDestStatus);
    QCOMPARE(dest != nullptr, namedDestStatus == IPP_STATUS_OK);
    if (dest) {
        // The same two facts, as the destination's options.
        QCOMPARE(
            QString::fromUtf8(cupsGetOption("printer-state", dest->num_options, dest->options)),
            QString::number(printerState));
        QCOMPARE(QString::fromUtf8(
                     cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options)),
                 QString(accepting ? "true" : "false"));
        cupsFreeDests(1, dest);
    }

    const QString input = m_work.filePath("failure.pdf");
    QVERIFY(writeSheet(input, landscapeSheet()));
    const int job = submit(queue, input, fixedOptions + " orientation-requested=4", createJob);
    QCOMPARE(job > 0, jobAccepted);
    QCOMPARE(int(cupsLastError()), submitStatus);
    QVERIFY2(QString::fromUtf8(cupsLastErrorString()).contains(submitMessage),
             cupsLastErrorString());

    if (fault == "down") {
        QVERIFY(cups.untakenOutputs().isEmpty());
        return;
    }
    if (jobAccepted) {
        // Held, not printed, until someone resumes the queue or cancels the job.
        const auto held = cups.leftoverJobs(queue);
        QCOMPARE(held.size(), 1);
        QCOMPARE(held.first().id, job);
        QCOMPARE(held.first().state, IPP_JSTATE_PENDING);
        QCOMPARE(cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.toUtf8().constData(), job, 1),
                 IPP_STATUS_OK);
    }
    QVERIFY(cups.leftoverJobs().isEmpty());
    QVERIFY(cups.untakenOutputs().isEmpty());
}

// Why a stopped queue must be refused before submitting: the held job prints whenever the
// queue is resumed, long after the user was told nothing.
void TestSpooler::heldJobPrintsWhenQueueResumes()
{
    const QString queue = "Resumed";
    QVERIFY2(m_cups.addQueue(queue), qPrintable(m_cups.lastError()));
    QVERIFY2(m_cups.disableQueue(queue), qPrintable(m_cups.lastError()));
    const QString input = m_work.filePath("held.pdf");
    QVERIFY(writeSheet(input, landscapeSheet()));
    const int job = submit(queue, input, fixedOptions + " orientation-requested=4");
    QVERIFY2(job > 0, cupsLastErrorString());
    QCOMPARE(m_cups.waitForJob(job, 500), ipp_jstate_t(0)); // still held
    QVERIFY(!QFile::exists(m_cups.outputPath(queue)));

    QVERIFY2(m_cups.enableQueue(queue), qPrintable(m_cups.lastError()));
    QVERIFY2(!m_cups.takeOutput(queue, job).isEmpty(), qPrintable(m_cups.lastError()));
    QVERIFY(m_cups.leftoverJobs().isEmpty());
}

// A test that dies (crash, CTest's timeout) takes its scheduler with it, and the next start
// clears what it left.
void TestSpooler::schedulerEndsWithItsTest()
{
    // The orphaned scheduler comes to us, so that it is reaped even where init does not.
    QVERIFY(prctl(PR_SET_CHILD_SUBREAPER, 1) == 0);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SORAFU_SPOOLER_ABANDON", "1");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    // The child tells its folder and its scheduler's pid.
    const QStringList told = QString::fromLocal8Bit(child.readAllStandardOutput()).split('\n');
    QVERIFY2(told.size() >= 2 && told[0].contains("sorafu-cups-"),
             child.readAllStandardError().constData());
    const QString folder = told[0];
    const pid_t cupsd = pid_t(told[1].toInt());
    QVERIFY(cupsd > 0);
    const auto ended = [cupsd] {
        if (waitpid(cupsd, nullptr, WNOHANG) == cupsd)
            return true;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(cupsd));
        return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
    };
    QTRY_VERIFY_WITH_TIMEOUT(ended(), 10000);
    prctl(PR_SET_CHILD_SUBREAPER, 0);

    QString ownFolder;
    QString ownProcess;
    {
        PrivateCups next;
        QVERIFY2(next.start(), qPrintable(next.lastError()));
        QVERIFY(!QFileInfo::exists(folder));
        QCOMPARE(qgetenv("CUPS_SERVER"), next.server().toUtf8());
        ownFolder = next.path();
        ownProcess = QStringLiteral("/proc/%1").arg(next.schedulerPid());
        QVERIFY(QFileInfo::exists(ownProcess));
    }
    // The destructor ends the scheduler, removes the folder and gives CUPS_SERVER back.
    QVERIFY(!QFileInfo::exists(ownProcess));
    QVERIFY(!QFileInfo::exists(ownFolder));
    QCOMPARE(qgetenv("CUPS_SERVER"), m_cups.server().toUtf8());
}

// SORAFU_SPOOLER_ABANDON: start a scheduler and die without a destructor, as a crashed or
// killed test does.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet("SORAFU_SPOOLER_ABANDON")) {
        QCoreApplication app(argc, argv);
        auto *cups = new PrivateCups;
        if (!cups->start())
            return 2;
        std::printf("%s\n%lld\n", qPrintable(cups->path()), cups->schedulerPid());
        std::fflush(stdout);
        ::kill(getpid(), SIGKILL);
    }
    QGuiApplication app(argc, argv);
    TestSpooler test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_spooler.moc"
