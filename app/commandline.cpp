#include "commandline.h"

bool wantsCommandLine(int argc, char *argv[])
{
    Q_UNUSED(argv);
    return argc > 1;
}

int runCommandLine(int argc, char *argv[])
{
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return int(CommandLineExit::Usage);
}
