#pragma once

#include "core/printoffset.h"

#include <QString>
#include <QtGlobal>

// How far a printed ○ lies from the form's mark, in tenths of a millimetre: right and down
// positive, as the clerk measures it with a ruler.
struct MarkDistance
{
    qint32 right = 0;
    qint32 down = 0;
};

// The offsets that put the marks (and so the letter) onto the form, or why there are none.
struct Calibration
{
    PrintOffset offset;
    // Empty when the offset can be used; else why not, in Japanese.
    QString problem;
};

// The ○ printed with `current` lay as measured: the print moves back by the mean of the two
// distances. When the two ○ lie more than 0.5 mm apart from each other in either direction the
// printer stretches or skews the page, which no offset corrects, and nothing is offered.
Calibration calibrate(const PrintOffset &current, const MarkDistance &left,
                      const MarkDistance &right);
