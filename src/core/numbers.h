#pragma once

#include <QString>
#include <QtGlobal>

// Text to number the way the clerk's locale writes numbers: blanks around the number are
// ignored, a sign is allowed, the decimal separator is the locale's.
enum class NumberError { None, Empty, NotANumber, Overflow };

// A fraction is rounded to the nearest whole number, a half to the even neighbour
// (2.5 -> 2, 3.5 -> 4, -2.5 -> -2); beyond 32 bits is an overflow.
NumberError textToInt32(const QString &text, qint32 *value);

// Rounded to single precision; beyond the single-precision range is an overflow.
NumberError textToSingle(const QString &text, float *value);

// How far the offset boxes reach either way, in tenths of a millimetre, as the panel's arrows
// do. Further off, every item of the sheet lands beside the paper.
inline constexpr int kOffsetLimit = 1000;
inline bool withinOffsetRange(double tenths)
{
    return tenths >= -kOffsetLimit && tenths <= kOffsetLimit;
}

// Decimal text: an optional "-" and digits, no blank, no leading zeros, no group separators.
QString int32ToText(qint32 value);

// Why the text was refused, in Japanese, for a message to the user.
QString numberErrorText(NumberError error);
