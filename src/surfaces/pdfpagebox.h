#pragma once

#include <QByteArray>
#include <QSizeF>

// Qt's PDF writer gives the page a box of whole points (A4 as 842 x 595 pt, not 841.89 x 595.28),
// and a printer that sets the page on the paper's corner unscaled moves every place by the
// difference. This writes every page's box again at the sheet's exact size in points, its
// top-left corner where Qt's drawing begins, and moves the cross-reference table along. False,
// and the file as it was, where it is not one Qt wrote (no box of that form, no table).
bool setExactPageBox(QByteArray *pdf, const QSizeF &points);
