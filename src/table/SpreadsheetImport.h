#pragma once

#include <QByteArrayView>
#include <QString>

class GridCellStore;
struct SheetCells;

// Spreadsheet files that import: .xls workbooks saved by spreadsheet programs (a compound file
// holding a BIFF8 "Workbook" or BIFF5 "Book" stream; Excel 97-2003 and 5.0/95 formats) and the
// bare record streams our own spreadsheet save writes. The compound file is opened by
// CompoundFile (the system's structured storage on Windows, libgsf elsewhere); the records are
// read by BiffReader, which says what is read and what is refused. Workbooks in the zipped .xlsx
// or .ods formats are refused with a hint to save them as .xls.

// Reads the first worksheet of a spreadsheet file's bytes.
bool readSpreadsheet(QByteArrayView file, SheetCells *sheet, QString *error);

// Stores a sheet into the value grid: every cell of the rectangle from A1 to the last used cell,
// row by row, at (column − 1, row − 1), empty cells as empty texts; then the grid has the
// rectangle's column count and up to two rows more than the rectangle, less the rows at the end
// that are empty in every column. Cells outside the rectangle keep their texts. The grid stays
// within what the savers take (kMaxRows rows, kMaxCells cells, TableLimits.h). Returns what was
// left out, in Russian, or an empty text.
QString storeSheet(const SheetCells &sheet, GridCellStore &grid);
