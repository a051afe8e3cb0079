#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// How far every printed place is shifted, in tenths of a millimetre: right and down positive.
// The up/down value reads 40 when the letter is not shifted.
struct PrintOffset
{
    qint32 leftRight = 0;
    qint32 upDown = 0;

    bool operator==(const PrintOffset &other) const
    {
        return leftRight == other.leftRight && upDown == other.upDown;
    }
};

// One offset box's text as a whole number: the locale's way of writing numbers, full-width
// digits and signs as their plain forms, a fraction rounded half to even, and within what the
// panel reaches (-1000 to 1000) as typed. Nothing, with why not in Japanese, when it cannot be
// used.
std::optional<qint32> parseOffset(const QString &text, QString *reason);

// The two boxes as messages name them.
QString leftRightBoxName();
QString upDownBoxName();
