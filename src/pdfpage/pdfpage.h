#pragma once

#include <QImage>
#include <QString>

// Reading a PDF takes poppler, whose libraries would cost every start of the program even
// though few clerks ever open a PDF scan. So it lives in a module of its own, loaded when a PDF
// is first read; this is what the module offers.

// What became of the file.
enum class PdfPage {
    Rendered,   // the image holds the first page, or is null when it could not be drawn
    Unreadable, // no PDF, damaged or locked
    NoPages,
};

// The module's one function, exported under kRenderPdfPage: draws the first page of the PDF at
// `path` at `dpi` into *image and returns a PdfPage.
using RenderPdfPage = int (*)(const QString &path, double dpi, QImage *image);
inline constexpr char kPdfPageModule[] = "sorafu_pdfpage";
inline constexpr char kRenderPdfPage[] = "sorafu_renderPdfPage";
