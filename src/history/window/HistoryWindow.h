#pragma once

#include <QString>

class QTreeWidget;
class WindowHost;

// The window of the run's apply history (the session's): the records newest first, filtered by
// file or any text; a record or its whole group is undone there, and the last group from the
// menu (Ctrl+Z) after a question.
class HistoryWindow
{
public:
    explicit HistoryWindow(WindowHost &host);

    void HistoryClick();
    void UndoLastClick();

private:
    void fill(QTreeWidget &list, const QString &filter);
    void undo(QTreeWidget &list, bool wholeGroup);

    WindowHost &host_;
};
