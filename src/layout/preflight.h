#pragma once

#include "core/letter.h"

#include <QFont>
#include <QHash>
#include <QList>
#include <QRawFont>
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

// The same check for many letters in a row (a batch): the print font is opened once and each
// text measured once. One thread at a time.
class Preflight
{
public:
    explicit Preflight(const QString &fontFamily);
    QList<PreflightWarning> check(const Letter &letter) const;

private:
    QFont m_font;
    QRawFont m_raw;
    mutable QHash<QString, qreal> m_advances;
};
