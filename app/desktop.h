#pragma once

#include "ui/services.h"

#include <QString>

#include <functional>
#include <memory>

class QWidget;
class QtMessages;
class SystemClock;
class ApplicationSession;
class InstanceGuard;
class CupsPrinting;
class CupsPrinterSetup;
class History;
class PrinterOffsetFile;
class SharedPrinterOffsets;
class ThreadBackground;
struct PageGeometry;

// The real implementations of the services the window uses. Made before the window and gone
// after it: it waits for the jobs still using the printing.
class Desktop
{
public:
    Desktop();
    ~Desktop();
    Services services();
    // The window that message boxes belong to and that a second start brings to the front.
    void attach(QWidget *window);

private:
    // Called once the window has been painted.
    History *startHistory();

    std::unique_ptr<QtMessages> m_messages;
    std::unique_ptr<SystemClock> m_clock;
    std::unique_ptr<ApplicationSession> m_session;
    std::unique_ptr<InstanceGuard> m_guard;
    std::unique_ptr<CupsPrinting> m_printing;
    std::unique_ptr<CupsPrinterSetup> m_printerSetup;
    std::unique_ptr<History> m_history;
    std::unique_ptr<PrinterOffsetFile> m_printerOffsets;
    std::unique_ptr<SharedPrinterOffsets> m_sharedOffsets;
    // Last, so it goes first: it waits for the jobs and questions still using the printing.
    std::unique_ptr<ThreadBackground> m_background;
};
