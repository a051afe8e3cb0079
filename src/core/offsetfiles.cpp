#include "core/offsetfiles.h"

#include "core/printoffset.h"
#include "system/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

namespace {

struct OffsetFiles
{
    Q_DECLARE_TR_FUNCTIONS(OffsetFiles)
};

QString fileTooLarge()
{
    return OffsetFiles::tr(
        "ファイルが大きすぎます。ズレの数値が 1 つだけ書かれているはずのファイルです。");
}

QString contentNotANumber()
{
    return OffsetFiles::tr("中身が数値ではありません。");
}

QString keptAsBefore()
{
    return OffsetFiles::tr("保存してあったズレは、前のままです。");
}

} // namespace

// A real offset is a few bytes; anything this large is not one, and reading it whole could
// stall the start.
static constexpr qint64 kLargestOffsetFile = 1 << 20;

QString offsetFilePath(const QString &directory, const char *fileName)
{
    return QDir::cleanPath(QDir(directory).filePath(QString::fromLatin1(fileName)));
}

std::optional<QString> joinOffsetLines(const QByteArray &content)
{
    if (content.isEmpty())
        return std::nullopt;
    QByteArray joined;
    joined.reserve(content.size());
    for (qsizetype i = 0; i < content.size(); ++i) {
        if (content[i] != '\r') {
            joined.append(content[i]);
            continue;
        }
        if (i + 1 < content.size() && content[i + 1] == '\n')
            ++i;
    }
    return QString::fromUtf8(joined);
}

NumberError offsetTextToInt32(const std::optional<QString> &text, qint32 *value)
{
    if (!text) {
        *value = 0;
        return NumberError::None;
    }
    return textToInt32(*text, value);
}

static QString folderOf(const QString &path)
{
    return QFileInfo(path).absolutePath();
}

QString createMissingOffsetFile(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return QString();
    QFile file(path);
    // NewOnly: should something appear at the path meanwhile, it is not emptied.
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        file.close();
        return QString();
    }
    if (!QFileInfo(folderOf(path)).isDir())
        return OffsetFiles::tr("ファイルを置くフォルダーがありません。");
    return OffsetFiles::tr(
        "ファイルを作成できませんでした（フォルダーに書き込む権限がありません）。");
}

static OffsetReading unusable(const QString &path, const QString &problem)
{
    return OffsetReading{path, 0, problem};
}

QString readOffsetBytes(const QString &path, QByteArray *content)
{
    const QFileInfo info(path);
    if (info.isDir())
        return OffsetFiles::tr("同じ名前のフォルダーがあるため、ファイルとして読み込めません。");
    if (!info.exists())
        return OffsetFiles::tr("ファイルが見つかりません。");
    // A device or a pipe of that name could block or never end.
    if (!info.isFile())
        return OffsetFiles::tr("通常のファイルではないため、読み込めません。");
    if (info.size() > kLargestOffsetFile)
        return fileTooLarge();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return OffsetFiles::tr(
            "ファイルを開くことができませんでした（読み取る権限がありません）。");
    *content = file.read(kLargestOffsetFile + 1);
    if (file.error() != QFileDevice::NoError)
        return OffsetFiles::tr("ファイルを読み込めませんでした。");
    if (content->size() > kLargestOffsetFile)
        return fileTooLarge();
    return QString();
}

OffsetReading readOffsetFile(const QString &path)
{
    QByteArray content;
    if (const QString problem = readOffsetBytes(path, &content); !problem.isEmpty())
        return unusable(path, problem);

    qint32 value = 0;
    switch (offsetTextToInt32(joinOffsetLines(content), &value)) {
    case NumberError::None:
        return OffsetReading{path, value, QString()};
    case NumberError::Empty:
        return unusable(path, OffsetFiles::tr("中身が空の行だけで、数値が書かれていません。"));
    case NumberError::NotANumber:
        return unusable(path, contentNotANumber());
    case NumberError::Overflow:
        return unusable(path, numberErrorText(NumberError::Overflow));
    }
    return unusable(path, contentNotANumber());
}

