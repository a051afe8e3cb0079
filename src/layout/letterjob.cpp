#include "layout/letterjob.h"

#include "layout/placement.h"
#include "layout/printing.h"
#include "layout/printsurface.h"

// clang-format off
const std::array<LetterItem, kFieldCount> kLetterItems = {{
    {14, 3742.2f,    2494.8f},      // proxy's name          66.0 / 44.0 mm
    {14, 11719.891f, 2993.76f},     // delegated matter     206.7 / 52.8
    {14, 11907.0f,   4082.4001f},   // year                 210.0 / 72.0
    {14, 12842.55f,  4082.4001f},   // month                226.5 / 72.0
    {14, 13778.101f, 4082.4001f},   // day                  243.0 / 72.0
    {14, 2517.48f,   5085.99f},     // chassis/registration  44.4 / 89.7
    { 8, 3572.1f,    6350.4f},      // delegator 1 reading   63.0 / 112.0
    {12, 3572.1f,    6804.0f},      // name                  63.0 / 120.0
    { 8, 3572.1f,    7144.2f},      // title                 63.0 / 126.0
    {10, 4819.5f,    7144.2f},      // representative        85.0 / 126.0
    {10, 3572.1f,    7796.25f},     // address 1             63.0 / 137.5
    {10, 3572.1f,    8108.1f},      // address 2             63.0 / 143.0
    { 8, 10432.8f,   5080.3203f},   // delegator 2 reading  184.0 / 89.6
    {12, 10432.8f,   5533.92f},     // name                 184.0 / 97.6
    { 8, 10432.8f,   5874.12f},     // title                184.0 / 103.6
    {10, 11680.2f,   5874.12f},     // representative       206.0 / 103.6
    {10, 10432.8f,   6526.17f},     // address 1            184.0 / 115.1
    {10, 10432.8f,   6838.02f},     // address 2            184.0 / 120.6
    { 8, 10432.8f,   7824.6f},      // delegator 3 reading  184.0 / 138.0
    {12, 10432.8f,   8278.2f},      // name                 184.0 / 146.0
    { 8, 10432.8f,   8618.4f},      // title                184.0 / 152.0
    {10, 11680.2f,   8618.4f},      // representative       206.0 / 152.0
    {10, 10432.8f,   9270.45f},     // address 1            184.0 / 163.5
    {10, 10432.8f,   9582.3f},      // address 2            184.0 / 169.0
}};
// clang-format on

QString printLetter(const Letter &letter, const PrintOffset &offset, PrintTarget &printing,
                    PrintPlacement &placement)
{
    placement.setOffset(offset);
    placement.ComputeLetterOffset();

    QString error;
    const std::unique_ptr<PrintSurface> surface = printing.open(letterTitle(), &error);
    if (!surface)
        return error;
    for (int i = 0; i < kFieldCount; ++i) {
        const Field field = fieldAt(i);
        if (field == Field::DelegatedMatter && !letter.delegatedMatterTicked())
            continue;
        const LetterItem &item = kLetterItems[i];
        // Leaving without EndDocument discards the page.
        if (!placement.PlaceText(*surface, item.points, item.x, item.y, &error))
            return error;
        surface->PrintText(letter.text(field));
    }
    return surface->EndDocument();
}
