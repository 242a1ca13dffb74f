#pragma once

#include <QList>

#include "changes/ChangeList.h"
#include "gamefiles/ParameterWriter.h"

class QDialog;
class QTreeWidget;
class RowEditor;
class WindowHost;

// The change list: for every game file under the gamedata folder that has a backup, the keys
// whose value differs from it, with the row that shows each. A line chosen selects its row; a key
// or a whole file can be restored from the backup after the user has seen what will change (the
// rows of a restored file show it at once); the reload command reads every row afresh.
class ChangesWindow
{
public:
    ChangesWindow(WindowHost &host, RowEditor &rows);

    void ChangesClick();
    // Reads every row's value from the game files again; rows with edits not applied yet keep
    // them and are named in a message.
    void ReloadClick();

private:
    void fill(QTreeWidget &list);
    void restoreKey(QTreeWidget &list);
    void restoreFile(QTreeWidget &list);
    void saveTweak(QTreeWidget &list);
    const LineChange *chosen(const QTreeWidget &list) const;
    // Whether a restored key goes to the duplicate file too (with duplication on).
    bool duplicated(const LineChange &change) const;

    WindowHost &host_;
    RowEditor &rows_;
    QList<LineChange> changes_;
};
