#pragma once

#include "core/letter.h"
#include "layout/preflight.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

#include <optional>

class Clock;

// Limits that keep a mistaken file (a whole database export) from swallowing memory.
inline constexpr int kBatchMaxRows = 100000;
inline constexpr qint64 kBatchMaxBytes = 50 * 1024 * 1024;

// One thing wrong with the file. Rows are counted as a spreadsheet shows them: the header is
// row 1, the first letter row 2; 0 is the file as a whole. Columns from 1; 0 is the whole row.
struct BatchProblem
{
    int row = 0;
    int column = 0;
    // The column's header as written, when the column has one.
    QString columnName;
    // In Japanese, with what to do about it.
    QString reason;
};

// One letter of the file, ready to print, with what keeps it from printing and what would not
// print as written.
struct BatchRow
{
    int row = 0; // as in BatchProblem
    Letter letter;
    QList<BatchProblem> problems;
    QList<PreflightWarning> warnings;

    bool ok() const { return problems.isEmpty(); }
};

struct BatchFile
{
    QList<BatchRow> rows;
    // Every problem of the file, the rows' own included, in the order of the file.
    QList<BatchProblem> problems;

    // True only when there is at least one row and nothing at all is wrong.
    bool printable() const { return problems.isEmpty() && !rows.isEmpty(); }
};

// The column names the header row may use for a field: its Japanese name as the template
// writes it, e.g. "委任者1 フリガナ". The field's key (fieldKey) is accepted too.
QString batchColumnName(Field field);
// A header cell's field, whatever its case, width or surrounding blanks; nothing when unknown.
std::optional<Field> batchColumnField(const QString &name);

// The file's bytes as text: a BOM or valid UTF-8 as UTF-8, otherwise CP932. Nothing, with the
// reason in *error, when they are neither.
std::optional<QString> decodeBatchText(const QByteArray &bytes, QString *error);

// Reads and checks the whole file. Empty dates are today's in the era the window shows;
// readings turn to katakana; a delegated matter ticks its box. fontFamily is for the
// preflight warnings (empty: none looked for).
BatchFile readBatch(const QByteArray &bytes, const Clock &clock, const QString &fontFamily);
// The same from a file, refusing a file too large before reading it. May wait on the disk,
// so runs off the GUI thread.
BatchFile loadBatchFile(const QString &path, const Clock &clock, const QString &fontFamily);

// One line for the user: "行 3、列「月」: …", or the reason alone for the file as a whole.
QString batchProblemText(const BatchProblem &problem);
