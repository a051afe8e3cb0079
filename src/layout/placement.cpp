#include "layout/placement.h"

#include "core/printoffset.h"
#include "layout/printsurface.h"

#include <QCoreApplication>

#include <cmath>

namespace {

struct Placement
{
    Q_DECLARE_TR_FUNCTIONS(Placement)
};

} // namespace

// The offset lies within ±1000, so no product or sum below leaves the single-precision range.
void PrintPlacement::setOffset(const PrintOffset &offset)
{
    SayuuZure = float(offset.leftRight);
    JyougeZure = float(offset.upDown);
}

void PrintPlacement::ComputeLetterOffset()
{
    SayuuTwip = SayuuZure * kTwipsPerTenthMm;
    JyougeTwip = (JyougeZure - kLetterJyougeBias) * kTwipsPerTenthMm;
}

bool PrintPlacement::PlaceText(PrintSurface &surface, int points, float designX, float designY,
                               QString *error)
{
    surface.SetFontSize(points);
    const double size = surface.FontSize();
    // The size is a four-decimal fixed-point number; three times it is formed there, exactly,
    // and only then turned into a double.
    if (!std::isfinite(size) || std::fabs(size) > 1e9) {
        *error = Placement::tr("文字の大きさ（%1 ポイント）を処理できません。"
                               "「プリンタ設定」で別のプリンタを選んでください。")
                     .arg(points);
        return false;
    }
    const qint64 tenThousandths = qRound64(size * 10000.0);
    MojiZure = double(3 * tenThousandths) / 10000.0 / -2.0;

    surface.SetCurrentX(SayuuTwip + designX);
    surface.SetCurrentY(
        float(MojiZure * double(kTwipsPerTenthMm) + (double(JyougeTwip) + double(designY))));
    return true;
}

MarkPlace PrintPlacement::PlaceMark(float designX, float designY) const
{
    const double factor = double(kTwipsPerTenthMm);
    MarkPlace place;
    place.centreX = float(double(SayuuZure) * factor + double(designX));
    place.centreY = float(double(JyougeZure) * factor + double(designY));
    place.radius = float(double(MaruHankei) * factor);
    return place;
}
