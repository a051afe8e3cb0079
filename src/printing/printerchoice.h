#pragma once

#include "printing/spooler.h"

#include <QPageLayout>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

class QSettings;

// What printer setup chose: where the page goes, on which paper, which way round.
struct PrinterChoice
{
    // Written to a PDF file the user picks, instead of a print queue.
    bool pdfFile = false;
    QString destination;
    QString media;
    QPageLayout::Orientation orientation = QPageLayout::Landscape;
    // The device behind the queue, so that its offsets are found under a new queue name; empty
    // when the print service did not say. Not part of what makes two choices the same.
    QString deviceUri;
    // How its administrator describes the queue, when the setup learnt it; not kept.
    QString description;

    bool operator==(const PrinterChoice &other) const
    {
        return pdfFile == other.pdfFile && destination == other.destination &&
               media == other.media && orientation == other.orientation;
    }
};

// Nothing until printer setup was first confirmed.
std::optional<PrinterChoice> loadPrinterChoice(QSettings &settings);
// False when the settings could not be written.
bool savePrinterChoice(QSettings &settings, const PrinterChoice &choice);

// The paper of that media name, or null.
const Paper *findPaper(const QList<Paper> &papers, const QString &media);

// The paper to start from on a destination: A4, the form's paper, wherever it is offered (a
// queue's own default is often Letter, which takes the marks off the sheet), with borders or
// else borderless; else the destination's default, else its first paper.
QString preferredMedia(const PrinterPapers &papers);

// Leaves each size once, as the queue's papers are offered: where a size comes both with borders
// and borderless ("…_borderless", the whole sheet printable), with borders; a size that comes
// only borderless (driverless and photo printers) stays, under its own name. The default paper
// follows.
void offerEachSizeOnce(PrinterPapers *papers);

// A media name as a clerk reads it: "jis_b5_182x257mm" -> "B5（JIS）", "EnvMonarch" -> "封筒
// モナーク", "iso_a4_210x297mm_borderless" -> "A4（ふちなし）", a size without a common name ->
// "その他の用紙（100×150 mm）". A name libcups cannot read as a size comes back unchanged.
QString mediaDisplayName(const QString &media);

// The papers offered for PDF files, A4 first.
QList<Paper> pdfPapers();

// Where the printable area begins on the sheet as it is turned for printing. A landscape page
// goes onto the upright sheet turned a quarter left (its top along the sheet's left edge), as
// CUPS turns it, so its top-left corner lies at the sheet's bottom-left.
QPointF printableOriginMm(const QMarginsF &uprightMarginsMm, QPageLayout::Orientation orientation);
// The printable area on the sheet so turned, beginning at printableOriginMm.
QRectF printableAreaMm(const QSizeF &uprightSizeMm, const QMarginsF &uprightMarginsMm,
                       QPageLayout::Orientation orientation);
