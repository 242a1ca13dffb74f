#include "editor/HelpWindow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QUrl>

#include "editor/TForm2.h"
#include "ui/Dialogs.h"
#include "ui/WindowHost.h"

HelpWindow::HelpWindow(WindowHost &host, TForm2 &window) : host_(host), window_(window)
{
    QObject::connect(window_.Label3, &QLabel::linkActivated, host_.window(),
                     [this](const QString &link) { openLink(link); });
}

void HelpWindow::N8Click()
{
    window_.Memo1->verticalScrollBar()->setValue(0);
    const QScreen *screen = host_.window()->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        window_.move(screen->availableGeometry().center() - window_.rect().center());
    host_.dialogs().exec(&window_);
}

void HelpWindow::openLink(const QString &link)
{
    if (host_.dialogs().openUrl(QUrl(link)))
        return;
    // The program's general error box: shown at every message level.
    host_.dialogs().message(&window_, QStringLiteral("Не удалось открыть адрес ") + link +
                                          QStringLiteral(": на компьютере не настроена программа "
                                                         "для открытия веб-страниц."));
}
