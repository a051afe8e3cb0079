#include "ui/history/historywindow.h"

#include "batch/batchcsv.h"
#include "history/history.h"
#include "history/historystore.h"
#include "ui/dialogs/messages.h"

#include <QDate>
#include <QDir>
#include <QHeaderView>
#include <QShortcut>
#include <QShowEvent>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <iterator>

namespace {

// The retention periods the list offers, in months, in its order.
constexpr int kRetentionMonths[] = {1, 3, 6, 12, 24, 36, 60};

// Each field's name as the clerk knows it from the main window, in the order of Field.
QString fieldLabel(Field field)
{
    const int index = static_cast<int>(field);
    if (index >= static_cast<int>(Field::Delegator1Reading)) {
        static const char *const kDelegatorLabels[] = {
            QT_TRANSLATE_NOOP("HistoryWindow", "フリガナ"),
            QT_TRANSLATE_NOOP("HistoryWindow", "氏名又は会社名"),
            QT_TRANSLATE_NOOP("HistoryWindow", "役職"),
            QT_TRANSLATE_NOOP("HistoryWindow", "代表者氏名"),
            QT_TRANSLATE_NOOP("HistoryWindow", "住所1"),
            QT_TRANSLATE_NOOP("HistoryWindow", "住所2"),
        };
        const int first = static_cast<int>(Field::Delegator1Reading);
        return HistoryWindow::tr("委任者%1 %2")
            .arg((index - first) / 6 + 1)
            .arg(HistoryWindow::tr(kDelegatorLabels[(index - first) % 6]));
    }
    static const char *const kLabels[] = {
        QT_TRANSLATE_NOOP("HistoryWindow", "受任者"),
        QT_TRANSLATE_NOOP("HistoryWindow", "委任内容"),
        QT_TRANSLATE_NOOP("HistoryWindow", "日付（年）"),
        QT_TRANSLATE_NOOP("HistoryWindow", "日付（月）"),
        QT_TRANSLATE_NOOP("HistoryWindow", "日付（日）"),
        QT_TRANSLATE_NOOP("HistoryWindow", "車台番号または登録番号"),
    };
    return HistoryWindow::tr(kLabels[index]);
}

QString letterDate(const Letter &letter)
{
    if (letter.text(Field::Year).isEmpty())
        return QString();
    return HistoryWindow::tr("%1年%2月%3日")
        .arg(letter.text(Field::Year), letter.text(Field::Month), letter.text(Field::Day));
}

QString delegators(const Letter &letter)
{
    QStringList names;
    for (Field name : {Field::Delegator1Name, Field::Delegator2Name, Field::Delegator3Name})
        if (!letter.text(name).isEmpty())
            names.append(letter.text(name));
    return names.join(HistoryWindow::tr("、"));
}

// Where the search found its text: the first searched field that holds it.
QString matchedField(const Letter &letter, const QString &search)
{
    const QString needle = HistoryStore::fold(search);
    if (needle.isEmpty())
        return QString();
    for (int i = 0; i < kFieldCount; ++i)
        if (HistoryStore::fold(letter.text(fieldAt(i))).contains(needle))
            return fieldLabel(fieldAt(i));
    return QString();
}

} // namespace

