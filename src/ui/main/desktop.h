#pragma once

#include "ui/main/services.h"

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
class ThreadBackground;
struct PageGeometry;

// The real implementations of the services, owned together by the window.
class Desktop
{
public:
    explicit Desktop(QWidget *window);
    ~Desktop();
    Services services() const;
    // Opened only once this run is sure to go on (no other instance), in the background.
    History *startHistory();
    // The chosen printer's sheet, for the preview; runs off the GUI thread.
    std::function<std::function<bool(PageGeometry *, QString *)>()> pageQueries() const;

private:
    std::unique_ptr<QtMessages> m_messages;
    std::unique_ptr<SystemClock> m_clock;
    std::unique_ptr<ApplicationSession> m_session;
    std::unique_ptr<InstanceGuard> m_guard;
    std::unique_ptr<CupsPrinting> m_printing;
    std::unique_ptr<CupsPrinterSetup> m_printerSetup;
    std::unique_ptr<History> m_history;
    // Last, so it goes first: it waits for the jobs and questions still using the printing.
    std::unique_ptr<ThreadBackground> m_background;
};
