#pragma once

#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QWidget>

// The value box of an editor row: a one-line text box (no wrapping, no scroll bars, the whole
// value in the tool tip when it does not fit, Tab moves to the next control) that reports what
// selects its row: a click with the left or right button, or entering it with Tab or Shift+Tab.
// Enter asks to apply the row instead of putting a line break into the value, which no game file
// line can hold.
//
// A catalogue has thousands of rows, most of them on sub-tabs the user never opens, and Qt's
// multi-line editor costs several times more to create than the rest of a row. The box
// therefore holds its text itself and creates the editor inside it only when it is first shown
// (or when the program asks for it); until then it is a plain widget.
class ValueBox : public QWidget
{
    Q_OBJECT
    // The text kept with the window state, like any control's.
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
public:
    explicit ValueBox(QWidget *parent = nullptr);

    QString text() const;
    // Sets the text; raises textChanged only when the text differs.
    void setText(const QString &text);

    // The editor, created on first use.
    QPlainTextEdit *editor();
    bool hasEditor() const { return editor_ != nullptr; }

    // Marks a value missing from its game file: the empty box shows a greyed note, which is no
    // part of the text.
    void setAbsent(bool absent);
    bool isAbsent() const { return !placeholder_.isEmpty(); }

    // Marks a value inherited from a parent section (origin: where it comes from, empty for a
    // value of the row's own section): the text shows greyed until it is edited.
    void setInherited(const QString &origin);
    const QString &inheritedFrom() const { return origin_; }

    // The pop-up menu of the right button; without one the editor's own menu shows.
    void setPopupMenu(QMenu *menu) { popupMenu_ = menu; }
    QMenu *popupMenu() const { return popupMenu_; }

signals:
    // The row is selected (a click, or the keyboard focus arriving).
    void clicked();
    void textChanged();
    // Enter was pressed in the box.
    void applyRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QString text_; // the text until the editor exists
    QString placeholder_;
    QString origin_;
    QPointer<QPlainTextEdit> editor_;
    QPointer<QMenu> popupMenu_;
};
