#pragma once

#include <QString>

struct PrintOffset;
class PrintPlacement;
class PrintTarget;

// Centres of the two alignment marks in twips (28.5 mm and 277.9 mm across, 19.2 mm down),
// 249.4 mm apart whatever the offset.
inline constexpr float kLeftMarkX = 1615.9501f;
inline constexpr float kRightMarkX = 15756.931f;
inline constexpr float kMarkY = 1088.64f;
// Radius of the marks in tenths of a millimetre.
inline constexpr float kMarkRadius = 3.0f;

inline QString marksTitle()
{
    return QStringLiteral("位置合わせの○印");
}

// Prints the two alignment marks, shifted by the offset as it is (no bias is taken off the
// up/down value). Empty when the page went to the printer or the user called it off; otherwise
// why not, in Japanese.
QString printMarks(const PrintOffset &offset, PrintTarget &printing, PrintPlacement &placement);
