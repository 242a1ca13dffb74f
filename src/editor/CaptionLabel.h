#pragma once

#include <QLabel>

// The caption label of an editor row: it sizes itself to its text. Measuring text is one of
// the dearer steps of building thousands of rows, so it waits until the label is first shown.
class CaptionLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool sized_ = false;
};
