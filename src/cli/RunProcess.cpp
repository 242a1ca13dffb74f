#include "cli/CommandLine.h"

#include <QCoreApplication>

#include "settings/SettingsLocation.h"

int CommandLine::runProcess(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(programName());
    return run(QCoreApplication::arguments(), QCoreApplication::applicationDirPath(), stdout,
               stderr);
}
