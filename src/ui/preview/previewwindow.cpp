#include "ui/preview/previewwindow.h"

#include "system/background.h"
#include "system/settings.h"
#include "ui/dialogs/messages.h"
#include "ui/preview/formscan.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>

#include <algorithm>

namespace {

const QString kScan = QStringLiteral("preview/scan");
const QString kScanNudge = QStringLiteral("preview/scanNudge"); // tenths of a millimetre
const QString kPaperName = QStringLiteral("preview/paperName");
const QString kPaperSize = QStringLiteral("preview/paperSizeMm"); // upright
const QString kLandscape = QStringLiteral("preview/landscape");
const QString kOrigin = QStringLiteral("preview/originMm");
const QString kPrintable = QStringLiteral("preview/printableMm");

constexpr double kCloser = 2.0;
constexpr double kMmPerInch = 25.4;

struct PageAnswer
{
    bool known = false;
    PageGeometry page;
    QString error;
};

struct ScanAnswer
{
    QImage image;
    QString error;
};

QString paperName(const PageGeometry &page)
{
    return page.pageSize.name() + (page.orientation == QPageLayout::Landscape
                                       ? PreviewWindow::tr("・横")
                                       : PreviewWindow::tr("・縦"));
}

QString printerSilent()
{
    return PreviewWindow::tr("印刷サービスが応答しません");
}

QString paperUnknown(const QString &paper, const QString &reason)
{
    return PreviewWindow::tr(
               "プリンタから用紙の情報を取得できません。前回の用紙（%1）で表示しています。"
               "（%2）")
        .arg(paper, reason);
}

} // namespace

PageGeometry lastKnownPage(QSettings &settings)
{
    PageGeometry page;
    const QSizeF size = settings.value(kPaperSize).toSizeF();
    if (size.isEmpty()) {
        page.pageSize = QPageSize(QPageSize::A4);
        page.printableMm =
            QRectF(QPointF(), page.pageSize.size(QPageSize::Millimeter).transposed());
        return page;
    }
    page.pageSize = QPageSize(size, QPageSize::Millimeter, settings.value(kPaperName).toString());
    page.orientation =
        settings.value(kLandscape, true).toBool() ? QPageLayout::Landscape : QPageLayout::Portrait;
    page.originMm = settings.value(kOrigin).toPointF();
    page.printableMm = settings.value(kPrintable).toRectF();
    return page;
}

PreviewWindow::PreviewWindow(Messages &messages, Background &background, PageQueries queries,
                             const QString &settingsPath, QWidget *parent)
    : QWidget(parent, Qt::Window), m_canvas(new PreviewCanvas), m_messages(messages),
      m_background(background), m_queries(std::move(queries)), m_settingsPath(settingsPath)
{
    m_ui.setupUi(this);
    m_ui.scrollArea->setWidget(m_canvas);
    m_ui.scrollArea->installEventFilter(this);
    m_ui.noteLabel->hide();
    m_ui.nudgeLabel->hide();
    m_pickScan = [](QWidget *parent) {
#ifdef SORAFU_HAVE_POPPLER
        const QString filter = tr("用紙の画像（*.png *.jpg *.jpeg *.pdf）");
#else
        const QString filter = tr("用紙の画像（*.png *.jpg *.jpeg）");
#endif
        return QFileDialog::getOpenFileName(parent, tr("用紙の画像を選択"), QString(), filter);
    };

    connect(m_ui.fitBtn, &QPushButton::clicked, this, &PreviewWindow::fit);
    connect(m_ui.actualBtn, &QPushButton::clicked, this, [this] { zoomTo(trueSizePixelsPerMm()); });
    connect(m_ui.closerBtn, &QPushButton::clicked, this,
            [this] { zoomTo(kCloser * trueSizePixelsPerMm()); });
    connect(m_ui.marksCheck, &QCheckBox::toggled, m_canvas, &PreviewCanvas::setMarksShown);
    connect(m_ui.scanBtn, &QPushButton::clicked, this, &PreviewWindow::onScanBtnClicked);
    connect(m_ui.clearScanBtn, &QPushButton::clicked, this, &PreviewWindow::clearScan);
    connect(m_ui.printBtn, &QPushButton::clicked, this, &PreviewWindow::printRequested);
    connect(m_canvas, &PreviewCanvas::problemChanged, this, &PreviewWindow::updateNote);
    connect(m_canvas, &PreviewCanvas::scanNudged, this, &PreviewWindow::onScanNudged);

    const auto store = settings();
    showPage(lastKnownPage(*store), QString());
    m_canvas->setScanNudge(store->value(kScanNudge).toPoint());
    if (const QString scan = store->value(kScan).toString(); !scan.isEmpty())
        loadScan(scan);
    askPrinter();
    m_canvas->setFocus();
}

