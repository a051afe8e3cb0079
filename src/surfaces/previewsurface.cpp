#include "surfaces/previewsurface.h"

PreviewSurface::PreviewSurface(QPainter *painter, const QPointF &originMm,
                               const QString &fontFamily)
{
    startDrawing(painter, originMm, fontFamily);
}

PreviewPrinting::PreviewPrinting(QPainter *painter, const QPointF &originMm,
                                 const QString &fontFamily, QList<PainterSurface::Drawn> *record)
    : m_painter(painter), m_originMm(originMm), m_fontFamily(fontFamily), m_record(record)
{
}

std::unique_ptr<PrintSurface> PreviewPrinting::open(const QString &, QString *error)
{
    error->clear();
    auto surface = std::make_unique<PreviewSurface>(m_painter, m_originMm, m_fontFamily);
    surface->setRecord(m_record);
    return surface;
}
