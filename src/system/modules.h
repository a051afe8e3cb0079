#pragma once

#include <QFunctionPointer>
#include <QString>

// A function of one of the program's own modules (parts loaded only when first needed), or
// null when the module or the function cannot be found. Modules live in lib/sorafu, below the
// executable's folder (the build folder) or beside it (installed: bin/ and lib/sorafu/).
// A module once loaded stays loaded.
QFunctionPointer moduleFunction(const QString &module, const char *function);
