#include "layout/placement.h"

#include "layout/printsurface.h"
#include "core/numbers.h"
#include "system/texts.h"

#include <cmath>

static QString boxFailure(const QString &box, NumberError error)
{
    return texts::offsetUnusable(box, numberErrorText(error));
}

// A product or sum beyond the single-precision range is the box's overflow.
static bool finite(float value, const QString &box, QString *error)
{
    if (std::isfinite(value))
        return true;
    *error = boxFailure(box, NumberError::Overflow);
    return false;
}

static bool readBox(const QString &text, const QString &box, float *value, QString *error)
{
    const NumberError failure = textToSingle(text, value);
    if (failure != NumberError::None) {
        *error = boxFailure(box, failure);
        return false;
    }
    if (!withinOffsetRange(*value)) {
        *error = texts::offsetUnusable(box, texts::offsetOutOfRange());
        return false;
    }
    return true;
}

bool PrintPlacement::ReadPrintOffset(const QString &sayuuText, const QString &jyougeText,
                                     QString *error)
{
    return readBox(sayuuText, texts::leftRightBox(), &SayuuZure, error) &&
           readBox(jyougeText, texts::upDownBox(), &JyougeZure, error);
}

bool PrintPlacement::ComputeLetterOffset(QString *error)
{
    SayuuTwip = SayuuZure * kTwipsPerTenthMm;
    JyougeTwip = (JyougeZure - kLetterJyougeBias) * kTwipsPerTenthMm;
    return finite(SayuuTwip, texts::leftRightBox(), error) &&
           finite(JyougeTwip, texts::upDownBox(), error);
}

bool PrintPlacement::PlaceText(PrintSurface &surface, int points, float designX, float designY,
                               QString *error)
{
    surface.SetFontSize(points);
    const double size = surface.FontSize();
    // The size is a four-decimal fixed-point number; three times it is formed there, exactly,
    // and only then turned into a double.
    if (!std::isfinite(size) || std::fabs(size) > 1e9) {
        *error = texts::fontSizeUnusable(points);
        return false;
    }
    const qint64 tenThousandths = qRound64(size * 10000.0);
    MojiZure = double(3 * tenThousandths) / 10000.0 / -2.0;

    const float x = SayuuTwip + designX;
    const float y =
        float(MojiZure * double(kTwipsPerTenthMm) + (double(JyougeTwip) + double(designY)));
    if (!finite(x, texts::leftRightBox(), error) || !finite(y, texts::upDownBox(), error))
        return false;
    surface.SetCurrentX(x);
    surface.SetCurrentY(y);
    return true;
}

bool PrintPlacement::PlaceMark(float designX, float designY, MarkPlace *place, QString *error) const
{
    const double factor = double(kTwipsPerTenthMm);
    place->centreX = float(double(SayuuZure) * factor + double(designX));
    place->centreY = float(double(JyougeZure) * factor + double(designY));
    if (!finite(place->centreX, texts::leftRightBox(), error) ||
        !finite(place->centreY, texts::upDownBox(), error))
        return false;
    place->radius = float(double(MaruHankei) * factor);
    return true;
}
