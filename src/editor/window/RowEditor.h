#pragma once

#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QString>

class WriteResult;
class QCheckBox;
class QPlainTextEdit;
class ValueBox;
class WindowHost;

// What the controls of the editor rows do: a click into a value box selects its row (help
// text, status line, pending text, selection context of the pop-up menu), typing prepares the
// text to write and enables the row's apply button, and the apply button writes the parameter
// back into its game file. Each handler gets the control that fired and finds the row's other
// controls by name (RowNames.h) among the main window's components.
class RowEditor
{
public:
    explicit RowEditor(WindowHost &host);

    void MemoClick(ValueBox *box);
    void SpinClick(ValueBox *box);
    void MemoChange(ValueBox *box);
    void SpinChange(ValueBox *box);
    void CheckClick(QCheckBox *check);
    void ButClick(QPushButton *apply);
    void ButTradeClick(QPushButton *apply);
    void N19Click();

    // Rows edited but not applied yet (their apply button is enabled).
    int pendingCount();
    // Applies every pending row; returns how many are still pending (failed or refused).
    int applyAll();

    // Shows the row's help text (with where an inherited value comes from) and its file, section
    // and key in the status line.
    static void showRowDetails(WindowHost &host, ValueBox *box);
    // Shows the text the next apply of the selected row writes in the pending-text line.
    static void showPendingText(QPlainTextEdit *line, const QString &text);

private:
    void markPending(QPushButton *apply);
    // Shows the text the next apply writes in the pending-text line.
    void showPending(const QString &text);
    // False (after a message) when the row's catalogue entry lacks its file, section or key;
    // false for no row (index -1).
    bool rowIsComplete(int index);
    // The row of the box shows what was typed into it.
    void typed(ValueBox *box);
    // present: the key is in the game file after a successful write.
    void finishApply(QPushButton *apply, ValueBox *box, bool present, const WriteResult &result,
                     const QString &error);
    // "Except" with the reason on its next line.
    void reportFailure(const QString &error);
    void selectRow(ValueBox *box, const QString &applyName, const QString &labelName,
                   const QString &commentName);
    // The row's text to write: its value box and, in an ordinary row, its comment label.
    QString pendingTextOf(ValueBox *box, const QString &commentName) const;
    // Turns commas into dots in the value box when the menu option is on.
    void replaceCommas(ValueBox *box);
    // Converts the pending text for the game file; false (after a message) when it cannot be
    // written as it stands.
    bool valueTextFor(const QString &pending, QByteArray *valueText);

    WindowHost &host_;
    QList<QPointer<QPushButton>> pending_;
};
