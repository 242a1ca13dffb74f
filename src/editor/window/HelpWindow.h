#pragma once

#include <QString>

class TForm2;
class WindowHost;

// The help window's commands: showing it from the main menu, its user help, and its link, which
// opens the program's user guide (README.md, with the change list CHANGES.md beside it) through
// the desktop.
class HelpWindow
{
public:
    // Looks for the user guide from the folder of the running executable.
    HelpWindow(WindowHost &host, TForm2 &window);
    // Looks for the user guide from programDir (the executable's folder).
    HelpWindow(WindowHost &host, TForm2 &window, const QString &programDir);

    void N8Click();

    // The user help: how to start, then one line per command of the program.
    static QString helpText();
    // The user guide that belongs to the program in programDir: doc/README.md beside it in a
    // build folder, README.md in the installation's documents folder otherwise. When neither
    // exists, the path where the installation would put it.
    static QString guidePath(const QString &programDir);

private:
    void openLink(const QString &link);

    WindowHost &host_;
    TForm2 &window_;
};
