#include "ui/main/offsetpanel.h"

#include "core/numbers.h"
#include "core/offsetfiles.h"
#include "core/printoffset.h"
#include "ui_form1.h"

#include <QDir>
#include <QSignalBlocker>

OffsetPanel::OffsetPanel(Ui::Form1 &ui, QWidget *window)
    : QObject(window), m_ui(ui), m_savedLeftRight(ui.Sayuu_Xtxt->text()),
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
    const OffsetReadings readings = loadOffsetFiles(directory);
    // The box shows what the spin took, which is the clamped value for one beyond its range.
    m_ui.UpDownX->setValue(readings.leftRight.value);
    m_ui.Sayuu_Xtxt->setText(int32ToText(m_ui.UpDownX->value()));
    m_ui.UpDownY->setValue(readings.upDown.value);
    m_ui.Jyouge_Ytxt->setText(int32ToText(m_ui.UpDownY->value()));
    m_savedLeftRight = m_ui.Sayuu_Xtxt->text();
    m_savedUpDown = m_ui.Jyouge_Ytxt->text();
    return offsetLoadWarning(readings);
}

QString OffsetPanel::save(const QString &directory, QString *saved)
{
    const QString leftRight = m_ui.Sayuu_Xtxt->text(), upDown = m_ui.Jyouge_Ytxt->text();
    const QString failure =
        saveOffsetFiles({offsetFilePath(directory, kLeftRightFile), leftRightBoxName(), leftRight},
                        {offsetFilePath(directory, kUpDownFile), upDownBoxName(), upDown});
    if (!failure.isEmpty())
        return failure;
    m_savedLeftRight = leftRight;
    m_savedUpDown = upDown;
    // The boxes read as the files now hold them.
    QString unused;
    *saved = tr("ズレを保存しました（左右 %1・上下 %2）")
                 .arg(parseOffset(leftRight, &unused).value_or(0))
                 .arg(parseOffset(upDown, &unused).value_or(0));
    return QString();
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
