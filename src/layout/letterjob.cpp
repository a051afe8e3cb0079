#include "layout/letterjob.h"

#include "layout/placement.h"
#include "layout/printing.h"
#include "layout/printsurface.h"

// clang-format off
const std::array<LetterItem, kLetterItemCount> kLetterItems = {{
    {14, 3742.2f,    2494.8f, "Combo10101"},        // proxy's name          66.0 / 44.0 mm
    {14, 11719.891f, 2993.76f, "Combo10201"},        // delegated matter     206.7 / 52.8
    {14, 11907.0f,   4082.4001f, "Combo10301"},        // year                 210.0 / 72.0
    {14, 12842.55f,  4082.4001f, "Combo10302"},        // month                226.5 / 72.0
    {14, 13778.101f, 4082.4001f, "Combo10303"},        // day                  243.0 / 72.0
    {14, 2517.48f,   5085.99f, "Text10501"},         // chassis/registration  44.4 / 89.7
    { 8, 3572.1f,    6350.4f, "cIninFuriganaBtn"},  // delegator 1 reading   63.0 / 112.0
    {12, 3572.1f,    6804.0f, "IninShimei"},        // name                  63.0 / 120.0
    { 8, 3572.1f,    7144.2f, "Combo10601"},        // title                 63.0 / 126.0
    {10, 4819.5f,    7144.2f, "DaihyouShimei"},     // representative        85.0 / 126.0
    {10, 3572.1f,    7796.25f, "IninJyu1"},          // address 1             63.0 / 137.5
    {10, 3572.1f,    8108.1f, "IninJyu2"},          // address 2             63.0 / 143.0
    { 8, 10432.8f,   5080.3203f, "Text10701"},         // delegator 2 reading  184.0 / 89.6
    {12, 10432.8f,   5533.92f, "Text10702"},         // name                 184.0 / 97.6
    { 8, 10432.8f,   5874.12f, "Combo10701"},        // title                184.0 / 103.6
    {10, 11680.2f,   5874.12f, "Text10703"},         // representative       206.0 / 103.6
    {10, 10432.8f,   6526.17f, "Text10704"},         // address 1            184.0 / 115.1
    {10, 10432.8f,   6838.02f, "Text10705"},         // address 2            184.0 / 120.6
    { 8, 10432.8f,   7824.6f, "Text10801"},         // delegator 3 reading  184.0 / 138.0
    {12, 10432.8f,   8278.2f, "Text10802"},         // name                 184.0 / 146.0
    { 8, 10432.8f,   8618.4f, "Combo10801"},        // title                184.0 / 152.0
    {10, 11680.2f,   8618.4f, "Text10803"},         // representative       206.0 / 152.0
    {10, 10432.8f,   9270.45f, "Text10804"},         // address 1            184.0 / 163.5
    {10, 10432.8f,   9582.3f, "Text10805"},         // address 2            184.0 / 169.0
}};
// clang-format on

QString printLetter(const LetterEntries &entries, PrintTarget &printing, PrintPlacement &placement)
{
    QString error;
    if (!placement.ReadPrintOffset(entries.sayuu, entries.jyouge, &error) ||
        !placement.ComputeLetterOffset(&error))
        return error;

    const std::unique_ptr<PrintSurface> surface = printing.open(letterTitle(), &error);
    if (!surface)
        return error;
    for (int i = 0; i < kLetterItemCount; ++i) {
        if (i == kDelegatedMatterItem && !entries.delegatedMatterTicked)
            continue;
        const LetterItem &item = kLetterItems[i];
        // Leaving without EndDocument discards the page.
        if (!placement.PlaceText(*surface, item.points, item.x, item.y, &error))
            return error;
        surface->PrintText(entries.texts[i]);
    }
    return surface->EndDocument();
}
