#include "core/numbers.h"

#include <QCoreApplication>
#include <QLocale>

#include <cfloat>
#include <cmath>
#include <limits>

// Qt gives zero and refuses a number too small to tell from zero; it is still a number.
static bool isUnderflow(const QLocale &locale, const QString &text)
{
    const qsizetype e = text.lastIndexOf(locale.exponential(), -1, Qt::CaseInsensitive);
    if (e <= 0)
        return false;
    bool mantissaOk = false;
    const double mantissa = locale.toDouble(text.left(e), &mantissaOk);
    if (!mantissaOk || !std::isfinite(mantissa))
        return false;
    const QString exponent = text.mid(e + 1);
    const QString minus = locale.negativeSign();
    if (!exponent.startsWith(minus) || exponent.size() == minus.size())
        return false;
    for (const QChar c : exponent.mid(minus.size()))
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

static NumberError toDouble(const QString &text, double *value)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return NumberError::Empty;
    const QLocale locale = QLocale::system();
    bool ok = false;
    const double parsed = locale.toDouble(trimmed, &ok);
    if (ok) {
        // Qt takes the words "inf" and "nan" for numbers; as an offset they are not.
        if (!std::isfinite(parsed))
            return NumberError::NotANumber;
        *value = parsed;
        return NumberError::None;
    }
    // A number beyond the double range is refused with an infinite result; any other refusal
    // (a wrong separator, a letter) is not a number, however many digits it has.
    if (std::isinf(parsed))
        return NumberError::Overflow;
    if (isUnderflow(locale, trimmed)) {
        *value = 0;
        return NumberError::None;
    }
    return NumberError::NotANumber;
}

NumberError textToInt32(const QString &text, qint32 *value)
{
    double parsed = 0;
    const NumberError error = toDouble(text, &parsed);
    if (error != NumberError::None)
        return error;
    // nearbyint follows the default rounding mode, round half to even.
    const double rounded = std::nearbyint(parsed);
    if (rounded < double(std::numeric_limits<qint32>::min()) ||
        rounded > double(std::numeric_limits<qint32>::max()))
        return NumberError::Overflow;
    *value = qint32(rounded);
    return NumberError::None;
}

NumberError textToSingle(const QString &text, float *value)
{
    double parsed = 0;
    const NumberError error = toDouble(text, &parsed);
    if (error != NumberError::None)
        return error;
    const float single = float(parsed);
    if (std::isinf(single))
        return NumberError::Overflow;
    *value = single;
    return NumberError::None;
}

QString int32ToText(qint32 value)
{
    return QString::number(value);
}

namespace {

struct Numbers
{
    Q_DECLARE_TR_FUNCTIONS(Numbers)
};

} // namespace

QString numberErrorText(NumberError error)
{
    switch (error) {
    case NumberError::None:
        return QString();
    case NumberError::Empty:
        return Numbers::tr("数値が入力されていません。半角の整数で入力してください（例：-15）。");
    case NumberError::NotANumber:
        return Numbers::tr("数値ではありません。半角の整数で入力してください（例：-15）。");
    case NumberError::Overflow:
        return Numbers::tr("数値が大きすぎます。-1000～1000 の範囲の整数にしてください。");
    }
    return QString();
}
