#include "core/japaneseera.h"

#include <QDateTime>

#include <unicode/calendar.h>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/simpletz.h>
#include <unicode/unistr.h>

#include <memory>

std::optional<JapaneseEraDate> japaneseEraDate(const QDate &date)
{
    if (!date.isValid())
        return std::nullopt;

    // The day is taken at noon in a fixed zone, so no time-zone shift can move it into a
    // neighbouring day; the Japanese calendar reads that instant in the same zone. Setting the
    // fields on the Japanese calendar itself would take the year as an era year. Neither a
    // Gregorian calendar nor a date format is made: each loads locale data that costs every
    // start a megabyte or more.
    const UDate instant = UDate(QDateTime(date, QTime(12, 0), Qt::UTC).toMSecsSinceEpoch());
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale japaneseLocale("ja_JP@calendar=japanese");
    std::unique_ptr<icu::Calendar> japanese(icu::Calendar::createInstance(
        new icu::SimpleTimeZone(0, icu::UnicodeString(u"UTC")), japaneseLocale, status));
    if (U_FAILURE(status) || !japanese)
        return std::nullopt;
    japanese->setTime(instant, status);
    const int year = japanese->get(UCAL_YEAR, status);
    const int era = japanese->get(UCAL_ERA, status);

    const icu::DateFormatSymbols symbols(japaneseLocale, "japanese", status);
    int32_t count = 0;
    const icu::UnicodeString *names = symbols.getEraNames(count);
    if (U_FAILURE(status) || !names || era < 0 || era >= count || names[era].isEmpty())
        return std::nullopt;
    const icu::UnicodeString &name = names[era];
    return JapaneseEraDate{QString::fromUtf16(name.getBuffer(), name.length()), year};
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
