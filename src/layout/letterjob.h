#pragma once

#include <QString>

#include <array>

class PrintPlacement;
class PrintTarget;

// One item of the letter: its size and its design place in twips, before any offset.
struct LetterItem
{
    int points;
    float x;
    float y;
    // The window control whose text the item prints.
    const char *control;
};

inline constexpr int kLetterItemCount = 24;
// The delegated matter: printed only when its check box is ticked.
inline constexpr int kDelegatedMatterItem = 1;

// The places of the pre-printed sheet, in printing order. Each is a whole number of tenths of
// a millimetre times 5.67, rounded to single precision.
extern const std::array<LetterItem, kLetterItemCount> kLetterItems;

// What the letter job reads from the window, taken at the moment the button is clicked.
struct LetterEntries
{
    QString sayuu;
    QString jyouge;
    bool delegatedMatterTicked = false;
    // In the order of kLetterItems.
    std::array<QString, kLetterItemCount> texts;
};

// The letter's job as the print queue lists it, and the name a PDF file is offered under.
inline QString letterTitle()
{
    return QStringLiteral("委任状");
}

// Prints the letter on the chosen printer. Empty when it went to the printer or the user called
// it off; otherwise why not, in Japanese. A failed job leaves no half-made page behind.
QString printLetter(const LetterEntries &entries, PrintTarget &printing, PrintPlacement &placement);
