#include "core/japaneseera.h"

#include <unicode/calendar.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <memory>

std::optional<JapaneseEraDate> japaneseEraDate(const QDate &date)
{
    if (!date.isValid())
        return std::nullopt;

    // The day is turned into an instant on a Gregorian calendar, at noon in one fixed zone, so
    // no time-zone shift can move it into a neighbouring day; the Japanese calendar reads the
    // same instant in the same zone. Setting the fields on the Japanese calendar itself would
    // take the year as an era year.
    UErrorCode status = U_ZERO_ERROR;
    const icu::TimeZone *utc = icu::TimeZone::getGMT();
    icu::GregorianCalendar gregorian(*utc, status);
    if (U_FAILURE(status))
        return std::nullopt;
    gregorian.clear();
    gregorian.set(date.year(), date.month() - 1, date.day(), 12, 0, 0);
    const UDate instant = gregorian.getTime(status);

    const icu::Locale japaneseLocale("ja_JP@calendar=japanese");
    std::unique_ptr<icu::Calendar> japanese(
        icu::Calendar::createInstance(utc->clone(), japaneseLocale, status));
    if (U_FAILURE(status) || !japanese)
        return std::nullopt;
    japanese->setTime(instant, status);
    const int year = japanese->get(UCAL_YEAR, status);

    icu::SimpleDateFormat format(icu::UnicodeString(u"GGGG"), japaneseLocale, status);
    if (U_FAILURE(status))
        return std::nullopt;
    format.setCalendar(*japanese);
    icu::UnicodeString era;
    format.format(instant, era);
    if (U_FAILURE(status) || era.isEmpty())
        return std::nullopt;

    return JapaneseEraDate{QString::fromUtf16(era.getBuffer(), era.length()), year};
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
