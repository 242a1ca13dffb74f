#pragma once

#include <QPoint>
#include <QString>

#include "catalogue/CatalogueVisitor.h"
#include "gamefiles/ParameterLookup.h"

// What an editor row is, whether its controls exist or not. The catalogue walk makes one per
// entry, names it and reads its value; the controls of a sub-tab's rows are created when the
// sub-tab is first shown (or a command needs them). Find, the change list and reload work on
// these, so they reach every row of every page, table pages included.
struct RowData
{
    CatalogueEntry entry;
    // The value box's name (RowNames.h); empty for an entry of a table page, which has no
    // controls of its own and takes no running number.
    QString name;
    QString page, subTab; // captions of its tabs
    int sheet = -1;       // its sub-tab, counted over the whole walk
    QPoint place;         // top left of the row's place on its sub-tab
    // As last read from its game file. Once the row's controls exist they hold what is shown
    // and edited; this is no longer updated.
    ParameterLookup::RowValue value;
    bool built = false; // its controls exist

    bool trade() const { return entry.trade; }
    bool hasControls() const { return !name.isEmpty(); }
};
