#include "ui/dialogs/messages.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace {

// The file dialog's sizes and dates in the Japanese form. Qt writes them by the system locale,
// which is left as LANG has it because the numbers the clerk types are read by it.
class JapaneseDetails : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const auto *files = qobject_cast<const QFileSystemModel *>(index.model());
        const QLocale japanese(QLocale::Japanese, QLocale::Japan);
        if (!files)
            return;
        if (index.column() == 1 && !files->isDir(index))
            option->text = japanese.formattedDataSize(files->size(index), 1,
                                                      QLocale::DataSizeTraditionalFormat);
        else if (index.column() == 3)
            option->text = japanese.toString(files->lastModified(index), QLocale::ShortFormat);
    }
};

} // namespace

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

bool QtMessages::askPrintAnyway(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, m_parent);
    QPushButton *print =
        box.addButton(QCoreApplication::translate("Messages", "印刷する"), QMessageBox::AcceptRole);
    QPushButton *stop =
        box.addButton(QCoreApplication::translate("Messages", "やめる"), QMessageBox::RejectRole);
    box.setDefaultButton(stop);
    box.setEscapeButton(stop);
    box.exec();
    return box.clickedButton() == print;
}

bool QtMessages::askYesNoDefaultNo(const QString &title, const QString &text)
{
    return QMessageBox::question(m_parent, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

Messages::Answer QtMessages::askYesNoCancel(const QString &title, const QString &text)
{
    switch (QMessageBox::question(m_parent, title, text,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                  QMessageBox::Yes)) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

QString QtMessages::fileName(const QString &caption, const QString &suggested,
                             const QString &filter, bool save)
{
    const QFileInfo file(suggested);
    QFileDialog dialog(m_parent, caption, file.path(), filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.selectFile(file.fileName());
    // Qt's own dialog (not the desktop's) has a detail view to mend.
    if (auto *details = dialog.findChild<QTreeView *>(QStringLiteral("treeView"))) {
        details->setItemDelegate(new JapaneseDetails(details));
        // The type and the date whole: 「PDF ドキュメント」, 「2026/12/07 17:16」.
        details->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
        details->header()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    }
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

QString QtMessages::pdfFileName(const QString &suggested)
{
    return fileName(QCoreApplication::translate("Messages", "PDFファイルの保存先"), suggested,
                    QCoreApplication::translate("Messages", "PDFファイル (*.pdf)"), true);
}

QString QtMessages::csvFileToOpen(const QString &folder)
{
    return fileName(
        QCoreApplication::translate("Messages", "一括印刷するCSVファイル"),
        folder + QLatin1Char('/'),
        QCoreApplication::translate("Messages", "CSVファイル (*.csv);;すべてのファイル (*)"),
        false);
}

QString QtMessages::csvFileToSave(const QString &suggested)
{
    return fileName(QCoreApplication::translate("Messages", "CSVファイルの保存先"), suggested,
                    QCoreApplication::translate("Messages", "CSVファイル (*.csv)"), true);
}

QString Messages::appTitle()
{
    return QCoreApplication::translate("Messages", "ソラフ");
}
