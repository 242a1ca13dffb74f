#pragma once

#include <QByteArray>
#include <QString>

class GridCellStore;

// The spreadsheet file we write: a bare stream of BIFF records (16-bit type, 16-bit data
// length, data; little-endian) that spreadsheet programs open as a one-sheet workbook.
//
//     BOF    09 08 08 00  00 00 10 00 00 00 00 00     a worksheet
//     CODEPAGE  42 00 02 00  E3 04                     the texts are Windows-1251
//     LABEL  04 02 (8 + L)  row, column, format 0, L, the L text bytes     one per grid cell
//     EOF    0A 00 00 00
//
// Every grid cell from (0, 0) to (C − 1, R − 1) becomes a text cell at the grid's own row and
// column, empty ones included, column by column. Texts are the grid's Windows-1251 bytes, and
// the CODEPAGE record says so: without it a spreadsheet program reads them in the code page of
// the system's language.
// A record holds at most 65535 data bytes, so a cell longer than kMaxLabelBytes cannot be
// written: such a save is refused, naming the cell (cutting it would lose data silently). A
// grid beyond kMaxRows, kMaxSheetColumns or kMaxCells (TableLimits.h) is refused too, so what is
// saved imports again.

inline constexpr int kMaxLabelBytes = 65535 - 8;

// The file's bytes for the grid; false with the reason when the grid does not fit.
bool spreadsheetBytes(const GridCellStore &grid, QByteArray *bytes, QString *error);
