#pragma once

#include <QSettings>
#include <QString>

#include <memory>

// The program's settings: the user's own file when `path` is empty (the usual case), else the
// file at `path` (tests and benchmarks keep theirs apart).
std::unique_ptr<QSettings> openSettings(const QString &path);
