#include "printing/cupsprinting.h"

#include "printing/spooler.h"
#include "surfaces/japanesefont.h"
#include "surfaces/pdfsurface.h"
#include "system/paths.h"
#include "system/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <sys/stat.h>

namespace {

const QString kPdfFolder = QStringLiteral("printer/pdfFolder");

// The mode the user's umask gives a new file. Read from the kernel: umask() itself would change
// it for the other threads while it is read.
mode_t newFileMode()
{
    QFile status(QStringLiteral("/proc/self/status"));
    mode_t mask = 022;
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("Umask:"))
                mask = line.mid(6).trimmed().toUInt(nullptr, 8);
    return 0666 & ~mask;
}

// Copies the finished page into the picked file in one step, so a failure leaves an earlier file
// of that name as it was.
QString saveCopy(const QString &pdfFile, const QString &target)
{
    QFile source(pdfFile);
    if (!source.open(QIODevice::ReadOnly))
        return PdfSurface::pageNotWritten(whyNotWritten(pdfFile));
    const QByteArray page = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return PdfSurface::pageNotWritten(whyNotWritten(pdfFile));
    // A pipe or device of that name is written into, not replaced, and a pipe nobody reads
    // would hold the job for ever.
    const QFileInfo existing(target);
    if ((existing.exists() && !existing.isFile()) || !replaceFile(target, page))
        return CupsPrinting::tr("PDFファイル「%1」を保存できませんでした。\n%2\n"
                                "別の保存先を選んでください。")
            .arg(QDir::toNativeSeparators(target), whyNotWritten(target));
    // As any file the user makes, not private as a temporary file nor as the one it replaced.
    ::chmod(QFile::encodeName(target).constData(), newFileMode());
    return QString();
}

} // namespace

CupsPrinting::CupsPrinting(std::unique_ptr<Spooler> spooler, const QString &settingsPath)
    : m_spooler(std::move(spooler)), m_settingsPath(settingsPath)
{
}

CupsPrinting::~CupsPrinting() = default;

std::unique_ptr<QSettings> CupsPrinting::settings() const
{
    return openSettings(m_settingsPath);
}

