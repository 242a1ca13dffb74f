#pragma once

#include <QString>

class QTreeWidget;
class WindowHost;

// The window of the run's apply history (the session's): the records newest first, filtered by
// file or any text, each with its group as its time and what made it; a record or its whole
// group is undone there. From the menu, the last group not yet undone is undone (Ctrl+Z) and the
// last undo made again (Ctrl+Y), each after a question.
class HistoryWindow
{
public:
    explicit HistoryWindow(WindowHost &host);

    // Settles the writes a crash left unfinished and says what could not be settled cleanly.
    void settle();

    void HistoryClick();
    void UndoLastClick();
    void RedoClick();

private:
    void fill(QTreeWidget &list, const QString &filter);
    void undo(QTreeWidget &list, bool wholeGroup);
    void step(bool redo);

    WindowHost &host_;
};
