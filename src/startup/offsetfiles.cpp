#include "startup/offsetfiles.h"

#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

// A real offset is a few bytes; anything this large is not one, and reading it whole could
// stall the start.
static constexpr qint64 kLargestOffsetFile = 1 << 20;

QString leftRightBoxName()
{
    return QStringLiteral("左右のズレ");
}

QString upDownBoxName()
{
    return QStringLiteral("上下のズレ");
}

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
        return QStringLiteral("ファイルを置くフォルダーがありません。");
    return QStringLiteral(
        "ファイルを作れませんでした（フォルダーに書き込みが許可されていません）。");
}

static OffsetReading unusable(const QString &path, const QString &problem)
{
    return OffsetReading{path, 0, problem};
}

OffsetReading readOffsetFile(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return unusable(path,
                        QStringLiteral("同じ名前のフォルダーがあり、ファイルとして読めません。"));
    if (!info.exists())
        return unusable(path, QStringLiteral("ファイルが見つかりません。"));
    // A device or a pipe of that name could block the start or never end.
    if (!info.isFile())
        return unusable(path, QStringLiteral("普通のファイルではないため、読めません。"));
    if (info.size() > kLargestOffsetFile)
        return unusable(
            path,
            QStringLiteral("ファイルが大きすぎます。ズレの数値 1 つだけのはずのファイルです。"));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unusable(
            path, QStringLiteral("ファイルを開けませんでした（読み取りが許可されていません）。"));
    const QByteArray content = file.read(kLargestOffsetFile + 1);
    if (file.error() != QFileDevice::NoError)
        return unusable(path, QStringLiteral("ファイルを読み込めませんでした。"));
    if (content.size() > kLargestOffsetFile)
        return unusable(
            path,
            QStringLiteral("ファイルが大きすぎます。ズレの数値 1 つだけのはずのファイルです。"));

    qint32 value = 0;
    switch (offsetTextToInt32(joinOffsetLines(content), &value)) {
    case NumberError::None:
        return OffsetReading{path, value, QString()};
    case NumberError::Empty:
        return unusable(path, QStringLiteral("中身が空の行だけで、数値が書かれていません。"));
    case NumberError::NotANumber:
        return unusable(path, QStringLiteral("中身が数値ではありません。"));
    case NumberError::Overflow:
        return unusable(path, QStringLiteral("数値が大きすぎます（桁あふれ）。"));
    }
    return unusable(path, QStringLiteral("中身が数値ではありません。"));
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
        parts.append(QStringLiteral("「%1」\n%2\n→ %3を 0 にして始めます。")
                         .arg(QDir::toNativeSeparators(reading->path), reading->problem, boxName));
    }
    if (parts.isEmpty())
        return QString();
    return QStringLiteral("ズレの設定ファイルを使えませんでした。\n\n%1\n\n"
                          "ファイルは変更していません。調整画面でズレを合わせてから"
                          "「ズレ保存」を押すと、保存し直せます。")
        .arg(parts.join(QStringLiteral("\n\n")));
}

static QString writeFailureReason(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("同じ名前のフォルダーがあり、ファイルとして書き込めません。");
    if (!QFileInfo(folderOf(path)).isDir())
        return QStringLiteral("保存先のフォルダーがありません。");
    if (info.exists() && !info.isWritable())
        return QStringLiteral("ファイルが読み取り専用です。");
    if (!canCreateFilesIn(folderOf(path)))
        return QStringLiteral("保存先のフォルダーに書き込みが許可されていません。");
    return QStringLiteral("書き込めませんでした（ディスクがいっぱいなどの理由）。");
}

static QString saveFailure(const QString &path, const QString &extra = QString())
{
    return QStringLiteral("ズレを保存できませんでした。\n\n「%1」\n%2\n\n%3")
        .arg(QDir::toNativeSeparators(path), writeFailureReason(path),
             extra.isEmpty() ? QStringLiteral("保存してあったズレは、前のままです。") : extra);
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
            refusals.append(QStringLiteral("%1：%2").arg(entry->boxName, numberErrorText(error)));
    }
    if (!refusals.isEmpty())
        return QStringLiteral("ズレを保存できませんでした。\n\n%1\n\n"
                              "数値を直してから、もう一度「ズレ保存」を押してください。"
                              "保存してあったズレは、前のままです。")
            .arg(refusals.join(QLatin1Char('\n')));

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
                           QStringLiteral("「%1」には新しい値が入りました。もう一度「ズレ保存」を"
                                          "押して、両方を保存し直してください。")
                               .arg(QDir::toNativeSeparators(leftRight.path)));
    }
    return QString();
}
