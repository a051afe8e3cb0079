#pragma once

#include "history/history.h"

#include <QString>

// The office's server as the user's settings name it: a libpq connection string (such as
// "host=office-server dbname=sorafu" or "service=sorafu"), empty for the history on this PC.
// Passwords stay in libpq's own ~/.pgpass or service file, never here.
QString officeConnection(const QString &settingsPath);
void setOfficeConnection(const QString &settingsPath, const QString &connection);

// The stores of the office's history for `connection`, naming this PC and user; none (the
// file on this PC) when it is empty.
History::StoreMaker officeStores(const QString &connection);

// Connects to the server, setting its tables up if it has none, and says how that went in
// Japanese. Waits at most a few seconds: never on the GUI thread.
QString tryOfficeConnection(const QString &connection, bool *usable);
