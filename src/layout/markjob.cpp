#include "layout/markjob.h"

#include "layout/placement.h"
#include "layout/printing.h"
#include "layout/printsurface.h"

QString printMarks(const QString &sayuuText, const QString &jyougeText, PrintTarget &printing,
                   PrintPlacement &placement)
{
    QString error;
    if (!placement.ReadPrintOffset(sayuuText, jyougeText, &error))
        return error;
    placement.MaruHankei = kMarkRadius;
    MarkPlace left;
    MarkPlace right;
    if (!placement.PlaceMark(kLeftMarkX, kMarkY, &left, &error) ||
        !placement.PlaceMark(kRightMarkX, kMarkY, &right, &error))
        return error;

    const std::unique_ptr<PrintSurface> surface =
        printing.open(marksTitle(), &error);
    if (!surface)
        return error;
    surface->DrawCircle(left.centreX, left.centreY, left.radius);
    surface->DrawCircle(right.centreX, right.centreY, right.radius);
    return surface->EndDocument();
}
