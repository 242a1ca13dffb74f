#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>

#include <functional>

#include "gamefiles/GameValues.h"
#include "gamefiles/ParameterWriter.h"

class GridCellStore;
class Session;

// What an apply of the table did: how many cells it wrote and, when it stopped early, where
// and why.
struct TableApplyReport
{
    int written = 0; // cells whose game file took the new value
    bool complete = true;
    // Where the apply stopped (complete == false).
    int row = 0;    // sub-tab number j
    int column = 0; // entry number k
    QByteArray subTab;
    QByteArray file; // the entry's file as the catalogue gives it
    QString reason;

    // The text to show the user (Russian).
    QString message() const;
};

// A cell an apply would write: where it is, and the parameter's text before and after.
struct TableCellChange
{
    int row = 0;    // sub-tab number j
    int column = 0; // entry number k
    QByteArray subTab;
    QByteArray caption; // the column's header
    QByteArray file, section, param;
    QByteArray oldText; // as the game file holds it; TableText::Missing for a missing one
    QByteArray newText;
    bool absent = false; // the parameter is missing from its game file
    // For a missing parameter that inherits a value: where it comes from (the review shows it;
    // oldText then is that value). Writing the cell adds the key to its own section.
    QByteArray origin;
    // Of the entry's keys, those its page file lacks (the apply stops at such a cell).
    QByteArrayList missingKeys;
};

// Writes the table view's grids back into the game files: every cell (k, j) below the header
// row and right of the label column whose text (value grid followed by remainder grid) differs
// from its parameter's current value goes to entry k of sub-tab j, by position, whatever the row
// labels and column headers say. Rows and columns follow the page file as it is now: rows with
// no sub-tab in it are skipped, and the first sub-tab's entry count gives the columns. A cell
// whose parameter is missing and that still shows the missing marker is not written.
//
// The cells are listed first (changes()), and the apply writes exactly the list the user
// confirmed: a cell whose parameter no longer holds the listed old text (another program changed
// the file since) is refused, and a cell not listed is never written.
//
// Each write goes through the parameter writer (backup, duplication, refusals). The apply stops
// at the first write that does not fully succeed; what was written before stays written.
class TableApply
{
public:
    // session: whose values the cells are compared with and whose writer writes them.
    // caption: the page's caption (UTF-8), which names the apply in the history.
    TableApply(const Session &session, QByteArray pageFilePath, QByteArray caption = {});

    // The cells to write, in the order they are written, read from the files as they are now
    // (entries the catalogue leaves incomplete included: the apply stops at them). When the page
    // file cannot be read, the list is empty and *error (when given) says why.
    QList<TableCellChange> changes(const GridCellStore &values, const GridCellStore &remainders,
                                   QString *error = nullptr) const;

    // Writes the listed cells, each only while its parameter still holds the listed old text.
    TableApplyReport apply(const QList<TableCellChange> &confirmed) const;
    // Lists the cells and writes them at once.
    TableApplyReport apply(const GridCellStore &values, const GridCellStore &remainders) const;

    // The message of a complete apply.
    static QString savedMessage();

private:
    // Calls visit for each changed cell in apply order until it returns false; false when the
    // page file could not be read (*reason says why).
    bool forEachChange(const GridCellStore &values, const GridCellStore &remainders,
                       const std::function<bool(const TableCellChange &)> &visit,
                       QString *reason) const;
    // The parameter's current text; *absent when its section lacks it (*inherited: the value it
    // inherits then, if any).
    static QByteArray current(GameValues &values, const QByteArray &file, const QByteArray &section,
                              const QByteArray &param, bool *absent,
                              GameValues::Value *inherited = nullptr);

    const Session &session_;
    QByteArray pageFilePath_;
    QByteArray caption_;
};
