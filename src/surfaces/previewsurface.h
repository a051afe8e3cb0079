#pragma once

#include "layout/printing.h"
#include "surfaces/paintersurface.h"

// The page drawn onto the screen: the PDF page's drawing, on a painter whose unit the caller
// set to the dot. Nothing is released anywhere, so ending it cannot fail.
class PreviewSurface : public PainterSurface
{
public:
    PreviewSurface(QPainter *painter, const QPointF &originMm, const QString &fontFamily);
    QString EndDocument() override { return QString(); }
};

// Hands the print jobs surfaces that all draw onto one painter, so the letter and the marks
// can share one sheet on screen. Every text and ring drawn is noted in *record.
class PreviewPrinting : public PrintTarget
{
public:
    PreviewPrinting(QPainter *painter, const QPointF &originMm, const QString &fontFamily,
                    QList<PainterSurface::Drawn> *record);
    std::unique_ptr<PrintSurface> open(const QString &title, QString *error) override;
    // Nothing goes anywhere.
    std::optional<AcceptedJob> accepted() const override { return std::nullopt; }

private:
    QPainter *m_painter;
    QPointF m_originMm;
    QString m_fontFamily;
    QList<PainterSurface::Drawn> *m_record;
};
