#pragma once

#include "surfaces/paintersurface.h"

#include <QCoreApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QRectF>
#include <QTemporaryFile>

#include <functional>
#include <memory>

class QPdfWriter;

// How the page lies: the sheet, which way it is turned, and where on the turned sheet the
// printable area begins (the origin of every print position).
struct PageGeometry
{
    QPageSize pageSize;
    QPageLayout::Orientation orientation = QPageLayout::Landscape;
    QPointF originMm;
    // The printable area on the turned sheet; empty when the whole sheet prints.
    QRectF printableMm;
    // The sheet upright to the hundredth of a millimetre, as the printer has it: pageSize takes
    // the nearest common size within a point. Empty for the size pageSize names.
    QSizeF uprightMm;
};

// The sheet as the page lies, in points, exact (not Qt's whole points).
QSizeF sheetPoints(const PageGeometry &geometry);

// The page drawn with QPainter into a PDF at 1200 dots per inch, positions in twips from the
// printable corner. EndDocument hands the finished file to whoever delivers it (the spooler, or
// the file the user picked); a page that is never ended is thrown away.
class PdfSurface : public PainterSurface
{
    Q_DECLARE_TR_FUNCTIONS(PdfSurface)

public:
    // Takes the finished PDF; empty when it arrived, otherwise why not.
    using Deliver = std::function<QString(const QString &pdfFile)>;

    // Null with the reason when no page can be started.
    static std::unique_ptr<PdfSurface> create(const PageGeometry &geometry,
                                              const QString &fontFamily, const QString &title,
                                              Deliver deliver, QString *error);
    ~PdfSurface() override;

    QString EndDocument() override;

    // The finished page could not be written out or read back, and why.
    static QString pageNotWritten(const QString &why);

private:
    PdfSurface() = default;
    bool fitPageToSheet();

    QTemporaryFile m_file;
    std::unique_ptr<QPdfWriter> m_writer;
    QPainter m_painter;
    Deliver m_deliver;
    // The page as the sheet lies, in points.
    QSizeF m_sheetPoints;
    bool m_finished = false;
};
