#pragma once

#include "printing/spooler.h"

#include <QCoreApplication>

#include <memory>
#include <mutex>
#include <optional>

// The print service's library, libcups, and the libraries it needs would cost every start of
// the program, so they live in a module of the program's own, loaded when first needed.

// A paper size as libcups' table of sizes knows it.
struct MediaSize
{
    QString pwg; // its PWG name, e.g. iso_a4_210x297mm
    double widthMm = 0;
    double lengthMm = 0;
};

// The size a PWG, PPD or older media name stands for; nothing when libcups does not know it or
// the module cannot be loaded.
std::optional<MediaSize> mediaSize(const QString &media);

// The real spooler, made from the module at the first call. Without the module every call
// fails with a message that says so.
class LoadedSpooler : public Spooler
{
    Q_DECLARE_TR_FUNCTIONS(LoadedSpooler)

public:
    LoadedSpooler();
    ~LoadedSpooler() override;

    bool destinations(QStringList *names, QString *defaultName,
                      QMap<QString, QString> *descriptions, QString *error) override;
    bool papers(const QString &destination, PrinterPapers *papers, QString *error) override;
    QString check(const QString &destination, QueueFacts *facts) override;
    QString submit(const QString &destination, const QString &title, const QString &pdfFile,
                   const JobOptions &options, int *jobId) override;
    QString deviceUri(const QString &destination) override;

private:
    Spooler *loaded(QString *error);

    std::once_flag m_loading;
    std::unique_ptr<Spooler> m_spooler;
};
