#pragma once

#include <QByteArray>
#include <QHash>

// The cells of one grid of the table view, kept by position whatever the grid's current counts:
// lowering a count hides the cells beyond it without clearing them, raising it again shows them
// with their old text, and reading any position gives the kept text, or the empty text for a
// position never written. A grid always has at least one row and one column; a count below 1
// is taken as 1. Texts are Windows-1251 bytes, as the game files hold them.
//
// Cells are addressed (column, row), both from 0. Only written cells take memory, so a count
// read from a hostile file costs nothing until cells are written; the readers that fill a store
// bound what they write.
class GridCellStore
{
public:
    int columnCount() const { return columns_; }
    int rowCount() const { return rows_; }
    void setColumnCount(int count) { columns_ = count < 1 ? 1 : count; }
    void setRowCount(int count) { rows_ = count < 1 ? 1 : count; }

    QByteArray cell(int column, int row) const { return cells_.value(key(column, row)); }
    void setCell(int column, int row, const QByteArray &text)
    {
        if (column >= 0 && row >= 0)
            cells_.insert(key(column, row), text);
    }

    // Positions inside the current counts, from (firstColumn, firstRow) on, whose texts differ
    // from other's texts there.
    int differingCells(const GridCellStore &other, int firstColumn, int firstRow) const
    {
        auto inside = [&](quint64 k) {
            const int column = int(k >> 32);
            const int row = int(quint32(k));
            return column >= firstColumn && row >= firstRow && column < columns_ && row < rows_;
        };
        int count = 0;
        for (auto it = cells_.cbegin(); it != cells_.cend(); ++it) {
            if (inside(it.key()) && it.value() != other.cells_.value(it.key()))
                ++count;
        }
        for (auto it = other.cells_.cbegin(); it != other.cells_.cend(); ++it) {
            if (inside(it.key()) && !it.value().isEmpty() && !cells_.contains(it.key()))
                ++count;
        }
        return count;
    }

private:
    static quint64 key(int column, int row)
    {
        return (quint64(quint32(column)) << 32) | quint32(row);
    }

    int columns_ = 1;
    int rows_ = 1;
    QHash<quint64, QByteArray> cells_;
};
