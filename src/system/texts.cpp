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
    return QStringLiteral("今日の日付を和暦（元号と年）に直せませんでした。"
                          "日付の元号と年を確かめて、年を入力してください。");
}

QString outOfMemory()
{
    return QStringLiteral(
        "メモリが足りません。ほかのプログラムを終了してから、もう一度お試しください。");
}

QString unexpectedError(const QString &what)
{
    return QStringLiteral("予期しないエラーが発生しました。\n%1").arg(what);
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
    return QStringLiteral("数値が入力されていません。");
}

QString notANumber()
{
    return QStringLiteral("数値ではありません。");
}

QString numberTooLarge()
{
    return QStringLiteral("数値が大きすぎます（桁あふれ）。");
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
    return QStringLiteral("ズレの設定ファイルを使えませんでした。\n\n%1\n\n"
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
        "ファイルを作れませんでした（フォルダーに書き込みが許可されていません）。");
}

QString folderInPlaceOfFile()
{
    return QStringLiteral("同じ名前のフォルダーがあり、ファイルとして読めません。");
}

QString fileMissing()
{
    return QStringLiteral("ファイルが見つかりません。");
}

QString notARegularFile()
{
    return QStringLiteral("普通のファイルではないため、読めません。");
}

QString fileTooLarge()
{
    return QStringLiteral("ファイルが大きすぎます。ズレの数値 1 つだけのはずのファイルです。");
}

QString cannotOpenFile()
{
    return QStringLiteral("ファイルを開けませんでした（読み取りが許可されていません）。");
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
    return QStringLiteral("同じ名前のフォルダーがあり、ファイルとして書き込めません。");
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
    return QStringLiteral("保存先のフォルダーに書き込みが許可されていません。");
}

QString writeFailed()
{
    return QStringLiteral("書き込めませんでした（ディスクがいっぱいなどの理由）。");
}

QString offsetUnusable(const QString &box, const QString &reason)
{
    return QStringLiteral("「%1」の値を使えません。%2\n印刷はしていません。").arg(box, reason);
}

QString fontSizeUnusable(int points)
{
    return QStringLiteral("文字の大きさ（%1 ポイント）を扱えません。").arg(points);
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
    return QStringLiteral("プリンタ「%1」では、選んであった用紙（%2）が使えません。"
                          "「プリンタ設定」で用紙を選び直してください。")
        .arg(printer, media);
}

QString noJapaneseFont()
{
    return QStringLiteral("日本語を印刷できるフォントが見つかりません。"
                          "IPAフォント（fonts-ipafont-gothic）を入れてください。");
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
    return QStringLiteral("PDFファイル「%1」を保存できませんでした。\n%2").arg(path, why);
}

QString noTemporaryFile(const QString &why)
{
    return QStringLiteral("印刷データを作る一時ファイルを開けません。\n%1").arg(why);
}

QString pageUnavailable(const QString &paper)
{
    return QStringLiteral("用紙「%1」のページを作れません。").arg(paper);
}

QString cannotStartPage()
{
    return QStringLiteral("印刷データを作り始められません。");
}

QString pageAlreadyEnded()
{
    return QStringLiteral("この印刷はもう終わっています。");
}

QString pageNotWritten(const QString &why)
{
    return QStringLiteral("印刷データを書き出せませんでした。\n%1").arg(why);
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
    return QStringLiteral("プリンタ「%1」は今、印刷を受け付けていません。").arg(printer);
}

QString noPrintPermission(const QString &printer)
{
    return QStringLiteral("プリンタ「%1」で印刷する権限がありません。").arg(printer);
}

QString printerState(const QString &why)
{
    return QStringLiteral("\n（プリンタの状態：%1）").arg(why);
}

QString printerStopped(const QString &printer, const QString &state)
{
    return QStringLiteral("プリンタ「%1」は停止しています。"
                          "プリンタと印刷キューの状態を確かめてください。%2")
        .arg(printer, state);
}

QString papersUnknown(const QString &printer)
{
    return QStringLiteral("プリンタ「%1」の用紙を調べられませんでした。").arg(printer);
}

QString noPapersOffered(const QString &printer)
{
    return QStringLiteral("プリンタ「%1」から使える用紙を教えてもらえませんでした。").arg(printer);
}

QString printerStateUnknown(const QString &printer)
{
    return QStringLiteral("プリンタ「%1」の状態を確かめられませんでした。").arg(printer);
}

QString printerRejecting(const QString &printer, const QString &state)
{
    return QStringLiteral("プリンタ「%1」は今、印刷を受け付けない設定になっています。%2")
        .arg(printer, state);
}

QString jobNotWithdrawn()
{
    return QStringLiteral("\n印刷は取り消せませんでした。"
                          "プリンタが再開すると、この用紙が印刷されます。");
}

QString jobMayStillPrint()
{
    return QStringLiteral(
        "\n送りかけた印刷を取り消せませんでした。"
        "印刷サービスが応答するようになると、この用紙が印刷されることがあります。");
}

QString jobRefused(const QString &printer)
{
    return QStringLiteral("プリンタ「%1」が印刷を受け付けませんでした。").arg(printer);
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
    return QStringLiteral("プリンタの一覧を取り出せませんでした。"
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
