#include "ui/preview/formscan.h"

#include "system/texts.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QTransform>

#ifdef SORAFU_HAVE_POPPLER
#include <poppler-qt6.h>
#endif

#include <cmath>
#include <memory>

namespace {

constexpr double kMmPerInch = 25.4;
// Scans from a fax-like 50 dpi up to a 1200 dpi archive copy are taken; anything outside is
// not a scan of this sheet (an icon, a photo of something else).
constexpr double kFewestDpi = 50;
constexpr double kMostDpi = 1200;
// A scanner's bed or a crop may differ from the sheet a little, not by a different shape.
constexpr double kShapeTolerance = 0.15;
// Finer than this shows nothing more on screen and only costs memory.
constexpr double kKeptDpi = 300;
constexpr double kPdfDpi = 200;

bool turned(const QSize &size, const QSizeF &sheetMm)
{
    return (size.width() > size.height()) != (sheetMm.width() > sheetMm.height());
}

// True when `size` (as it will lie) is a believable scan of the sheet.
bool believable(QSize size, const QSizeF &sheetMm)
{
    if (size.isEmpty() || sheetMm.isEmpty())
        return false;
    if (turned(size, sheetMm))
        size.transpose();
    const double dpi = size.width() / (sheetMm.width() / kMmPerInch);
    const double shape =
        (double(size.width()) / size.height()) / (sheetMm.width() / sheetMm.height());
    return dpi >= kFewestDpi && dpi <= kMostDpi && std::fabs(shape - 1) <= kShapeTolerance;
}

QImage readPdf(const QString &path)
{
#ifdef SORAFU_HAVE_POPPLER
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    if (!document || document->isLocked() || document->numPages() < 1)
        return QImage();
    const std::unique_ptr<Poppler::Page> page = document->page(0);
    return page ? page->renderToImage(kPdfDpi, kPdfDpi) : QImage();
#else
    Q_UNUSED(path);
    return QImage();
#endif
}

} // namespace

QImage readFormScan(const QString &path, const QSizeF &sheetMm, QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo(path).isFile()) {
        *error = texts::scanUnusable(shown, texts::scanMissing());
        return QImage();
    }
    QImage image;
    if (path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        image = readPdf(path);
    } else {
        QImageReader reader(path);
        const QSize size = reader.size();
        // Judged from the header, before a huge picture is decoded at all.
        if (size.isValid() && !believable(size, sheetMm)) {
            *error = texts::scanUnusable(shown, texts::scanSizeAbsurd(size.width(), size.height()));
            return QImage();
        }
        // A 600 dpi colour A4 scan is beyond Qt's default limit of 128 MB.
        QImageReader::setAllocationLimit(512);
        image = reader.read();
    }
    if (image.isNull()) {
        *error = texts::scanUnusable(shown, texts::scanNotAnImage());
        return QImage();
    }
    if (!believable(image.size(), sheetMm)) {
        *error = texts::scanUnusable(shown, texts::scanSizeAbsurd(image.width(), image.height()));
        return QImage();
    }
    if (turned(image.size(), sheetMm))
        image = image.transformed(QTransform().rotate(90));
    const int keptWidth = int(std::lround(sheetMm.width() / kMmPerInch * kKeptDpi));
    if (image.width() > keptWidth)
        image = image.scaledToWidth(keptWidth, Qt::SmoothTransformation);
    error->clear();
    return image.convertToFormat(QImage::Format_RGB32);
}
