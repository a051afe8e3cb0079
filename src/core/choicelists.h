#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

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
