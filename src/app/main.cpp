#include <QApplication>

#include "app/TForm1.h"
#include "ui/AppInfo.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(applicationTitle());
    TForm1 window;
    window.show();
    return QApplication::exec();
}
