#pragma once

#include <QPlainTextEdit>

// The value box of an editor row: a multi-line text box (word wrap, no scroll bars, Enter
// inserts a line break) that reports left-button clicks, which select its row.
class ValueBox : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit ValueBox(QWidget *parent = nullptr);

    QString text() const { return toPlainText(); }
    // Sets the text from the program; raises the change only when the text differs.
    void setText(const QString &text);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
};
