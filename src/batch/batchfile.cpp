#include "batch/batchfile.h"

#include "core/japaneseera.h"
#include "core/kana.h"
#include "system/clock.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <csv.h>
#include <unicode/ucnv.h>

#include <array>

namespace {

const char *const kContext = "BatchFile";

QString tr(const char *text)
{
    return QCoreApplication::translate(kContext, text);
}

// In the order of Field: the names the template writes.
const std::array<const char *, kFieldCount> kColumnNames = {
    "受任者",
    "委任内容",
    "年",
    "月",
    "日",
    "車台番号または登録番号",
    "委任者1 フリガナ",
    "委任者1 氏名又は会社名",
    "委任者1 肩書",
    "委任者1 代表者氏名",
    "委任者1 住所1",
    "委任者1 住所2",
    "委任者2 フリガナ",
    "委任者2 氏名又は会社名",
    "委任者2 肩書",
    "委任者2 代表者氏名",
    "委任者2 住所1",
    "委任者2 住所2",
    "委任者3 フリガナ",
    "委任者3 氏名又は会社名",
    "委任者3 肩書",
    "委任者3 代表者氏名",
    "委任者3 住所1",
    "委任者3 住所2",
};

// Width, case and every blank dropped, so "委任者１　フリガナ" and "Proxy_Name " match.
QString comparable(const QString &name)
{
    QString folded = name.normalized(QString::NormalizationForm_KC).toCaseFolded();
    folded.removeIf([](QChar c) { return c.isSpace(); });
    return folded;
}

std::optional<QString> fromCp932(const QByteArray &bytes)
{
    UErrorCode status = U_ZERO_ERROR;
    UConverter *converter = ucnv_open("windows-31j", &status);
    if (U_FAILURE(status))
        return std::nullopt;
    // A byte CP932 does not define is an error, not a replacement character.
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    QString text(bytes.size(), Qt::Uninitialized);
    const int32_t length =
        ucnv_toUChars(converter, reinterpret_cast<UChar *>(text.data()), int32_t(text.size()),
                      bytes.constData(), int32_t(bytes.size()), &status);
    ucnv_close(converter);
    if (U_FAILURE(status))
        return std::nullopt;
    text.truncate(length);
    return text;
}

// What libcsv hands over, row by row.
struct Parse
{
    QList<QStringList> records;
    QStringList cells;
    bool tooMany = false;
    int lastEnd = 0;
};

void takeCell(void *data, size_t size, void *parse)
{
    auto *p = static_cast<Parse *>(parse);
    p->cells.append(QString::fromUtf8(static_cast<const char *>(data), qsizetype(size)));
}

// Every line end is reported, so that a blank line still counts as a row of the sheet and the
// rows keep the numbers the spreadsheet shows; a CR LF pair ends one row, not two.
void takeRow(int end, void *parse)
{
    auto *p = static_cast<Parse *>(parse);
    const bool secondHalf = p->cells.isEmpty() && end == '\n' && p->lastEnd == '\r';
    p->lastEnd = end;
    if (secondHalf)
        return;
    if (p->records.size() > kBatchMaxRows)
        p->tooMany = true;
    else
        p->records.append(p->cells);
    p->cells.clear();
}

// Cells are kept exactly as written, blanks included.
int noSpace(unsigned char)
{
    return 0;
}

// A month or day as the window's lists hold it: two digits.
bool twoDigits(Field field, QString *text)
{
    bool ok = false;
    const int value = text->toInt(&ok);
    const int most = field == Field::Month ? 12 : field == Field::Day ? 31 : 99;
    if (!ok || value < 1 || value > most)
        return false;
    *text = field == Field::Year ? QString::number(value)
                                 : QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    return true;
}

struct Header
{
    QStringList names;
    QList<std::optional<Field>> fields;
    QList<BatchProblem> problems;
};

Header readHeader(const QStringList &names)
{
    Header header;
    header.names = names;
    QList<Field> seen;
    for (int i = 0; i < names.size(); ++i) {
        const std::optional<Field> field = batchColumnField(names[i]);
        header.fields.append(field);
        // Spreadsheets often write empty columns past the last one used.
        if (!field && names[i].trimmed().isEmpty())
            continue;
        if (!field) {
            header.problems.append({1, i + 1, names[i],
                                    tr("見出し「%1」は使えません。"
                                       "ひな形の見出しに合わせてください。")
                                        .arg(names[i].trimmed())});
        } else if (seen.contains(*field)) {
            header.problems.append({1, i + 1, names[i],
                                    tr("見出し「%1」が二つあります。一つにしてください。")
                                        .arg(batchColumnName(*field))});
        }
        if (field)
            seen.append(*field);
    }
    return header;
}

BatchRow readRow(int rowNumber, const QStringList &cells, const Header &header,
                 const DateTexts &today, const Preflight *preflight)
{
    BatchRow row;
    row.row = rowNumber;
    if (cells.size() != header.fields.size()) {
        row.problems.append({rowNumber,
                             0,
                             {},
                             tr("項目の数が見出しと合いません（見出し %1、この行 %2）。"
                                "区切りのコンマを確かめてください。")
                                 .arg(header.fields.size())
                                 .arg(cells.size())});
    }
    for (int i = 0; i < cells.size() && i < header.fields.size(); ++i) {
        if (!header.fields[i] && !cells[i].trimmed().isEmpty()) {
            row.problems.append({rowNumber,
                                 i + 1,
                                 {},
                                 tr("見出しのない列に値があります。見出しを書いてください。")});
        }
        if (!header.fields[i])
            continue;
        const Field field = *header.fields[i];
        QString text = cells[i];
        if (text.contains(QChar(0))) {
            row.problems.append({rowNumber, i + 1, header.names[i],
                                 tr("使えない文字（NUL）が含まれています。"
                                    "表計算ソフトで保存し直してください。")});
            continue;
        }
        if (text.size() > fieldMaxLength(field)) {
            row.problems.append({rowNumber, i + 1, header.names[i],
                                 tr("%1 文字は長すぎます（%2 文字まで）。短くしてください。")
                                     .arg(text.size())
                                     .arg(fieldMaxLength(field))});
            continue;
        }
        const bool date = field == Field::Year || field == Field::Month || field == Field::Day;
        if (date && !text.trimmed().isEmpty()) {
            text = text.normalized(QString::NormalizationForm_KC).trimmed();
            if (!twoDigits(field, &text)) {
                row.problems.append(
                    {rowNumber, i + 1, header.names[i],
                     tr("「%1」は日付として読めません。数字で書いてください。").arg(cells[i])});
                continue;
            }
        }
        row.letter.setText(field, text);
    }
    for (int d = 1; d <= 3; ++d) {
        const Field reading = fieldAt(int(Field::Delegator1Reading) + (d - 1) * 6);
        row.letter.setText(reading, hiraganaToKatakana(row.letter.text(reading)));
    }
    const std::array<std::pair<Field, QString>, 3> dates = {
        std::pair{Field::Year, today.year}, {Field::Month, today.month}, {Field::Day, today.day}};
    for (const auto &[field, text] : dates)
        if (row.letter.text(field).trimmed().isEmpty())
            row.letter.setText(field, text);
    // A cell of blanks alone ticks nothing: the tick would print beside an empty matter.
    row.letter.setDelegatedMatterTicked(
        !row.letter.text(Field::DelegatedMatter).trimmed().isEmpty());
    if (row.problems.isEmpty() && preflight)
        row.warnings = preflight->check(row.letter);
    return row;
}

bool blank(const QStringList &cells)
{
    for (const QString &cell : cells)
        if (!cell.trimmed().isEmpty())
            return false;
    return true;
}

QString tooLarge()
{
    return tr("ファイルが大きすぎます（%1 行、%2 MB まで）。分けてください。")
        .arg(kBatchMaxRows)
        .arg(kBatchMaxBytes / 1024 / 1024);
}

} // namespace

