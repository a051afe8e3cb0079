#pragma once

#include <QString>

// The directory that holds the offset files: the executable's directory when files can be
// created there (a portable copy), else the user's configuration directory for this program.
QString offsetDirectory();

// The same rule for a given executable directory. The configuration directory is created when
// it is chosen; if even that fails its path is still returned, so start-up can tell the user.
QString offsetDirectoryFor(const QString &executableDirectory);

// True when a file can be created in the directory. Tried, not inferred from permission bits:
// they say yes to root on a read-only file system and in /proc.
bool canCreateFilesIn(const QString &directory);
