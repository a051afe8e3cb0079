#pragma once

#include "core/letter.h"
#include "core/printoffset.h"

struct AcceptedJob;

#include <QDate>
#include <QDateTime>
#include <QString>

// One printed letter as the history keeps it: the letter itself and where and how it went out.
struct HistoryLetter
{
    qint64 id = 0; // given when it is recorded
    QDateTime printedAt;
    Letter letter;
    // The offsets the page was printed with: kept as a record, never put back into the window,
    // since they belong to the printer's calibration, not to the letter.
    PrintOffset offset;
    QString printer; // the print queue, or empty for a PDF file
    QString paper;
    QString orientation;
    QString jobId;        // the print service's job number, or the PDF file written
    bool reprint = false; // printed again from the history
    bool batch = false;   // one letter of a batch printed from a list
    QString pc;           // the PC and user that printed it, in a shared history
    QString user;
};

// A letter the print queue or the PDF file took, as it is kept, printed now.
HistoryLetter historyLetter(const AcceptedJob &job, const Letter &letter,
                            const PrintOffset &offset);

// What the history window asks for. An empty text matches every letter; a null date leaves
// that end of the period open.
struct HistoryQuery
{
    QString text;
    QDate from;
    QDate to;
};
