#pragma once

#include <QString>

// The directory that holds the offset files.
QString offsetDirectory();
