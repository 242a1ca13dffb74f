#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

#include "app/window/TForm1.h"
#include "cli/CommandLine.h"
#include "ui/window/AppInfo.h"

namespace {

// Whether a window can be shown: Qt ends the process (SIGABRT) when its platform finds no display
// to connect to, so a start without one is caught before. A platform chosen in QT_QPA_PLATFORM
// that draws without a display server (offscreen, a frame buffer, VNC) needs none.
bool displayAvailable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char *value = std::getenv(variable);
        if (value && *value)
            return true;
    }
    const QByteArray platforms = qgetenv("QT_QPA_PLATFORM");
    for (const QByteArray &entry : platforms.split(';')) {
        const qsizetype options = entry.indexOf(':'); // "vnc:size=800x600"
        const QByteArray name = (options < 0 ? entry : entry.left(options)).trimmed();
        for (const char *own :
             {"offscreen", "minimal", "minimalegl", "eglfs", "linuxfb", "vnc", "vkkhrdisplay"})
            if (name == own)
                return true;
    }
    return false;
#else
    return true;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    // With arguments the program works without a window, and needs no display.
    if (argc > 1)
        return CommandLine::runProcess(argc, argv);
    if (!displayAvailable()) {
        std::fputs("Нет дисплея: окно программы показать негде. Работа из командной строки: "
                   "branvik-configurator --help\n",
                   stderr);
        return CommandLine::Usage;
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
