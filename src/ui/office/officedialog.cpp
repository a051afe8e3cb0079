#include "ui/office/officedialog.h"

#include "office/officesettings.h"
#include "system/background.h"

#include <QPushButton>

#include <memory>

OfficeDialog::OfficeDialog(Background &background, const QString &settingsPath, QWidget *parent)
    : QDialog(parent), m_background(background), m_settingsPath(settingsPath)
{
    m_ui.setupUi(this);
    m_ui.ConnectionTxt->setText(officeConnection(settingsPath));
    connect(m_ui.TestBtn, &QPushButton::clicked, this, &OfficeDialog::onTestBtnClicked);
    connect(m_ui.Buttons, &QDialogButtonBox::accepted, this, &OfficeDialog::save);
    connect(m_ui.Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void OfficeDialog::onTestBtnClicked()
{
    const QString connection = m_ui.ConnectionTxt->text().trimmed();
    if (connection.isEmpty()) {
        m_ui.ResultLabel->setText(tr("空欄のときは、このパソコンの印刷履歴を使います。"));
        emit tested();
        return;
    }
    m_ui.TestBtn->setEnabled(false);
    m_ui.ResultLabel->setText(tr("接続しています…"));
    auto result = std::make_shared<QString>();
    m_background.run(
        this,
        [connection, result] {
            bool usable = false;
            *result = tryOfficeConnection(connection, &usable);
        },
        [this, result] {
            m_ui.ResultLabel->setText(*result);
            // The server's own reply may run to several lines: all of it is shown.
            adjustSize();
            m_ui.TestBtn->setEnabled(true);
            emit tested();
        });
}

void OfficeDialog::save()
{
    setOfficeConnection(m_settingsPath, m_ui.ConnectionTxt->text());
    accept();
}
