#pragma once

#include "core/letter.h"

#include <QCoreApplication>
#include <QString>

class Messages;
struct PreflightWarning;

// Before a letter goes to the printer: whatever would not come out as typed is put to the
// clerk in one question. A sheet spoilt costs more than a click.
class PrintCheck
{
    Q_DECLARE_TR_FUNCTIONS(PrintCheck)

public:
    explicit PrintCheck(Messages &messages) : m_messages(messages) {}

    // True when the letter may print: nothing to warn of, or the clerk chose 印刷する.
    bool confirm(const Letter &letter);
    // One line for the clerk, naming the entry as the window captions it.
    static QString describe(const PreflightWarning &warning);

private:
    Messages &m_messages;
    QString m_fontFamily;
};
