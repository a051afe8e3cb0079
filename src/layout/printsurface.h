#pragma once

#include <QString>

// The page of the chosen printer as the print jobs see it: positions in twips from the
// top-left corner of the printable area, X to the right and Y downwards. The first output
// operation begins the document. Drawing cannot fail once a surface exists (the destination
// was checked when it was opened); what can still fail, rendering the page and handing it to
// the spooler, is answered by EndDocument.
class PrintSurface
{
public:
    virtual ~PrintSurface() = default;

    virtual void SetFontSize(int points) = 0;
    // The size of the current font in points, rounded to four decimals.
    virtual double FontSize() const = 0;
    virtual void SetCurrentX(float twips) = 0;
    // The top of the next line of text.
    virtual void SetCurrentY(float twips) = 0;
    // One line, the top-left corner of its first character at the current position.
    virtual void PrintText(const QString &text) = 0;
    virtual void DrawCircle(float centreX, float centreY, float radius) = 0;
    // Releases the page to the printer. Empty on success, otherwise why it failed, in
    // Japanese; a failed document is discarded, never half sent.
    virtual QString EndDocument() = 0;
};
