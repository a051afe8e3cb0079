#include "system/paths.h"

#include "system/texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

QString offsetDirectory()
{
    return offsetDirectoryFor(QCoreApplication::applicationDirPath());
}

static bool holdsOffsetFile(const QString &directory)
{
    const QDir folder(directory);
    return !directory.isEmpty() &&
           (QFileInfo::exists(folder.filePath(QString::fromLatin1(kLeftRightFile))) ||
            QFileInfo::exists(folder.filePath(QString::fromLatin1(kUpDownFile))));
}

QString offsetDirectoryFor(const QString &executableDirectory)
{
    if (holdsOffsetFile(executableDirectory) ||
        (!isInstalledLayout(executableDirectory) && canCreateFilesIn(executableDirectory)))
        return executableDirectory;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(config);
    return config;
}

bool canCreateFilesIn(const QString &directory)
{
    if (directory.isEmpty() || !QFileInfo(directory).isDir())
        return false;
    QTemporaryFile probe(QDir(directory).filePath(QStringLiteral(".sorafu-probe-XXXXXX")));
    return probe.open();
}

bool isInstalledLayout(const QString &executableDirectory)
{
    if (executableDirectory.isEmpty())
        return false;
    const QDir bin(executableDirectory);
    return bin.dirName() == QLatin1String("bin") &&
           QFileInfo::exists(bin.filePath(QStringLiteral("../share/applications/sorafu.desktop")));
}

QString whyNotWritten(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (info.isDir())
        return texts::folderInPlaceOfSavedFile();
    if (!QFileInfo(folder).isDir())
        return texts::saveFolderMissing();
    if (info.exists() && !info.isWritable())
        return texts::fileReadOnly();
    if (!canCreateFilesIn(folder))
        return texts::saveFolderNotWritable();
    return texts::writeFailed();
}
