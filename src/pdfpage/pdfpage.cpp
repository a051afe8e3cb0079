#include "pdfpage/pdfpage.h"

#include <poppler-qt6.h>

#include <memory>

extern "C" Q_DECL_EXPORT int sorafu_renderPdfPage(const QString &path, double dpi, QImage *image)
{
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    if (!document || document->isLocked())
        return int(PdfPage::Unreadable);
    if (document->numPages() < 1)
        return int(PdfPage::NoPages);
    const std::unique_ptr<Poppler::Page> page = document->page(0);
    if (page)
        *image = page->renderToImage(dpi, dpi);
    return int(PdfPage::Rendered);
}
