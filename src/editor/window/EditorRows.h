#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>
#include <QStringList>

class GameValues;
class RowEditor;
class WindowHost;

// An editor row as the find, change list and reload commands see it (texts Windows-1251, as
// the catalogue gives them; page and sub-tab as their tabs show them). Every row of the
// catalogue walk is one, whether its controls exist or not, entries of table pages included.
struct EditorRow
{
    int index = -1; // in the main window's row data
    bool trade = false;
    QString page, subTab;
    QByteArray caption, file, section, key, help;
};

// The editor rows of the main window, read from its row data (RowData.h).
namespace EditorRows {

// Every row, in walk order.
QList<EditorRow> collect(const WindowHost &host);

// Whether the row names the game file's key (file paths compared without letter case and with
// either separator, section and key without letter case).
bool shows(const EditorRow &row, const QByteArray &file, const QByteArray &section,
           const QByteArray &key);
bool sameFile(const QByteArray &a, const QByteArray &b);

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

// After the rows were read: of the problems the includes and parents of the game files gave,
// those not reported yet in this run, in one error message, and a note in the status line.
// Nothing when there were none.
void reportLookupProblems(WindowHost &host, const QStringList &problems);

} // namespace EditorRows
