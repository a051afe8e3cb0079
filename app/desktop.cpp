#include "desktop.h"

#include "history/history.h"
#include "layout/printing.h"
#include "office/officesettings.h"
#include "office/sharedoffsets.h"
#include "offsets/printeroffsets.h"
#include "printing/cupsprinting.h"
#include "printing/printservice.h"
#include "system/background.h"
#include "system/clock.h"
#include "system/instanceguard.h"
#include "system/paths.h"
#include "system/session.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/printersetup.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QWidget>

Desktop::Desktop()
    : m_messages(std::make_unique<QtMessages>(nullptr)), m_clock(std::make_unique<SystemClock>()),
      m_session(std::make_unique<ApplicationSession>()),
      m_guard(std::make_unique<InstanceGuard>(QCoreApplication::applicationFilePath())),
      // Asks nothing of the print service until a job runs or printer setup opens.
      m_printing(std::make_unique<CupsPrinting>(std::make_unique<LoadedSpooler>(), QString())),
      m_background(std::make_unique<ThreadBackground>())
{
    m_printerSetup = std::make_unique<CupsPrinterSetup>(*m_printing, *m_background);
}

Desktop::~Desktop() = default;

void Desktop::attach(QWidget *window)
{
    m_messages->setParent(window);
    m_guard->onRaiseRequested([window] {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->show();
        window->raise();
        window->activateWindow();
    });
}

Services Desktop::services()
{
    Services services;
    services.messages = m_messages.get();
    services.clock = m_clock.get();
    services.session = m_session.get();
    services.printing = m_printing.get();
    services.printerSetup = m_printerSetup.get();
    services.background = m_background.get();
    InstanceGuard *guard = m_guard.get();
    services.anotherInstanceRunning = [guard] { return guard->anotherInstanceRunning(); };
    services.raiseRunningInstance = [guard] { guard->askRunningToRaise(); };
    services.offsetDirectory = offsetDirectory();
    m_printerOffsets = std::make_unique<PrinterOffsetFile>(services.offsetDirectory);
    services.printerOffsets = m_printerOffsets.get();
    // An office's server shares its network printers' offsets too.
    if (const QString office = officeConnection(QString()); !office.isEmpty()) {
        m_sharedOffsets = std::make_unique<SharedPrinterOffsets>(
            *m_printerOffsets, office, QSysInfo::machineHostName(), *m_background, 30000,
            QFileInfo(History::defaultPath())
                .dir()
                .filePath(QStringLiteral("office-offsets-unsent.txt")));
        services.printerOffsets = m_sharedOffsets.get();
    }
    services.startHistory = [this] { return startHistory(); };
    // A spooler of its own: a query may still wait on the print service after the window has
    // gone.
    services.pageQueries = [printing = m_printing.get()] {
        return printing->pageQuery(std::make_shared<LoadedSpooler>());
    };
    return services;
}

History *Desktop::startHistory()
{
    if (!m_history)
        m_history = std::make_unique<History>(History::defaultPath(), QString(), *m_background,
                                              officeStores(officeConnection(QString())));
    return m_history.get();
}
