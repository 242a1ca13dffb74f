#pragma once

#include <QPoint>
#include <QRect>

// Where the controls of an editor row stand on its sub-tab: the one place that knows it, used
// by the builder that places the rows and by the dragging that moves them. A row is anchored
// at its caption label (ordinary row) or presence check box (trade row); the value box stands
// below it and the apply button to the right of the value box.
namespace RowGeometry {

inline constexpr int ValueBoxHeight = 21;
inline constexpr int ApplyButtonSize = 21;
inline constexpr int CheckBoxHeight = 17;
inline constexpr int Margin = 8; // around the rows of a sub-tab
inline constexpr int BelowCaption = 16;
inline constexpr int ApplyGap = 7; // between value box and apply button

struct Row
{
    QPoint caption; // caption label or presence check box
    QRect checkBox; // the presence check box of a trade row
    QRect valueBox;
    QRect applyButton;
};

// The row whose caption stands at `caption`; memoWidth is the value box width of the settings.
inline Row at(QPoint caption, int memoWidth)
{
    Row row;
    row.caption = caption;
    row.checkBox =
        QRect(caption, QSize(memoWidth + ApplyGap + ApplyButtonSize + Margin, CheckBoxHeight));
    row.valueBox = QRect(caption + QPoint(0, BelowCaption), QSize(memoWidth, ValueBoxHeight));
    row.applyButton = QRect(caption + QPoint(memoWidth + ApplyGap, BelowCaption),
                            QSize(ApplyButtonSize, ApplyButtonSize));
    return row;
}

// The row in the slot at (x, y) of the sub-tab's grid of rows.
inline Row inSlot(int x, int y, int memoWidth)
{
    return at(QPoint(x + Margin, y + Margin), memoWidth);
}

// Everything the row covers: from its caption to the lower right corner of its apply button
// (ordinary row) or of its presence check box (trade row).
inline QRect bounds(const Row &row, bool trade)
{
    QRect covered(row.caption, row.applyButton.bottomRight());
    return trade ? covered.united(row.checkBox) : covered;
}

} // namespace RowGeometry
