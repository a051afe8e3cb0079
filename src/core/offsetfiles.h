#pragma once

#include "core/numbers.h"
#include "system/paths.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

QString offsetFilePath(const QString &directory, const char *fileName);

// A file's lines joined: a line ends at CR, CR LF is one end, a lone LF stays in the text.
// Nothing for a file of 0 bytes, which is not the same as an empty line.
std::optional<QString> joinOffsetLines(const QByteArray &content);

// No text at all is 0; any text, even an empty one, goes through the conversion.
NumberError offsetTextToInt32(const std::optional<QString> &text, qint32 *value);

// Creates a file of 0 bytes where nothing is at the path; whatever is there already is left
// alone. The reason, in Japanese, when the file could not be created; else empty.
QString createMissingOffsetFile(const QString &path);

struct OffsetReading
{
    QString path;
    qint32 value = 0;
    QString problem; // why the file was not used, in Japanese; the value is then 0
};

// Reads one file without ever changing it.
OffsetReading readOffsetFile(const QString &path);

// The whole content of an existing offset file, read only once it has passed the checks that
// keep a pipe, a device or a huge file from blocking or swallowing memory. Start-up and
// ズレ保存 both read through it. Why it was not read, in Japanese; else empty.
QString readOffsetBytes(const QString &path, QByteArray *content);

// Both files are created before either is read, so a damaged first file does not keep the
// second from being created.
struct OffsetReadings
{
    OffsetReading leftRight;
    OffsetReading upDown;
};
OffsetReadings loadOffsetFiles(const QString &directory);

// The one start-up warning for every file that could not be used; empty when all were fine.
QString offsetLoadWarning(const OffsetReadings &readings);

struct OffsetEntry
{
    QString path;
    QString boxName;
    QString text; // as typed
};

// Checks both texts with the start-up conversion and the panel's range and, only when both
// pass, replaces both files so that each holds its whole number in plain digits ("-" and
// digits, no separator, read back alike in every locale) and CR LF. Where the folder takes no
// new file but the files may be written, they are rewritten in place. Temporaries left by a
// save cut short are cleared first. A file is never left half-written: a failure leaves both as
// they were. The message to show, in Japanese, when nothing was saved; else empty.
QString saveOffsetFiles(const OffsetEntry &leftRight, const OffsetEntry &upDown);

// One file of this program's own replaced as the offset files are: the temporaries of a save
// cut short cleared, the new content written beside it and renamed over it, or written in place
// where the folder takes no new file. Why not, in Japanese; else empty, and the file as before.
QString replaceOffsetFile(const QString &path, const QByteArray &content);
