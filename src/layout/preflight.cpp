#include "layout/preflight.h"

#include "layout/letterjob.h"
#include "layout/placement.h"

#include <QFont>
#include <QFontMetricsF>
#include <QRawFont>

#include <cmath>

namespace {

constexpr double kMmPerPoint = 25.4 / 72;
// A landscape A4 sheet; most office printers leave about 5 mm at the edge unprinted.
constexpr double kSheetWidthMm = 297;
constexpr double kEdgeMarginMm = 5;
// Entries whose tops lie this close share a line of the form.
constexpr double kSameLineMm = 1;
// Measured large, so that hinting does not round the advances, then scaled to the size.
constexpr int kMeasurePixels = 720;

double mm(float twips)
{
    return double(twips) / (10 * double(kTwipsPerTenthMm));
}

bool firstDelegator(Field field)
{
    return field >= Field::Delegator1Reading && field <= Field::Delegator1Address2;
}

// The next entry to the right on the same line; delegator 1's column ends where delegators 2
// and 3 start; the rest run to the printable edge.
double columnEndMm(int index)
{
    const LetterItem &item = kLetterItems[index];
    double end = kSheetWidthMm - kEdgeMarginMm;
    if (firstDelegator(fieldAt(index)))
        end = mm(kLetterItems[int(Field::Delegator2Reading)].x);
    for (const LetterItem &other : kLetterItems)
        if (other.x > item.x && std::fabs(mm(other.y) - mm(item.y)) <= kSameLineMm)
            end = std::min(end, mm(other.x));
    return end;
}

bool printed(const Letter &letter, Field field)
{
    return field != Field::DelegatedMatter || letter.delegatedMatterTicked();
}

} // namespace

double columnWidthMm(Field field)
{
    const int index = int(field);
    return columnEndMm(index) - mm(kLetterItems[index].x);
}

int fieldMaxLength(Field field)
{
    const double sizeMm = kLetterItems[int(field)].points * kMmPerPoint;
    return int(std::ceil(columnWidthMm(field) / sizeMm * 2));
}

Preflight::Preflight(const QString &fontFamily) : m_font(fontFamily)
{
    m_font.setPixelSize(kMeasurePixels);
    m_font.setHintingPreference(QFont::PreferNoHinting);
    // The face alone: a glyph another font would lend comes out unlike the rest, or not at all.
    QFont face = m_font;
    face.setStyleStrategy(QFont::NoFontMerging);
    m_raw = QRawFont::fromFont(face);
}

QList<PreflightWarning> preflight(const Letter &letter, const QString &fontFamily)
{
    return Preflight(fontFamily).check(letter);
}

QList<PreflightWarning> Preflight::check(const Letter &letter) const
{
    QList<PreflightWarning> warnings;
    bool empty = true;
    for (Field field : {Field::Delegator1Name, Field::Delegator2Name, Field::Delegator3Name,
                        Field::VehicleNumber})
        empty &= letter.text(field).trimmed().isEmpty();
    if (empty)
        warnings.append(PreflightWarning());

    const QFontMetricsF metrics(m_font);
    const QRawFont &raw = m_raw;

    for (int i = 0; i < kFieldCount; ++i) {
        const Field field = fieldAt(i);
        const QString &text = letter.text(field);
        if (text.isEmpty() || !printed(letter, field))
            continue;
        PreflightWarning warning;
        warning.field = field;
        const double scale = kLetterItems[i].points * kMmPerPoint / kMeasurePixels;
        // Shaping is most of the check's time; a batch repeats many texts (the proxy, the
        // matter, titles).
        auto known = m_advances.constFind(text);
        if (known == m_advances.constEnd())
            known = m_advances.insert(text, metrics.horizontalAdvance(text));
        warning.widthMm = *known * scale;
        warning.overMm = warning.widthMm - columnWidthMm(field);
        if (warning.overMm > 0) {
            warning.kind = PreflightWarning::Overflow;
            warnings.append(warning);
        }
        for (const char32_t c : QStringView(text).toUcs4()) {
            const QString character = QString::fromUcs4(&c, 1);
            if (!raw.supportsCharacter(c) && !warning.characters.contains(character))
                warning.characters += character;
        }
        if (!warning.characters.isEmpty()) {
            warning.kind = PreflightWarning::Undrawable;
            warnings.append(warning);
        }
    }
    return warnings;
}
