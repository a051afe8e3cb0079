#include "entries/offsetfiles.h"

#include "system/paths.h"
#include "system/texts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
        return texts::noFolderForFile();
    return texts::cannotCreateFile();
}

static OffsetReading unusable(const QString &path, const QString &problem)
{
    return OffsetReading{path, 0, problem};
}

OffsetReading readOffsetFile(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return unusable(path, texts::folderInPlaceOfFile());
    if (!info.exists())
        return unusable(path, texts::fileMissing());
    // A device or a pipe of that name could block the start or never end.
    if (!info.isFile())
        return unusable(path, texts::notARegularFile());
    if (info.size() > kLargestOffsetFile)
        return unusable(path, texts::fileTooLarge());

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unusable(path, texts::cannotOpenFile());
    const QByteArray content = file.read(kLargestOffsetFile + 1);
    if (file.error() != QFileDevice::NoError)
        return unusable(path, texts::cannotReadFile());
    if (content.size() > kLargestOffsetFile)
        return unusable(path, texts::fileTooLarge());

    qint32 value = 0;
    switch (offsetTextToInt32(joinOffsetLines(content), &value)) {
    case NumberError::None:
        return OffsetReading{path, value, QString()};
    case NumberError::Empty:
        return unusable(path, texts::onlyEmptyLines());
    case NumberError::NotANumber:
        return unusable(path, texts::contentNotANumber());
    case NumberError::Overflow:
        return unusable(path, texts::numberTooLarge());
    }
    return unusable(path, texts::contentNotANumber());
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
        {&readings.leftRight, texts::leftRightBox()}, {&readings.upDown, texts::upDownBox()}};
    for (const auto &[reading, boxName] : files) {
        if (reading->problem.isEmpty())
            continue;
        parts.append(texts::offsetFileUnusable(QDir::toNativeSeparators(reading->path),
                                               reading->problem, boxName));
    }
    if (parts.isEmpty())
        return QString();
    return texts::offsetFilesUnusable(parts.join(QStringLiteral("\n\n")));
}

static QString saveFailure(const QString &path, const QString &extra = QString())
{
    return texts::offsetsNotSaved(QDir::toNativeSeparators(path), whyNotWritten(path),
                                  extra.isEmpty() ? texts::offsetsKeptAsBefore() : extra);
}

static QByteArray fileContent(const OffsetEntry &entry)
{
    return entry.text.toUtf8() + "\r\n";
}

// Everything but the final rename, so a full disk or a refused file shows before either
// file is replaced.
static bool prepare(QSaveFile &file, const QByteArray &content)
{
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.flush();
}

static bool writeWhole(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    return prepare(file, content) && file.commit();
}

QString saveOffsetFiles(const OffsetEntry &leftRight, const OffsetEntry &upDown)
{
    QStringList refusals;
    for (const OffsetEntry *entry : {&leftRight, &upDown}) {
        qint32 value = 0;
        const NumberError error = textToInt32(entry->text, &value);
        if (error != NumberError::None)
            refusals.append(texts::offsetRefusal(entry->boxName, numberErrorText(error)));
    }
    if (!refusals.isEmpty())
        return texts::offsetsRefused(refusals.join(QLatin1Char('\n')));

    QSaveFile leftRightFile(leftRight.path);
    if (!prepare(leftRightFile, fileContent(leftRight)))
        return saveFailure(leftRight.path);
    QSaveFile upDownFile(upDown.path);
    if (!prepare(upDownFile, fileContent(upDown)))
        return saveFailure(upDown.path);

    // Should the second rename fail after the first, the first file gets its earlier content
    // back, so the pair never disagrees.
    std::optional<QByteArray> earlier;
    QFile earlierFile(leftRight.path);
    if (earlierFile.open(QIODevice::ReadOnly))
        earlier = earlierFile.readAll();
    earlierFile.close();

    if (!leftRightFile.commit())
        return saveFailure(leftRight.path);
    if (!upDownFile.commit()) {
        const bool restored =
            earlier ? writeWhole(leftRight.path, *earlier) : QFile::remove(leftRight.path);
        if (restored)
            return saveFailure(upDown.path);
        return saveFailure(upDown.path,
                           texts::firstOffsetFileChanged(QDir::toNativeSeparators(leftRight.path)));
    }
    return QString();
}
