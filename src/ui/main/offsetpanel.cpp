#include "ui/main/offsetpanel.h"

#include "core/numbers.h"
#include "core/offsetfiles.h"
#include "core/printoffset.h"
#include "offsets/printeroffsets.h"
#include "system/paths.h"
#include "ui_form1.h"

#include <QDir>
#include <QSignalBlocker>

#include <utility>

OffsetPanel::OffsetPanel(Ui::Form1 &ui, QWidget *window, PrinterOffsets *printers)
    : QObject(window), m_ui(ui), m_printers(printers), m_savedLeftRight(ui.Sayuu_Xtxt->text()),
      m_savedUpDown(ui.Jyouge_Ytxt->text())
{
    connect(ui.OnOffBtn, &QPushButton::clicked, this, &OffsetPanel::onOnOffBtnClicked);
    connect(ui.UpDownX, &UpDown::changed, this,
            [this](int value) { m_ui.Sayuu_Xtxt->setText(int32ToText(value)); });
    connect(ui.UpDownY, &UpDown::changed, this,
            [this](int value) { m_ui.Jyouge_Ytxt->setText(int32ToText(value)); });
    // An arrow steps from the number typed in the box, when it is one the panel reaches; the
    // spin takes it quietly, so only the step shows.
    for (const auto &[spin, box] :
         {std::pair{ui.UpDownX, ui.Sayuu_Xtxt}, std::pair{ui.UpDownY, ui.Jyouge_Ytxt}}) {
        connect(spin, &UpDown::aboutToStep, this, [spin, box] {
            QString unused;
            if (const std::optional<qint32> typed = parseOffset(box->text(), &unused)) {
                const QSignalBlocker quiet(spin);
                spin->setValue(*typed);
            }
        });
    }
    // Qt keeps two pixels of air inside each end of a field; the offset boxes take one of them
    // back on each side, so "-1000" shows whole instead of scrolled to "1000".
    for (QLineEdit *box : {ui.Sayuu_Xtxt, ui.Jyouge_Ytxt})
        box->setTextMargins(-1, 0, -1, 0);
}

QString OffsetPanel::load(const QString &directory)
{
    m_ui.CyouseiFrm->setToolTip(
        tr("ズレは、次のフォルダーの ini_x1.txt と ini_y1.txt に保存します。\n%1")
            .arg(QDir::toNativeSeparators(directory)));
    m_ui.CyouseiFrm->hide();
    m_directory = directory;
    const OffsetReadings readings = loadOffsetFiles(directory);
    showSaved({readings.leftRight.value, readings.upDown.value});
    m_files = {m_ui.UpDownX->value(), m_ui.UpDownY->value()};
    return offsetLoadWarning(readings);
}

void OffsetPanel::setOffset(const PrintOffset &offset)
{
    m_ui.UpDownX->setValue(offset.leftRight);
    m_ui.Sayuu_Xtxt->setText(int32ToText(m_ui.UpDownX->value()));
    m_ui.UpDownY->setValue(offset.upDown);
    m_ui.Jyouge_Ytxt->setText(int32ToText(m_ui.UpDownY->value()));
}

void OffsetPanel::showSaved(const PrintOffset &offset)
{
    setOffset(offset);
    m_savedLeftRight = m_ui.Sayuu_Xtxt->text();
    m_savedUpDown = m_ui.Jyouge_Ytxt->text();
}

