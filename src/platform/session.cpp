#include "platform/session.h"

#include <QCoreApplication>

void ApplicationSession::quit()
{
    QCoreApplication::exit(0);
}
