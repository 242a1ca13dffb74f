#include "editor/CaptionLabel.h"

void CaptionLabel::showEvent(QShowEvent *event)
{
    if (!sized_) {
        sized_ = true;
        adjustSize();
    }
    QLabel::showEvent(event);
}
