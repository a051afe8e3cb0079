#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

struct JapaneseEraDate
{
    QString era;  // 平成, 令和, ...
    int year = 0; // plain 1 in an era's first year, never 元年
};

// The era and era year of a day, from ICU's Japanese calendar, so an era that ICU learns of
// later is picked up without a change here. Nothing when the date is invalid or ICU fails.
std::optional<JapaneseEraDate> japaneseEraDate(const QDate &date);

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
