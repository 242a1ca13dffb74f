#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class GridCellStore;

// The table file: lines of single-byte text, each ended by CR LF.
//
//     line 1      C, the column count, in decimal
//     line 2      R, the row count, in decimal
//     then        C × R cell texts, one per line, column by column: the R cells of column 0
//                 from row 0 down, then column 1, and so on
//
// Texts are the grid's bytes, neither quoted nor escaped, so a cell holding a line break cannot
// be written: such a save is refused, naming the cell.
//
// Reading is lenient where nothing is lost and strict where a wrong guess would scramble cells:
// - a count line may start and end with blanks or tabs and carry a sign; an empty or missing
//   count line reads as 0, and a count of 0 or below as 1 (a grid keeps one row and column);
//   the cells read are those of the grid's counts, so cell (0, 0) follows even such counts;
// - a count line that is not a decimal integer is an error naming the line;
// - counts above kMaxRows / kMaxColumns or with more than kMaxCells cells (TableLimits.h) are an
//   error, so a hostile count costs nothing;
// - lines end at CR LF, LF or CR; a file that ends early gives empty texts to the cells past
//   its end; lines after the last cell are ignored.
// A file that fails to read leaves the grid as it was (counts included); otherwise the grid takes
// both counts and every cell from (0, 0) to (C − 1, R − 1), with C and R at least 1, and keeps
// its other cells.

// The file's bytes for the grid; false with the reason when a cell holds a line break or the
// grid is beyond the limits.
bool tableFileBytes(const GridCellStore &grid, QByteArray *bytes, QString *error);

// Reads a table file's bytes into the grid.
bool readTableFile(QByteArrayView bytes, GridCellStore &grid, QString *error);
