#pragma once

#include <QString>

#include <memory>

class ApplyHistory;
class QTreeWidget;
class WindowHost;

// The apply history of the run: opened beside the settings once their folder is known, and made
// the history every write records into. Its window lists the records newest first, filtered by
// file or any text, and undoes a record or its whole group; the last group can also be undone
// from the menu (Ctrl+Z) after a question.
class HistoryWindow
{
public:
    explicit HistoryWindow(WindowHost &host);
    ~HistoryWindow();

    // Starts recording into the file at path.
    void open(const QString &path);
    ApplyHistory *history() const { return history_.get(); }

    void HistoryClick();
    void UndoLastClick();

private:
    void fill(QTreeWidget &list, const QString &filter);
    void undo(QTreeWidget &list, bool wholeGroup);

    WindowHost &host_;
    std::unique_ptr<ApplyHistory> history_;
};

// Shows every row's value as its game file holds it now (rows with edits not applied keep them).
void refreshShownValues(WindowHost &host);
