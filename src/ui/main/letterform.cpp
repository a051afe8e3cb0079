#include "ui/main/letterform.h"

#include "core/japaneseera.h"
#include "layout/preflight.h"
#include "ui/widgets/fulltexttip.h"
#include "ui_form1.h"

#include <QCompleter>
#include <QStringListModel>

#include <algorithm>

namespace {

// Appends the items and selects one of them; a negative index selects none.
void fillChoiceList(QComboBox *list, const QStringList &items, int selected)
{
    list->clear();
    list->addItems(items);
    list->setCurrentIndex(selected);
}

// Appends the items and leaves the given text, which need not be one of them, with no item
// selected.
void fillChoiceList(QComboBox *list, const QStringList &items, const QString &text)
{
    // A combo box selects its first item as soon as it gets one, so the text goes in last.
    fillChoiceList(list, items, -1);
    list->setEditText(text);
}

const Field kSuggesting[] = {
    Field::ProxyName,          Field::DelegatedMatter,          Field::Delegator1Reading,
    Field::Delegator1Name,     Field::Delegator1Representative, Field::Delegator1Address1,
    Field::Delegator1Address2, Field::Delegator1Title,          Field::Delegator2Title,
    Field::Delegator3Title,
};

} // namespace

LetterForm::LetterForm(Ui::Form1 &ui, QWidget *window) : QObject(window), m_ui(ui)
{
    // In the order of Field.
    m_fields = {ui.Combo10101, ui.Combo10201,       ui.Combo10301, ui.Combo10302, ui.Combo10303,
                ui.Text10501,  ui.cIninFuriganaBtn, ui.IninShimei, ui.Combo10601, ui.DaihyouShimei,
                ui.IninJyu1,   ui.IninJyu2,         ui.Text10701,  ui.Text10702,  ui.Combo10701,
                ui.Text10703,  ui.Text10704,        ui.Text10705,  ui.Text10801,  ui.Text10802,
                ui.Combo10801, ui.Text10803,        ui.Text10804,  ui.Text10805};
    m_startSelections.fill(-1);
    for (QWidget *field : m_fields) {
        if (auto *list = qobject_cast<QComboBox *>(field))
            connect(list, &QComboBox::currentTextChanged, this, &LetterForm::letterChanged);
        else
            connect(static_cast<QLineEdit *>(field), &QLineEdit::textChanged, this,
                    &LetterForm::letterChanged);
    }
    // Long addresses and names scroll out of their fields: the tooltip shows them whole. Each
    // takes twice what fits its column, so a paste too long is warned of before printing.
    for (int i = 0; i < kFieldCount; ++i) {
        auto *list = qobject_cast<QComboBox *>(m_fields[i]);
        QLineEdit *edit = list ? list->lineEdit() : static_cast<QLineEdit *>(m_fields[i]);
        showFullTextInToolTip(edit);
        edit->setMaxLength(fieldMaxLength(fieldAt(i)));
    }
    connect(ui.Check10201, &QCheckBox::toggled, this, &LetterForm::letterChanged);
    connect(ui.Check10201, &QCheckBox::clicked, this, &LetterForm::showDelegatedMatter);
    // Qt's own completer of an editable list fills in the rest of the first item that begins
    // with what was typed ("1" in the month list becomes "10") and that would be printed. No
    // list completes inline; only a completer that suggests in a popup may take its place.
    for (QComboBox *list : window->findChildren<QComboBox *>())
        list->setCompleter(nullptr);
}

Letter LetterForm::letter() const
{
    Letter letter;
    for (int i = 0; i < kFieldCount; ++i) {
        // A list field counts by the text in its edit field, whether picked or typed.
        if (const auto *list = qobject_cast<const QComboBox *>(m_fields[i]))
            letter.setText(fieldAt(i), list->currentText());
        else
            letter.setText(fieldAt(i), static_cast<const QLineEdit *>(m_fields[i])->text());
    }
    letter.setDelegatedMatterTicked(m_ui.Check10201->isChecked());
    return letter;
}

void LetterForm::setText(Field field, const QString &text)
{
    QWidget *widget = m_fields[static_cast<int>(field)];
    if (auto *list = qobject_cast<QComboBox *>(widget))
        list->setEditText(text);
    else
        static_cast<QLineEdit *>(widget)->setText(text);
}

void LetterForm::setLetter(const Letter &letter)
{
    for (int i = 0; i < kFieldCount; ++i)
        setText(fieldAt(i), letter.text(fieldAt(i)));
    m_ui.Check10201->setChecked(letter.delegatedMatterTicked());
    showDelegatedMatter();
}

std::optional<PrintOffset> LetterForm::offset(QString *error) const
{
    QString reason;
    const std::optional<qint32> leftRight = parseOffset(m_ui.Sayuu_Xtxt->text(), &reason);
    const std::optional<qint32> upDown =
        leftRight ? parseOffset(m_ui.Jyouge_Ytxt->text(), &reason) : std::nullopt;
    if (leftRight && upDown)
        return PrintOffset{*leftRight, *upDown};
    *error = tr("「%1」の値を使用できません。%2\n印刷はしていません。")
                 .arg(leftRight ? upDownBoxName() : leftRightBoxName(), reason);
    return std::nullopt;
}

