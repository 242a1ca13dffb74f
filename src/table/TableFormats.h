#pragma once

#include <QString>

class GridCellStore;

// Saving the value grid of the table view to a file and loading it back. Each function takes
// the full file name exactly as the file is written or read (the window appends ".tsv" or
// ".xls" before a save) and returns false with a short reason in Russian in *error.
//
// - saveTableFile / loadTableFile: the table file (count lines, then one cell per line).
// - saveSpreadsheet: a spreadsheet file of text cells that spreadsheet programs open.
// - importSpreadsheet: the first worksheet of a spreadsheet file (our own files and .xls files
//   saved by spreadsheet programs), from A1 to its last used cell, as text.
//
// A load or import that fails leaves the grid exactly as it was. Formats and limits: see
// TableFile.h, SpreadsheetWriter.h and SpreadsheetImport.h.

bool saveTableFile(const QString &path, const GridCellStore &grid, QString *error);
bool loadTableFile(const QString &path, GridCellStore &grid, QString *error);
bool saveSpreadsheet(const QString &path, const GridCellStore &grid, QString *error);
// On success *notice (when given) says what of the sheet was left out, or is empty.
bool importSpreadsheet(const QString &path, GridCellStore &grid, QString *error,
                       QString *notice = nullptr);

// Whether the file at path is read by importSpreadsheet rather than loadTableFile: by its first
// bytes (a compound file, a spreadsheet record stream, a zipped workbook), else by its suffix
// (".xls", ".tsv"), else otherwise (the file type chosen in the dialog). A name typed under
// the other file type is read by what the file is.
bool isSpreadsheetFile(const QString &path, bool otherwise);
