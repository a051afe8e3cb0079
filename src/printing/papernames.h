#pragma once

#include <QString>

// A paper as a clerk names it: 「A4」「B5（JIS）」「はがき」 for a common PWG size
// (iso_a4_210x297mm), else 「その他の用紙（100×150 mm）」 by its upright measures.
QString paperName(const QString &pwgName, int widthMm, int heightMm);
