#pragma once

#include "core/letter.h"
#include "core/printoffset.h"
#include "surfaces/paintersurface.h"
#include "surfaces/pdfsurface.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

// The sheet as 印刷 would print it: the paper, its printable area, the scan of the blank form
// if any, and every entry drawn by the letter job (and the marks by the mark job) through a
// PrintSurface that paints here. It is handed the letter whenever an entry changes.
class PreviewCanvas : public QWidget
{
    Q_OBJECT

public:
    explicit PreviewCanvas(QWidget *parent = nullptr);

    void setLetter(const Letter &letter, const PrintOffset &offset);
    // An offset box that cannot be used: the entries are not drawn, and this says why.
    void setOffsetProblem(const QString &problem);
    void setPage(const PageGeometry &page);
    const PageGeometry &page() const { return m_page; }
    // The sheet as it lies for printing.
    QSizeF sheetMm() const;
    void setMarksShown(bool shown);
    // A null image shows a plain sheet.
    void setScan(const QImage &scan);
    bool hasScan() const { return !m_scan.isNull(); }
    // Where the scan lies against the sheet, in tenths of a millimetre.
    void setScanNudge(const QPoint &tenthsMm);
    QPoint scanNudge() const { return m_nudge; }
    void setPixelsPerMm(double pixelsPerMm);
    double pixelsPerMm() const { return m_pixelsPerMm; }
    // The room the sheet needs at a zoom.
    static QSize sizeFor(const QSizeF &sheetMm, double pixelsPerMm);

    // What the last paint drew: every text and ring, in millimetres on the sheet.
    const QList<PainterSurface::Drawn> &drawn() const { return m_drawn; }
    // Why the last paint could not draw the entries (an offset box that is not a number).
    const QString &problem() const { return m_problem; }

    QSize sizeHint() const override;

signals:
    void scanNudged(const QPoint &tenthsMm);
    void problemChanged(const QString &problem);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPointF sheetCorner() const;
    void drawSheet(QPainter &painter, const QRectF &sheet);
    void drawEntries(QPainter &painter, const QRectF &sheet);
    // A red box around each entry that would not print as typed.
    void drawWarnings(QPainter &painter, const QRectF &sheet);

    Letter m_letter;
    PrintOffset m_offset;
    QString m_offsetProblem;
    PageGeometry m_page;
    bool m_marks = false;
    QImage m_scan;
    QPixmap m_scaledScan; // the scan at the current zoom, made once per zoom
    QPoint m_nudge;
    double m_pixelsPerMm = 3;
    QString m_fontFamily;
    QList<PainterSurface::Drawn> m_drawn;
    QString m_problem;
};
