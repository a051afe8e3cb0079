#pragma once

#include <QString>

// The two files that keep the print offset from one run to the next.
inline constexpr char kLeftRightFile[] = "ini_x1.txt";
inline constexpr char kUpDownFile[] = "ini_y1.txt";

// The directory that holds the offset files: the executable's directory when either file is
// already there, whether or not the folder takes new files (a calibration kept beside the
// program is never passed over), or when files can be created there (a portable copy, or the
// build folder); else the user's configuration directory for this program. An installed copy
// without files beside it uses the configuration directory: root could write beside it, but a
// system folder is no place for one clerk's calibration.
QString offsetDirectory();

// The same rule for a given executable directory. The configuration directory is created when
// it is chosen; if even that fails its path is still returned, so start-up can tell the user.
QString offsetDirectoryFor(const QString &executableDirectory);

// True for an executable in .../bin with this program's desktop entry in ../share/applications,
// the layout an installation leaves.
bool isInstalledLayout(const QString &executableDirectory);

// Puts the bytes in place of the file in one step: false, and the earlier file as it was, when
// they could not all be written (a full disk shows only as a short write or a failed flush,
// which a commit alone overlooks).
bool replaceFile(const QString &path, const QByteArray &bytes);

// Why a file at the path could not be written, in Japanese, asked after the failure: the file
// system's own error text is English and often names the wrong cause.
QString whyNotWritten(const QString &path);

// True when a file can be created in the directory. Tried, not inferred from permission bits:
// they say yes to root on a read-only file system and in /proc.
bool canCreateFilesIn(const QString &directory);
