#include "ui/preview/formscan.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QTransform>

#include "pdfpage/pdfpage.h"
#include "system/modules.h"

#include <cmath>

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

// A null image when the file is no PDF or cannot be shown; then `reason` is set when there is
// more to say than that. *readable is false when PDF files cannot be read at all here.
QImage readPdf(const QString &path, QString *reason, bool *readable)
{
    static const auto render = reinterpret_cast<RenderPdfPage>(
        moduleFunction(QLatin1String(kPdfPageModule), kRenderPdfPage));
    *readable = render != nullptr;
    QImage image;
    if (!render)
        return image;
    if (PdfPage(render(path, kPdfDpi, &image)) == PdfPage::NoPages)
        *reason = FormScan::tr("PDF にページがありません。"
                               "用紙をスキャンしたページのある PDF を選んでください。");
    return image;
}

// A JPEG ends its last scan with the end-of-image marker. Cut short (a copy broken off, a scan
// not finished) it has none after that scan, and Qt would show it grey below the cut. The
// markers are found only where they are meant: inside a scan an FF byte is always followed by
// 00 or a restart marker.
bool jpegComplete(const QByteArray &data)
{
    return data.lastIndexOf("\xFF\xD9") > data.lastIndexOf("\xFF\xDA");
}

} // namespace

QImage readFormScan(const QString &path, const QSizeF &sheetMm, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *error =
            unusable(path, FormScan::tr("ファイルが見つかりません。もう一度選び直してください。"));
        return QImage();
    }
    // A pipe or a device is never opened: reading one could wait for ever.
    if (!info.isFile()) {
        *error = unusable(path, FormScan::tr("通常のファイルではありません。"
                                             "用紙をスキャンした画像のファイルを選んでください。"));
        return QImage();
    }
    QImage image;
    QString reason;
    bool pdfReadable = true;
    if (path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        image = readPdf(path, &reason, &pdfReadable);
    } else {
        QFile file(path);
        QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        QBuffer buffer(&data);
        QImageReader reader(&buffer);
        const QSize size = reader.size();
        // Judged from the header, before a huge picture is decoded at all.
        if (size.isValid() && !believable(size, sheetMm)) {
            *error = unusable(path, sizeAbsurd(size));
            return QImage();
        }
        if (reader.format() == "jpeg" && !jpegComplete(data)) {
            *error =
                unusable(path, FormScan::tr("画像が途中で切れています。ファイルが壊れているか、"
                                            "コピーや保存が途中で終わっています。スキャンし直すか、"
                                            "元のファイルを選び直してください。"));
            return QImage();
        }
        // A 600 dpi colour A4 scan is beyond Qt's default limit of 128 MB.
        QImageReader::setAllocationLimit(512);
        image = reader.read();
    }
    if (image.isNull() && !reason.isEmpty()) {
        *error = unusable(path, reason);
        return QImage();
    }
    if (image.isNull()) {
        if (pdfReadable)
            *error =
                unusable(path, FormScan::tr("PNG、JPEG または PDF のファイルを選んでください。"));
        else
            *error = unusable(path, FormScan::tr("PNG または JPEG のファイルを選んでください"
                                                 "（PDF はこの環境では読み込めません）。"));
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
