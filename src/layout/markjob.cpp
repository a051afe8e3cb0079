#include "layout/markjob.h"

#include "layout/placement.h"
#include "layout/printing.h"
#include "layout/printsurface.h"

QString printMarks(const PrintOffset &offset, PrintTarget &printing, PrintPlacement &placement)
{
    placement.setOffset(offset);
    placement.MaruHankei = kMarkRadius;
    const MarkPlace left = placement.PlaceMark(kLeftMarkX, kMarkY);
    const MarkPlace right = placement.PlaceMark(kRightMarkX, kMarkY);

    QString error;
    const std::unique_ptr<PrintSurface> surface = printing.open(marksTitle(), &error);
    if (!surface)
        return error;
    surface->DrawCircle(left.centreX, left.centreY, left.radius);
    surface->DrawCircle(right.centreX, right.centreY, right.radius);
    return surface->EndDocument();
}
