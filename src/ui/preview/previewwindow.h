#pragma once

#include "surfaces/pdfsurface.h"
#include "ui/preview/previewcanvas.h"
#include "ui_previewwindow.h"

#include <QWidget>

#include <functional>
#include <memory>

class Background;
class Messages;
class QSettings;

// 印刷イメージ: the page as 印刷 would send it, beside the main window and following it as the
// entries, the offsets and the printer change; optionally over a scan of the blank form.
class PreviewWindow : public QWidget
{
    Q_OBJECT

public:
    // The chosen printer's sheet and printable area. It may wait on the print service, so it
    // runs on a thread of its own and must own all it uses.
    using PageQuery = std::function<bool(PageGeometry *page, QString *error)>;
    // Makes a query for the printer as chosen at the moment it is called.
    using PageQueries = std::function<PageQuery()>;
    // Asks which scan to load; empty when the user cancels.
    using ScanPicker = std::function<QString(QWidget *parent)>;

    // Scans and the last known paper are kept in the settings file at settingsPath; empty
    // means the user's settings of this program.
    PreviewWindow(Messages &messages, Background &background, PageQueries queries,
                  const QString &settingsPath, QWidget *parent = nullptr);
    ~PreviewWindow() override;

    // The letter as it now reads, and the offset it is printed with.
    void setLetter(const Letter &letter, const PrintOffset &offset);
    // An offset box that cannot be used, and why: nothing is drawn until it can.
    void setOffsetProblem(const QString &problem);
    // Printer setup may have chosen another printer or paper: ask again.
    void printerChanged();
    // How a print asked for from `asked` ended: in the note for a few seconds when that is here.
    void showOutcome(QWidget *asked, const QString &outcome);
    // Reads the scan on a thread of its own; tells the user once if it cannot be used.
    void loadScan(const QString &path);
    void clearScan();
    bool loadingScan() const { return m_scanLoads > 0; }
    bool askingPrinter() const { return m_asking; }
    void setScanPicker(ScanPicker picker) { m_pickScan = std::move(picker); }

    PreviewCanvas *canvas() const { return m_canvas; }
    Ui::PreviewWindow &ui() { return m_ui; }

    // How long the printer may take before the last known paper is shown with a note.
    static constexpr int kPatienceMs = 3000;

signals:
    void printRequested();

protected:
    // The view's room changes with the window and with the note above it.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::unique_ptr<QSettings> settings() const;
    void askPrinter();
    void showPage(const PageGeometry &page, const QString &note);
    void onPageAnswer(bool known, const PageGeometry &page, const QString &error);
    void onScanBtnClicked();
    void onScanRead(const QString &path, const QImage &image, const QString &error);
    void onScanNudged(const QPoint &tenthsMm);
    void updateNote();
    // Writes the scan's settings now; tells once when they could not be kept.
    void keep(QSettings &settings);
    void fit();
    void zoomTo(double pixelsPerMm);
    double trueSizePixelsPerMm() const;

    Ui::PreviewWindow m_ui;
    PreviewCanvas *m_canvas;
    Messages &m_messages;
    Background &m_background;
    PageQueries m_queries;
    QString m_settingsPath;
    ScanPicker m_pickScan;
    bool m_fitting = true;
    bool m_asking = false;
    bool m_askAgain = false;
    int m_askSerial = 0;
    int m_scanLoads = 0;
    bool m_toldNotKept = false;
    QString m_pageNote;
    QString m_outcome;
};

// The last paper the printer told of, or A4 landscape, from the settings.
PageGeometry lastKnownPage(QSettings &settings);
