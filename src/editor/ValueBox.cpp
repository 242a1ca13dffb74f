#include "editor/ValueBox.h"

#include <QContextMenuEvent>
#include <QMouseEvent>

namespace {

// The editor itself: Qt's plain-text editor, one line high, reporting left-button clicks.
class ValueEditor : public QPlainTextEdit
{
public:
    ValueEditor(const QString &text, ValueBox *box) : QPlainTextEdit(text, box), box_(box)
    {
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setLineWrapMode(QPlainTextEdit::WidgetWidth);
        // Rows are one line high (21 pixels); the default margins would hide the text.
        document()->setDocumentMargin(1);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        QPlainTextEdit::mousePressEvent(event);
        if (event->button() == Qt::LeftButton)
            emit box_->clicked();
    }

    void contextMenuEvent(QContextMenuEvent *event) override
    {
        if (QMenu *menu = box_->popupMenu())
            menu->popup(event->globalPos());
        else
            QPlainTextEdit::contextMenuEvent(event);
    }

private:
    ValueBox *box_;
};

} // namespace

ValueBox::ValueBox(QWidget *parent) : QWidget(parent) {}

QString ValueBox::text() const
{
    return editor_ ? editor_->toPlainText() : text_;
}

void ValueBox::setText(const QString &text)
{
    if (editor_) {
        if (text != editor_->toPlainText())
            editor_->setPlainText(text); // raises textChanged through the editor
        return;
    }
    if (text == text_)
        return;
    text_ = text;
    emit textChanged();
}

QPlainTextEdit *ValueBox::editor()
{
    if (editor_)
        return editor_;
    auto *editor = new ValueEditor(text_, this);
    text_.clear();
    editor->setGeometry(rect());
    connect(editor, &QPlainTextEdit::textChanged, this, &ValueBox::textChanged);
    setFocusProxy(editor);
    editor_ = editor;
    if (isVisible())
        editor->show();
    return editor;
}

void ValueBox::showEvent(QShowEvent *event)
{
    editor();
    QWidget::showEvent(event);
}

void ValueBox::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (editor_)
        editor_->setGeometry(rect());
}
