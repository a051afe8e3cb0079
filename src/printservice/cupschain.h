#pragma once

#include "printing/spooler.h"

#include <cups/http.h>

// Options a queue's filter chain needs, beyond those of every job, for the page to print as drawn.
// A driver that takes PostScript gets the page through cups-filters' pdftops, whose default
// (Ghostscript's ps2write) turns the embedded TrueType font into bitmaps at the 300 dpi it
// assumes where the PPD names no resolution: glyphs up to 0.1 mm off, rough on paper. Poppler's
// pdftops keeps the outlines. Asks the queue's PPD over the connection, so waits as it does.
JobOptions chainOptions(http_t *http, const QString &queueResource);
