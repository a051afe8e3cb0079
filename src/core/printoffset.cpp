#include "core/printoffset.h"

#include "core/numbers.h"

#include <QCoreApplication>

namespace {

struct Offset
{
    Q_DECLARE_TR_FUNCTIONS(PrintOffset)
};

} // namespace

std::optional<qint32> parseOffset(const QString &typed, QString *reason)
{
    // A Japanese input method gives full-width digits and signs: they count as the plain ones.
    // The minus sign U+2212 has no plain form of its own.
    QString text = typed.normalized(QString::NormalizationForm_KC);
    text.replace(QChar(0x2212), QLatin1Char('-'));
    qint32 value = 0;
    if (const NumberError error = textToInt32(text, &value); error != NumberError::None) {
        *reason = numberErrorText(error);
        return std::nullopt;
    }
    // The bounds hold for the number as typed, so 1000.5 is refused rather than rounded in.
    float single = 0;
    textToSingle(text, &single);
    if (!withinOffsetRange(single)) {
        *reason = Offset::tr("調整できる範囲（-1000～1000）を超えています。"
                             "この範囲の数値を入力してください。");
        return std::nullopt;
    }
    return value;
}

QString leftRightBoxName()
{
    return Offset::tr("左右のズレ");
}

QString upDownBoxName()
{
    return Offset::tr("上下のズレ");
}
