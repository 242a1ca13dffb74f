#include "editor/CaptionLabel.h"

#include <QPainter>
#include <QStyle>

void CaptionLabel::showEvent(QShowEvent *event)
{
    if (!sized_) {
        sized_ = true;
        adjustSize();
        if (maximumTextWidth_ > 0 && width() > maximumTextWidth_) {
            resize(maximumTextWidth_, height());
            setToolTip(text());
        }
    }
    QLabel::showEvent(event);
}

void CaptionLabel::paintEvent(QPaintEvent *event)
{
    const QRect room = contentsRect();
    const QFontMetrics metrics = fontMetrics();
    if (metrics.horizontalAdvance(text()) <= room.width()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(),
                          metrics.elidedText(text(), Qt::ElideRight, room.width()),
                          foregroundRole());
}
