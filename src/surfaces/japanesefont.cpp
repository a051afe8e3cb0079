#include "surfaces/japanesefont.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QProcess>
#include <QRawFont>

static bool printsJapanese(const QString &family)
{
    if (family.isEmpty() || !QFontDatabase::families().contains(family))
        return false;
    QFont font(family);
    font.setStyleStrategy(QFont::NoFontMerging);
    const QRawFont raw = QRawFont::fromFont(font, QFontDatabase::Japanese);
    // Kanji, kana and Latin must all come from this one face.
    for (const char32_t probe : {U'委', U'あ', U'ア', U'A', U'1'})
        if (!raw.supportsCharacter(probe))
            return false;
    return true;
}

static QString fontconfigChoice()
{
    QProcess match;
    match.start(QStringLiteral("fc-match"),
                {QStringLiteral("-f"), QStringLiteral("%{family[0]}"), QStringLiteral(":lang=ja")});
    if (!match.waitForFinished(5000) || match.exitCode() != 0)
        return QString();
    return QString::fromUtf8(match.readAllStandardOutput()).trimmed();
}

QString japaneseFontFamily(QString *error)
{
    const QString preferred = QStringLiteral("IPAGothic");
    if (printsJapanese(preferred))
        return preferred;
    const QString matched = fontconfigChoice();
    if (printsJapanese(matched))
        return matched;
    for (const QString &family : QFontDatabase::families(QFontDatabase::Japanese))
        if (printsJapanese(family))
            return family;
    *error = QCoreApplication::translate("JapaneseFont",
                                         "日本語を印刷できるフォントが見つかりません。"
                                         "IPAフォント（fonts-ipafont-gothic）を入れてください。");
    return QString();
}
