#include "entries/choicelists.h"

#include "entries/japaneseera.h"

#include <QComboBox>

void fillChoiceList(QComboBox *list, const QStringList &items, int selected)
{
    list->clear();
    list->addItems(items);
    list->setCurrentIndex(selected);
}

void fillChoiceList(QComboBox *list, const QStringList &items, const QString &text)
{
    // A combo box selects its first item as soon as it gets one, so the text goes in last.
    fillChoiceList(list, items, -1);
    list->setEditText(text);
}

QStringList twoDigitNumbers(int count)
{
    QStringList numbers;
    for (int n = 1; n <= count; ++n)
        numbers.append(QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')));
    return numbers;
}

DateTexts dateTexts(const QDate &today)
{
    DateTexts texts;
    if (const std::optional<JapaneseEraDate> era = japaneseEraDate(today)) {
        texts.era = era->era;
        texts.year = QString::number(era->year);
    }
    if (today.isValid()) {
        texts.month = QStringLiteral("%1").arg(today.month(), 2, 10, QLatin1Char('0'));
        texts.day = QStringLiteral("%1").arg(today.day(), 2, 10, QLatin1Char('0'));
    }
    return texts;
}
