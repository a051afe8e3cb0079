#include "ui/dialogs/printersetupdialog.h"

#include "system/background.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <memory>

namespace {

constexpr int kNameRole = Qt::UserRole;
constexpr int kPdfRole = Qt::UserRole + 1;

} // namespace

PrinterSetupDialog::PrinterSetupDialog(Spooler &spooler, Background &background,
                                       const std::optional<PrinterChoice> &current, QWidget *parent)
    : QDialog(parent), m_spooler(spooler), m_background(background), m_current(current),
      m_printer(new QComboBox(this)), m_paper(new QComboBox(this)),
      m_portrait(new QRadioButton(QStringLiteral("縦"), this)),
      m_landscape(new QRadioButton(QStringLiteral("横"), this)), m_loading(new QLabel(this)),
      m_notice(new QLabel(this)),
      m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setWindowTitle(QStringLiteral("プリンタの設定"));
    setModal(true);
    m_printer->setObjectName(QStringLiteral("printerBox"));
    m_paper->setObjectName(QStringLiteral("paperBox"));
    m_portrait->setObjectName(QStringLiteral("portraitButton"));
    m_landscape->setObjectName(QStringLiteral("landscapeButton"));
    m_loading->setObjectName(QStringLiteral("loadingLabel"));
    m_loading->setStyleSheet(QStringLiteral("color: #606060;"));
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
    form->addRow(m_loading);
    form->addRow(m_notice);
    form->addRow(m_buttons);
    m_printer->setMinimumWidth(260);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    const bool landscape = !m_current || m_current->orientation == QPageLayout::Landscape;
    (landscape ? m_landscape : m_portrait)->setChecked(true);

    // Until the print service answers, the list holds what was chosen before, so that OK keeps it.
    if (m_current && !m_current->pdfFile) {
        m_printer->addItem(m_current->destination);
        m_printer->setItemData(0, m_current->destination, kNameRole);
        m_printer->setItemData(0, false, kPdfRole);
    }
    m_printer->addItem(QStringLiteral("PDFファイル"));
    m_printer->setItemData(m_printer->count() - 1, true, kPdfRole);
    m_printer->setCurrentIndex(m_current ? (m_current->pdfFile ? m_printer->count() - 1 : 0) : -1);
    connect(m_printer, &QComboBox::currentIndexChanged, this,
            &PrinterSetupDialog::onPrinterChanged);

    auto names = std::make_shared<QStringList>();
    auto defaultName = std::make_shared<QString>();
    auto descriptions = std::make_shared<QMap<QString, QString>>();
    auto problem = std::make_shared<QString>();
    Spooler *service = &m_spooler;
    ask(
        [=] {
            service->destinations(names.get(), defaultName.get(), descriptions.get(),
                                  problem.get());
        },
        [=] { listDestinations(*names, *defaultName, *descriptions, *problem); });
    onPrinterChanged();
}

void PrinterSetupDialog::ask(std::function<void()> work, std::function<void()> done)
{
    ++m_waiting;
    updateState();
    m_background.run(this, std::move(work), [this, done] {
        --m_waiting;
        done();
        updateState();
        if (m_waiting == 0)
            emit loaded();
    });
}

void PrinterSetupDialog::listDestinations(const QStringList &names, const QString &defaultName,
                                          const QMap<QString, QString> &descriptions,
                                          const QString &problem)
{
    m_listing = false;
    if (!problem.isEmpty()) {
        // Nothing is known, so nothing changes: what was chosen before stays chosen.
        m_destinationsProblem = tr("プリンタの一覧を取得できませんでした。"
                                   "PDFファイルには出力できます。\n") +
                                problem;
        return;
    }
    const bool pdf = m_printer->currentData(kPdfRole).toBool();
    const QString wanted = m_printer->currentData(kNameRole).toString();
    m_descriptions = descriptions;

    const QSignalBlocker blocker(m_printer);
    m_printer->clear();
    for (const QString &name : names) {
        const QString described = descriptions.value(name, name);
        const QString shown =
            name == defaultName ? QStringLiteral("%1（既定のプリンタ）").arg(described) : described;
        m_printer->addItem(shown);
        m_printer->setItemData(m_printer->count() - 1, name, kNameRole);
        m_printer->setItemData(m_printer->count() - 1, false, kPdfRole);
    }
    m_printer->addItem(QStringLiteral("PDFファイル"));
    m_printer->setItemData(m_printer->count() - 1, true, kPdfRole);

    int selected = -1;
    if (pdf) {
        selected = m_printer->count() - 1;
    } else if (!wanted.isEmpty()) {
        selected = names.indexOf(wanted);
        if (selected < 0)
            m_destinationsProblem = tr("これまで使っていたプリンタ「%1」が見つかりません。"
                                       "プリンタを選び直してください。")
                                        .arg(wanted);
    } else if (!m_current) {
        // Before the first setup jobs go to the default queue: that is the choice to show.
        selected = names.indexOf(defaultName);
    }
    // With no printer the file is all there is: nothing to choose.
    if (names.isEmpty())
        selected = m_printer->count() - 1;
    const bool same = selected >= 0 && selected == names.indexOf(wanted);
    m_printer->setCurrentIndex(selected);
    // The papers of the destination shown before are on their way already.
    if (!same || m_papersAsked == 0)
        onPrinterChanged();
}

