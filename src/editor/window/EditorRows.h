#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

class GameValues;
class RowEditor;
class WindowHost;

// What the find, change list and reload commands do with the editor rows (the window's Rows,
// every row of the catalogue walk, whether its controls exist or not, entries of table pages
// included).
namespace EditorRows {

// "page › sub-tab › caption": how lists and messages name a row.
QString placeText(const WindowHost &host, int index);

// Switches to the row's page and sub-tab, scrolls it into view and selects it as a click does.
// An entry of a table page has no controls: its sub-tab is shown, with its help and where it
// is written in the status line.
void select(WindowHost &host, RowEditor &rows, int index);

// Whether the row holds an edit not applied yet.
bool isPending(const WindowHost &host, int index);

// Reads the row's value from its game file again (through values, the reader of this refresh)
// and shows it, without making the row pending. A row that the catalogue leaves incomplete keeps
// what it shows.
void refresh(WindowHost &host, GameValues &values, int index);

// After a write changed the game files (relative to the gamedata folder): reads again every row
// whose value depends on one of them (its own file or a file it includes) and that holds no edit
// not applied yet, and refreshes the selected row's help, status line and pending text.
void refreshFiles(WindowHost &host, const QByteArrayList &files);

// Gives every row its value (what find and the change list look at): waits for the background
// read, reads the rows it has not reached, and reports the problems met.
void readAll(WindowHost &host);

// After the rows were read: of the problems the includes and parents of the game files gave,
// those not reported yet in this run, in one error message, and a note in the status line.
// Nothing when there were none.
void reportLookupProblems(WindowHost &host, const QStringList &problems);

} // namespace EditorRows
