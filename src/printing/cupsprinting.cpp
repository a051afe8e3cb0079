#include "printing/cupsprinting.h"

#include "printing/japanesefont.h"
#include "printing/pdfsurface.h"
#include "printing/spooler.h"
#include "system/paths.h"
#include "system/texts.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString kPdfFolder = QStringLiteral("printer/pdfFolder");

const Paper *findPaper(const QList<Paper> &papers, const QString &media)
{
    for (const Paper &paper : papers)
        if (paper.media == media)
            return &paper;
    return nullptr;
}

// Copies the finished page into the picked file in one step, so a failure leaves an earlier file
// of that name as it was.
QString saveCopy(const QString &pdfFile, const QString &target)
{
    QFile source(pdfFile);
    if (!source.open(QIODevice::ReadOnly))
        return texts::pageNotWritten(whyNotWritten(pdfFile));
    const QByteArray page = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return texts::pageNotWritten(whyNotWritten(pdfFile));
    // A full disk shows only in these answers: a short write, a failed flush. Committed without
    // them, a cut-off file would replace the earlier one.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size() || !file.flush() ||
        !file.commit())
        return texts::pdfNotSaved(QDir::toNativeSeparators(target), whyNotWritten(target));
    return QString();
}

} // namespace

CupsPrinting::CupsPrinting(std::unique_ptr<Spooler> spooler, const QString &settingsPath,
                           QWidget *window)
    : m_spooler(std::move(spooler)), m_settingsPath(settingsPath), m_window(window)
{
    m_pickPdfFile = [this](const QString &suggested) {
        return QFileDialog::getSaveFileName(m_window, texts::pdfDialogTitle(), suggested,
                                            texts::pdfDialogFilter());
    };
}

CupsPrinting::~CupsPrinting() = default;

static std::unique_ptr<QSettings> settingsAt(const QString &path)
{
    if (path.isEmpty())
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QStringLiteral("sorafu"), QStringLiteral("sorafu"));
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

std::unique_ptr<QSettings> CupsPrinting::settings() const
{
    return settingsAt(m_settingsPath);
}

std::function<bool(PageGeometry *, QString *)>
CupsPrinting::pageQuery(std::shared_ptr<Spooler> spooler) const
{
    // The choice confirmed in this run but not saved counts as it does for printing.
    return [spooler, path = m_settingsPath, unsaved = m_unsavedChoice](PageGeometry *page,
                                                                       QString *error) {
        const std::optional<PrinterChoice> choice =
            unsaved ? unsaved : chosenPrinter(*settingsAt(path), *spooler, error);
        return choice && choicePage(*choice, *spooler, page, error);
    };
}

JobOptions CupsPrinting::jobOptions(const PrinterChoice &choice)
{
    return {
        {"media", choice.media.toUtf8()},
        {"orientation-requested", choice.orientation == QPageLayout::Landscape ? "4" : "3"},
        {"print-scaling", "none"},
        {"fit-to-page", "false"},
        {"number-up", "1"},
        {"sides", "one-sided"},
        {"copies", "1"},
    };
}

std::optional<PrinterChoice> chosenPrinter(QSettings &settings, Spooler &spooler, QString *error)
{
    if (const auto saved = loadPrinterChoice(settings))
        return saved;

    QStringList names;
    QString defaultName;
    if (!spooler.destinations(&names, &defaultName, error))
        return std::nullopt;
    if (defaultName.isEmpty()) {
        *error = names.isEmpty() ? texts::noPrinters() : texts::noDefaultPrinter();
        return std::nullopt;
    }
    PrinterPapers papers;
    if (!spooler.papers(defaultName, &papers, error))
        return std::nullopt;
    PrinterChoice choice;
    choice.destination = defaultName;
    choice.media = preferredMedia(papers);
    // Every place of the form lies on a landscape sheet (277.9 mm across), so landscape unless
    // the queue itself says otherwise.
    choice.orientation = papers.defaultOrientation.value_or(QPageLayout::Landscape);
    return choice;
}