OffsetReadings loadOffsetFiles(const QString &directory)
{
    const QString leftRightPath = offsetFilePath(directory, kLeftRightFile);
    const QString upDownPath = offsetFilePath(directory, kUpDownFile);
    const QString leftRightCreation = createMissingOffsetFile(leftRightPath);
    const QString upDownCreation = createMissingOffsetFile(upDownPath);
    OffsetReadings readings;
    readings.leftRight = leftRightCreation.isEmpty() ? readOffsetFile(leftRightPath)
                                                     : unusable(leftRightPath, leftRightCreation);
    readings.upDown = upDownCreation.isEmpty() ? readOffsetFile(upDownPath)
                                               : unusable(upDownPath, upDownCreation);
    return readings;
}

QString offsetLoadWarning(const OffsetReadings &readings)
{
    QStringList parts;
    const std::pair<const OffsetReading *, QString> files[] = {
        {&readings.leftRight, leftRightBoxName()}, {&readings.upDown, upDownBoxName()}};
    for (const auto &[reading, boxName] : files) {
        if (reading->problem.isEmpty())
            continue;
        parts.append(OffsetFiles::tr("「%1」\n%2\n→ %3を 0 にして始めます。")
                         .arg(QDir::toNativeSeparators(reading->path), reading->problem, boxName));
    }
    if (parts.isEmpty())
        return QString();
    return OffsetFiles::tr("ズレの設定ファイルを使用できませんでした。\n\n%1\n\n"
                           "ファイルは変更していません。調整画面でズレを合わせてから"
                           "「ズレ保存」を押すと、保存し直せます。")
        .arg(parts.join(QStringLiteral("\n\n")));
}

static QString saveFailure(const QString &path, const QString &extra = QString(),
                           const QString &reason = QString())
{
    return OffsetFiles::tr("ズレを保存できませんでした。\n\n「%1」\n%2\n\n%3")
        .arg(QDir::toNativeSeparators(path), reason.isEmpty() ? whyNotWritten(path) : reason,
             extra.isEmpty() ? keptAsBefore() : extra);
}

// A save's temporary is named after its file with this mark and six characters more, a name
// no clerk gives: a backup such as ini_x1.txt.backup is never taken for one.
static QString temporaryName(const QString &path, const QString &rest)
{
    return path + QStringLiteral(".sorafu-") + rest;
}

// A save killed before its rename leaves its temporary beside the file; each would stay for good.
static void removeLeftTemporaries(const QString &path)
{
    const QFileInfo info(path);
    const QFileInfoList left =
        info.absoluteDir().entryInfoList({temporaryName(info.fileName(), QStringLiteral("??????"))},
                                         QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &temporary : left)
        if (!temporary.isSymLink())
            QFile::remove(temporary.filePath());
}

// Where the folder takes no new file (read-only, no free inodes) a file that may be written is
// rewritten in place: a calibration kept there must stay savable.
static bool inPlace(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isWritable() && !canCreateFilesIn(info.absolutePath());
}

static bool writeInPlace(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size() && file.flush();
}

// One file's new content, written beside it and renamed over it, or written in place.
struct Replacement
{
    explicit Replacement(const QString &path, const QByteArray &content)
        : path(path), content(content), direct(inPlace(path)),
          file(temporaryName(path, QStringLiteral("XXXXXX")))
    {
    }
    // Everything but the final step, so a full disk or a refused file shows before either file
    // is replaced. The new file may be read as the one it replaces could.
    bool prepare()
    {
        if (direct)
            return true;
        const QFileInfo earlier(path);
        const QFile::Permissions permissions =
            earlier.exists()
                ? earlier.permissions()
                : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        return file.open() && file.setPermissions(permissions) &&
               file.write(content) == content.size() && file.flush() && ::fsync(file.handle()) == 0;
    }
    bool commit()
    {
        if (direct)
            return writeInPlace(path, content);
        if (std::rename(QFile::encodeName(file.fileName()).constData(),
                        QFile::encodeName(path).constData()) != 0)
            return false;
        file.setAutoRemove(false);
        return true;
    }

