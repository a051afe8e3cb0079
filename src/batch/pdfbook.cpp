#include "batch/pdfbook.h"

#include "batch/batchcsv.h"
#include "surfaces/pdfpagebox.h"
#include "system/paths.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPdfWriter>
#include <QSaveFile>

struct PdfBook::Writer
{
    explicit Writer(const QString &path) : path(path), pdf(&buffer) {}

    QString path;
    // In memory: the PDF engine does not check its writes, so a full disk would go unseen.
    QBuffer buffer;
    QPdfWriter pdf;
    QPainter painter;
    PageGeometry geometry;
    QString fontFamily;
    int pages = 0;
};

// Draws on the book's painter; a page after the first begins a new sheet.
class PdfBook::Surface : public PainterSurface
{
public:
    explicit Surface(Writer &writer)
    {
        if (writer.pages++ > 0)
            writer.pdf.newPage();
        startDrawing(&writer.painter, writer.geometry.originMm, writer.fontFamily);
    }
    QString EndDocument() override { return QString(); }
};

class PdfBook::Page : public PrintTarget
{
public:
    explicit Page(Writer &writer) : m_writer(writer) {}

    std::unique_ptr<PrintSurface> open(const QString &title, QString *error) override
    {
        error->clear();
        m_job.title = title;
        m_job.file = m_writer.path;
        m_job.paper = m_writer.geometry.pageSize.name();
        m_job.orientation = m_writer.geometry.orientation;
        return std::make_unique<Surface>(m_writer);
    }
    std::optional<AcceptedJob> accepted() const override { return m_job; }

private:
    Writer &m_writer;
    AcceptedJob m_job;
};

PdfBook::PdfBook() = default;

std::unique_ptr<PdfBook> PdfBook::create(const QString &path, const PageGeometry &geometry,
                                         const QString &fontFamily, QString *error)
{
    std::unique_ptr<PdfBook> book(new PdfBook);
    book->m_writer = std::make_unique<Writer>(path);
    Writer &writer = *book->m_writer;
    writer.geometry = geometry;
    writer.fontFamily = fontFamily;
    // Told now rather than after every page: a file that cannot be written at all.
    QSaveFile probe(path);
    if (!probe.open(QIODevice::WriteOnly) || !writer.buffer.open(QIODevice::WriteOnly)) {
        *error = tr("PDFファイル「%1」を作成できません。\n%2")
                     .arg(QFileInfo(path).fileName(), whyNotWritten(path));
        return nullptr;
    }
    writer.pdf.setResolution(PainterSurface::kResolution);
    writer.pdf.setCreator(QStringLiteral("ソラフ"));
    QPageLayout layout(geometry.pageSize, geometry.orientation, QMarginsF());
    layout.setMode(QPageLayout::FullPageMode);
    if (!writer.pdf.setPageLayout(layout) || !writer.painter.begin(&writer.pdf)) {
        *error = tr("用紙「%1」のページを作成できません。").arg(geometry.pageSize.name());
        return nullptr;
    }
    return book;
}

PdfBook::~PdfBook()
{
    // Unfinished, the file is dropped and the earlier one stays.
    if (m_writer && m_writer->painter.isActive())
        m_writer->painter.end();
}

std::unique_ptr<PrintTarget> PdfBook::nextPage()
{
    return std::make_unique<Page>(*m_writer);
}

QString PdfBook::finish()
{
    const QString &path = m_writer->path;
    if (m_writer->painter.end()) {
        QByteArray pdf = m_writer->buffer.data();
        setExactPageBox(&pdf, sheetPoints(m_writer->geometry));
        if (writeFileAtomically(path, pdf).isEmpty())
            return QString();
    }
    return tr("PDFファイル「%1」を保存できませんでした。前のファイルはそのまま残っています。\n%2")
        .arg(QFileInfo(path).fileName(), whyNotWritten(path));
}
