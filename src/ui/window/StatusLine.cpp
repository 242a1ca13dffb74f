#include "ui/window/StatusLine.h"

#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace {

// Room between the frame and the text.
constexpr int Indent = 4;

} // namespace

StatusLine::StatusLine(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

bool StatusLine::isCut() const
{
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width() - 2 * Indent;
}

bool StatusLine::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        if (isCut())
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

void StatusLine::paintEvent(QPaintEvent *event)
{
    // The frame as a label draws it, then the text, cut at its end.
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect room = contentsRect().adjusted(Indent, 0, -Indent, 0);
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
    style()->drawItemText(&painter, room, int(Qt::AlignLeft | Qt::AlignVCenter), palette(),
                          isEnabled(), shown, foregroundRole());
}
