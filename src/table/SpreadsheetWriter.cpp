#include "table/SpreadsheetWriter.h"

#include "base/Plural.h"
#include "table/GridCellStore.h"
#include "table/TableFormats.h"
#include "table/TableLimits.h"

using namespace tablelimits;

namespace {

void put16(QByteArray &out, int value)
{
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

void putRecord(QByteArray &out, int type, int length)
{
    put16(out, type);
    put16(out, length);
}

} // namespace

bool spreadsheetBytes(const GridCellStore &grid, QByteArray *bytes, QString *error)
{
    const int columns = grid.columnCount();
    const int rows = grid.rowCount();
    if (columns > kMaxSheetColumns || rows > kMaxRows || qint64(columns) * rows > kMaxCells) {
        *error = QStringLiteral("таблица больше %1 строк, %2 столбцов или %3 ячеек")
                     .arg(kMaxRows)
                     .arg(kMaxSheetColumns)
                     .arg(kMaxCells);
        return false;
    }
    QByteArray out;
    putRecord(out, 0x0809, 8);
    out.append("\x00\x00\x10\x00\x00\x00\x00\x00", 8);
    // The texts' code page, so that a spreadsheet program reads them right in any locale.
    putRecord(out, 0x0042, 2);
    put16(out, 1251);
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r) {
            const QByteArray text = grid.cell(c, r);
            if (text.size() > kMaxLabelBytes) {
                *error = QStringLiteral("в ячейке %1 %2, в ячейку Excel-файла входит "
                                        "не больше %3")
                             .arg(cellName(c, r))
                             .arg(base::counted(text.size(), "байт", "байта", "байт"))
                             .arg(kMaxLabelBytes);
                return false;
            }
            putRecord(out, 0x0204, 8 + int(text.size()));
            put16(out, r);
            put16(out, c);
            put16(out, 0);
            put16(out, int(text.size()));
            out += text;
        }
    }
    putRecord(out, 0x000A, 0);
    *bytes = std::move(out);
    return true;
}

bool saveSpreadsheet(const QString &path, const GridCellStore &grid, QString *error)
{
    return saveOutputFile(path, grid, spreadsheetBytes, error);
}
