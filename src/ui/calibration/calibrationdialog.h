#pragma once

#include "core/printoffset.h"
#include "ui_calibrationdialog.h"

#include <QDialog>

#include <optional>

// ズレを測って入力: where each printed ○ lay from the form's mark, and the offsets that follow,
// shown before anything is used.
class CalibrationDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CalibrationDialog(const PrintOffset &current, QWidget *parent = nullptr);
    // The new offsets, when the distances give usable ones.
    std::optional<PrintOffset> result() const;

private:
    void update();

    Ui::CalibrationDialog m_ui;
    PrintOffset m_current;
};
