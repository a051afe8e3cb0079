#include "ui/preview/formscan.h"

#include <QCoreApplication>
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

struct FormScan
{
    Q_DECLARE_TR_FUNCTIONS(FormScan)
};

// The whole message: which scan, why not, and that the preview goes on without it.
QString unusable(const QString &path, const QString &reason)
{
    return FormScan::tr("用紙の画像「%1」を読み込めません。%2\n"
                        "印刷イメージは用紙の画像なしで表示します。")
        .arg(QDir::toNativeSeparators(path), reason);
}

QString sizeAbsurd(const QSize &size)
{
    return FormScan::tr("画像の大きさ（%1×%2 画素）が用紙のスキャンとして不自然です。"
                        "100〜600 dpi でスキャンした画像を選んでください。")
        .arg(size.width())
        .arg(size.height());
}

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
    if (!QFileInfo(path).isFile()) {
        *error =
            unusable(path, FormScan::tr("ファイルが見つかりません。もう一度選び直してください。"));
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
            *error = unusable(path, sizeAbsurd(size));
            return QImage();
        }
        // A 600 dpi colour A4 scan is beyond Qt's default limit of 128 MB.
        QImageReader::setAllocationLimit(512);
        image = reader.read();
    }
    if (image.isNull()) {
#ifdef SORAFU_HAVE_POPPLER
        *error = unusable(path, FormScan::tr("PNG、JPEG または PDF のファイルを選んでください。"));
#else
        *error = unusable(path, FormScan::tr("PNG または JPEG のファイルを選んでください"
                                             "（PDF はこの環境では読み込めません）。"));
#endif
        return QImage();
    }
    if (!believable(image.size(), sheetMm)) {
        *error = unusable(path, sizeAbsurd(image.size()));
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
