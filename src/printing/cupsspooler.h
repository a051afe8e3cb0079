#pragma once

#include "printing/spooler.h"

// The print service through libcups, at the server libcups picks (CUPS_SERVER, client.conf or
// the local scheduler).
class CupsSpooler : public Spooler
{
public:
    bool destinations(QStringList *names, QString *defaultName, QString *error) override;
    bool papers(const QString &destination, PrinterPapers *papers, QString *error) override;
    QString check(const QString &destination) override;
    QString submit(const QString &destination, const QString &title, const QString &pdfFile,
                   const JobOptions &options) override;
};
