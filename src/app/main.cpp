#include <QApplication>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

#include "app/window/TForm1.h"
#include "cli/CommandLine.h"
#include "ui/window/AppInfo.h"

int main(int argc, char *argv[])
{
    // With arguments the program works without a window, and needs no display.
    if (argc > 1) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(applicationTitle());
        return CommandLine::run(QCoreApplication::arguments(),
                                QCoreApplication::applicationDirPath(), stdout, stderr);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(applicationTitle());
    QApplication::setWindowIcon(programIcon());
    // Lets the desktop match the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("branvik-configurator"));
    // The program speaks Russian: so do Qt's own dialogs and buttons.
    QTranslator qtTranslations;
    if (qtTranslations.load(QStringLiteral("qtbase_ru"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslations);
    TForm1 window;
    window.show();
    const int code = QApplication::exec();
    // A start that could not go on ends the program with a failure.
    return code != 0 ? code : window.exitCode();
}
