#include "system/texts.h"

namespace texts {

QString appTitle()
{
    return QStringLiteral("ソラフ");
}

QString quitTitle()
{
    // Two half-width blanks before the name: this title differs from every other box's.
    return QStringLiteral("  ソラフ");
}

QString quitQuestion()
{
    return QStringLiteral("このプログラムを終了しますか？");
}

QString anotherInstance()
{
    return QStringLiteral("多重起動は、できません。");
}

QString eraUnknown()
{
    return QStringLiteral("今日の日付を和暦（元号と年）に変換できませんでした。"
                          "日付の元号と年を確かめて、年を入力してください。");
}

QString outOfMemory()
{
    return QStringLiteral(
        "メモリが足りません。ほかのプログラムを終了してから、もう一度お試しください。");
}

QString unexpectedError(const QString &what)
{
    return QStringLiteral(
               "予期しないエラーが発生しました。もう一度お試しください。"
               "繰り返し起きるときは、この内容を管理者にお知らせください。\n（詳細：%1）")
        .arg(what);
}

QString buttonTip(const QString &control, const QString &key)
{
    static const struct
    {
        const char *control;
        const char *tip;
    } kTips[] = {
        {"OnOffBtn", "印刷位置の調整（ズレ）を開く／閉じる"},
        {"PriDiaBtn", "印刷するプリンタ、用紙、印刷の向きを選びます"},
        {"InsatsuBtn", "入力した内容を委任状の用紙に印刷します"},
        {"zEndBtn", "ソラフを終了します（確認があります）。ズレは保存されません"},
        {"IchiBtn", "白紙に位置合わせ用の○印を 2 つ印刷します"},
        {"HozonBtn", "今のズレを保存します。次回の起動からこの値で始まります"},
        {"ImejiBtn",
         "印刷イメージ：用紙のどこに何が印刷されるかを、印刷する前に別の窓で確かめます。"
         "入力やズレの変更はすぐに反映されます"},
        {"UpDownX", "左右のズレを 1 mm（値 10）ずつ動かします。"
                    "右向きの矢印で右へ、左向きの矢印で左へ"},
        {"UpDownY", "上下のズレを 1 mm（値 10）ずつ動かします。"
                    "上向きの矢印で上へ、下向きの矢印で下へ"},
    };
    for (const auto &tip : kTips) {
        if (control != QLatin1String(tip.control))
            continue;
        const QString text = QString::fromUtf8(tip.tip);
        return key.isEmpty() ? text : QStringLiteral("%1（%2）").arg(text, key);
    }
    return QString();
}

QString leftRightBox()
{
    return QStringLiteral("左右のズレ");
}

QString upDownBox()
{
    return QStringLiteral("上下のズレ");
}

QString numberMissing()
{
    return QStringLiteral("数値が入力されていません。半角の整数で入力してください（例：-15）。");
}

QString notANumber()
{
    return QStringLiteral("数値ではありません。半角の整数で入力してください（例：-15）。");
}

QString numberTooLarge()
{
    return QStringLiteral("数値が大きすぎます。-1000～1000 の範囲の整数にしてください。");
}

QString offsetOutOfRange()
{
    return QStringLiteral("調整できる範囲（-1000～1000）を超えています。"
                          "この範囲の数値を入力してください。");
}

QString offsetFolderTip(const QString &folder)
{
    return QStringLiteral("ズレは、次のフォルダーの ini_x1.txt と ini_y1.txt に保存します。\n%1")
        .arg(folder);
}

QString offsetFilesUnusable(const QString &files)
{
    return QStringLiteral("ズレの設定ファイルを使用できませんでした。\n\n%1\n\n"
                          "ファイルは変更していません。調整画面でズレを合わせてから"
                          "「ズレ保存」を押すと、保存し直せます。")
        .arg(files);
}

QString offsetFileUnusable(const QString &path, const QString &problem, const QString &box)
{
    return QStringLiteral("「%1」\n%2\n→ %3を 0 にして始めます。").arg(path, problem, box);
}

QString noFolderForFile()
{
    return QStringLiteral("ファイルを置くフォルダーがありません。");
}

QString cannotCreateFile()
{
    return QStringLiteral(
        "ファイルを作成できませんでした（フォルダーに書き込む権限がありません）。");
}

QString folderInPlaceOfFile()
{
    return QStringLiteral("同じ名前のフォルダーがあるため、ファイルとして読み込めません。");
}

QString fileMissing()
{
    return QStringLiteral("ファイルが見つかりません。");
}

QString notARegularFile()
{
    return QStringLiteral("通常のファイルではないため、読み込めません。");
}

QString fileTooLarge()
{
    return QStringLiteral(
        "ファイルが大きすぎます。ズレの数値が 1 つだけ書かれているはずのファイルです。");
}

QString cannotOpenFile()
{
    return QStringLiteral("ファイルを開くことができませんでした（読み取る権限がありません）。");
}

QString cannotReadFile()
{
    return QStringLiteral("ファイルを読み込めませんでした。");
}

QString onlyEmptyLines()
{
    return QStringLiteral("中身が空の行だけで、数値が書かれていません。");
}

QString contentNotANumber()
{
    return QStringLiteral("中身が数値ではありません。");
}

QString offsetsRefused(const QString &refusals)
{
    return QStringLiteral("ズレを保存できませんでした。\n\n%1\n\n"
                          "数値を直してから、もう一度「ズレ保存」を押してください。")
               .arg(refusals) +
           offsetsKeptAsBefore();
}

QString offsetRefusal(const QString &box, const QString &reason)
{
    return QStringLiteral("%1：%2").arg(box, reason);
}

QString offsetsNotSaved(const QString &path, const QString &reason, const QString &after)
{
    return QStringLiteral("ズレを保存できませんでした。\n\n「%1」\n%2\n\n%3")
        .arg(path, reason, after);
}

QString offsetsKeptAsBefore()
{
    return QStringLiteral("保存してあったズレは、前のままです。");
}

QString firstOffsetFileChanged(const QString &path)
{
    return QStringLiteral("「%1」には新しい値が入りました。もう一度「ズレ保存」を"
                          "押して、両方を保存し直してください。")
        .arg(path);
}

QString folderInPlaceOfSavedFile()
{
    return QStringLiteral("同じ名前のフォルダーがあるため、ファイルに書き込めません。");
}

QString saveFolderMissing()
{
    return QStringLiteral("保存先のフォルダーがありません。");
}

QString fileReadOnly()
{
    return QStringLiteral("ファイルが読み取り専用です。");
}

QString saveFolderNotWritable()
{
    return QStringLiteral("保存先のフォルダーに書き込む権限がありません。");
}

QString writeFailed()
{
    return QStringLiteral("書き込めませんでした（ディスクの空き不足など）。");
}

QString offsetUnusable(const QString &box, const QString &reason)
{
    return QStringLiteral("「%1」の値を使用できません。%2\n印刷はしていません。").arg(box, reason);
}

QString fontSizeUnusable(int points)
{
    return QStringLiteral("文字の大きさ（%1 ポイント）を処理できません。"
                          "「プリンタ設定」で別のプリンタを選んでください。")
        .arg(points);
}

QString noPrinters()
{
    return QStringLiteral("使えるプリンタがありません。「プリンタ設定」で"
                          "プリンタを登録するか、PDFファイルを選んでください。");
}

QString noDefaultPrinter()
{
    return QStringLiteral("既定のプリンタが決まっていません。"
                          "「プリンタ設定」でプリンタを選んでください。");
}

QString paperUnavailable(const QString &printer, const QString &media)
{
    return QStringLiteral("プリンタ「%1」では、選んであった用紙（%2）を使用できません。"
                          "「プリンタ設定」で用紙を選び直してください。")
        .arg(printer, media);
}

QString noJapaneseFont()
{
    return QStringLiteral("日本語を印刷できるフォントが見つかりません。"
                          "IPAフォント（fonts-ipafont-gothic）を入れてください。");
}

QString paperName(const QString &pwgName)
{
    static const struct
    {
        const char *pwg;
        const char *name;
    } kPapers[] = {
        {"iso_a3_297x420mm", "A3"},
        {"iso_a4_210x297mm", "A4"},
        {"iso_a5_148x210mm", "A5"},
        {"iso_a6_105x148mm", "A6"},
        {"jis_b4_257x364mm", "B4（JIS）"},
        {"jis_b5_182x257mm", "B5（JIS）"},
        {"jis_b6_128x182mm", "B6（JIS）"},
        // Not the B sizes Japanese offices mean by B4 and B5.
        {"iso_b4_250x353mm", "B4（ISO）"},
        {"iso_b5_176x250mm", "B5（ISO）"},
        {"jpn_hagaki_100x148mm", "はがき"},
        {"jpn_oufuku_148x200mm", "往復はがき"},
        {"oe_photo-l_3.5x5in", "L判"},
        {"jpn_chou3_120x235mm", "長形3号封筒"},
        {"jpn_chou4_90x205mm", "長形4号封筒"},
        {"jpn_kaku2_240x332mm", "角形2号封筒"},
        {"jpn_you4_105x235mm", "洋形4号封筒"},
        {"na_letter_8.5x11in", "レター"},
        {"na_legal_8.5x14in", "リーガル"},
        {"na_ledger_11x17in", "タブロイド"},
        {"na_executive_7.25x10.5in", "エグゼクティブ"},
        {"na_number-10_4.125x9.5in", "封筒 Com10"},
        {"na_monarch_3.875x7.5in", "封筒 モナーク"},
        {"iso_dl_110x220mm", "封筒 DL"},
        {"iso_c5_162x229mm", "封筒 C5"},
    };
    for (const auto &paper : kPapers)
        if (pwgName == QLatin1String(paper.pwg))
            return QString::fromUtf8(paper.name);
    return QString();
}

QString otherPaper(int widthMm, int heightMm)
{
    return QStringLiteral("その他の用紙（%1×%2 mm）").arg(widthMm).arg(heightMm);
}

QString pdfDialogTitle()
{
    return QStringLiteral("PDFファイルの保存先");
}

QString pdfDialogFilter()
{
    return QStringLiteral("PDFファイル (*.pdf)");
}

QString pdfNotSaved(const QString &path, const QString &why)
{
    return QStringLiteral(
               "PDFファイル「%1」を保存できませんでした。\n%2\n別の保存先を選んでください。")
        .arg(path, why);
}

QString noTemporaryFile(const QString &why)
{
    return QStringLiteral("印刷データ用の一時ファイルを作成できません。\n%1").arg(why);
}

QString pageUnavailable(const QString &paper)
{
    return QStringLiteral("用紙「%1」のページを作成できません。"
                          "「プリンタ設定」で別の用紙を選んでください。")
        .arg(paper);
}

QString cannotStartPage()
{
    return QStringLiteral("印刷データを作成できません。もう一度お試しください。");
}

QString pageAlreadyEnded()
{
    return QStringLiteral("印刷データを送信できませんでした。もう一度お試しください。");
}

QString pageNotWritten(const QString &why)
{
    return QStringLiteral("印刷データを保存できませんでした。\n%1").arg(why);
}

QString serviceReply(const QString &text, const QString &reply)
{
    return QStringLiteral("%1\n（印刷サービスの応答：%2）").arg(text, reply);
}

QString serviceUnreachable()
{
    return QStringLiteral("印刷サービス（CUPS）に接続できません。"
                          "印刷サービスが動いているか確かめてください。");
}

QString serviceNotAnswering(const QString &server)
{
    return QStringLiteral("印刷サービス（CUPS）が応答しません（%1）。"
                          "しばらく待ってからもう一度印刷するか、印刷サービスの状態を"
                          "確かめてください。")
        .arg(server);
}

QString printersUnknown()
{
    return QStringLiteral("印刷サービスからプリンタの一覧を取得できません。");
}

QString printerNotFound(const QString &printer)
{
    return QStringLiteral("プリンタ「%1」が見つかりません。"
                          "「プリンタ設定」でプリンタを選び直してください。")
        .arg(printer);
}

QString printerNotAccepting(const QString &printer)
{
    return QStringLiteral("プリンタ「%1」は今、印刷を受け付けていません。"
                          "しばらくしてから、もう一度お試しください。")
        .arg(printer);
}

QString noPrintPermission(const QString &printer)
{
    return QStringLiteral(
               "プリンタ「%1」で印刷する権限がありません。管理者にお問い合わせください。")
        .arg(printer);
}

QString printerState(const QString &reasons, const QString &detail)
{
    if (reasons.isEmpty())
        return QStringLiteral("\n（詳細：%1）").arg(detail);
    if (detail.isEmpty())
        return QStringLiteral("\nプリンタの状態：%1").arg(reasons);
    return QStringLiteral("\nプリンタの状態：%1（詳細：%2）").arg(reasons, detail);
}

QString printerReason(const QString &keyword)
{
    // What a queue's printer-state-reasons can say, without the -error/-warning/-report ending.
    static const struct
    {
        const char *keyword;
        const char *text;
    } kReasons[] = {
        {"media-empty", "用紙切れ"},
        {"media-needed", "用紙の補給が必要"},
        {"media-low", "用紙が残りわずか"},
        {"media-jam", "紙詰まり"},
        {"toner-empty", "トナー切れ"},
        {"toner-low", "トナーが残りわずか"},
        {"marker-supply-empty", "インク・トナー切れ"},
        {"marker-supply-low", "インク・トナーが残りわずか"},
        {"marker-waste-full", "廃インク・廃トナーがいっぱい"},
        {"door-open", "扉が開いている"},
        {"cover-open", "カバーが開いている"},
        {"input-tray-missing", "給紙トレイが外れている"},
        {"output-area-full", "排紙トレイがいっぱい"},
        {"output-tray-missing", "排紙トレイが外れている"},
        {"offline", "オフライン（電源とケーブルを確かめてください）"},
        {"shutdown", "電源が切れている"},
        {"timed-out", "プリンタが応答しない"},
        {"connecting-to-device", "プリンタに接続中"},
        {"spool-area-full", "印刷待ちの領域がいっぱい"},
        {"hold-new-jobs", "新しい印刷を保留中"},
        {"cups-missing-filter", "印刷に必要なフィルタが入っていない"},
        {"cups-insecure-filter", "印刷に必要なフィルタが使用できない"},
        {"other", "その他の問題"},
    };
    for (const auto &reason : kReasons)
        if (keyword == QLatin1String(reason.keyword))
            return QString::fromUtf8(reason.text);
    return QString();
}

QString printerStopped(const QString &printer, const QString &state)
{
    return QStringLiteral("プリンタ「%1」は停止しています。"
                          "プリンタと印刷キューの状態を確かめてください。%2")
        .arg(printer, state);
}

QString papersUnknown(const QString &printer)
{
    return QStringLiteral("プリンタ「%1」の用紙の情報を取得できませんでした。"
                          "プリンタの電源と接続を確かめてから、もう一度お試しください。")
        .arg(printer);
}

QString noPapersOffered(const QString &printer)
{
    return QStringLiteral("プリンタ「%1」から、使用できる用紙の情報を取得できませんでした。"
                          "プリンタの電源と接続を確かめてから、もう一度お試しください。")
        .arg(printer);
}

QString printerStateUnknown(const QString &printer)
{
    return QStringLiteral("プリンタ「%1」の状態を取得できませんでした。"
                          "プリンタの電源と接続を確かめてから、もう一度お試しください。")
        .arg(printer);
}

QString printerRejecting(const QString &printer, const QString &state)
{
    return QStringLiteral("プリンタ「%1」は今、印刷を受け付けない設定になっています。"
                          "プリンタの管理者にお問い合わせください。%2")
        .arg(printer, state);
}

QString jobNotWithdrawn()
{
    return QStringLiteral("\n印刷を取り消すことができませんでした。"
                          "プリンタが再開すると、この用紙が印刷されます。");
}

QString jobMayStillPrint()
{
    return QStringLiteral(
        "\n送りかけた印刷を取り消すことができませんでした。"
        "印刷サービスが応答するようになると、この用紙が印刷されることがあります。");
}

QString jobRefused(const QString &printer)
{
    return QStringLiteral(
               "プリンタ「%1」が印刷を受け付けませんでした。"
               "「プリンタ設定」でプリンタと用紙を確かめてから、もう一度お試しください。")
        .arg(printer);
}

QString printerChoiceNotSaved(const QString &path)
{
    return QStringLiteral("プリンタの設定を保存できませんでした（設定ファイルに書き込めません）。"
                          "選んだ設定は、このプログラムを終了するまで使います。\n"
                          "次の起動でも使うには、次の設定ファイルとそのフォルダーに書き込めるように"
                          "してから、もう一度「プリンタ設定」で選んでください。\n%1")
        .arg(path);
}

QString printersUnlisted(const QString &why)
{
    return QStringLiteral("プリンタの一覧を取得できませんでした。"
                          "PDFファイルには出力できます。\n") +
           why;
}

QString earlierPrinterGone(const QString &printer)
{
    return QStringLiteral("これまで使っていたプリンタ「%1」が見つかりません。"
                          "プリンタを選び直してください。")
        .arg(printer);
}

QString historyMovedAside(const QString &path, const QString &movedTo)
{
    return QStringLiteral("印刷履歴のファイル「%1」が壊れているため、読み込めません。\n"
                          "このファイルは「%2」として残し、新しい印刷履歴を始めました。")
        .arg(path, movedTo);
}

QString historyFolderUnusable(const QString &folder)
{
    return QStringLiteral("印刷履歴を保存するフォルダー「%1」に書き込めません"
                          "（読み取り専用、ディスクがいっぱいなどの理由）。\n"
                          "今回は印刷履歴を残しません。印刷はこれまでどおりできます。"
                          "フォルダーを確かめてから、ソラフを起動し直してください。")
        .arg(folder);
}

QString historyOfLaterVersion(const QString &path)
{
    return QStringLiteral("印刷履歴のファイル「%1」は新しい版のソラフで作られたため、"
                          "読み込めません。今回は印刷履歴を残しません。"
                          "新しい版のソラフをお使いください。")
        .arg(path);
}

QString historyNotWritten()
{
    return QStringLiteral("印刷した委任状を印刷履歴に書き込めませんでした"
                          "（ディスクがいっぱいなどの理由）。印刷はできています。\n"
                          "今回はこのあと印刷履歴を残しません。空き容量を確かめてから、"
                          "ソラフを起動し直してください。");
}

QString historyNotDeleted()
{
    return QStringLiteral("印刷履歴を削除できませんでした。もう一度お試しください。");
}

QString historyNotErased(const QString &path)
{
    return QStringLiteral("印刷履歴のファイル「%1」を削除できませんでした。"
                          "お手数ですが、このファイルを手で削除してください。")
        .arg(path);
}

QString historyTurnOffQuestion()
{
    return QStringLiteral("印刷履歴を残さないようにすると、これまでの印刷履歴をすべて削除します。"
                          "よろしいですか？");
}

QString historyDeleteQuestion(int count)
{
    return QStringLiteral("選んだ %1 件の印刷履歴を削除します。よろしいですか？").arg(count);
}

QString historyCount(int shown)
{
    return QStringLiteral("%1 件（新しい順に 100 件まで表示します。"
                          "もっと前のものは、文字や期間で絞り込んでください）")
        .arg(shown);
}

QString historyIsOff()
{
    return QStringLiteral("印刷履歴は残さない設定です。");
}

QString loadingPrinters()
{
    return QStringLiteral("プリンタの一覧を問い合わせています…");
}

QString loadingPapers()
{
    return QStringLiteral("用紙を問い合わせています…");
}

QString printingNow()
{
    return QStringLiteral("印刷しています…");
}

QString jobSent(const QString &printer, int jobId)
{
    return QStringLiteral("%1 に送りました（ジョブ %2）").arg(printer).arg(jobId);
}

QString pdfSaved(const QString &fileName)
{
    return QStringLiteral("%1 を保存しました").arg(fileName);
}

QString closingAfterJob()
{
    return QStringLiteral("印刷を送り終えてから閉じます…");
}

QString scanDialogTitle()
{
    return QStringLiteral("用紙の画像を選択");
}

QString scanDialogFilter()
{
#ifdef SORAFU_HAVE_POPPLER
    return QStringLiteral("用紙の画像（*.png *.jpg *.jpeg *.pdf）");
#else
    return QStringLiteral("用紙の画像（*.png *.jpg *.jpeg）");
#endif
}

QString scanUnusable(const QString &path, const QString &reason)
{
    return QStringLiteral("用紙の画像「%1」を読み込めません。%2\n"
                          "印刷イメージは用紙の画像なしで表示します。")
        .arg(path, reason);
}

QString scanMissing()
{
    return QStringLiteral("ファイルが見つかりません。もう一度選び直してください。");
}

QString scanNotAnImage()
{
#ifdef SORAFU_HAVE_POPPLER
    return QStringLiteral("PNG、JPEG または PDF のファイルを選んでください。");
#else
    return QStringLiteral("PNG または JPEG のファイルを選んでください"
                          "（PDF はこの環境では読み込めません）。");
#endif
}

QString scanSizeAbsurd(int width, int height)
{
    return QStringLiteral("画像の大きさ（%1×%2 画素）が用紙のスキャンとして不自然です。"
                          "100〜600 dpi でスキャンした画像を選んでください。")
        .arg(width)
        .arg(height);
}

QString previewPaper(const QString &paper, bool landscape)
{
    return paper + (landscape ? QStringLiteral("・横") : QStringLiteral("・縦"));
}

QString previewPaperUnknown(const QString &paper, const QString &reason)
{
    return QStringLiteral(
               "プリンタから用紙の情報を取得できません。前回の用紙（%1）で表示しています。"
               "（%2）")
        .arg(paper, reason);
}

QString previewSettingsNotSaved(const QString &path)
{
    return QStringLiteral("印刷イメージの用紙の画像と、その位置の調整を保存できませんでした"
                          "（設定ファイルに書き込めません）。このプログラムを終了するまでは"
                          "そのまま使えますが、次の起動では元に戻ります。\n"
                          "次の設定ファイルとそのフォルダーに書き込めるようにしてください。\n%1")
        .arg(path);
}

QString printerSilent()
{
    return QStringLiteral("印刷サービスが応答しません");
}

} // namespace texts