HistoryWindow::HistoryWindow(History &history, Messages &messages, const QDate &today,
                             QWidget *parent)
    : QWidget(parent, Qt::Window), m_history(history), m_messages(messages)
{
    m_ui.setupUi(this);
    m_ui.FromDate->setDate(today.addMonths(-1));
    m_ui.ToDate->setDate(today);
    // Every header whole; the cells widen their columns as the letters come in.
    m_ui.LetterList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_ui.ListSplitter->setSizes({3 * height(), 2 * height()});

    connect(m_ui.SearchTxt, &QLineEdit::textChanged, this, &HistoryWindow::search);
    connect(m_ui.PeriodCheck, &QCheckBox::toggled, this, [this](bool on) {
        m_ui.FromDate->setEnabled(on);
        m_ui.ToDate->setEnabled(on);
        search();
    });
    connect(m_ui.FromDate, &QDateEdit::dateChanged, this, &HistoryWindow::search);
    connect(m_ui.ToDate, &QDateEdit::dateChanged, this, &HistoryWindow::search);
    connect(m_ui.LetterList, &QTreeWidget::itemActivated, this, &HistoryWindow::onOpenBtnClicked);
    connect(m_ui.LetterList, &QTreeWidget::currentItemChanged, this, &HistoryWindow::showDetail);
    connect(m_ui.OpenBtn, &QPushButton::clicked, this, &HistoryWindow::onOpenBtnClicked);
    connect(m_ui.ReprintBtn, &QPushButton::clicked, this, &HistoryWindow::onReprintBtnClicked);
    connect(m_ui.DeleteBtn, &QPushButton::clicked, this, &HistoryWindow::onDeleteBtnClicked);
    connect(m_ui.ExportBtn, &QPushButton::clicked, this, &HistoryWindow::onExportBtnClicked);
    connect(m_ui.CloseBtn, &QPushButton::clicked, this, &QWidget::close);
    connect(m_ui.OfficeBtn, &QPushButton::clicked, this, &HistoryWindow::officeSettingsRequested);
    connect(m_ui.KeepCheck, &QCheckBox::clicked, this, &HistoryWindow::onKeepCheckClicked);
    connect(m_ui.RetentionCombo, &QComboBox::activated, this, &HistoryWindow::onRetentionChanged);
    // On the list only: in the search field the key deletes a character.
    auto *deleteKey = new QShortcut(QKeySequence::Delete, m_ui.LetterList);
    deleteKey->setContext(Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, &HistoryWindow::onDeleteBtnClicked);
    connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this, &QWidget::close);
    connect(&m_history, &History::found, this, &HistoryWindow::onFound);
    connect(&m_history, &History::changed, this, [this] {
        if (isVisible())
            search();
    });
}

void HistoryWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    showState();
    search();
    m_ui.SearchTxt->setFocus();
    m_ui.SearchTxt->selectAll();
}

void HistoryWindow::showState()
{
    const HistorySettings settings = m_history.settings();
    m_ui.KeepCheck->setChecked(settings.keep);
    const int *const end = std::end(kRetentionMonths);
    const int *month = std::find(std::begin(kRetentionMonths), end, settings.retentionMonths);
    m_ui.RetentionCombo->setCurrentIndex(month == end ? 3 : int(month - kRetentionMonths));
    m_ui.RetentionCombo->setEnabled(m_history.isOn());
}

void HistoryWindow::search()
{
    HistoryQuery query;
    query.text = m_ui.SearchTxt->text();
    if (m_ui.PeriodCheck->isChecked()) {
        query.from = m_ui.FromDate->date();
        query.to = m_ui.ToDate->date();
    }
    m_serial = m_history.search(query);
}

void HistoryWindow::onFound(int serial, const QList<HistoryLetter> &letters)
{
    if (serial != m_serial)
        return; // overtaken by what the user typed since
    m_letters = letters;
    QList<QTreeWidgetItem *> items;
    const QString searched = m_ui.SearchTxt->text();
    for (const HistoryLetter &kept : letters) {
        const Letter &letter = kept.letter;
        items.append(new QTreeWidgetItem(QStringList{
            kept.printedAt.toString(QStringLiteral("yyyy/MM/dd HH:mm")),
            letterDate(letter),
            letter.text(Field::ProxyName),
            delegators(letter),
            letter.text(Field::VehicleNumber),
            matchedField(letter, searched),
            kept.reprint ? tr("再印刷")
            : kept.batch ? tr("一括")
                         : QString(),
            kept.printer.isEmpty() ? kept.jobId : kept.printer,
            kept.pc,
            kept.user,
        }));
    }
    m_ui.LetterList->clear();
    m_ui.LetterList->addTopLevelItems(items);
    if (!items.isEmpty())
        m_ui.LetterList->setCurrentItem(items.first(), 0, QItemSelectionModel::NoUpdate);
    m_count = m_history.isOn() ? tr("%1 件（新しい順に 100 件まで表示します。"
                                    "もっと前のものは、文字や期間で絞り込んでください）")
                                     .arg(letters.size())
                               : tr("印刷履歴は残さない設定です。");
    m_ui.CountLabel->setText(m_outcome.isEmpty() ? m_count : m_outcome);
}

