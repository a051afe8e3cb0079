#pragma once

#include "core/letter.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The file a batch is read from, written the way Japanese Excel opens it directly: UTF-8 with
// a BOM, CR LF, every column in the order of Field under its Japanese name.
QByteArray batchTemplate();
// The letters under the same header, one row each, so a batch can be run again.
QByteArray batchCsv(const QList<Letter> &letters);

// Writes the bytes in place of the file at path, all or nothing: a failure leaves the earlier
// file as it was. Why not, in Japanese; else empty.
QString writeFileAtomically(const QString &path, const QByteArray &bytes);
