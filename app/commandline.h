#pragma once

#include <QStringList>

// What the program does when started with options instead of for the window.
enum class CommandLineExit { Printed = 0, NotValid = 1, Stopped = 2, Usage = 3 };

// True when the arguments ask for the command line (any option at all), so no window is made.
bool wantsCommandLine(int argc, char *argv[]);
// Runs --print, --check or --help without a display; messages on stderr in Japanese. The exit
// status.
int runCommandLine(int argc, char *argv[]);
