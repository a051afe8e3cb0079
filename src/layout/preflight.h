#pragma once

#include "core/letter.h"

#include <QList>
#include <QString>

// Something on a letter that would not come out of the printer as the clerk means it.
struct PreflightWarning
{
    enum Kind { Empty, Overflow, Undrawable };

    Kind kind = Empty;
    // The entry warned of; unused for an empty letter.
    Field field = Field::ProxyName;
    // How far the text runs past its column.
    double overMm = 0;
    // The characters the print font has no glyph for, each once.
    QString characters;
    // The whole text's width as printed.
    double widthMm = 0;
};

// The room an entry has on the sheet, from its left edge to where its column ends.
double columnWidthMm(Field field);
// The characters an entry takes: twice as many full-width ones as fit its column, so that an
// overflow is still warned of instead of being cut off unseen.
int fieldMaxLength(Field field);

// What would not print as typed, field by field in the order of Field, an empty letter first.
// The delegated matter counts only when it is ticked.
QList<PreflightWarning> preflight(const Letter &letter, const QString &fontFamily);