PreviewWindow::~PreviewWindow() = default;

std::unique_ptr<QSettings> PreviewWindow::settings() const
{
    return openSettings(m_settingsPath);
}

void PreviewWindow::setLetter(const Letter &letter, const PrintOffset &offset)
{
    m_canvas->setLetter(letter, offset);
}

void PreviewWindow::setOffsetProblem(const QString &problem)
{
    m_canvas->setOffsetProblem(problem);
}

void PreviewWindow::printerChanged()
{
    askPrinter();
}

void PreviewWindow::askPrinter()
{
    if (!m_queries) {
        onPageAnswer(false, PageGeometry(), printerSilent());
        return;
    }
    if (m_asking) {
        m_askAgain = true; // the answer on its way may be of the printer chosen before
        return;
    }
    m_asking = true;
    const int serial = ++m_askSerial;
    // Meanwhile the last known paper stays; past our patience, it says so.
    QTimer::singleShot(kPatienceMs, this, [this, serial] {
        if (m_asking && serial == m_askSerial) {
            m_pageNote = paperUnknown(paperName(m_canvas->page()), printerSilent());
            updateNote();
        }
    });
    auto answer = std::make_shared<PageAnswer>();
    m_background.run(
        this,
        [query = m_queries(), answer] { answer->known = query(&answer->page, &answer->error); },
        [this, answer] {
            m_asking = false;
            if (m_askAgain) {
                m_askAgain = false;
                askPrinter();
                return;
            }
            onPageAnswer(answer->known, answer->page, answer->error);
        });
}

void PreviewWindow::onPageAnswer(bool known, const PageGeometry &page, const QString &error)
{
    const auto store = settings();
    if (!known) {
        const PageGeometry last = lastKnownPage(*store);
        showPage(last, paperUnknown(paperName(last), error));
        return;
    }
    store->setValue(kPaperName, page.pageSize.name());
    store->setValue(kPaperSize, page.pageSize.size(QPageSize::Millimeter));
    store->setValue(kLandscape, page.orientation == QPageLayout::Landscape);
    store->setValue(kOrigin, page.originMm);
    store->setValue(kPrintable, page.printableMm);
    showPage(page, QString());
}

void PreviewWindow::showPage(const PageGeometry &page, const QString &note)
{
    m_canvas->setPage(page);
    m_ui.paperLabel->setText(paperName(page));
    m_pageNote = note;
    updateNote();
    if (m_fitting)
        fit();
}

void PreviewWindow::updateNote()
{
    QStringList lines;
    for (const QString &line : {m_canvas->problem(), m_pageNote, m_outcome})
        if (!line.isEmpty())
            lines << line;
    m_ui.noteLabel->setText(lines.join(QLatin1Char('\n')));
    m_ui.noteLabel->setVisible(!lines.isEmpty());
}

void PreviewWindow::showOutcome(QWidget *asked, const QString &outcome)
{
    if (asked != this)
        return;
    m_outcome = outcome;
    updateNote();
    QTimer::singleShot(4000, this, [this, outcome] {
        if (m_outcome == outcome)
            m_outcome.clear();
        updateNote();
    });
}

