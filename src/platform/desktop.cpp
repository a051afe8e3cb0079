#include "platform/desktop.h"

#include "platform/clock.h"
#include "platform/cupsprinting.h"
#include "platform/cupsspooler.h"
#include "platform/instanceguard.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/printing.h"
#include "platform/session.h"

#include <QCoreApplication>

Desktop::Desktop(QWidget *window)
    : m_messages(std::make_unique<QtMessages>(window)), m_clock(std::make_unique<SystemClock>()),
      m_session(std::make_unique<ApplicationSession>()),
      m_guard(std::make_unique<InstanceGuard>(QCoreApplication::applicationFilePath())),
      // Asks nothing of the print service until a job runs or printer setup opens.
      m_printing(std::make_unique<CupsPrinting>(std::make_unique<CupsSpooler>(), QString(), window))
{
}

Desktop::~Desktop() = default;

Services Desktop::services() const
{
    Services services;
    services.messages = m_messages.get();
    services.clock = m_clock.get();
    services.session = m_session.get();
    services.printing = m_printing.get();
    InstanceGuard *guard = m_guard.get();
    services.anotherInstanceRunning = [guard] { return guard->anotherInstanceRunning(); };
    services.offsetDirectory = offsetDirectory();
    return services;
}
