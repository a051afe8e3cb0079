// 印刷イメージ: the preview draws every item where the PDF page puts it, and the scan of the
// blank form is remembered across a restart or refused with one message.

#include "layout/letterjob.h"
#include "layout/markjob.h"
#include "layout/placement.h"
#include "surfaces/japanesefont.h"
#include "surfaces/pdfsurface.h"
#include "ui/preview/previewwindow.h"
#include "windowfixture.h"

#include <QBuffer>
#include <QPdfWriter>

#include <sys/stat.h>

using Drawn = QList<PainterSurface::Drawn>;

// The PDF page exactly as printing makes it, its drawing noted.
struct PdfPrinting : PrintTarget
{
    PageGeometry page;
    Drawn *record = nullptr;
    std::unique_ptr<PrintSurface> open(const QString &title, QString *error) override
    {
        auto surface = PdfSurface::create(
            page, japaneseFontFamily(error), title, [](const QString &) { return QString(); },
            error);
        surface->setRecord(record);
        return surface;
    }
    std::optional<AcceptedJob> accepted() const override { return std::nullopt; }
};

struct Preview
{
    FakeDesktop messages;
    std::unique_ptr<PreviewWindow> window;
    Preview(const QString &settings, const PageGeometry &page)
    {
        window = std::make_unique<PreviewWindow>(
            messages, messages.background,
            [page] { return [page](PageGeometry *p, QString *) { return *p = page, true; }; },
            settings);
        QTRY_VERIFY(!window->askingPrinter() && !window->loadingScan());
    }
};

class TstPreview : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    // Generic PDF Printer's A4, landscape: the printable area starts 6.35 mm across, 12.7 down.
    static PageGeometry a4()
    {
        return {QPageSize(QPageSize::A4), QPageLayout::Landscape, QPointF(6.35, 12.7),
                QRectF(6.35, 12.7, 284.3, 190.5)};
    }

