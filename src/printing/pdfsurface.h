#pragma once

#include "jobs/printsurface.h"

#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
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
};

// The page drawn with QPainter into a PDF at 1200 dots per inch, positions in twips from the
// printable corner. EndDocument hands the finished file to whoever delivers it (the spooler, or
// the file the user picked); a page that is never ended is thrown away.
class PdfSurface : public PrintSurface
{
public:
    // Takes the finished PDF; empty when it arrived, otherwise why not.
    using Deliver = std::function<QString(const QString &pdfFile)>;

    // Null with the reason when no page can be started.
    static std::unique_ptr<PdfSurface> create(const PageGeometry &geometry,
                                              const QString &fontFamily, const QString &title,
                                              Deliver deliver, QString *error);
    ~PdfSurface() override;

    void SetFontSize(int points) override;
    double FontSize() const override;
    void SetCurrentX(float twips) override;
    void SetCurrentY(float twips) override;
    void PrintText(const QString &text) override;
    void DrawCircle(float centreX, float centreY, float radius) override;
    QString EndDocument() override;

    static constexpr int kResolution = 1200;

private:
    PdfSurface() = default;
    // A place in device dots, from twips on the printable area.
    QPointF toDevice(double xTwips, double yTwips) const;

    QTemporaryFile m_file;
    std::unique_ptr<QPdfWriter> m_writer;
    QPainter m_painter;
    QFont m_font;
    QPointF m_originDots;
    float m_x = 0;
    float m_y = 0;
    Deliver m_deliver;
    bool m_finished = false;
};
