#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class GridCellStore;

// What the table formats accept, and the helpers their readers and writers share. The limits
// keep a hostile or broken file from costing more than a moment and a few hundred megabytes:
// counts beyond them are refused before anything is stored.
namespace tablelimits {

// Row and column counts of a grid read from or written to a file. A spreadsheet file stores
// row and column numbers in 16 bits, so neither format can hold more.
inline constexpr int kMaxRows = 65536;
inline constexpr int kMaxColumns = 65536;
// Columns of a spreadsheet file, written or read, as the largest spreadsheet programs take them.
inline constexpr int kMaxSheetColumns = 16384;
// Rows × columns of a grid read from a file (the table view shows a page, a few hundred cells).
inline constexpr qint64 kMaxCells = 4 * 1024 * 1024;
// Size of a file read whole.
inline constexpr qint64 kMaxFileBytes = 128 * 1024 * 1024;

// The spreadsheet name of a cell addressed (column, row) from 0: (1, 2) is "B3".
QString cellName(int column, int row);

// Reads the regular file at path whole; a missing, unreadable or oversized file fails with the
// reason in *error.
bool readInputFile(const QString &path, QByteArray *bytes, QString *error);

// Makes a grid's bytes in one format, or fails with the reason in *error.
using GridBytes = bool (*)(const GridCellStore &grid, QByteArray *bytes, QString *error);

// Saves the grid to path in the format toBytes makes, in one atomic save; a grid the format
// cannot hold or a failed save fails with the reason in *error.
bool saveOutputFile(const QString &path, const GridCellStore &grid, GridBytes toBytes,
                    QString *error);

} // namespace tablelimits