QString OffsetPanel::usePrinter(const std::optional<PrinterIdentity> &printer, const QString &name,
                                QString *notice)
{
    notice->clear();
    m_printerName = name;
    if (printer == m_printer)
        return QString();
    m_printer = printer;
    QString problem;
    const std::optional<PrintOffset> kept =
        printer && m_printers ? m_printers->find(*printer, &problem) : std::nullopt;
    const PrintOffset offset = kept.value_or(m_files);
    const QString before = m_ui.Sayuu_Xtxt->text() + u'|' + m_ui.Jyouge_Ytxt->text();
    showSaved(offset);
    // The offset files always hold the offsets in use, for whoever else reads them.
    const QString unwritten =
        kept && !(*kept == m_files) ? writeFiles(m_savedLeftRight, m_savedUpDown) : QString();
    if (kept && unwritten.isEmpty())
        m_files = *kept;
    if (before != m_ui.Sayuu_Xtxt->text() + u'|' + m_ui.Jyouge_Ytxt->text())
        *notice = (kept ? tr("プリンタ「%1」のズレ（左右 %2・上下 %3）にしました")
                        : tr("プリンタ「%1」のズレは保存されていないため、ズレのファイルの値"
                             "（左右 %2・上下 %3）にしました"))
                      .arg(name, m_ui.Sayuu_Xtxt->text(), m_ui.Jyouge_Ytxt->text());
    if (!unwritten.isEmpty())
        return tr("プリンタ「%1」のズレ（左右 %2・上下 %3）を使いますが、ズレのファイル"
                  "（ini_x1.txt・ini_y1.txt）を書き換えられませんでした。\n\n%4")
            .arg(name, m_ui.Sayuu_Xtxt->text(), m_ui.Jyouge_Ytxt->text(), unwritten);
    if (problem.isEmpty() || m_printersWarned)
        return QString();
    // Told once a run: each later switch would only repeat it.
    m_printersWarned = true;
    return tr("プリンタごとのズレのファイルを使用できませんでした。\n\n%1\n\n"
              "ズレは ini_x1.txt・ini_y1.txt の値（左右 %2・上下 %3）を使います。"
              "ファイルは変更していません。ファイルを直すか別の名前に変えると、"
              "プリンタごとのズレを保存し直せます。")
        .arg(problem)
        .arg(m_files.leftRight)
        .arg(m_files.upDown);
}

QString OffsetPanel::reload(QString *notice)
{
    const std::optional<PrinterIdentity> printer = std::exchange(m_printer, std::nullopt);
    return usePrinter(printer, m_printerName, notice);
}

QString OffsetPanel::save(QString *saved)
{
    const QString leftRight = m_ui.Sayuu_Xtxt->text(), upDown = m_ui.Jyouge_Ytxt->text();
    // The boxes read as the files will hold them; a box that cannot be used is refused below.
    QString unused;
    const std::optional<qint32> x = parseOffset(leftRight, &unused);
    const std::optional<qint32> y = parseOffset(upDown, &unused);
    const bool forPrinter = m_printer && m_printers && x && y;
    std::optional<PrintOffset> before;
    if (forPrinter) {
        // The printer first: when its file takes nothing, nothing else changes either.
        before = m_printers->find(*m_printer, &unused);
        if (const QString failure = m_printers->save(*m_printer, PrintOffset{*x, *y});
            !failure.isEmpty())
            return tr("プリンタ「%1」のズレを保存できませんでした。\n\n%2\n\n"
                      "ズレのファイル（ini_x1.txt・ini_y1.txt）も変更していません。")
                .arg(m_printerName, failure);
    }
    const QString failure = writeFiles(leftRight, upDown);
    if (!failure.isEmpty()) {
        // The printer's entry goes back, so it never holds what the files do not.
        if (forPrinter)
            m_printers->save(*m_printer, before);
        return failure;
    }
    m_savedLeftRight = leftRight;
    m_savedUpDown = upDown;
    m_files = {x.value_or(0), y.value_or(0)};
    *saved = forPrinter ? tr("プリンタ「%1」のズレを保存しました（左右 %2・上下 %3）")
                              .arg(m_printerName)
                              .arg(m_files.leftRight)
                              .arg(m_files.upDown)
                        : tr("ズレを保存しました（左右 %1・上下 %2）")
                              .arg(m_files.leftRight)
                              .arg(m_files.upDown);
    return QString();
}

QString OffsetPanel::writeFiles(const QString &leftRight, const QString &upDown) const
{
    return saveOffsetFiles(
        {offsetFilePath(m_directory, kLeftRightFile), leftRightBoxName(), leftRight},
        {offsetFilePath(m_directory, kUpDownFile), upDownBoxName(), upDown});
}

bool OffsetPanel::unsaved() const
{
    return m_ui.Sayuu_Xtxt->text() != m_savedLeftRight || m_ui.Jyouge_Ytxt->text() != m_savedUpDown;
}

void OffsetPanel::onOnOffBtnClicked()
{
    const bool open = m_ui.OnOffBtn->isChecked();
    m_ui.OnOffBtn->setText(open ? QStringLiteral("調整") : QString());
    m_ui.CyouseiFrm->setVisible(open);
}