QString batchColumnName(Field field)
{
    return QString::fromUtf8(kColumnNames[int(field)]);
}

std::optional<Field> batchColumnField(const QString &name)
{
    const QString wanted = comparable(name);
    for (int i = 0; i < kFieldCount; ++i)
        if (wanted == comparable(batchColumnName(fieldAt(i))) ||
            wanted == comparable(fieldKey(fieldAt(i))))
            return fieldAt(i);
    return std::nullopt;
}

std::optional<QString> decodeBatchText(const QByteArray &bytes, QString *error)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    if (std::optional<QString> cp932 = fromCp932(bytes))
        return cp932;
    *error = tr("文字コードが UTF-8 でも Shift_JIS でもないため読み込めません。"
                "表計算ソフトで「CSV UTF-8」か「CSV（コンマ区切り）」として保存し直してください。");
    return std::nullopt;
}

BatchFile readBatch(const QByteArray &bytes, const Clock &clock, const QString &fontFamily)
{
    BatchFile file;
    if (bytes.size() > kBatchMaxBytes) {
        file.problems.append({0, 0, {}, tooLarge()});
        return file;
    }
    QString error;
    const std::optional<QString> text = decodeBatchText(bytes, &error);
    if (!text) {
        file.problems.append({0, 0, {}, error});
        return file;
    }
    const QByteArray utf8 = text->toUtf8();
    Parse parse;
    csv_parser parser;
    csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL);
    csv_set_space_func(&parser, noSpace);
    const bool parsed = csv_parse(&parser, utf8.constData(), size_t(utf8.size()), takeCell, takeRow,
                                  &parse) == size_t(utf8.size()) &&
                        csv_fini(&parser, takeCell, takeRow, &parse) == 0;
    csv_free(&parser);
    if (!parsed) {
        file.problems.append({int(parse.records.size()) + 1,
                              int(parse.cells.size()) + 1,
                              {},
                              tr("引用符（\"）の閉じ方が正しくありません。"
                                 "表計算ソフトで保存し直してください。")});
        return file;
    }
    if (parse.tooMany) {
        file.problems.append({kBatchMaxRows + 2, 0, {}, tooLarge()});
        return file;
    }
    if (parse.records.isEmpty()) {
        file.problems.append({0, 0, {}, tr("見出しの行がありません。ひな形から作ってください。")});
        return file;
    }
    const Header header = readHeader(parse.records.first());
    file.problems = header.problems;
    const DateTexts today = dateTexts(clock.today());
    std::optional<Preflight> preflight;
    if (!fontFamily.isEmpty())
        preflight.emplace(fontFamily);
    for (int i = 1; i < parse.records.size(); ++i) {
        if (blank(parse.records[i]))
            continue;
        file.rows.append(
            readRow(i + 1, parse.records[i], header, today, preflight ? &*preflight : nullptr));
        file.problems.append(file.rows.last().problems);
    }
    if (file.rows.isEmpty())
        file.problems.append(
            {0, 0, {}, tr("印刷する行がありません。見出しの下に書いてください。")});
    return file;
}

