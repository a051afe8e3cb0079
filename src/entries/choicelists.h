#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

class QComboBox;

// Appends the items and selects one of them; a negative index selects none.
void fillChoiceList(QComboBox *list, const QStringList &items, int selected);

// Appends the items and leaves the given text, which need not be one of them, with no item
// selected.
void fillChoiceList(QComboBox *list, const QStringList &items, const QString &text);

// "01", "02", ... up to the count, as the month and day lists offer them.
QStringList twoDigitNumbers(int count);

// The starting texts of the date lists for a day.
struct DateTexts
{
    QString era;  // empty when the calendar could not tell it
    QString year; // the era year in plain digits, empty with the era
    QString month;
    QString day;
};
DateTexts dateTexts(const QDate &today);
