#pragma once

#include "core/letter.h"

#include <QString>

#include <array>

struct PrintOffset;
class PrintPlacement;
class PrintTarget;

// One item of the letter: its size and its design place in twips, before any offset.
struct LetterItem
{
    int points;
    float x;
    float y;
};

// The places of the pre-printed sheet, one per Field in its order. Each is a whole number of
// tenths of a millimetre times 5.67, rounded to single precision.
extern const std::array<LetterItem, kFieldCount> kLetterItems;

// The letter's job as the print queue lists it, and the name a PDF file is offered under.
inline QString letterTitle()
{
    return QStringLiteral("委任状");
}

// Prints the letter on the chosen printer; the delegated matter only when it is ticked. Empty
// when it went to the printer or the user called it off; otherwise why not, in Japanese. A
// failed job leaves no half-made page behind.
QString printLetter(const Letter &letter, const PrintOffset &offset, PrintTarget &printing,
                    PrintPlacement &placement);
