#include "editor/window/ValueBox.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolTip>

namespace {

// The editor itself: Qt's plain-text editor, one line high, reporting what selects its row.
class ValueEditor : public QPlainTextEdit
{
public:
    ValueEditor(const QString &text, ValueBox *box) : QPlainTextEdit(text, box), box_(box)
    {
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        // One line, never wrapped: a box one row high would show a wrapped value cut in the
        // middle, or only its last part once the cursor went there. A value too long for the box
        // shows its beginning (the text scrolls sideways while the cursor moves in it) and is
        // whole in the tool tip. Without breaks, typing in a long value costs linear time too.
        setLineWrapMode(QPlainTextEdit::NoWrap);
        // Tab and Shift+Tab go through the rows; a tab character would end up in the game file.
        setTabChangesFocus(true);
        // Rows are one line high (21 pixels); the default margins would hide the text.
        document()->setDocumentMargin(1);
    }

protected:
    bool event(QEvent *event) override
    {
        // The shortcuts of the row's pop-up menu win over the editor's own keys (Ctrl+Delete
        // would otherwise delete a word).
        if (event->type() == QEvent::ShortcutOverride && box_->popupMenu()) {
            const QKeySequence pressed(static_cast<QKeyEvent *>(event)->keyCombination());
            for (const QAction *action : box_->popupMenu()->actions()) {
                if (!action->shortcut().isEmpty() && action->shortcut() == pressed) {
                    event->ignore();
                    return true;
                }
            }
        }
        return QPlainTextEdit::event(event);
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        // Enter applies the row, as its "!!!" button does; a line break would be refused.
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            event->accept();
            emit box_->applyRequested();
            showFromStart();
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }

    void focusOutEvent(QFocusEvent *event) override
    {
        QPlainTextEdit::focusOutEvent(event);
        showFromStart();
    }

    bool viewportEvent(QEvent *event) override
    {
        // A value wider than the box is shown whole in the tool tip; one that fits needs none.
        if (event->type() == QEvent::ToolTip) {
            const auto *help = static_cast<QHelpEvent *>(event);
            constexpr qsizetype Shown = 1000;
            const QString text = toPlainText();
            if (horizontalScrollBar()->maximum() > 0)
                QToolTip::showText(help->globalPos(),
                                   text.size() > Shown ? text.left(Shown) + QChar(0x2026) : text,
                                   viewport());
            else
                QToolTip::hideText();
            return true;
        }
        return QPlainTextEdit::viewportEvent(event);
    }

    void mousePressEvent(QMouseEvent *event) override
    {
        QPlainTextEdit::mousePressEvent(event);
        // The right button selects the row too, so its pop-up menu acts on the row pointed at.
        if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
            emit box_->clicked();
    }

    void focusInEvent(QFocusEvent *event) override
    {
        QPlainTextEdit::focusInEvent(event);
        // Entering a box from the keyboard selects its row as a click does.
        if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
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
    // Back to the value's beginning, the cursor left where it is: the next key brings it into
    // view again.
    void showFromStart() { horizontalScrollBar()->setValue(0); }

    ValueBox *box_;
};

} // namespace

ValueBox::ValueBox(QWidget *parent) : QWidget(parent)
{
    // Takes the focus as its editor will; from then on the editor stands in for it.
    setFocusPolicy(Qt::StrongFocus);
}

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

void ValueBox::setAbsent(bool absent)
{
    placeholder_ = absent ? QStringLiteral("нет в файле") : QString();
    if (editor_)
        editor_->setPlaceholderText(placeholder_);
}

void ValueBox::setInherited(const QString &origin)
{
    if (origin == origin_)
        return;
    origin_ = origin;
    QPalette greyed; // an empty palette: the window's colours
    if (!origin.isEmpty())
        greyed.setColor(QPalette::Text, palette().color(QPalette::Disabled, QPalette::Text));
    setPalette(greyed);
}

QPlainTextEdit *ValueBox::editor()
{
    if (editor_)
        return editor_;
    auto *editor = new ValueEditor(text_, this);
    text_.clear();
    editor->setPlaceholderText(placeholder_);
    editor->setGeometry(rect());
    connect(editor, &QPlainTextEdit::textChanged, this, &ValueBox::textChanged);
    // The editor is created long after the row's other controls: put it where the box stands in
    // the focus chain, so Tab goes from the box to its apply button and on to the next row.
    QWidget::setTabOrder(this, editor);
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
