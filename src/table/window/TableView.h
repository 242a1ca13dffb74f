#pragma once

#include <QList>
#include <QString>

#include <functional>

#include "table/GridCellStore.h"

struct TableCellChange;

class QPushButton;
class TForm7;
class WindowHost;

// The table view of a catalogue page, driven from the main window: the menu command (F5) and
// the table buttons open it for a page, the table window edits, saves and loads its grid, and
// "Применить" writes the changed cells back into the game files. Also the table mode menu.
class TableView
{
public:
    TableView(WindowHost &host, TForm7 &form);

    // Opens the table view of the page of the current selection (0 before any selection).
    void N21Click();
    // Stores the button's page and sub-tab as the current selection, then opens the table view.
    void ButTablClick(QPushButton *button);
    // Table mode at the next start: on (N27) or off (N28), written to the settings at once.
    void N27Click();
    void N28Click();

    // The table window's "Сохранить" and "Загрузить".
    void save();
    void load();

    // The file formats behind them (replaceable, so the window can be tried without files).
    struct Formats
    {
        using Save = std::function<bool(const QString &, const GridCellStore &, QString *)>;
        using Load = std::function<bool(const QString &, GridCellStore &, QString *)>;
        // The last argument receives what of the file was left out (empty: nothing).
        using Import = std::function<bool(const QString &, GridCellStore &, QString *, QString *)>;
        Save saveTableFile, saveSpreadsheet;
        Load loadTableFile;
        Import importSpreadsheet;
    };
    Formats formats;

private:
    void open(int page);
    // Lists the cells the apply will write; true when the user confirms (or there are none).
    bool review(const QList<TableCellChange> &changes);
    // Asked when the table window is about to close without applying: false keeps it open.
    bool confirmCancel();
    // Value cells (below the header row, right of the labels) that differ from the opening.
    int editedCells() const;
    void setTableMode(int mode);
    void message(const QString &text);

    WindowHost &host_;
    TForm7 &form_;
    // The value grid as the opening filled it.
    GridCellStore opened_;
    // The file type chosen last in each file dialog.
    QString saveFilter_;
    QString openFilter_;
};
