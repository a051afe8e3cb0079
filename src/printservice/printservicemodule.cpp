// The module that carries libcups: loaded at the first print, printer setup or paper name, so
// that libcups and the libraries it needs (encryption, printer discovery, Kerberos) cost
// nothing at start.

#include "printing/printservice.h"
#include "printservice/cupsspooler.h"

#include <cups/cups.h>

extern "C" Q_DECL_EXPORT Spooler *sorafu_newSpooler()
{
    return new CupsSpooler;
}

extern "C" Q_DECL_EXPORT bool sorafu_mediaSize(const QByteArray &media, MediaSize *size)
{
    // A PPD or older name ("EnvMonarch", "ISOB5", "Letter") stands for a PWG one.
    const pwg_media_t *found = pwgMediaForPWG(media.constData());
    if (!found)
        found = pwgMediaForPPD(media.constData());
    if (!found)
        found = pwgMediaForLegacy(media.constData());
    if (!found)
        return false;
    *size = {QString::fromUtf8(found->pwg), found->width / 100.0, found->length / 100.0};
    return true;
}
