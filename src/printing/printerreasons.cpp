#include "printing/printerreasons.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>
#include <iterator>

namespace {

// What a queue's printer-state-reasons can say, without the -error/-warning/-report ending.
const struct
{
    const char *keyword;
    const char *text;
} kReasons[] = {
    {"media-empty", QT_TRANSLATE_NOOP("PrinterReasons", "用紙切れ")},
    {"media-needed", QT_TRANSLATE_NOOP("PrinterReasons", "用紙の補給が必要")},
    {"media-low", QT_TRANSLATE_NOOP("PrinterReasons", "用紙が残りわずか")},
    {"media-jam", QT_TRANSLATE_NOOP("PrinterReasons", "紙詰まり")},
    {"toner-empty", QT_TRANSLATE_NOOP("PrinterReasons", "トナー切れ")},
    {"toner-low", QT_TRANSLATE_NOOP("PrinterReasons", "トナーが残りわずか")},
    {"marker-supply-empty", QT_TRANSLATE_NOOP("PrinterReasons", "インク・トナー切れ")},
    {"marker-supply-low", QT_TRANSLATE_NOOP("PrinterReasons", "インク・トナーが残りわずか")},
    {"marker-waste-full", QT_TRANSLATE_NOOP("PrinterReasons", "廃インク・廃トナーがいっぱい")},
    {"door-open", QT_TRANSLATE_NOOP("PrinterReasons", "扉が開いている")},
    {"cover-open", QT_TRANSLATE_NOOP("PrinterReasons", "カバーが開いている")},
    {"input-tray-missing", QT_TRANSLATE_NOOP("PrinterReasons", "給紙トレイが外れている")},
    {"output-area-full", QT_TRANSLATE_NOOP("PrinterReasons", "排紙トレイがいっぱい")},
    {"output-tray-missing", QT_TRANSLATE_NOOP("PrinterReasons", "排紙トレイが外れている")},
    {"offline",
     QT_TRANSLATE_NOOP("PrinterReasons", "オフライン（電源とケーブルを確かめてください）")},
    {"shutdown", QT_TRANSLATE_NOOP("PrinterReasons", "電源が切れている")},
    {"timed-out", QT_TRANSLATE_NOOP("PrinterReasons", "プリンタが応答しない")},
    {"connecting-to-device", QT_TRANSLATE_NOOP("PrinterReasons", "プリンタに接続中")},
    {"spool-area-full", QT_TRANSLATE_NOOP("PrinterReasons", "印刷待ちの領域がいっぱい")},
    {"hold-new-jobs", QT_TRANSLATE_NOOP("PrinterReasons", "新しい印刷を保留中")},
    {"cups-missing-filter",
     QT_TRANSLATE_NOOP("PrinterReasons", "印刷に必要なフィルタが入っていない")},
    {"cups-insecure-filter",
     QT_TRANSLATE_NOOP("PrinterReasons", "印刷に必要なフィルタが使用できない")},
    {"other", QT_TRANSLATE_NOOP("PrinterReasons", "その他の問題")},
};

// What print queues and drivers commonly put in printer-state-message, lower case and without a
// closing full stop. Those with no text only repeat what the sentence before them says.
const struct
{
    const char *message;
    const char *text;
} kMessages[] = {
    {"paused", nullptr},
    {"printer paused", nullptr},
    {"rejecting jobs", nullptr},
    {"ready to print", nullptr},
    {"printer is ready", nullptr},
    {"idle", nullptr},
    {"paper jam", QT_TRANSLATE_NOOP("PrinterReasons", "紙詰まり")},
    {"media jam", QT_TRANSLATE_NOOP("PrinterReasons", "紙詰まり")},
    {"paper jammed", QT_TRANSLATE_NOOP("PrinterReasons", "紙詰まり")},
    {"out of paper", QT_TRANSLATE_NOOP("PrinterReasons", "用紙切れ")},
    {"paper out", QT_TRANSLATE_NOOP("PrinterReasons", "用紙切れ")},
    {"media empty", QT_TRANSLATE_NOOP("PrinterReasons", "用紙切れ")},
    {"toner low", QT_TRANSLATE_NOOP("PrinterReasons", "トナーが残りわずか")},
    {"toner empty", QT_TRANSLATE_NOOP("PrinterReasons", "トナー切れ")},
    {"out of toner", QT_TRANSLATE_NOOP("PrinterReasons", "トナー切れ")},
    {"cover open", QT_TRANSLATE_NOOP("PrinterReasons", "カバーが開いている")},
    {"door open", QT_TRANSLATE_NOOP("PrinterReasons", "扉が開いている")},
    {"offline",
     QT_TRANSLATE_NOOP("PrinterReasons", "オフライン（電源とケーブルを確かめてください）")},
    {"printer is offline",
     QT_TRANSLATE_NOOP("PrinterReasons", "オフライン（電源とケーブルを確かめてください）")},
    {"connecting to printer", QT_TRANSLATE_NOOP("PrinterReasons", "プリンタに接続中")},
    {"waiting for printer to become available",
     QT_TRANSLATE_NOOP("PrinterReasons", "プリンタに接続中")},
    {"unable to connect to printer", QT_TRANSLATE_NOOP("PrinterReasons", "プリンタが応答しない")},
    {"the printer is not responding", QT_TRANSLATE_NOOP("PrinterReasons", "プリンタが応答しない")},
    {"the printer may not exist or is unavailable at this time",
     QT_TRANSLATE_NOOP("PrinterReasons", "プリンタが応答しない")},
    {"printer stopped due to backend errors; please consult the error_log file for details",
     QT_TRANSLATE_NOOP("PrinterReasons", "プリンタへの送信に失敗して停止")},
};

QString reasonText(const QString &keyword)
{
    for (const auto &reason : kReasons)
        if (keyword == QLatin1String(reason.keyword))
            return QCoreApplication::translate("PrinterReasons", reason.text);
    return QString();
}

} // namespace

// "paused" only repeats that the queue is stopped.
QString printerStateText(const QStringList &reasons, const QString &message)
{
    static const QRegularExpression severity(QStringLiteral("-(error|warning|report)$"));
    QStringList known;
    QStringList detail;
    for (const QString &reason : reasons) {
        const QString keyword = QString(reason).remove(severity);
        if (keyword == QLatin1String("none") || keyword == QLatin1String("paused"))
            continue;
        const QString text = reasonText(keyword);
        (text.isEmpty() ? detail : known).append(text.isEmpty() ? reason : text);
    }
    static const QRegularExpression fullStop(QStringLiteral("\\.$"));
    const QString said = message.toLower().remove(fullStop);
    const auto common = std::find_if(std::begin(kMessages), std::end(kMessages),
                                     [&](const auto &each) { return said == each.message; });
    if (common == std::end(kMessages)) {
        if (!message.isEmpty())
            detail.prepend(message);
    } else if (common->text) {
        const QString text = QCoreApplication::translate("PrinterReasons", common->text);
        if (!known.contains(text)) // the reasons often say the same
            known.append(text);
    }
    const QString knownText = known.join(QStringLiteral("、"));
    const QString detailText = detail.join(QStringLiteral("、"));
    if (known.isEmpty() && detail.isEmpty())
        return QString();
    if (known.isEmpty())
        return QCoreApplication::translate("PrinterReasons", "\n（詳細：%1）").arg(detailText);
    if (detail.isEmpty())
        return QCoreApplication::translate("PrinterReasons", "\nプリンタの状態：%1").arg(knownText);
    return QCoreApplication::translate("PrinterReasons", "\nプリンタの状態：%1（詳細：%2）")
        .arg(knownText, detailText);
}