    QString path;
    QByteArray content;
    bool direct;
    QTemporaryFile file;
};

// Puts back what the file held, or removes it when there was nothing.
static bool restore(const QString &path, const std::optional<QByteArray> &earlier)
{
    if (!earlier)
        return QFile::remove(path);
    if (inPlace(path))
        return writeInPlace(path, *earlier);
    Replacement back(path, *earlier);
    return back.prepare() && back.commit();
}

QString saveOffsetFiles(const OffsetEntry &leftRight, const OffsetEntry &upDown)
{
    QStringList refusals;
    QByteArray contents[2];
    const OffsetEntry *entries[2] = {&leftRight, &upDown};
    for (int i = 0; i < 2; ++i) {
        QString why;
        const std::optional<qint32> value = parseOffset(entries[i]->text, &why);
        if (!value)
            refusals.append(OffsetFiles::tr("%1：%2").arg(entries[i]->boxName, why));
        contents[i] = int32ToText(value.value_or(0)).toLatin1() + "\r\n";
    }
    if (!refusals.isEmpty())
        return OffsetFiles::tr("ズレを保存できませんでした。\n\n%1\n\n"
                               "数値を直してから、もう一度「ズレ保存」を押してください。")
                   .arg(refusals.join(QLatin1Char('\n'))) +
               keptAsBefore();

    // What each file holds now, to be put back should the other fail; read with the start-up
    // checks, so a pipe or a device of that name is refused instead of read forever.
    std::optional<QByteArray> earlier[2];
    for (int i = 0; i < 2; ++i) {
        const QFileInfo info(entries[i]->path);
        if (!info.exists() || info.isDir())
            continue;
        // A pipe or a device of that name would block or swallow the offset.
        if (!info.isFile())
            return saveFailure(entries[i]->path, QString(),
                               OffsetFiles::tr("通常のファイルではないため、書き込めません。"));
        QByteArray content;
        if (const QString problem = readOffsetBytes(entries[i]->path, &content); !problem.isEmpty())
            return saveFailure(entries[i]->path, QString(), problem);
        earlier[i] = content;
    }
    for (const OffsetEntry *entry : entries)
        removeLeftTemporaries(entry->path);

    Replacement first(leftRight.path, contents[0]);
    if (!first.prepare())
        return saveFailure(leftRight.path);
    Replacement second(upDown.path, contents[1]);
    if (!second.prepare())
        return saveFailure(upDown.path);

    if (!first.commit()) {
        if (first.direct)
            restore(leftRight.path, earlier[0]);
        return saveFailure(leftRight.path);
    }
    if (!second.commit()) {
        // The first file gets its earlier content back, so the pair never disagrees.
        if (second.direct)
            restore(upDown.path, earlier[1]);
        if (restore(leftRight.path, earlier[0]))
            return saveFailure(upDown.path);
        return saveFailure(upDown.path,
                           OffsetFiles::tr("「%1」には新しい値が入りました。もう一度「ズレ保存」を"
                                           "押して、両方を保存し直してください。")
                               .arg(QDir::toNativeSeparators(leftRight.path)));
    }
    return QString();
}

QString replaceOffsetFile(const QString &path, const QByteArray &content)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return OffsetFiles::tr("通常のファイルではないため、書き込めません。");
    removeLeftTemporaries(path);
    Replacement replacement(path, content);
    // Written in place and cut short, the file gets back what it held.
    QByteArray earlier;
    if (replacement.direct && !readOffsetBytes(path, &earlier).isEmpty())
        return whyNotWritten(path);
    if (replacement.prepare() && replacement.commit())
        return QString();
    if (replacement.direct)
        restore(path, earlier);
    return whyNotWritten(path);
}