private slots:
    // The offsets, and an offset box that cannot be used.
    void placement_data()
    {
        rows(R"(
            no shift | 0 | 40 | -
            shifted | -15 | 53 | -
            letters in a box: nothing drawn | 0 | 40 | 1x)");
    }
    void placement()
    {
        QFETCH(QStringList, row);
        const int sayuu = row[0].toInt(), jyouge = row[1].toInt();
        const QString problem = row[2];
        const int items = problem.isEmpty() ? 26 : 0; // 24 letter items with text, and 2 marks
        Letter letter;
        letter.setDelegatedMatterTicked(true);
        for (int i = 0; i < kFieldCount; ++i)
            letter.setText(fieldAt(i), QStringLiteral("委任%1").arg(i));
        const PrintOffset offset{sayuu, jyouge};

        Drawn printed;
        PdfPrinting pdf;
        pdf.page = a4();
        pdf.record = &printed;
        PrintPlacement placement;
        if (problem.isEmpty()) {
            printLetter(letter, offset, pdf, placement);
            printMarks(offset, pdf, placement);
        }

        Preview preview(m_dir.filePath("placement.ini"), a4());
        preview.window->setLetter(letter, offset);
        if (!problem.isEmpty())
            preview.window->setOffsetProblem(problem);
        preview.window->ui().marksCheck->setChecked(true);
        preview.window->canvas()->grab();
        const Drawn &shown = preview.window->canvas()->drawn();
        QCOMPARE(shown.size(), items);
        QCOMPARE(printed.size(), items);
        for (int i = 0; i < items; ++i) {
            QCOMPARE(shown[i].text, printed[i].text);
            QCOMPARE(shown[i].points, printed[i].points);
            QCOMPARE(shown[i].radiusMm, printed[i].radiusMm);
            const QPointF off = shown[i].mm - printed[i].mm;
            QVERIFY2(std::max(std::fabs(off.x()), std::fabs(off.y())) < 0.1,
                     qPrintable(printed[i].text));
        }
        // The marks where the form has them, the offsets added as they are: rings of 0.3 mm.
        for (int i = 24; i < items; ++i) {
            const QPointF twips((i == 24 ? 1615.9501 : 15756.931) + sayuu * 5.67,
                                1088.64 + jyouge * 5.67);
            const QPointF expected = QPointF(6.35, 12.7) + twips * (25.4 / 1440);
            QVERIFY(QLineF(printed[i].mm, expected).length() < 0.01);
            QVERIFY(std::fabs(printed[i].radiusMm - 0.3) < 0.001);
        }
        QCOMPARE(preview.window->canvas()->problem(), problem);
    }

    void scan_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("refusal"); // empty: kept across a restart
        const auto image = [](int width, int height, const char *format) {
            QImage picture(width, height, QImage::Format_RGB32);
            picture.fill(Qt::white);
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            picture.save(&buffer, format);
            return buffer.data();
        };
        QTest::newRow("PNG at 150 dpi") << "form.png" << image(1754, 1240, "PNG") << QString();
        QTest::newRow("JPEG, upright") << "form.jpg" << image(1240, 1754, "JPEG") << QString();
        QBuffer pdf;
        pdf.open(QIODevice::WriteOnly);
        QPdfWriter writer(&pdf);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, {}));
        QPainter(&writer).drawText(100, 100, QStringLiteral("委任状"));
        QTest::newRow("PDF") << "form.pdf" << pdf.data() << QString();
        QTest::newRow("broken PNG") << "bad.png" << QByteArray("\x89PNG\r\n\x1a\nrest")
                                    << QString("PNG、JPEG または PDF "
                                               "のファイルを選んでください。");
        QTest::newRow("an icon") << "icon.png" << image(32, 32, "PNG")
                                 << QString("（32×32 画素）が"
                                            "用紙のスキャンとして不自然");
        QTest::newRow("gone") << "gone.png" << QByteArray()
                              << QString("ファイルが見つかりません。"
                                         "もう一度選び直してください。");
        QTest::newRow("a pipe") << "pipe.png" << QByteArray("<fifo>")
                                << QString("通常のファイルではありません。");
        QTest::newRow("PDF without a page")
            << "empty.pdf"
            << QByteArray("%PDF-1.4\n1 0 obj <</Type /Catalog /Pages 2 0 R>> endobj\n"
                          "2 0 obj <</Type /Pages /Kids [] /Count 0>> endobj\n"
                          "trailer <</Root 1 0 R>>\n%%EOF\n")
            << QString("PDF にページがありません。");
        const QByteArray jpeg = image(1240, 1754, "JPEG");
        QTest::newRow("JPEG cut in half") << "cut.jpg" << jpeg.left(jpeg.size() / 2)
                                          << QString("画像が途中で"
                                                     "切れています。");
    }
    void scan()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, refusal);
        const QString settings = m_dir.filePath(name + ".ini");
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (content == "<fifo>")
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(content.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(content)));
        file.close();
        {
            Preview first(settings, a4());
            first.window->loadScan(path);
            QTRY_VERIFY(!first.window->loadingScan());
            QCOMPARE(first.messages.shown.size(), refusal.isEmpty() ? 0 : 1);
            if (!refusal.isEmpty())
                QVERIFY(first.messages.shown[0].contains(refusal));
            QCOMPARE(first.window->canvas()->hasScan(), refusal.isEmpty());
            QTest::keyClick(first.window->canvas(), Qt::Key_Right);
            QTest::keyClick(first.window->canvas(), Qt::Key_Down, Qt::ShiftModifier);
        }
        Preview again(settings, a4());
        QCOMPARE(again.window->canvas()->hasScan(), refusal.isEmpty());
        QCOMPARE(again.window->canvas()->scanNudge(), refusal.isEmpty() ? QPoint(1, 10) : QPoint());
        QVERIFY(again.messages.shown.isEmpty());
    }
};

QTEST_MAIN(TstPreview)
#include "tst_preview.moc"
