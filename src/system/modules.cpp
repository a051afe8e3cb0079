#include "system/modules.h"

#include <QCoreApplication>
#include <QLibrary>

QFunctionPointer moduleFunction(const QString &module, const char *function)
{
    const QString folder = QCoreApplication::applicationDirPath();
    for (const QString &place :
         {QStringLiteral("/lib/sorafu/"), QStringLiteral("/../lib/sorafu/")}) {
        QLibrary library(folder + place + module);
        if (const QFunctionPointer found = library.resolve(function))
            return found;
    }
    return nullptr;
}
