#include <QApplication>

#include "app/AppInfo.h"
#include "app/TForm1.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(applicationTitle());
    TForm1 window;
    window.show();
    return QApplication::exec();
}
