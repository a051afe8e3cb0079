#include "system/session.h"

#include <QCoreApplication>

void ApplicationSession::quit()
{
    QCoreApplication::exit(0);
}
