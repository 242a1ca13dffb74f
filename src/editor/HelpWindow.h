#pragma once

class QString;
class TForm2;
class WindowHost;

// The help window's commands: showing it from the main menu, and its link, which the desktop's
// handler for web addresses opens.
class HelpWindow
{
public:
    HelpWindow(WindowHost &host, TForm2 &window);

    void N8Click();

private:
    void openLink(const QString &link);

    WindowHost &host_;
    TForm2 &window_;
};
