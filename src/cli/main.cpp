// branvik-config: the command line without the window. It links QtCore only, so a call pays for
// loading neither Qt's GUI libraries nor anything the window needs.
#include "cli/CommandLine.h"

int main(int argc, char *argv[])
{
    return CommandLine::runProcess(argc, argv);
}
