#include "surfaces/pdfsurface.h"

#include "surfaces/pdfpagebox.h"
#include "system/paths.h"

#include <QDir>
#include <QPdfWriter>

std::unique_ptr<PdfSurface> PdfSurface::create(const PageGeometry &geometry,
                                               const QString &fontFamily, const QString &title,
                                               Deliver deliver, QString *error)
{
    std::unique_ptr<PdfSurface> surface(new PdfSurface);
    surface->m_deliver = std::move(deliver);
    surface->m_file.setFileTemplate(QDir::temp().filePath(QStringLiteral("sorafu-XXXXXX.pdf")));
    if (!surface->m_file.open()) {
        *error = tr("印刷データ用の一時ファイルを作成できません。\n%1")
                     .arg(whyNotWritten(surface->m_file.fileTemplate()));
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
        *error = tr("用紙「%1」のページを作成できません。"
                    "「プリンタ設定」で別の用紙を選んでください。")
                     .arg(geometry.pageSize.name());
        return nullptr;
    }
    if (!surface->m_painter.begin(&writer)) {
        *error = tr("印刷データを作成できません。もう一度お試しください。");
        return nullptr;
    }
    surface->m_sheetPoints = sheetPoints(geometry);
    surface->startDrawing(&surface->m_painter, geometry.originMm, fontFamily);
    return surface;
}

QSizeF sheetPoints(const PageGeometry &geometry)
{
    const QSizeF upright = geometry.uprightMm.isEmpty()
                               ? geometry.pageSize.size(QPageSize::Millimeter)
                               : geometry.uprightMm;
    return (geometry.orientation == QPageLayout::Landscape ? upright.transposed() : upright) *
           (72 / 25.4);
}

PdfSurface::~PdfSurface()
{
    // An unfinished page ends here and goes with the temporary file, unsent.
    if (m_painter.isActive())
        m_painter.end();
}

QString PdfSurface::EndDocument()
{
    if (m_finished)
        return tr("印刷データを送信できませんでした。もう一度お試しください。");
    m_finished = true;
    if (!m_painter.end() || !m_file.flush() || !fitPageToSheet())
        return pageNotWritten(whyNotWritten(m_file.fileName()));
    return m_deliver(m_file.fileName());
}

bool PdfSurface::fitPageToSheet()
{
    if (!m_file.seek(0))
        return false;
    QByteArray pdf = m_file.readAll();
    // A page not of the form Qt writes goes as it is, a fraction of a point larger.
    if (!setExactPageBox(&pdf, m_sheetPoints))
        return true;
    return m_file.seek(0) && m_file.write(pdf) == pdf.size() && m_file.resize(pdf.size()) &&
           m_file.flush();
}

QString PdfSurface::pageNotWritten(const QString &why)
{
    return tr("印刷データを保存できませんでした。\n%1").arg(why);
}
