#pragma once

#include "layout/printing.h"
#include "surfaces/pdfsurface.h"

#include <QCoreApplication>

#include <memory>

// One PDF file of many letters, a page each, for a batch written to a file. The file appears
// only when finish() succeeds; until then (and after any failure) the earlier file stays.
class PdfBook
{
    Q_DECLARE_TR_FUNCTIONS(PdfBook)

public:
    // Null, with why in *error, when the file cannot be started.
    static std::unique_ptr<PdfBook> create(const QString &path, const PageGeometry &geometry,
                                           const QString &fontFamily, QString *error);
    ~PdfBook();
    // A target whose surface draws the next page; each target gives one page. The book must
    // outlive it.
    std::unique_ptr<PrintTarget> nextPage();
    // Writes the file in place of the earlier one. Why not, in Japanese; else empty.
    QString finish();

private:
    class Page;
    class Surface;
    struct Writer;
    PdfBook();
    std::unique_ptr<Writer> m_writer;
};
