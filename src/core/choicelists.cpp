#include "core/choicelists.h"

#include "core/japaneseera.h"

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
