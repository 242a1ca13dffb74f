#pragma once

#include <QLabel>

// The caption label of an editor row: it sizes itself to its text, up to the width of its
// column; a longer caption is shown cut short with "…", and its tool tip holds the whole text
// (text() always returns the whole caption; of a caption longer than a column could ever show,
// only the beginning is measured, painted and given as tool tip). Measuring text is one of the
// dearer steps of building thousands of rows, so it waits until the label is first shown.
class CaptionLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

    // The widest the label may be; 0 for no limit.
    void setMaximumTextWidth(int width) { maximumTextWidth_ = width; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool sized_ = false;
    int maximumTextWidth_ = 0;
};
