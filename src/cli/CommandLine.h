#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

// The program without a window: what it does when started with arguments. Prints UTF-8 text on
// standard output and messages (Russian, as the window's) on standard error. Writes go through
// the same write-back as the window's (backup, refusals, duplication as the settings say) and are
// recorded in the same apply history.
namespace CommandLine {

// Exit codes.
enum Exit
{
    Done = 0,
    NothingFound = 1, // nothing found, nothing to do
    Failed = 2,       // refused or failed
    Usage = 64,       // the arguments make no command
};

// Runs the command the arguments (the program's name first) give. programFolder: the folder of
// the executable, where "Setting/" is looked for first.
int run(const QStringList &arguments, const QString &programFolder, std::FILE *out, std::FILE *err);

// The whole process of a start with arguments, from main(): both executables (the window's and
// branvik-config) start their command line here, so both spellings behave alike.
int runProcess(int argc, char *argv[]);

} // namespace CommandLine