BatchFile loadBatchFile(const QString &path, const Clock &clock, const QString &fontFamily)
{
    BatchFile file;
    QFile in(path);
    const QFileInfo info(path);
    if (info.isFile() && info.size() > kBatchMaxBytes) {
        file.problems.append({0, 0, {}, tooLarge()});
        return file;
    }
    if (!info.isFile() || !in.open(QIODevice::ReadOnly)) {
        const QString why = info.exists() ? tr("読み取りの権限があるか確かめてください。")
                                          : tr("ファイルの名前と場所を確かめてください。");
        file.problems.append(
            {0, 0, {}, tr("ファイル「%1」を読み込めません。%2").arg(info.fileName(), why)});
        return file;
    }
    return readBatch(in.read(kBatchMaxBytes + 1), clock, fontFamily);
}

QString batchProblemText(const BatchProblem &problem)
{
    if (problem.row == 0)
        return problem.reason;
    if (problem.column == 0)
        return tr("%1 行目: %2").arg(problem.row).arg(problem.reason);
    if (problem.columnName.trimmed().isEmpty())
        return tr("%1 行目 %2 列目: %3").arg(problem.row).arg(problem.column).arg(problem.reason);
    return tr("%1 行目 %2 列目「%3」: %4")
        .arg(problem.row)
        .arg(problem.column)
        .arg(problem.columnName.trimmed(), problem.reason);
}