void PrinterSetupDialog::onPrinterChanged()
{
    m_papersProblem.clear();
    const bool pdf = m_printer->currentData(kPdfRole).toBool();
    const QString name = m_printer->currentData(kNameRole).toString();
    const int asked = ++m_papersAsked;
    const bool before = m_current && !m_current->pdfFile && m_current->destination == name;
    m_deviceUri = before ? m_current->deviceUri : QString();
    if (pdf || name.isEmpty()) {
        PrinterPapers papers;
        if (pdf) {
            papers.papers = pdfPapers();
            papers.defaultMedia = papers.papers.value(0).media;
        }
        showPapers(papers, QString());
        updateState();
        return;
    }
    // Meanwhile the paper chosen before stays, so OK keeps it.
    if (before) {
        PrinterPapers kept;
        kept.papers = {{m_current->media, mediaDisplayName(m_current->media), {}, {}}};
        showPapers(kept, QString());
    } else {
        showPapers(PrinterPapers(), QString());
    }
    auto papers = std::make_shared<PrinterPapers>();
    auto problem = std::make_shared<QString>();
    auto device = std::make_shared<QString>();
    Spooler *service = &m_spooler;
    ask(
        [=] {
            service->papers(name, papers.get(), problem.get());
            *device = service->deviceUri(name);
        },
        [=] {
            if (asked != m_papersAsked)
                return; // another destination was chosen meanwhile
            if (!device->isEmpty())
                m_deviceUri = *device;
            if (!problem->isEmpty()) {
                m_papersProblem = *problem;
                return; // the paper chosen before stays as it was
            }
            showPapers(*papers, QString());
        });
}

void PrinterSetupDialog::showPapers(const PrinterPapers &papers, const QString &problem)
{
    const bool pdf = m_printer->currentData(kPdfRole).toBool();
    const QString name = m_printer->currentData(kNameRole).toString();
    const QString keep = m_paper->currentData().toString();
    m_paper->clear();
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
    m_papersProblem = problem;
}

void PrinterSetupDialog::updateState()
{
    const bool busy = m_waiting > 0;
    m_loading->setText(m_listing ? tr("プリンタの一覧を問い合わせています…")
                                 : tr("用紙を問い合わせています…"));
    m_loading->setVisible(busy);
    if (busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
    const QString problem = !m_papersProblem.isEmpty() ? m_papersProblem : m_destinationsProblem;
    m_notice->setText(problem);
    m_notice->setVisible(!problem.isEmpty());
    // A note that comes while the dialog is open makes room for all its lines: the window is
    // only kept at its minimum, which counts a wrapped note as one short line.
    if (isVisible()) {
        layout()->activate();
        if (const int needed = heightForWidth(width()); needed > height())
            resize(width(), needed);
    }
    m_buttons->button(QDialogButtonBox::Ok)
        ->setEnabled(m_printer->currentIndex() >= 0 && m_paper->count() > 0);
}

PrinterChoice PrinterSetupDialog::choice() const
{
    PrinterChoice choice;
    choice.pdfFile = m_printer->currentData(kPdfRole).toBool();
    choice.destination = choice.pdfFile ? QString() : m_printer->currentData(kNameRole).toString();
    choice.media = m_paper->currentData().toString();
    choice.orientation = m_portrait->isChecked() ? QPageLayout::Portrait : QPageLayout::Landscape;
    choice.deviceUri = choice.pdfFile ? QString() : m_deviceUri;
    choice.description = m_descriptions.value(choice.destination);
    return choice;
}

std::optional<PrinterChoice> PrinterSetupDialog::choose(Spooler &spooler, Background &background,
                                                        const std::optional<PrinterChoice> &current,
                                                        QWidget *parent)
{
    PrinterSetupDialog dialog(spooler, background, current, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}
