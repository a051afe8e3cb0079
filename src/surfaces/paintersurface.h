#pragma once

#include "layout/printsurface.h"

#include <QFont>
#include <QList>
#include <QPointF>

class QPainter;

// The print jobs' operations drawn with a QPainter whose unit is one dot of kResolution per inch,
// counted from the top-left corner of the sheet as it lies for printing. The PDF page and the
// preview on screen are both one of these, so the screen shows what the page gets.
class PainterSurface : public PrintSurface
{
public:
    static constexpr int kResolution = 1200;

    // Where one text or ring went: the start of a text's baseline, or a ring's centre, in
    // millimetres from the sheet's corner. Kept so one page can be held against another.
    struct Drawn
    {
        QString text;
        QPointF mm;
        double points = 0;   // a text's size
        double radiusMm = 0; // a ring's radius
    };

    void SetFontSize(int points) override;
    double FontSize() const override;
    void SetCurrentX(float twips) override;
    void SetCurrentY(float twips) override;
    void PrintText(const QString &text) override;
    void DrawCircle(float centreX, float centreY, float radius) override;

    // From now on every text and ring drawn is also noted in *record (null: none).
    void setRecord(QList<Drawn> *record) { m_record = record; }

protected:
    // `painter` is active, its unit the dot; the printable area begins at originMm.
    void startDrawing(QPainter *painter, const QPointF &originMm, const QString &fontFamily);

private:
    // A place in dots, from twips on the printable area.
    QPointF toDevice(double xTwips, double yTwips) const;

    QPainter *m_painter = nullptr;
    QFont m_font;
    // The device's own dots per inch: fonts are sized in them, so a point is a point on paper
    // and on screen alike.
    double m_deviceDpi = kResolution;
    QPointF m_originDots;
    float m_x = 0;
    float m_y = 0;
    QList<Drawn> *m_record = nullptr;
};