void LetterForm::fillChoiceLists(const DateTexts &today)
{
    m_ui.Combo10201->hide();
    const QString empty;
    fillChoiceList(m_ui.Combo10101, {empty, empty}, 1);
    fillChoiceList(m_ui.Combo10201,
                   {QStringLiteral("名義変更"), QStringLiteral("抹消"), empty, empty}, 0);
    fillChoiceList(m_ui.cIninFuriganaBtn, {empty, empty, empty}, 0);
    fillChoiceList(m_ui.IninShimei, {empty, empty, empty}, 0);
    fillChoiceList(m_ui.DaihyouShimei, {empty, empty, empty}, 0);
    fillChoiceList(m_ui.IninJyu1, {empty, empty}, 0);
    fillChoiceList(m_ui.IninJyu2, {empty, empty}, 0);

    m_ui.Label10401->hide();
    m_ui.Label10402->hide();
    m_ui.Label10403->hide();
    m_ui.Label10404->hide();
    m_ui.Combo10401->hide();
    m_ui.Combo10402->hide();
    m_ui.Combo10403->hide();

    if (!today.era.isEmpty()) {
        m_ui.Label10301->setText(today.era);
        m_ui.Label10401->setText(today.era);
    }
    // The era's year and its neighbours: a letter is dated about today.
    QStringList years;
    bool known = false;
    const int year = today.year.toInt(&known);
    for (int near = std::max(year - 1, 1); known && near <= year + 1; ++near)
        years.append(QString::number(near));
    fillChoiceList(m_ui.Combo10301, years, today.year);
    fillChoiceList(m_ui.Combo10302, twoDigitNumbers(12), today.month);
    fillChoiceList(m_ui.Combo10303, twoDigitNumbers(31), today.day);
    fillChoiceList(m_ui.Combo10401, years, today.year);
    fillChoiceList(m_ui.Combo10402, twoDigitNumbers(12), today.month);
    fillChoiceList(m_ui.Combo10403, twoDigitNumbers(31), today.day);

    const QStringList titles = {QStringLiteral("代表取締役"), empty};
    fillChoiceList(m_ui.Combo10601, titles, 1);
    fillChoiceList(m_ui.Combo10701, titles, 1);
    fillChoiceList(m_ui.Combo10801, titles, 1);

    for (int i = 0; i < kFieldCount; ++i)
        if (const auto *list = qobject_cast<const QComboBox *>(m_fields[i]))
            m_startSelections[i] = list->currentIndex();
    m_fresh = letter();
}

void LetterForm::startNew(const DateTexts &today)
{
    for (int i = 0; i < kFieldCount; ++i) {
        if (auto *list = qobject_cast<QComboBox *>(m_fields[i])) {
            list->setCurrentIndex(-1);
            list->setCurrentIndex(m_startSelections[i]);
        } else {
            static_cast<QLineEdit *>(m_fields[i])->clear();
        }
    }
    m_ui.Check10201->setChecked(false);
    showDelegatedMatter();
    setText(Field::Year, today.year);
    setText(Field::Month, today.month);
    setText(Field::Day, today.day);
    m_fresh = letter();
    m_ui.Combo10101->setFocus();
}

QString LetterForm::fileName(const Letter &letter) const
{
    QString date;
    if (!letter.text(Field::Year).isEmpty())
        date = m_ui.Label10301->text() + letter.text(Field::Year) + QStringLiteral("年");
    if (!letter.text(Field::Month).isEmpty())
        date += letter.text(Field::Month) + QStringLiteral("月");
    if (!letter.text(Field::Day).isEmpty())
        date += letter.text(Field::Day) + QStringLiteral("日");
    QStringList parts{QStringLiteral("委任状"), letter.text(Field::Delegator1Name).trimmed(), date};
    parts.removeAll(QString());
    // No file name holds a slash or a NUL.
    return parts.join(QLatin1Char('_'))
        .replace(QLatin1Char('/'), QLatin1Char('_'))
        .replace(QChar(0), QLatin1Char('_'));
}

QList<Field> LetterForm::suggestingFields()
{
    return QList<Field>(std::begin(kSuggesting), std::end(kSuggesting));
}

void LetterForm::offerEarlierTexts(const QHash<QString, QStringList> &texts)
{
    for (Field field : kSuggesting) {
        auto *list = static_cast<QComboBox *>(m_fields[static_cast<int>(field)]);
        // A popup to pick from, never inline completion: what is typed stays as typed. The
        // list's own items are left as they are.
        auto *completer = list->completer();
        if (!completer || !qobject_cast<QStringListModel *>(completer->model())) {
            completer = new QCompleter(new QStringListModel(list), list);
            completer->setCompletionMode(QCompleter::PopupCompletion);
            completer->setCaseSensitivity(Qt::CaseInsensitive);
            completer->setFilterMode(Qt::MatchContains);
            completer->setModelSorting(QCompleter::UnsortedModel);
            list->setCompleter(completer);
        }
        static_cast<QStringListModel *>(completer->model())
            ->setStringList(texts.value(fieldKey(field)));
    }
}

void LetterForm::showDelegatedMatter()
{
    m_ui.Combo10201->setVisible(m_ui.Check10201->isChecked());
}
