#include "ui/preview/previewcanvas.h"

#include "layout/letterjob.h"
#include "layout/markjob.h"
#include "layout/placement.h"
#include "layout/preflight.h"
#include "surfaces/japanesefont.h"
#include "surfaces/previewsurface.h"

#include <QKeyEvent>
#include <QPainter>

#include <cmath>

namespace {

// Grey around the sheet, so its edge shows even without the outline.
constexpr int kMarginPx = 16;
constexpr double kDotsPerMm = PainterSurface::kResolution / 25.4;
// A 0.6 mm mark is below a pixel when the whole sheet fits; a halo finds it at any zoom.
constexpr double kMarkHaloPx = 7;
constexpr double kMmPerPoint = 25.4 / 72;

} // namespace

PreviewCanvas::PreviewCanvas(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A4 landscape until the printer tells otherwise.
    m_page.pageSize = QPageSize(QPageSize::A4);
    m_page.orientation = QPageLayout::Landscape;
}

void PreviewCanvas::setLetter(const Letter &letter, const PrintOffset &offset)
{
    m_letter = letter;
    m_offset = offset;
    m_offsetProblem.clear();
    update();
}

void PreviewCanvas::setOffsetProblem(const QString &problem)
{
    m_offsetProblem = problem;
    update();
}

void PreviewCanvas::setPage(const PageGeometry &page)
{
    m_page = page;
    m_scaledScan = QPixmap();
    resize(sizeHint());
    update();
}

QSizeF PreviewCanvas::sheetMm() const
{
    const QSizeF upright = m_page.pageSize.size(QPageSize::Millimeter);
    return m_page.orientation == QPageLayout::Landscape ? upright.transposed() : upright;
}

void PreviewCanvas::setMarksShown(bool shown)
{
    m_marks = shown;
    update();
}

void PreviewCanvas::setScan(const QImage &scan)
{
    m_scan = scan;
    m_scaledScan = QPixmap();
    update();
}

void PreviewCanvas::setScanNudge(const QPoint &tenthsMm)
{
    m_nudge = tenthsMm;
    update();
}

void PreviewCanvas::setPixelsPerMm(double pixelsPerMm)
{
    m_pixelsPerMm = pixelsPerMm;
    m_scaledScan = QPixmap();
    resize(sizeHint());
    update();
}

QSize PreviewCanvas::sizeFor(const QSizeF &sheetMm, double pixelsPerMm)
{
    return (sheetMm * pixelsPerMm).toSize() + QSize(2 * kMarginPx, 2 * kMarginPx);
}

QSize PreviewCanvas::sizeHint() const
{
    return sizeFor(sheetMm(), m_pixelsPerMm);
}

QPointF PreviewCanvas::sheetCorner() const
{
    // Centred when the view is wider than the sheet.
    const QSize needed = sizeHint();
    return QPointF(kMarginPx + std::max(0, width() - needed.width()) / 2,
                   kMarginPx + std::max(0, height() - needed.height()) / 2);
}

void PreviewCanvas::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x80, 0x80, 0x80));
    const QRectF sheet(sheetCorner(), sheetMm() * m_pixelsPerMm);
    drawSheet(painter, sheet);
    drawEntries(painter, sheet);
}