std::function<bool(PageGeometry *, QString *)>
CupsPrinting::pageQuery(std::shared_ptr<Spooler> spooler) const
{
    // The choice confirmed in this run but not saved counts as it does for printing.
    return [spooler, path = m_settingsPath, unsaved = m_unsavedChoice](PageGeometry *page,
                                                                       QString *error) {
        const std::optional<PrinterChoice> choice =
            unsaved ? unsaved : chosenPrinter(*openSettings(path), *spooler, error);
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
    QMap<QString, QString> descriptions;
    if (!spooler.destinations(&names, &defaultName, &descriptions, error))
        return std::nullopt;
    if (defaultName.isEmpty()) {
        *error = names.isEmpty() ? CupsPrinting::tr("使えるプリンタがありません。「プリンタ設定」で"
                                                    "「PDFファイル」を選ぶか、プリンタの管理者に"
                                                    "プリンタの追加を依頼してください。")
                                 : CupsPrinting::tr("既定のプリンタが決まっていません。"
                                                    "「プリンタ設定」でプリンタを選んでください。");
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

bool choicePage(const PrinterChoice &choice, Spooler &spooler, PageGeometry *page, QString *error,
                const QString &printerName)
{
    PrinterPapers papers;
    if (!choice.pdfFile && !spooler.papers(choice.destination, &papers, error))
        return false;
    return choicePage(choice, papers, page, error, printerName);
}

bool choicePage(const PrinterChoice &choice, const PrinterPapers &papers, PageGeometry *page,
                QString *error, const QString &printerName)
{
    page->orientation = choice.orientation;
    if (choice.pdfFile) {
        const QList<Paper> pdf = pdfPapers();
        const Paper *paper = findPaper(pdf, choice.media);
        if (!paper)
            paper = &pdf.first();
        page->pageSize = QPageSize(paper->sizeMm, QPageSize::Millimeter, paper->name);
        page->uprightMm = paper->sizeMm;
        // A file has no unprintable edge: the places count from the page corner.
        page->originMm = QPointF();
        page->printableMm = printableAreaMm(paper->sizeMm, QMarginsF(), choice.orientation);
        return true;
    }
    const Paper *paper = findPaper(papers.papers, choice.media);
    if (!paper) {
        *error = CupsPrinting::tr("プリンタ「%1」では、選んであった用紙（%2）を使用できません。"
                                  "「プリンタ設定」で用紙を選び直してください。")
                     .arg(printerName.isEmpty() ? choice.destination : printerName,
                          mediaDisplayName(choice.media));
        return false;
    }
    page->pageSize = QPageSize(paper->sizeMm, QPageSize::Millimeter, paper->name);
    page->uprightMm = paper->sizeMm;
    page->originMm = printableOriginMm(paper->marginsMm, choice.orientation);
    page->printableMm = printableAreaMm(paper->sizeMm, paper->marginsMm, choice.orientation);
    return true;
}

std::optional<PrinterChoice> CupsPrinting::chosen() const
{
    if (m_unsavedChoice)
        return m_unsavedChoice;
    return loadPrinterChoice(*settings());
}

QString CupsPrinting::chosenName() const
{
    const std::optional<PrinterChoice> choice = chosen();
    if (!choice)
        return tr("既定のプリンタ");
    if (choice->pdfFile)
        return tr("PDFファイル");
    const QMutexLocker lock(&m_fontLock);
    return m_descriptions.value(choice->destination, choice->destination);
}

std::optional<PrinterIdentity> CupsPrinting::chosenIdentity() const
{
    const std::optional<PrinterChoice> choice = chosen();
    if (!choice)
        return std::nullopt;
    return PrinterIdentity{choice->pdfFile, choice->destination, choice->deviceUri};
}

void CupsPrinting::learnDescription(const QString &queue, const QString &description)
{
    const QMutexLocker lock(&m_fontLock);
    m_descriptions.insert(queue, description);
}

// A queue's whole attribute set is large and slow to ask for, and its papers change only with
// its configuration, so they are read again only when that changed since they were read. A
// change in the very second they were read may have come just after, so it counts as changed.
bool CupsPrinting::papersOf(const QString &queue, const QueueFacts &facts, PrinterPapers *papers,
                            QString *error)
{
    {
        const QMutexLocker lock(&m_fontLock);
        const auto known = m_papers.constFind(queue);
        if (facts.configChanged > 0 && known != m_papers.cend() &&
            known->configChanged == facts.configChanged && known->configChanged < known->readAt) {
            *papers = known->papers;
            return true;
        }
    }
    if (!m_spooler->papers(queue, papers, error))
        return false;
    const QMutexLocker lock(&m_fontLock);
    m_papers.insert(queue, {*papers, facts.configChanged, facts.serviceNow});
    return true;
}

QString CupsPrinting::fontFamily(QString *error)
{
    const QMutexLocker lock(&m_fontLock);
    if (m_fontFamily.isEmpty())
        m_fontFamily = japaneseFontFamily(error);
    return m_fontFamily;
}

// One job's way out, from the choice as it was at the click.
class CupsTarget : public PrintTarget
{
public:
    CupsTarget(CupsPrinting &printing, std::optional<PrinterChoice> chosen)
        : m_printing(printing), m_chosen(std::move(chosen))
    {
    }

    std::unique_ptr<PrintSurface> open(const QString &title, QString *error) override;
    std::optional<AcceptedJob> accepted() const override { return m_accepted; }
    QString suggestedFile(const QString &name) const override;
    void setFile(const QString &path) override;

private:
    CupsPrinting &m_printing;
    std::optional<PrinterChoice> m_chosen;
    std::optional<AcceptedJob> m_accepted;
    QString m_file;
};

QString CupsTarget::suggestedFile(const QString &name) const
{
    if (!m_chosen || !m_chosen->pdfFile)
        return QString();
    const QString folder =
        m_printing.settings()
            ->value(kPdfFolder, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .toString();
    return QDir(folder).filePath(name + QStringLiteral(".pdf"));
}

void CupsTarget::setFile(const QString &path)
{
    m_file = path;
    if (path.isEmpty())
        return;
    if (QFileInfo(m_file).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0)
        m_file += QStringLiteral(".pdf");
    const auto store = m_printing.settings();
    if (const QString used = QFileInfo(m_file).absolutePath();
        used != store->value(kPdfFolder).toString())
        store->setValue(kPdfFolder, used);
}

std::unique_ptr<PrintTarget> CupsPrinting::target()
{
    return std::make_unique<CupsTarget>(*this, chosen());
}

std::unique_ptr<PrintSurface> CupsTarget::open(const QString &title, QString *error)
{
    error->clear();
    Spooler &spooler = *m_printing.m_spooler;
    const std::optional<PrinterChoice> choice =
        m_chosen ? m_chosen : chosenPrinter(*m_printing.settings(), spooler, error);
    if (!choice)
        return nullptr;

    const QString family = m_printing.fontFamily(error);
    if (family.isEmpty())
        return nullptr;

    // A queue that does not take jobs now is told before anything else is asked of the user.
    QueueFacts facts;
    PageGeometry geometry;
    PrinterPapers papers;
    if (!choice->pdfFile) {
        *error = spooler.check(choice->destination, &facts);
        if (!error->isEmpty())
            return nullptr;
        if (!facts.description.isEmpty())
            m_printing.learnDescription(choice->destination, facts.description);
        if (!m_printing.papersOf(choice->destination, facts, &papers, error))
            return nullptr;
    }
    const QString described = facts.description;
    const QString printerName = described.isEmpty() ? choice->destination : described;
    if (!choicePage(*choice, papers, &geometry, error, printerName))
        return nullptr;
    AcceptedJob job;
    job.title = title;
    job.paper = geometry.pageSize.name();
    job.orientation = choice->orientation;
    PdfSurface::Deliver deliver;
    if (choice->pdfFile) {
        const QString target = m_file;
        if (target.isEmpty())
            return nullptr; // called off: nothing to tell
        job.file = target;
        deliver = [this, target, job](const QString &pdfFile) {
            const QString failure = saveCopy(pdfFile, target);
            if (failure.isEmpty())
                m_accepted = job;
            return failure;
        };
    } else {
        job.destination = choice->destination;
        job.printerName = printerName;
        const JobOptions options = CupsPrinting::jobOptions(*choice);
        deliver = [this, &spooler, title, options, job](const QString &pdfFile) mutable {
            const QString failure =
                spooler.submit(job.destination, title, pdfFile, options, &job.jobId);
            if (failure.isEmpty())
                m_accepted = job;
            return failure;
        };
    }
    return PdfSurface::create(geometry, family, title, std::move(deliver), error);
}

QString CupsPrinting::keep(const PrinterChoice &choice)
{
    if (!choice.pdfFile && !choice.description.isEmpty())
        learnDescription(choice.destination, choice.description);
    const auto store = settings();
    m_unsavedChoice.reset();
    if (savePrinterChoice(*store, choice))
        return QString();
    m_unsavedChoice = choice;
    return tr("プリンタの設定を保存できませんでした（設定ファイルに書き込めません）。"
              "選んだ設定は、このプログラムを終了するまで使います。\n"
              "次の起動でも使うには、次の設定ファイルとそのフォルダーに書き込めるように"
              "してから、もう一度「プリンタ設定」で選んでください。\n%1")
        .arg(QDir::toNativeSeparators(store->fileName()));
}
