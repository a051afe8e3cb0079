#include "system/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <sys/stat.h>
#include <unistd.h>

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

namespace {

struct Paths
{
    Q_DECLARE_TR_FUNCTIONS(Paths)
};

} // namespace

// A folder like /tmp: anyone adds files, but only a file's owner (or the folder's) replaces it.
static bool ownedByAnotherInStickyFolder(const QFileInfo &file)
{
    struct stat folder;
    const uid_t me = ::geteuid();
    return me != 0 && file.ownerId() != me &&
           ::stat(QFile::encodeName(file.absolutePath()).constData(), &folder) == 0 &&
           (folder.st_mode & S_ISVTX) && folder.st_uid != me;
}

bool replaceFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush() &&
           file.error() == QFileDevice::NoError && file.commit();
}

QString whyNotWritten(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (info.isDir())
        return Paths::tr("同じ名前のフォルダーがあるため、ファイルに書き込めません。");
    if (!QFileInfo(folder).isDir())
        return Paths::tr("保存先のフォルダーがありません。");
    if (info.exists() && !info.isFile())
        return Paths::tr("同じ名前の特殊なファイル（通常のファイルではないもの）があるため、"
                         "書き込めません。");
    if (info.exists() && !info.isWritable())
        return Paths::tr("ファイルが読み取り専用です。");
    if (info.exists() && ownedByAnotherInStickyFolder(info))
        return Paths::tr("ほかのユーザーのファイルのため、置き換えることが許可されていません。");
    if (!canCreateFilesIn(folder))
        return Paths::tr("保存先のフォルダーに書き込む権限がありません。");
    return Paths::tr("書き込めませんでした（ディスクの空き不足など）。");
}
