#include "core/printoffset.h"

#include "core/numbers.h"

#include <QCoreApplication>

namespace {

struct Offset
{
    Q_DECLARE_TR_FUNCTIONS(PrintOffset)
};

} // namespace

std::optional<qint32> parseOffset(const QString &text, QString *reason)
{
    qint32 value = 0;
    if (const NumberError error = textToInt32(text, &value); error != NumberError::None) {
        *reason = numberErrorText(error);
        return std::nullopt;
    }
    // The bounds hold for the number as typed, so 1000.5 is refused rather than rounded in.
    float typed = 0;
    textToSingle(text, &typed);
    if (!withinOffsetRange(typed)) {
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
