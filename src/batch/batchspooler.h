#pragma once

#include "printing/spooler.h"

#include <QHash>
#include <QMutex>

#include <memory>

// The print service for one batch: a queue's papers are asked once, since they do not change
// between the letters of a batch (the question is most of a letter's time); whether the queue
// takes jobs is still asked before every letter.
class BatchSpooler : public Spooler
{
public:
    explicit BatchSpooler(std::unique_ptr<Spooler> spooler) : m_spooler(std::move(spooler)) {}

    bool destinations(QStringList *names, QString *defaultName,
                      QMap<QString, QString> *descriptions, QString *error) override
    {
        return m_spooler->destinations(names, defaultName, descriptions, error);
    }
    bool papers(const QString &destination, PrinterPapers *papers, QString *error) override;
    QString check(const QString &destination, QString *description) override
    {
        return m_spooler->check(destination, description);
    }
    QString submit(const QString &destination, const QString &title, const QString &pdfFile,
                   const JobOptions &options, int *jobId) override
    {
        return m_spooler->submit(destination, title, pdfFile, options, jobId);
    }

private:
    std::unique_ptr<Spooler> m_spooler;
    QMutex m_lock;
    QHash<QString, PrinterPapers> m_papers;
};
