#pragma once

#include <QLabel>

// The status line at the top of the main window: its text starts at the left edge; a text too
// long for the line shows its beginning and ends in "…", and its tool tip shows it whole. text()
// is always the whole text.
class StatusLine : public QLabel
{
    Q_OBJECT
public:
    explicit StatusLine(const QString &text, QWidget *parent = nullptr);

    // Whether the text is wider than the line.
    bool isCut() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
