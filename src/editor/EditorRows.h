#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>

#include "editor/ValueBox.h"

class RowEditor;
class WindowHost;

// An editor row as the find, change list and reload commands see it (texts Windows-1251, as
// the catalogue gives them; page and sub-tab as their tabs show them).
struct EditorRow
{
    QPointer<ValueBox> box;
    bool trade = false;
    QString page, subTab;
    QByteArray caption, file, section, key, help;
};

// The editor rows of the main window, found through their names (RowNames.h).
namespace EditorRows {

// Every row, in creation order.
QList<EditorRow> collect(const WindowHost &host);

// Whether the row names the game file's key (file paths compared without letter case and with
// either separator, section and key without letter case).
bool shows(const EditorRow &row, const QByteArray &file, const QByteArray &section,
           const QByteArray &key);
bool sameFile(const QByteArray &a, const QByteArray &b);

// Switches to the row's page and sub-tab, scrolls it into view and selects it as a click does.
void select(WindowHost &host, RowEditor &rows, ValueBox *box);

// Whether the row holds an edit not applied yet.
bool isPending(const WindowHost &host, const ValueBox *box);

// Reads the row's value from its game file again and shows it, without making the row pending.
// A row that the catalogue leaves incomplete keeps what it shows.
void refresh(WindowHost &host, ValueBox *box);

} // namespace EditorRows
