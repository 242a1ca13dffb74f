#pragma once

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

// Where the catalogue dialogs open: centred on the screen of the main window, whatever the
// main window's own place.
namespace ScreenPlacement {

// The screen's area free of panels, for a dialog owned by the main window.
inline QRect available(const QWidget *dialog)
{
    const QWidget *owner = dialog->parentWidget() ? dialog->parentWidget()->window() : dialog;
    const QScreen *screen = owner->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// Height of the title bar: known once the window was on screen, else a usual one.
inline int titleBarHeight(const QWidget *dialog)
{
    const int frame = dialog->frameGeometry().height() - dialog->height();
    return frame > 0 ? frame : 30;
}

// Moves a dialog about to be shown to the centre of the screen (its frame inside the screen).
inline void centre(QWidget *dialog)
{
    const QRect screen = available(dialog);
    if (screen.isEmpty())
        return;
    const int frameWidth = qMax(dialog->frameGeometry().width(), dialog->width());
    const int frameHeight = dialog->height() + titleBarHeight(dialog);
    const int x = screen.x() + qMax(0, (screen.width() - frameWidth) / 2);
    const int y = screen.y() + qMax(0, (screen.height() - frameHeight) / 2);
    dialog->move(x, y);
}

} // namespace ScreenPlacement
