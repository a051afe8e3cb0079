#include "surfaces/paintersurface.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

#include <cmath>

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kMmPerInch = 25.4;
constexpr double kDotsPerMm = PainterSurface::kResolution / kMmPerInch;
// Thin, yet a clear ring around a 0.6 mm mark.
constexpr double kCircleLineMm = 0.1;
// Far beyond any sheet: such a place is not drawn at all, it could not show anyway.
constexpr double kFarDots = 1e6;

bool nearPage(const QPointF &dots)
{
    return std::fabs(dots.x()) < kFarDots && std::fabs(dots.y()) < kFarDots;
}

} // namespace

void PainterSurface::startDrawing(QPainter *painter, const QPointF &originMm,
                                  const QString &fontFamily)
{
    m_painter = painter;
    m_deviceDpi = painter->device()->logicalDpiY();
    m_originDots = originMm * kDotsPerMm;
    m_font = QFont(fontFamily);
    m_font.setStyleHint(QFont::SansSerif, QFont::PreferOutline);
    m_painter->setPen(QPen(Qt::black, kCircleLineMm * kDotsPerMm));
    m_painter->setBrush(Qt::NoBrush);
}

QPointF PainterSurface::toDevice(double xTwips, double yTwips) const
{
    const double dotsPerTwip = kResolution / kTwipsPerInch;
    return m_originDots + QPointF(xTwips * dotsPerTwip, yTwips * dotsPerTwip);
}

void PainterSurface::SetFontSize(int points)
{
    if (points > 0)
        m_font.setPointSizeF(points * kResolution / m_deviceDpi);
}

double PainterSurface::FontSize() const
{
    return std::round(m_font.pointSizeF() * m_deviceDpi / kResolution * 10000.0) / 10000.0;
}

void PainterSurface::SetCurrentX(float twips)
{
    m_x = twips;
}

void PainterSurface::SetCurrentY(float twips)
{
    m_y = twips;
}

void PainterSurface::PrintText(const QString &text)
{
    if (text.isEmpty() || !m_painter || !m_painter->isActive())
        return;
    // Y is the top of the line; QPainter wants the baseline. Measured on the device, in
    // fractions of a dot.
    const double ascent = QFontMetricsF(m_font, m_painter->device()).ascent();
    const QPointF baseline = toDevice(m_x, m_y) + QPointF(0, ascent);
    if (!nearPage(baseline))
        return;
    m_painter->setFont(m_font);
    m_painter->drawText(baseline, text);
    if (m_record)
        m_record->append({text, baseline / kDotsPerMm, FontSize(), 0});
}

void PainterSurface::DrawCircle(float centreX, float centreY, float radius)
{
    const QPointF centre = toDevice(centreX, centreY);
    if (!m_painter || !m_painter->isActive() || !nearPage(centre))
        return;
    const double r = std::fabs(radius) * (kResolution / kTwipsPerInch);
    m_painter->drawEllipse(centre, r, r);
    if (m_record)
        m_record->append({QString(), centre / kDotsPerMm, 0, r / kDotsPerMm});
}