void HistoryWindow::showOutcome(const QString &outcome)
{
    m_outcome = outcome;
    m_ui.CountLabel->setText(outcome);
    // The list found meanwhile counts again after.
    QTimer::singleShot(4000, this, [this, outcome] {
        if (m_outcome != outcome)
            return;
        m_outcome.clear();
        m_ui.CountLabel->setText(m_count);
    });
}

void HistoryWindow::showDetail()
{
    const int row = m_ui.LetterList->indexOfTopLevelItem(m_ui.LetterList->currentItem());
    if (row < 0 || row >= m_letters.size())
        return m_ui.DetailTxt->clear();
    const Letter &letter = m_letters[row].letter;
    QStringList lines;
    for (int i = 0; i < kFieldCount; ++i) {
        const Field field = fieldAt(i);
        QString text = letter.text(field);
        if (field == Field::DelegatedMatter && !letter.delegatedMatterTicked())
            text = tr("%1（印刷しない）").arg(text);
        lines.append(tr("%1：%2").arg(fieldLabel(field), text));
    }
    m_ui.DetailTxt->setPlainText(lines.join(QLatin1Char('\n')));
}

QList<HistoryLetter> HistoryWindow::selectedLetters() const
{
    QList<HistoryLetter> selected;
    for (int row = 0; row < m_ui.LetterList->topLevelItemCount(); ++row)
        if (m_ui.LetterList->topLevelItem(row)->isSelected() && row < m_letters.size())
            selected.append(m_letters[row]);
    if (selected.isEmpty() && m_ui.LetterList->currentItem()) {
        const int row = m_ui.LetterList->indexOfTopLevelItem(m_ui.LetterList->currentItem());
        if (row >= 0 && row < m_letters.size())
            selected.append(m_letters[row]);
    }
    return selected;
}

void HistoryWindow::onOpenBtnClicked()
{
    const QList<HistoryLetter> selected = selectedLetters();
    if (selected.isEmpty())
        return;
    emit openRequested(selected.first());
    close();
}

void HistoryWindow::onReprintBtnClicked()
{
    const QList<HistoryLetter> selected = selectedLetters();
    if (!selected.isEmpty())
        emit reprintRequested(selected.first());
}

void HistoryWindow::onDeleteBtnClicked()
{
    const QList<HistoryLetter> selected = selectedLetters();
    if (selected.isEmpty() ||
        !m_messages.askYesNoDefaultNo(
            Messages::appTitle(),
            tr("選んだ %1 件の印刷履歴を削除します。よろしいですか？").arg(selected.size())))
        return;
    QList<qint64> ids;
    for (const HistoryLetter &letter : selected)
        ids.append(letter.id);
    m_history.remove(ids);
}

void HistoryWindow::onExportBtnClicked()
{
    const QList<HistoryLetter> selected = selectedLetters();
    if (selected.isEmpty())
        return;
    m_messages.setParent(this);
    const QString path = m_messages.csvFileToSave(
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
        tr("/委任状_印刷履歴_%1件.csv").arg(selected.size()));
    QList<Letter> letters;
    for (const HistoryLetter &letter : selected)
        letters.append(letter.letter);
    if (!path.isEmpty()) {
        if (const QString failure = writeFileAtomically(path, batchCsv(letters));
            !failure.isEmpty())
            m_messages.critical(Messages::appTitle(), failure);
        else
            showOutcome(tr("%1 件を %2 に書き出しました。")
                            .arg(selected.size())
                            .arg(QDir::toNativeSeparators(path)));
    }
    m_messages.setParent(parentWidget());
}

void HistoryWindow::onKeepCheckClicked(bool keep)
{
    if (!keep &&
        !m_messages.askYesNoDefaultNo(
            Messages::appTitle(), tr("印刷履歴を残さないようにすると、これまでの印刷履歴をすべて"
                                     "削除します。よろしいですか？"))) {
        m_ui.KeepCheck->setChecked(true);
        return;
    }
    m_history.setKeep(keep);
    showState();
    search();
}

void HistoryWindow::onRetentionChanged(int index)
{
    if (index >= 0 && index < int(std::size(kRetentionMonths)))
        m_history.setRetentionMonths(kRetentionMonths[index]);
}
