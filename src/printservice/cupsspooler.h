#pragma once

#include "printing/spooler.h"

#include <QCoreApplication>

// The print service through libcups, at the server libcups picks (CUPS_SERVER, client.conf or
// the local scheduler). Each call opens a connection of its own whose every wait is bounded:
// libcups' own convenience calls wait a minute on a server that takes the connection but does
// not answer, and some of them ask over a connection of their own that no timeout reaches.
class CupsSpooler : public Spooler
{
    Q_DECLARE_TR_FUNCTIONS(CupsSpooler)

public:
    bool destinations(QStringList *names, QString *defaultName,
                      QMap<QString, QString> *descriptions, QString *error) override;
    bool papers(const QString &destination, PrinterPapers *papers, QString *error) override;
    QString check(const QString &destination, QueueFacts *facts) override;
    QString submit(const QString &destination, const QString &title, const QString &pdfFile,
                   const JobOptions &options, int *jobId) override;
    QString deviceUri(const QString &destination) override;
};
