#include "ui/calibration/calibrationdialog.h"

#include "offsets/calibration.h"

#include <QPushButton>

#include <cmath>

namespace {

// Millimetres as typed, in the tenths the offsets count.
qint32 tenths(const QDoubleSpinBox *box)
{
    return qint32(std::lround(box->value() * 10.0));
}

} // namespace

CalibrationDialog::CalibrationDialog(const PrintOffset &current, QWidget *parent)
    : QDialog(parent), m_current(current)
{
    m_ui.setupUi(this);
    m_ui.buttons->button(QDialogButtonBox::Ok)->setText(tr("ズレに入れる"));
    m_ui.buttons->button(QDialogButtonBox::Cancel)->setText(tr("キャンセル"));
    connect(m_ui.buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui.buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Beyond the panel's reach (100 mm either way) no sheet lies on the form at all.
    for (QDoubleSpinBox *box : {m_ui.leftRight, m_ui.leftDown, m_ui.rightRight, m_ui.rightDown}) {
        box->setRange(-100.0, 100.0);
        box->setDecimals(1);
        box->setSingleStep(0.5);
        box->setSuffix(QStringLiteral(" mm"));
        connect(box, &QDoubleSpinBox::valueChanged, this, &CalibrationDialog::update);
    }
    update();
}

std::optional<PrintOffset> CalibrationDialog::result() const
{
    const Calibration calibration =
        calibrate(m_current, {tenths(m_ui.leftRight), tenths(m_ui.leftDown)},
                  {tenths(m_ui.rightRight), tenths(m_ui.rightDown)});
    if (!calibration.problem.isEmpty())
        return std::nullopt;
    return calibration.offset;
}

void CalibrationDialog::update()
{
    const Calibration calibration =
        calibrate(m_current, {tenths(m_ui.leftRight), tenths(m_ui.leftDown)},
                  {tenths(m_ui.rightRight), tenths(m_ui.rightDown)});
    const bool usable = calibration.problem.isEmpty();
    m_ui.resultLabel->setStyleSheet(usable ? QString() : QStringLiteral("color: #b00000;"));
    m_ui.resultLabel->setText(
        usable ? tr("今のズレ：左右 %1・上下 %2\n新しいズレ：左右 %3・上下 %4\n"
                    "「ズレに入れる」で調整画面に入れます（保存は「ズレ保存」で）。")
                     .arg(m_current.leftRight)
                     .arg(m_current.upDown)
                     .arg(calibration.offset.leftRight)
                     .arg(calibration.offset.upDown)
               : calibration.problem);
    m_ui.buttons->button(QDialogButtonBox::Ok)->setEnabled(usable);
}
