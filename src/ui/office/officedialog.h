#pragma once

#include "ui_officedialog.h"

#include <QDialog>

class Background;

// 共有設定: where the office's shared history is, tested before it is kept. The test runs off
// the GUI thread; the choice is used from the next start.
class OfficeDialog : public QDialog
{
    Q_OBJECT

public:
    // The settings in the file at settingsPath, empty meaning the user's own.
    OfficeDialog(Background &background, const QString &settingsPath, QWidget *parent);

    Ui::OfficeDialog &ui() { return m_ui; }

signals:
    // The test's result is shown (tests wait for it).
    void tested();

private:
    void onTestBtnClicked();
    void save();

    Background &m_background;
    QString m_settingsPath;
    Ui::OfficeDialog m_ui;
};
