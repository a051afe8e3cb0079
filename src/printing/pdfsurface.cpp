#include "printing/pdfsurface.h"

#include "system/paths.h"
#include "system/texts.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPdfWriter>

#include <cmath>

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kMmPerInch = 25.4;
// Thin, yet a clear ring around a 0.6 mm mark.
constexpr double kCircleLineMm = 0.1;
// Far beyond any sheet: such a place is not drawn at all, it could not show anyway.
constexpr double kFarDots = 1e6;

bool nearPage(const QPointF &dots)
{
    return std::fabs(dots.x()) < kFarDots && std::fabs(dots.y()) < kFarDots;
}

} // namespace

std::unique_ptr<PdfSurface> PdfSurface::create(const PageGeometry &geometry,
                                               const QString &fontFamily, const QString &title,
                                               Deliver deliver, QString *error)
{
    std::unique_ptr<PdfSurface> surface(new PdfSurface);
    surface->m_deliver = std::move(deliver);
    surface->m_file.setFileTemplate(QDir::temp().filePath(QStringLiteral("sorafu-XXXXXX.pdf")));
    if (!surface->m_file.open()) {
        *error = texts::noTemporaryFile(whyNotWritten(surface->m_file.fileTemplate()));
        return nullptr;
    }

    surface->m_writer = std::make_unique<QPdfWriter>(&surface->m_file);
    QPdfWriter &writer = *surface->m_writer;
    writer.setResolution(kResolution);
    writer.setCreator(QStringLiteral("ソラフ"));
    writer.setTitle(title);
    // The whole sheet is the page; the printable corner is added to every place instead, so
    // nothing of it is left to the PDF engine's rounding of margins.
    QPageLayout layout(geometry.pageSize, geometry.orientation, QMarginsF());
    layout.setMode(QPageLayout::FullPageMode);
    if (!writer.setPageLayout(layout)) {
        *error = texts::pageUnavailable(geometry.pageSize.name());
        return nullptr;
    }
    if (!surface->m_painter.begin(&writer)) {
        *error = texts::cannotStartPage();
        return nullptr;
    }
    surface->m_originDots = geometry.originMm * (kResolution / kMmPerInch);
    surface->m_font = QFont(fontFamily);
    surface->m_font.setStyleHint(QFont::SansSerif, QFont::PreferOutline);
    surface->m_painter.setPen(QPen(Qt::black, kCircleLineMm * kResolution / kMmPerInch));
    surface->m_painter.setBrush(Qt::NoBrush);
    return surface;
}

PdfSurface::~PdfSurface()
{
    // An unfinished page ends here and goes with the temporary file, unsent.
    if (m_painter.isActive())
        m_painter.end();
}

QPointF PdfSurface::toDevice(double xTwips, double yTwips) const
{
    const double dotsPerTwip = kResolution / kTwipsPerInch;
    return m_originDots + QPointF(xTwips * dotsPerTwip, yTwips * dotsPerTwip);
}

void PdfSurface::SetFontSize(int points)
{
    if (points > 0)
        m_font.setPointSize(points);
}

double PdfSurface::FontSize() const
{
    return std::round(m_font.pointSizeF() * 10000.0) / 10000.0;
}

void PdfSurface::SetCurrentX(float twips)
{
    m_x = twips;
}

void PdfSurface::SetCurrentY(float twips)
{
    m_y = twips;
}

void PdfSurface::PrintText(const QString &text)
{
    if (text.isEmpty() || !m_painter.isActive())
        return;
    // Y is the top of the line; QPainter wants the baseline. Measured on the PDF device, in
    // fractions of a dot.
    const double ascent = QFontMetricsF(m_font, m_writer.get()).ascent();
    const QPointF baseline = toDevice(m_x, m_y) + QPointF(0, ascent);
    if (!nearPage(baseline))
        return;
    m_painter.setFont(m_font);
    m_painter.drawText(baseline, text);
}

void PdfSurface::DrawCircle(float centreX, float centreY, float radius)
{
    const QPointF centre = toDevice(centreX, centreY);
    if (!m_painter.isActive() || !nearPage(centre))
        return;
    const double r = std::fabs(radius) * (kResolution / kTwipsPerInch);
    m_painter.drawEllipse(centre, r, r);
}

QString PdfSurface::EndDocument()
{
    if (m_finished)
        return texts::pageAlreadyEnded();
    m_finished = true;
    if (!m_painter.end() || !m_file.flush())
        return texts::pageNotWritten(whyNotWritten(m_file.fileName()));
    return m_deliver(m_file.fileName());
}
