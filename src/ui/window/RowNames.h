#pragma once

#include <QString>

// The names of an editor row's controls. Handlers get from the control that fired to its
// siblings through these names, and the catalogue commands and the table view find rows by
// them, so the scheme is fixed:
//
//   ordinary row n:  value box "Name_<n>", apply button "Name_<n>_", caption label
//                    "Name_<n>_V", hidden comment label "Name_<n>_Comment"
//   trade row n:     value box "Name1_<n>_s1", apply button "Name1_<n>_s1_B", presence check
//                    box "Name1_<n>_s1_TR"
//
// n is the running number of rows over the whole window, from 0.
namespace RowNames {

enum class Part
{
    Apply,      // ordinary row
    Caption,    // ordinary row
    Comment,    // ordinary row
    TradeApply, // trade row
    TradeCheck, // trade row
};

// Value box names of row n.
QString ordinaryBox(int n);
QString tradeBox(int n);
QString box(int n, bool trade);

// From a value box's name to the name of one of its siblings.
QString sibling(const QString &boxName, Part part);

// From a sibling's name back to its value box's name (the sibling's suffix dropped).
QString boxOf(const QString &siblingName, Part part);

// Whether the name is that of a value box of an ordinary row, or of a trade row.
bool isOrdinaryBox(const QString &name);
bool isTradeBox(const QString &boxName);

} // namespace RowNames
