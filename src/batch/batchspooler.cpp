#include "batch/batchspooler.h"

bool BatchSpooler::papers(const QString &destination, PrinterPapers *papers, QString *error)
{
    const QMutexLocker lock(&m_lock);
    if (const auto known = m_papers.constFind(destination); known != m_papers.constEnd()) {
        *papers = *known;
        return true;
    }
    if (!m_spooler->papers(destination, papers, error))
        return false;
    m_papers.insert(destination, *papers);
    return true;
}
