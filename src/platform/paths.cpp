#include "platform/paths.h"

#include <QCoreApplication>

QString offsetDirectory()
{
    return QCoreApplication::applicationDirPath();
}
