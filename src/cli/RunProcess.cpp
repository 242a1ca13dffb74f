#include "cli/CommandLine.h"

#include <QCoreApplication>

#include "cli/Console.h"
#include "settings/SettingsLocation.h"

int CommandLine::runProcess(int argc, char *argv[])
{
    prepareConsole();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(programName());
    return run(QCoreApplication::arguments(), QCoreApplication::applicationDirPath(), stdout,
               stderr);
}
