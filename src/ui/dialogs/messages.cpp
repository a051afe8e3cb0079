#include "ui/dialogs/messages.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

void QtMessages::warning(const QString &title, const QString &text)
{
    QMessageBox::warning(m_parent, title, text, QMessageBox::Ok);
}

void QtMessages::critical(const QString &title, const QString &text)
{
    QMessageBox::critical(m_parent, title, text, QMessageBox::Ok);
}

bool QtMessages::askYesNo(const QString &title, const QString &text)
{
    return QMessageBox::question(m_parent, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

QString QtMessages::pdfFileName(const QString &suggested)
{
    return QFileDialog::getSaveFileName(
        m_parent, QCoreApplication::translate("Messages", "PDFファイルの保存先"), suggested,
        QCoreApplication::translate("Messages", "PDFファイル (*.pdf)"));
}

QString Messages::appTitle()
{
    return QCoreApplication::translate("Messages", "ソラフ");
}
