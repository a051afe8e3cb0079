#include "core/printoffset.h"

#include "core/numbers.h"
#include "system/texts.h"

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
        *reason = texts::offsetOutOfRange();
        return std::nullopt;
    }
    return value;
}