void PreviewCanvas::drawSheet(QPainter &painter, const QRectF &sheet)
{
    painter.fillRect(sheet, Qt::white);
    if (!m_scan.isNull()) {
        if (m_scaledScan.isNull())
            m_scaledScan = QPixmap::fromImage(m_scan.scaled(
                sheet.size().toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        painter.save();
        painter.setClipRect(sheet);
        painter.drawPixmap(sheet.topLeft() + QPointF(m_nudge) * (m_pixelsPerMm / 10), m_scaledScan);
        painter.restore();
    }
    painter.setPen(QPen(Qt::black, 0));
    painter.drawRect(sheet);
    // The printable area: nothing outside it comes out of the printer.
    if (!m_page.printableMm.isEmpty()) {
        const QRectF area(sheet.topLeft() + m_page.printableMm.topLeft() * m_pixelsPerMm,
                          m_page.printableMm.size() * m_pixelsPerMm);
        painter.setPen(QPen(QColor(0x20, 0x60, 0xd0), 0, Qt::DashLine));
        painter.drawRect(area);
    }
}

void PreviewCanvas::drawEntries(QPainter &painter, const QRectF &sheet)
{
    if (m_fontFamily.isEmpty()) {
        QString ignored; // printing itself tells when no font prints Japanese
        m_fontFamily = japaneseFontFamily(&ignored);
    }
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.translate(sheet.topLeft());
    painter.scale(m_pixelsPerMm / kDotsPerMm, m_pixelsPerMm / kDotsPerMm);

    m_drawn.clear();
    PreviewPrinting printing(&painter, m_page.originMm, m_fontFamily, &m_drawn);
    PrintPlacement placement;
    QString problem = m_offsetProblem;
    if (problem.isEmpty())
        problem = printLetter(m_letter, m_offset, printing, placement);
    if (problem.isEmpty() && m_marks)
        problem = printMarks(m_offset, printing, placement);
    painter.restore();

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0xd0, 0x20, 0x20), 0));
    for (const PainterSurface::Drawn &drawn : std::as_const(m_drawn))
        if (drawn.text.isNull())
            painter.drawEllipse(sheet.topLeft() + drawn.mm * m_pixelsPerMm, kMarkHaloPx,
                                kMarkHaloPx);
    if (problem.isEmpty() && !m_fontFamily.isEmpty())
        drawWarnings(painter, sheet);

    if (problem != m_problem) {
        m_problem = problem;
        // Told after the paint: a label changed inside it would paint again.
        QMetaObject::invokeMethod(
            this, [this] { emit problemChanged(m_problem); }, Qt::QueuedConnection);
    }
}

void PreviewCanvas::drawWarnings(QPainter &painter, const QRectF &sheet)
{
    // The letter job drew the printed entries that are not empty in the order of Field.
    QList<const PainterSurface::Drawn *> texts;
    for (const PainterSurface::Drawn &drawn : std::as_const(m_drawn))
        if (!drawn.text.isNull())
            texts << &drawn;
    std::array<const PainterSurface::Drawn *, kFieldCount> byField{};
    for (int i = 0; i < kFieldCount && !texts.isEmpty(); ++i) {
        const Field field = fieldAt(i);
        if (!m_letter.text(field).isEmpty() &&
            (field != Field::DelegatedMatter || m_letter.delegatedMatterTicked()))
            byField[i] = texts.takeFirst();
    }
    for (const PreflightWarning &warning : preflight(m_letter, m_fontFamily)) {
        const PainterSurface::Drawn *drawn = byField[int(warning.field)];
        if (warning.kind == PreflightWarning::Empty || !drawn)
            continue;
        const double heightMm = drawn->points * kMmPerPoint;
        const QRectF box(drawn->mm.x(), drawn->mm.y() - heightMm, warning.widthMm, heightMm * 1.25);
        painter.drawRect(
            QRectF(sheet.topLeft() + box.topLeft() * m_pixelsPerMm, box.size() * m_pixelsPerMm));
    }
}

void PreviewCanvas::keyPressEvent(QKeyEvent *event)
{
    // Shift moves a whole millimetre, for a scan that starts far off.
    const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    QPoint by;
    switch (event->key()) {
    case Qt::Key_Left:
        by = QPoint(-step, 0);
        break;
    case Qt::Key_Right:
        by = QPoint(step, 0);
        break;
    case Qt::Key_Up:
        by = QPoint(0, -step);
        break;
    case Qt::Key_Down:
        by = QPoint(0, step);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (m_scan.isNull()) {
        QWidget::keyPressEvent(event);
        return;
    }
    setScanNudge(m_nudge + by);
    emit scanNudged(m_nudge);
}
