#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>

// Reads a scan of the blank form to lie under the preview: a PNG or JPEG, or the first page of
// a PDF when the module that reads one can be loaded. `sheetMm` is the sheet as it lies for
// printing; a scan the other way round is turned a quarter right, the way an upright scan of a
// landscape form comes. Reads a whole file, so it belongs off the GUI thread. A null image with the
// whole message for the user when the scan cannot be used.
QImage readFormScan(const QString &path, const QSizeF &sheetMm, QString *error);
