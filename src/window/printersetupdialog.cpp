#include "window/printersetupdialog.h"

#include "system/texts.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr int kNameRole = Qt::UserRole;
constexpr int kPdfRole = Qt::UserRole + 1;

} // namespace

PrinterSetupDialog::PrinterSetupDialog(Spooler &spooler,
                                       const std::optional<PrinterChoice> &current, QWidget *parent)
    : QDialog(parent), m_spooler(spooler), m_current(current), m_printer(new QComboBox(this)),
      m_paper(new QComboBox(this)), m_portrait(new QRadioButton(QStringLiteral("縦"), this)),
      m_landscape(new QRadioButton(QStringLiteral("横"), this)), m_notice(new QLabel(this)),
      m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setWindowTitle(QStringLiteral("プリンタの設定"));
    setModal(true);
    m_printer->setObjectName(QStringLiteral("printerBox"));
    m_paper->setObjectName(QStringLiteral("paperBox"));
    m_portrait->setObjectName(QStringLiteral("portraitButton"));
    m_landscape->setObjectName(QStringLiteral("landscapeButton"));
    m_notice->setObjectName(QStringLiteral("noticeLabel"));
    m_notice->setWordWrap(true);
    m_notice->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_notice->hide();
    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));

    auto *orientation = new QHBoxLayout;
    orientation->addWidget(m_portrait);
    orientation->addWidget(m_landscape);
    orientation->addStretch();
    auto *group = new QButtonGroup(this);
    group->addButton(m_portrait);
    group->addButton(m_landscape);

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("プリンタ："), m_printer);
    form->addRow(QStringLiteral("用紙："), m_paper);
    form->addRow(QStringLiteral("印刷の向き："), orientation);
    form->addRow(m_notice);
    form->addRow(m_buttons);
    m_printer->setMinimumWidth(260);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    const bool landscape = !m_current || m_current->orientation == QPageLayout::Landscape;
    (landscape ? m_landscape : m_portrait)->setChecked(true);
    listDestinations();
    connect(m_printer, &QComboBox::currentIndexChanged, this,
            &PrinterSetupDialog::onPrinterChanged);
    onPrinterChanged();
}

void PrinterSetupDialog::listDestinations()
{
    QStringList names;
    QString defaultName;
    if (!m_spooler.destinations(&names, &defaultName, &m_destinationsProblem))
        m_destinationsProblem = texts::printersUnlisted(m_destinationsProblem);
    for (const QString &name : std::as_const(names)) {
        const QString shown =
            name == defaultName ? QStringLiteral("%1（既定のプリンタ）").arg(name) : name;
        m_printer->addItem(shown);
        m_printer->setItemData(m_printer->count() - 1, name, kNameRole);
        m_printer->setItemData(m_printer->count() - 1, false, kPdfRole);
    }
    m_printer->addItem(QStringLiteral("PDFファイル"));
    m_printer->setItemData(m_printer->count() - 1, true, kPdfRole);

    int selected = -1;
    if (m_current && m_current->pdfFile) {
        selected = m_printer->count() - 1;
    } else if (m_current) {
        selected = names.indexOf(m_current->destination);
        if (selected < 0 && m_destinationsProblem.isEmpty())
            m_destinationsProblem = texts::earlierPrinterGone(m_current->destination);
    }
    if (selected < 0)
        selected = names.indexOf(defaultName);
    if (selected < 0)
        selected = 0; // the first queue, or "PDF file" when there is none
    m_printer->setCurrentIndex(selected);
}

void PrinterSetupDialog::onPrinterChanged()
{
    const QString keep = m_paper->currentData().toString();
    m_paper->clear();
    m_notice->hide();

    const bool pdf = m_printer->currentData(kPdfRole).toBool();
    const QString name = m_printer->currentData(kNameRole).toString();
    PrinterPapers papers;
    QString problem;
    if (pdf) {
        papers.papers = pdfPapers();
        papers.defaultMedia = papers.papers.value(0).media;
    } else if (!m_spooler.papers(name, &papers, &problem)) {
        papers = PrinterPapers();
    }
    for (const Paper &paper : std::as_const(papers.papers))
        m_paper->addItem(paper.name, paper.media);

    // A queue keeps the paper picked here when it has it too; otherwise the paper saved before,
    // also on a queue that replaces a printer gone, else A4 where offered. A PDF file starts
    // from its saved paper, else A4.
    int selected = pdf ? -1 : m_paper->findData(keep);
    if (selected < 0 && m_current && m_current->pdfFile == pdf)
        selected = m_paper->findData(m_current->media);
    if (selected < 0)
        selected = m_paper->findData(preferredMedia(papers));
    if (selected < 0 && m_paper->count() > 0)
        selected = 0;
    m_paper->setCurrentIndex(selected);

    if (!problem.isEmpty())
        showNotice(problem);
    else if (!m_destinationsProblem.isEmpty())
        showNotice(m_destinationsProblem);
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(m_paper->count() > 0);
}

void PrinterSetupDialog::showNotice(const QString &text)
{
    m_notice->setText(text);
    m_notice->show();
}

PrinterChoice PrinterSetupDialog::choice() const
{
    PrinterChoice choice;
    choice.pdfFile = m_printer->currentData(kPdfRole).toBool();
    choice.destination = choice.pdfFile ? QString() : m_printer->currentData(kNameRole).toString();
    choice.media = m_paper->currentData().toString();
    choice.orientation = m_portrait->isChecked() ? QPageLayout::Portrait : QPageLayout::Landscape;
    return choice;
}

std::optional<PrinterChoice> PrinterSetupDialog::choose(Spooler &spooler,
                                                        const std::optional<PrinterChoice> &current,
                                                        QWidget *parent)
{
    PrinterSetupDialog dialog(spooler, current, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}
