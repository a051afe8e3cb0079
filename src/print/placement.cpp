#include "print/placement.h"

#include "platform/numbers.h"
#include "platform/printsurface.h"
#include "platform/texts.h"

#include <cmath>

static QString boxFailure(const QString &box, NumberError error)
{
    return texts::offsetUnusable(box, numberErrorText(error));
}

static NumberError readBox(const QString &text, float *value)
{
    const NumberError error = textToSingle(text, value);
    if (error == NumberError::None && !std::isfinite(*value))
        return NumberError::Overflow;
    return error;
}

bool PrintPlacement::ReadPrintOffset(const QString &sayuuText, const QString &jyougeText,
                                     QString *error)
{
    NumberError failure = readBox(sayuuText, &SayuuZure);
    if (failure != NumberError::None) {
        *error = boxFailure(texts::leftRightBox(), failure);
        return false;
    }
    failure = readBox(jyougeText, &JyougeZure);
    if (failure != NumberError::None) {
        *error = boxFailure(texts::upDownBox(), failure);
        return false;
    }
    return true;
}

bool PrintPlacement::ComputeLetterOffset(QString *error)
{
    SayuuTwip = SayuuZure * kTwipsPerTenthMm;
    if (!std::isfinite(SayuuTwip)) {
        *error = boxFailure(texts::leftRightBox(), NumberError::Overflow);
        return false;
    }
    JyougeTwip = (JyougeZure - kLetterJyougeBias) * kTwipsPerTenthMm;
    if (!std::isfinite(JyougeTwip)) {
        *error = boxFailure(texts::upDownBox(), NumberError::Overflow);
        return false;
    }
    return true;
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
    if (!std::isfinite(x)) {
        *error = boxFailure(texts::leftRightBox(), NumberError::Overflow);
        return false;
    }
    const float y =
        float(MojiZure * double(kTwipsPerTenthMm) + (double(JyougeTwip) + double(designY)));
    if (!std::isfinite(y)) {
        *error = boxFailure(texts::upDownBox(), NumberError::Overflow);
        return false;
    }
    surface.SetCurrentX(x);
    surface.SetCurrentY(y);
    return true;
}

bool PrintPlacement::PlaceMark(float designX, float designY, MarkPlace *place, QString *error) const
{
    const double factor = double(kTwipsPerTenthMm);
    place->centreX = float(double(SayuuZure) * factor + double(designX));
    if (!std::isfinite(place->centreX)) {
        *error = boxFailure(texts::leftRightBox(), NumberError::Overflow);
        return false;
    }
    place->centreY = float(double(JyougeZure) * factor + double(designY));
    if (!std::isfinite(place->centreY)) {
        *error = boxFailure(texts::upDownBox(), NumberError::Overflow);
        return false;
    }
    place->radius = float(double(MaruHankei) * factor);
    return true;
}
