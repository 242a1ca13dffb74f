#pragma once

#include <QString>

class GridCellStore;

// The files the table view saves its value grid to and loads it from: the table file (.tsv)
// and the spreadsheet file (.xls). path is the full file name exactly as written or read; each
// returns false with a Russian reason in *error. Loading sets the grid's counts and the cells
// it reads; other cells keep their texts.
bool saveTableFile(const QString &path, const GridCellStore &grid, QString *error);
bool loadTableFile(const QString &path, GridCellStore &grid, QString *error);
bool saveSpreadsheet(const QString &path, const GridCellStore &grid, QString *error);
bool importSpreadsheet(const QString &path, GridCellStore &grid, QString *error);
