#pragma once

#include <QString>

struct PrintOffset;
class PrintSurface;

// 56.7 twips per millimetre, per tenth 5.67 (not 1440/25.4). The forms were laid out with this
// single-precision factor; where it meets a double it is this value widened, never the double
// nearest to 5.67, or every place moves by a few millionths of a twip and stops matching.
inline constexpr float kTwipsPerTenthMm = 5.67f;

// The up/down box reads 40 when the letter is not shifted.
inline constexpr float kLetterJyougeBias = 40.0f;

// Where one alignment mark goes, in twips.
struct MarkPlace
{
    float centreX = 0;
    float centreY = 0;
    float radius = 0;
};

// The form-level values of the print jobs. A job writes each one before it reads it, so
// nothing carries over from one job to the next.
class PrintPlacement
{
public:
    // The offset in tenths of a millimetre, as the whole numbers it is.
    void setOffset(const PrintOffset &offset);
    // The letter's offset in twips, from the values set.
    void ComputeLetterOffset();
    // Sets the size, works out the correction for it and sets X then Y of one letter item.
    // False with the reason when the surface reports a size no printer has.
    bool PlaceText(PrintSurface &surface, int points, float designX, float designY, QString *error);
    // Places an alignment mark from the values set; the radius comes from MaruHankei.
    MarkPlace PlaceMark(float designX, float designY) const;

    float SayuuZure = 0;
    float JyougeZure = 0;
    float SayuuTwip = 0;
    float JyougeTwip = 0;
    // Tenths of a millimetre. The text form it once had round-trips every size the surface
    // reports (four decimals), so the double is the same value.
    double MojiZure = 0;
    float MaruHankei = 0;
};
