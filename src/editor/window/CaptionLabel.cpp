#include "editor/window/CaptionLabel.h"

#include <QPainter>
#include <QStyle>

namespace {

// No column shows more than this many characters of a caption: a longer one is measured,
// painted and given as tool tip by its beginning only, so a huge caption costs no more than this.
constexpr qsizetype ShownCharacters = 2000;

QString shownPart(const QString &text)
{
    return text.size() > ShownCharacters ? text.left(ShownCharacters) + QChar(0x2026) : text;
}

} // namespace

QSize CaptionLabel::sizeHint() const
{
    if (text().size() <= ShownCharacters)
        return QLabel::sizeHint();
    const QFontMetrics metrics = fontMetrics();
    const QMargins m = contentsMargins();
    return QSize(metrics.horizontalAdvance(shownPart(text())) + m.left() + m.right() + 2 * margin(),
                 metrics.height() + m.top() + m.bottom() + 2 * margin());
}

QSize CaptionLabel::minimumSizeHint() const
{
    return text().size() <= ShownCharacters ? QLabel::minimumSizeHint() : sizeHint();
}

void CaptionLabel::showEvent(QShowEvent *event)
{
    if (!sized_) {
        sized_ = true;
        adjustSize();
        if (maximumTextWidth_ > 0 && width() > maximumTextWidth_) {
            resize(maximumTextWidth_, height());
            setToolTip(shownPart(text()));
        }
    }
    QLabel::showEvent(event);
}

void CaptionLabel::paintEvent(QPaintEvent *event)
{
    const QRect room = contentsRect();
    const QFontMetrics metrics = fontMetrics();
    const QString shown = shownPart(text());
    if (shown.size() == text().size() && metrics.horizontalAdvance(shown) <= room.width()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(),
                          metrics.elidedText(shown, Qt::ElideRight, room.width()),
                          foregroundRole());
}
