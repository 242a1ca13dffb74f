#include "editor/ValueBox.h"

#include <QMouseEvent>

ValueBox::ValueBox(QWidget *parent) : QPlainTextEdit(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Rows are one line high (21 pixels); the default margins would hide the text.
    document()->setDocumentMargin(1);
}

void ValueBox::setText(const QString &text)
{
    if (text != toPlainText())
        setPlainText(text);
}

void ValueBox::mousePressEvent(QMouseEvent *event)
{
    QPlainTextEdit::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        emit clicked();
}