void PreviewWindow::onScanBtnClicked()
{
    const QString path = m_pickScan(this);
    if (!path.isEmpty())
        loadScan(path);
}

void PreviewWindow::loadScan(const QString &path)
{
    ++m_scanLoads;
    const QSizeF sheet = m_canvas->sheetMm();
    auto answer = std::make_shared<ScanAnswer>();
    m_background.run(
        this, [path, sheet, answer] { answer->image = readFormScan(path, sheet, &answer->error); },
        [this, path, answer] {
            --m_scanLoads;
            onScanRead(path, answer->image, answer->error);
        });
}

void PreviewWindow::onScanRead(const QString &path, const QImage &image, const QString &error)
{
    if (image.isNull()) {
        // What was shown before stays, and so does what the settings remember.
        m_messages.warning(Messages::appTitle(), error);
        return;
    }
    const auto store = settings();
    // Another scan lies differently: its own nudge starts from nothing.
    if (store->value(kScan).toString() != path) {
        store->setValue(kScan, path);
        store->setValue(kScanNudge, QPoint());
        m_canvas->setScanNudge(QPoint());
        keep(*store);
    }
    m_canvas->setScan(image);
    m_ui.nudgeLabel->show();
    m_canvas->setFocus();
}

void PreviewWindow::clearScan()
{
    const auto store = settings();
    store->remove(kScan);
    keep(*store);
    m_canvas->setScan(QImage());
    m_ui.nudgeLabel->hide();
}

void PreviewWindow::onScanNudged(const QPoint &tenthsMm)
{
    const auto store = settings();
    store->setValue(kScanNudge, tenthsMm);
    keep(*store);
}

void PreviewWindow::keep(QSettings &settings)
{
    settings.sync();
    // Once: every arrow key would tell it again.
    if (settings.status() == QSettings::NoError || m_toldNotKept)
        return;
    m_toldNotKept = true;
    m_messages.warning(Messages::appTitle(),
                       tr("印刷イメージの用紙の画像と、その位置の調整を保存できませんでした"
                          "（設定ファイルに書き込めません）。このプログラムを終了するまでは"
                          "そのまま使えますが、次の起動では元に戻ります。\n"
                          "次の設定ファイルとそのフォルダーに書き込めるようにしてください。\n%1")
                           .arg(QDir::toNativeSeparators(settings.fileName())));
}

bool PreviewWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui.scrollArea && event->type() == QEvent::Resize && m_fitting)
        fit();
    return QWidget::eventFilter(watched, event);
}

void PreviewWindow::fit()
{
    m_fitting = true;
    // The room without scroll bars: a fitted sheet needs none.
    const QSize room = m_ui.scrollArea->maximumViewportSize() - QSize(2, 2);
    const QSizeF sheet = m_canvas->sheetMm();
    const QSize margins = PreviewCanvas::sizeFor(QSizeF(), 1);
    const double pixelsPerMm = std::min((room.width() - margins.width()) / sheet.width(),
                                        (room.height() - margins.height()) / sheet.height());
    m_canvas->setPixelsPerMm(std::max(0.5, pixelsPerMm));
}

void PreviewWindow::zoomTo(double pixelsPerMm)
{
    m_fitting = false;
    m_canvas->setPixelsPerMm(pixelsPerMm);
}

double PreviewWindow::trueSizePixelsPerMm() const
{
    const QScreen *shown = screen();
    if (!shown)
        return 96 / kMmPerInch;
    // The monitor's own size when it tells a believable one; else what the desktop assumes.
    const double physical = shown->physicalDotsPerInchX();
    const double dpi = physical >= 50 && physical <= 600 ? physical : shown->logicalDotsPerInchX();
    return dpi / kMmPerInch;
}
