#include "platform/numbers.h"

#include <QLocale>
#include <QRegularExpression>

#include <cfloat>
#include <cmath>
#include <limits>

static NumberError toDouble(const QString &text, double *value)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return NumberError::Empty;
    bool ok = false;
    const double parsed = QLocale::system().toDouble(trimmed, &ok);
    if (!ok) {
        // Qt refuses numbers beyond the double range instead of returning infinity.
        static const QRegularExpression numeric(
            QStringLiteral("^[+-]?[0-9]+([.,][0-9]*)?([eE][+-]?[0-9]+)?$"));
        if (numeric.match(trimmed).hasMatch())
            return NumberError::Overflow;
        return NumberError::NotANumber;
    }
    if (std::isnan(parsed))
        return NumberError::NotANumber;
    if (std::isinf(parsed))
        return NumberError::Overflow;
    *value = parsed;
    return NumberError::None;
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

QString numberErrorText(NumberError error)
{
    switch (error) {
    case NumberError::None:
        return QString();
    case NumberError::Empty:
        return QStringLiteral("数値が入力されていません。");
    case NumberError::NotANumber:
        return QStringLiteral("数値ではありません。");
    case NumberError::Overflow:
        return QStringLiteral("数値が大きすぎます（桁あふれ）。");
    }
    return QString();
}
