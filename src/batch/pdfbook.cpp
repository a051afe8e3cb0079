#include "batch/pdfbook.h"

struct PdfBook::Writer
{
};

std::unique_ptr<PdfBook> PdfBook::create(const QString &path, const PageGeometry &geometry,
                                         const QString &fontFamily, QString *error)
{
    Q_UNUSED(path);
    Q_UNUSED(geometry);
    Q_UNUSED(fontFamily);
    Q_UNUSED(error);
    return nullptr;
}

PdfBook::~PdfBook() = default;

std::unique_ptr<PrintTarget> PdfBook::nextPage()
{
    return nullptr;
}

QString PdfBook::finish()
{
    return QString();
}
