#pragma once

#include <QList>

#include "editor/window/EditorRows.h"
#include "changes/ChangeList.h"

class QDialog;
class QTreeWidget;
class RowEditor;
class WindowHost;

// The change list: for every game file of the rows that has a backup, the keys whose value
// differs from it, with the row that shows each. A line chosen selects its row; a key or a whole
// file can be restored from the backup after the user has seen what will change. Restored rows
// show the value again; the reload command reads every row afresh.
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
    const KeyChange *chosen(const QTreeWidget &list) const;
    // Shows the values of the rows of the file (of its key, when given) as the file holds them.
    void refreshRows(const QByteArray &file, const KeyChange *only = nullptr);
    WriteTarget target() const;
    // Whether a restored key goes to the duplicate file too (with duplication on).
    bool duplicated(const KeyChange &change) const;

    WindowHost &host_;
    RowEditor &rows_;
    QList<EditorRow> editorRows_;
    QList<KeyChange> changes_;
};
