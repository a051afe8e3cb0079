#pragma once

#include <QString>

// Every text the program shows the user, grouped by when it is shown. Many are parts that
// the others are built from (reasons, box names). Captions of the window and of the printer
// setup dialog and the items of the choice lists belong to their forms and are not here.
// tests/tst_messages.cpp brings each of these to the screen; a new one needs a row there.
namespace texts {

// ---- Titles
QString appTitle();  // every message box but the exit question
QString quitTitle(); // the exit question's own title

// ---- The window
QString quitQuestion();                       // 終了 pressed
QString anotherInstance();                    // started while another copy runs; this one ends
QString eraUnknown();                         // at start, today's date has no Japanese era
QString outOfMemory();                        // a button's work ran out of memory
QString unexpectedError(const QString &what); // a button's work failed in a way not foreseen

// ---- Tooltips of the window's buttons and spin controls, by control name, with the key that
// presses the button where it has one; empty for any other control
QString buttonTip(const QString &control, const QString &key);

// ---- The offset boxes, as messages name them
QString leftRightBox(); // 左右のズレ
QString upDownBox();    // 上下のズレ

// ---- Why a text is not a number: a box on save or print, an offset file at start
QString numberMissing();    // box empty or blank
QString notANumber();       // box holds something else
QString numberTooLarge();   // box or file beyond what the offset can hold
QString offsetOutOfRange(); // box beyond what the panel reaches (-1000 to 1000)

// ---- The adjustment panel's tooltip: the folder holding the offset files
QString offsetFolderTip(const QString &folder);

// ---- Start-up: the one warning when an offset file cannot be used
QString offsetFilesUnusable(const QString &files); // the warning, around a part per file
QString offsetFileUnusable(const QString &path, const QString &problem,
                           const QString &box); // one file's part: why, and that its box is 0
QString noFolderForFile();                      // the file is missing and so is its folder
QString cannotCreateFile();    // the file is missing and its folder refuses a new one
QString folderInPlaceOfFile(); // a folder has the file's name
QString fileMissing();         // the name is a link to nothing
QString notARegularFile();     // a device or pipe has the file's name
QString fileTooLarge();        // too big to hold just one number
QString cannotOpenFile();      // reading the file is not allowed
QString cannotReadFile();      // the file opened but reading it failed
QString onlyEmptyLines();      // the file holds blank lines only
QString contentNotANumber();   // the file holds something other than a number

// ---- ズレ保存 pressed, and nothing was saved
QString offsetsRefused(const QString &refusals);                  // a box is not a number
QString offsetRefusal(const QString &box, const QString &reason); // one line of that message
QString offsetsNotSaved(const QString &path, const QString &reason,
                        const QString &after); // a file could not be written
QString offsetsKeptAsBefore();                 // after: both files are as they were
// After: the first file was replaced but the second was not, and the first could not be put back.
QString firstOffsetFileChanged(const QString &path);
// Why a file was not written; also for the PDF file and the page's temporary file.
QString folderInPlaceOfSavedFile(); // reason: a folder has the file's name
QString saveFolderMissing();        // reason: the folder to write in has gone
QString fileReadOnly();             // reason: the file may not be written
QString saveFolderNotWritable();    // reason: the folder refuses new files
QString writeFailed();              // reason: anything else, a full disk above all

// ---- 印刷 or 位置 pressed, and nothing was printed
QString offsetUnusable(const QString &box, const QString &reason); // a box is not a number
QString fontSizeUnusable(int points); // the printer reports an impossible size for a font

// ---- Printing: the printer chosen in printer setup, or the default one
QString noPrinters();       // no setup yet, and the print service knows no printer
QString noDefaultPrinter(); // no setup yet, and no printer is the default
QString paperUnavailable(const QString &printer, const QString &media); // chosen paper gone
QString noJapaneseFont(); // no installed font prints Japanese

// ---- Papers as a clerk names them
QString paperName(const QString &pwgName);     // a common PWG size (iso_a4_210x297mm); else empty
QString otherPaper(int widthMm, int heightMm); // any other size

// ---- Printing into a PDF file
QString pdfDialogTitle();  // the file dialog asking where the file goes
QString pdfDialogFilter(); // its file type
QString pdfNotSaved(const QString &path, const QString &why); // the picked file can't be written

// ---- Printing: the page itself
QString noTemporaryFile(const QString &why);   // no temporary file for the page
QString pageUnavailable(const QString &paper); // the paper does not make a page
QString cannotStartPage();                     // the page does not begin
QString pageAlreadyEnded();                    // a page ended a second time
QString pageNotWritten(const QString &why);    // the finished page could not be written out

// ---- Printing: what the print service (CUPS) answered
QString serviceReply(const QString &text, const QString &reply); // its own words, after ours
QString serviceUnreachable(); // nothing takes the connection: the print service is down
QString serviceNotAnswering(const QString &server); // it took the connection, then fell silent
QString printersUnknown(); // the list of printers was refused for another reason
QString printerNotFound(const QString &printer);
QString printerNotAccepting(const QString &printer); // the job was refused: queue not accepting
QString noPrintPermission(const QString &printer);
// The queue's state after ours: its reasons in our words, its own message only as a detail.
QString printerState(const QString &reasons, const QString &detail);
QString printerReason(const QString &keyword); // one reason (media-jam); empty when not known
QString printerStopped(const QString &printer, const QString &state); // queue paused
QString papersUnknown(const QString &printer);       // asking for its papers failed
QString noPapersOffered(const QString &printer);     // it named no paper
QString printerStateUnknown(const QString &printer); // asking for its state failed
QString printerRejecting(const QString &printer, const QString &state); // set to refuse jobs
QString jobNotWithdrawn(); // after printerStopped: a job it took could not be cancelled
QString jobRefused(const QString &printer); // the job was refused for another reason
QString jobMayStillPrint(); // after a failure sending the page: its job could not be withdrawn

// ---- Printer setup confirmed, but the choice could not be written down
QString printerChoiceNotSaved(const QString &path); // the settings file last

// ---- Printer setup: the red line above its buttons
QString printersUnlisted(const QString &why);       // the print service could not list printers
QString earlierPrinterGone(const QString &printer); // the printer chosen last time has gone
QString loadingPrinters();                          // the list of printers is on its way
QString loadingPapers(); // the papers of the chosen printer are on their way

// ---- The window's short notice, which goes away by itself
QString printingNow();                              // a job is on its way
QString jobSent(const QString &printer, int jobId); // the print queue took it
QString pdfSaved(const QString &fileName);          // the PDF file was written
QString closingAfterJob();                          // closing waits for the job

// ---- 印刷イメージ (the preview window)
QString scanDialogTitle();  // the file dialog picking a scan of the blank form
QString scanDialogFilter(); // its file types
// A scan that cannot be shown under the preview, around one of the reasons below.
QString scanUnusable(const QString &path, const QString &reason);
QString scanMissing();                         // reason: no such file
QString scanNotAnImage();                      // reason: not a PNG, JPEG or PDF it can read
QString scanSizeAbsurd(int width, int height); // reason: far too small or far too large
QString previewPaper(const QString &paper, bool landscape); // the sheet shown, e.g. A4・横
// The note above the sheet when the printer's paper is not known now, around the reason.
QString previewPaperUnknown(const QString &paper, const QString &reason);
QString printerSilent(); // reason: the print service has not answered yet
// The scan or its nudge could not be written down; the settings file last.
QString previewSettingsNotSaved(const QString &path);

// ---- The print history (印刷履歴); tests/tst_history.cpp shows the ones it can bring about
QString historyMovedAside(const QString &path, const QString &movedTo); // damaged file kept aside
QString historyFolderUnusable(const QString &folder); // read-only or full: off for this run
QString historyOfLaterVersion(const QString &path);   // a later version's file: off for this run
QString historyNotWritten();                          // a printed letter could not be kept
QString historyNotDeleted();                          // 削除 failed
QString historyNotErased(const QString &path);        // turning it off could not delete the file
QString historyTurnOffQuestion();                     // before turning it off
QString historyDeleteQuestion(int count);             // before 削除
QString historyCount(int shown);                      // under the list
QString historyIsOff();                               // under the list while it is off

} // namespace texts
