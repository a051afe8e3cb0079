#pragma once

#include <QDate>
#include <QDateTime>
#include <QMap>
#include <QString>

// One printed letter as the history keeps it. The history knows nothing of the window: the
// entries are texts under the names of the controls they came from.
struct HistoryLetter
{
    qint64 id = 0; // given when it is recorded
    QDateTime printedAt;
    QMap<QString, QString> entries;
    bool delegatedMatterTicked = false;
    // The offsets the page was printed with: kept as a record, never put back into the window,
    // since they belong to the printer's calibration, not to the letter.
    QString offsetX;
    QString offsetY;
    QString printer; // the print queue, or empty for a PDF file
    QString paper;
    QString orientation;
    QString jobId; // the print service's job number, or the PDF file written
    // The texts a search looks through: names, readings, the number, the addresses.
    QString searchText;
};

// What the history window asks for. An empty text matches every letter; a null date leaves
// that end of the period open.
struct HistoryQuery
{
    QString text;
    QDate from;
    QDate to;
};
