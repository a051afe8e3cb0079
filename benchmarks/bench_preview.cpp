// How long the 印刷イメージ takes to show one more keystroke: a character typed into a field
// of the main window, the preview's canvas redrawn at fit-to-window size, without and with a
// scan of the blank form underneath. Reports the median and the 99th percentile.
//   bench_preview [--rounds N] [--write-scan FILE.png]

#include "layout/letterjob.h"
#include "ui/main/letterform.h"
#include "desktop.h"
#include "ui/dialogs/japaneseui.h"
#include "ui/main/mainwindow.h"
#include "ui/preview/previewwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

// A stand-in for a 300 dpi scan of the blank form, A4 landscape: boxes and captions.
QImage blankForm()
{
    QImage form(3508, 2480, QImage::Format_RGB32);
    form.fill(QColor(0xfb, 0xf8, 0xef));
    QPainter painter(&form);
    painter.setRenderHint(QPainter::Antialiasing);
    const double dotsPerMm = 300 / 25.4;
    painter.scale(dotsPerMm, dotsPerMm);
    painter.setPen(QPen(QColor(0x70, 0x90, 0x90), 0.3));
    painter.drawRect(QRectF(10, 10, 277, 190));
    // Boxes around the places the entries print at, captions above them.
    for (const QRectF &box :
         {QRectF(60, 39, 100, 12), QRectF(200, 47, 60, 11), QRectF(200, 66, 60, 12),
          QRectF(38, 84, 110, 12), QRectF(56, 106, 110, 42), QRectF(178, 84, 105, 42),
          QRectF(178, 132, 105, 42)})
        painter.drawRect(box);
    QFont font(QStringLiteral("IPAGothic"));
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setPen(QColor(0x50, 0x60, 0x70));
    painter.drawText(QRectF(0, 16, 297, 16), Qt::AlignCenter, QStringLiteral("委　任　状"));
    font.setPixelSize(4);
    painter.setFont(font);
    painter.drawText(QPointF(60, 37.5), QStringLiteral("受任者"));
    painter.drawText(QPointF(200, 45.5), QStringLiteral("委任の内容"));
    painter.drawText(QPointF(200, 64.5), QStringLiteral("日付"));
    painter.drawText(QPointF(202, 76), QStringLiteral("令和"));
    for (const double x : {218.5, 235.0, 251.5})
        painter.drawText(QPointF(x, 76), QStringLiteral("年月日").mid(x < 220   ? 0
                                                                      : x < 240 ? 1
                                                                                : 2,
                                                                      1));
    painter.drawText(QPointF(38, 82.5), QStringLiteral("車台番号または登録番号"));
    for (const QPointF &at : {QPointF(56, 104.5), QPointF(178, 82.5), QPointF(178, 130.5)})
        painter.drawText(at, QStringLiteral("委任者（住所・氏名）"));
    return form;
}

struct Figures
{
    double median = 0;
    double p99 = 0;
};

Figures keystrokes(MainWindow &window, int rounds)
{
    QLineEdit *field = window.ui().IninShimei->lineEdit();
    PreviewCanvas *canvas = window.preview()->canvas();
    QList<double> ms;
    // The first rounds fill the glyph caches and scale the scan once for this zoom.
    const int warmUp = 20;
    for (int i = -warmUp; i < rounds; ++i) {
        if (i % 20 == 0) // a name of a believable length
            field->setText(QStringLiteral("株式会社ソラフ"));
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(field, Qt::Key_A);
        canvas->repaint(); // the paint the keystroke asked for, now rather than later
        if (i >= 0)
            ms << timer.nsecsElapsed() / 1e6;
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min<qsizetype>(ms.size() - 1, ms.size() * 99 / 100)]};
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path())); // not the user's own settings
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("rounds"), QStringLiteral("keystrokes per case"),
                      QStringLiteral("N"), QStringLiteral("300")});
    parser.addOption({QStringLiteral("write-scan"), QStringLiteral("only write the scan"),
                      QStringLiteral("FILE")});
    parser.process(app);
    if (parser.isSet(QStringLiteral("write-scan")))
        return blankForm().save(parser.value(QStringLiteral("write-scan"))) ? 0 : 1;
    const int rounds = parser.value(QStringLiteral("rounds")).toInt();

    useJapaneseUi();
    Desktop desktop;
    MainWindow window(desktop.services());
    desktop.attach(&window);
    window.load();
    // Every field filled, as a clerk's letter is.
    Letter letter;
    letter.setDelegatedMatterTicked(true);
    for (int i = 0; i < kFieldCount; ++i)
        letter.setText(fieldAt(i), QStringLiteral("東京都千代田区霞が関一丁目"));
    window.form().setLetter(letter);
    window.show();
    QTest::mouseClick(window.ui().ImejiBtn, Qt::LeftButton);
    PreviewWindow *preview = window.preview();
    if (!QTest::qWaitForWindowExposed(preview))
        return 1;
    QTest::qWait(200);

    const Figures plain = keystrokes(window, rounds);
    const QString scan = home.filePath(QStringLiteral("form.png"));
    blankForm().save(scan);
    preview->loadScan(scan);
    if (!QTest::qWaitFor([preview] { return !preview->loadingScan(); }, 30000) ||
        !preview->canvas()->hasScan())
        return 1;
    const Figures scanned = keystrokes(window, rounds);

    std::printf("preview %.0fx%.0f px (%.2f px/mm), %d keystrokes each, platform %s\n",
                preview->canvas()->sheetMm().width() * preview->canvas()->pixelsPerMm(),
                preview->canvas()->sheetMm().height() * preview->canvas()->pixelsPerMm(),
                preview->canvas()->pixelsPerMm(), rounds,
                qPrintable(QGuiApplication::platformName()));
    std::printf("items drawn: %d\n", int(preview->canvas()->drawn().size()));
    std::printf("plain sheet:    median %.2f ms  p99 %.2f ms\n", plain.median, plain.p99);
    std::printf("with 300 dpi scan: median %.2f ms  p99 %.2f ms\n", scanned.median, scanned.p99);
    return 0;
}
