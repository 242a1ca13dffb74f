#include "table/SpreadsheetImport.h"

#include <QFile>
#include <QFileInfo>

#include "table/BiffReader.h"
#include "table/CompoundFile.h"
#include "table/GridCellStore.h"
#include "table/TableFormats.h"
#include "table/TableLimits.h"

namespace {

constexpr char kCompoundMagic[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

// The workbook stream of a compound file: "Workbook" (BIFF8) or "Book" (BIFF5), whatever the
// letter case.
bool workbookStream(QByteArrayView file, QByteArray *stream, QString *error)
{
    const CompoundFile compound(file);
    if (!compound.isOpen()) {
        *error = QStringLiteral("файл повреждён: составной файл не читается");
        return false;
    }
    QString found;
    const QStringList entries = compound.entries();
    for (const char *name : {"workbook", "book"}) {
        for (const QString &entry : entries) {
            if (found.isEmpty() && entry.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                found = entry;
        }
    }
    const qint64 size = found.isEmpty() ? -1 : compound.streamSize(found);
    if (size < 0) {
        *error = QStringLiteral("в файле нет книги Excel");
        return false;
    }
    // A stream cannot be longer than the file that holds it: a larger size is a broken header.
    if (size > file.size()) {
        *error = QStringLiteral("файл повреждён: книга длиннее самого файла");
        return false;
    }
    if (!compound.readStream(found, stream) || stream->size() != size) {
        *error = QStringLiteral("файл повреждён: книга не читается");
        return false;
    }
    return true;
}

} // namespace

bool readSpreadsheet(QByteArrayView file, SheetCells *sheet, QString *error)
{
    if (file.startsWith(QByteArrayView(kCompoundMagic, 8))) {
        QByteArray stream;
        return workbookStream(file, &stream, error) && BiffReader().read(stream, sheet, error);
    }
    if (file.startsWith("PK\x03\x04")) {
        *error = QStringLiteral("файлы .xlsx и .ods не поддерживаются; сохраните файл в формате "
                                "Excel 97-2003 (.xls)");
        return false;
    }
    return BiffReader().read(file, sheet, error);
}

QString storeSheet(const SheetCells &sheet, GridCellStore &grid)
{
    using namespace tablelimits;
    // Up to two rows below the sheet, as far as the savers take a grid (a sheet using its last
    // row must not come back as a grid that neither format can save): they show what the grid
    // keeps there.
    const int columns = sheet.columns;
    const qint64 wanted = qint64(sheet.rows) + 2;
    const int rows = int(qMin(wanted, qMin<qint64>(kMaxRows, kMaxCells / qMax(1, columns))));
    const int sheetRows = qMin(sheet.rows, rows);
    for (int r = 0; r < sheetRows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const QByteArray text = sheet.text(c, r);
            // An empty text is what an unwritten cell reads as: only kept texts need clearing.
            if (!text.isEmpty() || !grid.cell(c, r).isEmpty())
                grid.setCell(c, r, text);
        }
    }
    grid.setColumnCount(columns);
    // Rows at the end that are empty in every column are no rows of the table: a workbook's
    // used range often ends in such rows, and the two rows below the sheet mostly are.
    int shown = rows;
    auto emptyRow = [&](int r) {
        for (int c = 0; c < columns; ++c)
            if (!grid.cell(c, r).isEmpty())
                return false;
        return true;
    };
    while (shown > 1 && emptyRow(shown - 1))
        --shown;
    grid.setRowCount(shown);
    if (sheetRows < sheet.rows)
        return QStringLiteral("Строки листа с %1 по %2 не загружены: в таблице не больше %3 "
                              "строк и %4 ячеек.")
            .arg(sheetRows + 1)
            .arg(sheet.rows)
            .arg(kMaxRows)
            .arg(kMaxCells);
    return QString();
}

bool isSpreadsheetFile(const QString &path, bool otherwise)
{
    QByteArray head;
    QFile file(path);
    // Only a regular file is opened: a pipe would block the read.
    if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly))
        head = file.read(8);
    // A compound file (.xls of a spreadsheet program), the bare record stream the spreadsheet
    // save writes (a BOF record of any BIFF version, little-endian), or a zipped workbook, which
    // the import refuses with the hint to save it as .xls.
    const auto byte = [&](int i) { return i < head.size() ? quint8(head[i]) : -1; };
    if (head.startsWith(QByteArrayView(kCompoundMagic, 8)) || head.startsWith("PK\x03\x04"))
        return true;
    if (byte(0) == 0x09 &&
        (byte(1) == 0x00 || byte(1) == 0x02 || byte(1) == 0x04 || byte(1) == 0x08) &&
        byte(2) >= 4 && byte(2) <= 20 && byte(3) == 0x00)
        return true;
    if (path.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive))
        return true;
    if (path.endsWith(QLatin1String(".tsv"), Qt::CaseInsensitive))
        return false;
    return otherwise;
}

bool importSpreadsheet(const QString &path, GridCellStore &grid, QString *error, QString *notice)
{
    QByteArray file;
    SheetCells sheet;
    if (!tablelimits::readInputFile(path, &file, error) || !readSpreadsheet(file, &sheet, error))
        return false;
    const QString leftOut = storeSheet(sheet, grid);
    if (notice)
        *notice = leftOut;
    return true;
}