bool choicePage(const PrinterChoice &choice, Spooler &spooler, PageGeometry *page, QString *error)
{
    page->orientation = choice.orientation;
    if (choice.pdfFile) {
        const QList<Paper> papers = pdfPapers();
        const Paper *paper = findPaper(papers, choice.media);
        if (!paper)
            paper = &papers.first();
        page->pageSize = QPageSize(paper->sizeMm, QPageSize::Millimeter, paper->name);
        // A file has no unprintable edge: the places count from the page corner.
        page->originMm = QPointF();
        page->printableMm = printableAreaMm(paper->sizeMm, QMarginsF(), choice.orientation);
        return true;
    }
    PrinterPapers papers;
    if (!spooler.papers(choice.destination, &papers, error))
        return false;
    const Paper *paper = findPaper(papers.papers, choice.media);
    if (!paper) {
        *error = texts::paperUnavailable(choice.destination, mediaDisplayName(choice.media));
        return false;
    }
    page->pageSize = QPageSize(paper->sizeMm, QPageSize::Millimeter, paper->name);
    page->originMm = printableOriginMm(paper->marginsMm, choice.orientation);
    page->printableMm = printableAreaMm(paper->sizeMm, paper->marginsMm, choice.orientation);
    return true;
}

std::optional<PrinterChoice> CupsPrinting::currentChoice(QString *error)
{
    if (m_unsavedChoice)
        return m_unsavedChoice;
    return chosenPrinter(*settings(), *m_spooler, error);
}

QString CupsPrinting::fontFamily(QString *error)
{
    if (m_fontFamily.isEmpty())
        m_fontFamily = japaneseFontFamily(error);
    return m_fontFamily;
}

std::unique_ptr<PrintSurface> CupsPrinting::open(const QString &title, QString *error)
{
    error->clear();
    const std::optional<PrinterChoice> choice = currentChoice(error);
    if (!choice)
        return nullptr;

    const QString family = fontFamily(error);
    if (family.isEmpty())
        return nullptr;

    // A queue that does not take jobs now is told before anything else is asked of the user.
    if (!choice->pdfFile) {
        *error = m_spooler->check(choice->destination);
        if (!error->isEmpty())
            return nullptr;
    }
    PageGeometry geometry;
    if (!choicePage(*choice, *m_spooler, &geometry, error))
        return nullptr;
    PrintedTo printedTo;
    printedTo.paper = mediaDisplayName(choice->media);
    printedTo.orientation =
        choice->orientation == QPageLayout::Landscape ? QStringLiteral("横") : QStringLiteral("縦");
    PdfSurface::Deliver deliver;
    if (choice->pdfFile) {
        const auto store = settings();
        const QString folder =
            store
                ->value(kPdfFolder,
                        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                .toString();
        QString target = m_pickPdfFile(QDir(folder).filePath(title + QStringLiteral(".pdf")));
        if (target.isEmpty())
            return nullptr; // called off: nothing to tell
        if (QFileInfo(target).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0)
            target += QStringLiteral(".pdf");
        if (const QString used = QFileInfo(target).absolutePath(); used != folder)
            store->setValue(kPdfFolder, used);
        printedTo.jobId = QDir::toNativeSeparators(target);
        deliver = [target](const QString &pdfFile) { return saveCopy(pdfFile, target); };
    } else {
        const QString destination = choice->destination;
        Spooler *spooler = m_spooler.get();
        const JobOptions options = jobOptions(*choice);
        printedTo.printer = destination;
        deliver = [spooler, destination, title, options](const QString &pdfFile) {
            return spooler->submit(destination, title, pdfFile, options);
        };
    }
    // Noted once the page has gone where it was meant to, for the print history.
    deliver = [this, deliver, printedTo](const QString &pdfFile) {
        const QString failure = deliver(pdfFile);
        if (failure.isEmpty())
            m_lastPrintedTo = printedTo;
        return failure;
    };
    return PdfSurface::create(geometry, family, title, std::move(deliver), error);
}

QString CupsPrinting::setup(QWidget *parent)
{
    QString ignored;
    if (!m_choiceDialog)
        return QString();
    const auto chosen = m_choiceDialog(*m_spooler, currentChoice(&ignored), parent);
    if (!chosen)
        return QString();
    const auto store = settings();
    // What was confirmed is used for this run even when it cannot be written down.
    m_unsavedChoice.reset();
    if (savePrinterChoice(*store, *chosen))
        return QString();
    m_unsavedChoice = *chosen;
    return texts::printerChoiceNotSaved(QDir::toNativeSeparators(store->fileName()));
}
