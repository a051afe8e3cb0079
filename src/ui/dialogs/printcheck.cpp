#include "ui/dialogs/printcheck.h"

#include "layout/preflight.h"
#include "surfaces/japanesefont.h"
#include "ui/dialogs/messages.h"

#include <QStringList>

#include <algorithm>

namespace {

// The entry as the window captions it, so the clerk finds it.
QString fieldName(Field field)
{
    const int index = int(field);
    if (field >= Field::Delegator1Reading) {
        const QString parts[] = {PrintCheck::tr("フリガナ"),      PrintCheck::tr("氏名又は会社名"),
                                 PrintCheck::tr("肩書"),          PrintCheck::tr("代表者氏名"),
                                 PrintCheck::tr("住所（1行目）"), PrintCheck::tr("住所（2行目）")};
        const int first = int(Field::Delegator1Reading);
        return PrintCheck::tr("委任者%1の%2")
            .arg((index - first) / 6 + 1)
            .arg(parts[(index - first) % 6]);
    }
    const QString names[] = {
        PrintCheck::tr("委任状受任者氏名"), PrintCheck::tr("委任内容"),
        PrintCheck::tr("日付の年"),         PrintCheck::tr("日付の月"),
        PrintCheck::tr("日付の日"),         PrintCheck::tr("車台番号または登録番号")};
    return names[index];
}

QString line(const PreflightWarning &warning)
{
    switch (warning.kind) {
    case PreflightWarning::Empty:
        return PrintCheck::tr("・委任者の氏名又は会社名も、車台番号または登録番号も"
                              "入力されていません。");
    case PreflightWarning::Overflow:
        return PrintCheck::tr("・%1：欄から約 %2 mm はみ出します。文字を減らしてください。")
            .arg(fieldName(warning.field))
            .arg(std::max(0.1, warning.overMm), 0, 'f', 1);
    case PreflightWarning::Undrawable:
        return PrintCheck::tr("・%1：「%2」は印刷できない文字です。別の文字にしてください。")
            .arg(fieldName(warning.field), warning.characters);
    }
    return QString();
}

} // namespace

QString PrintCheck::describe(const PreflightWarning &warning)
{
    return line(warning);
}

bool PrintCheck::confirm(const Letter &letter)
{
    if (m_fontFamily.isEmpty()) {
        QString ignored; // printing itself tells when no font prints Japanese
        m_fontFamily = japaneseFontFamily(&ignored);
    }
    // Without a font the job itself fails and says why.
    const QList<PreflightWarning> warnings =
        m_fontFamily.isEmpty() ? QList<PreflightWarning>() : preflight(letter, m_fontFamily);
    if (warnings.isEmpty())
        return true;
    QStringList lines;
    for (const PreflightWarning &warning : warnings)
        lines << line(warning);
    return m_messages.askPrintAnyway(
        Messages::appTitle(), tr("このまま印刷すると、次のところが正しく印刷されません。\n\n%1\n\n"
                                 "直してから印刷するときは「やめる」を選んでください。")
                                  .arg(lines.join('\n')));
}
