// The table formats on grids far larger than a catalogue page, and the worst files the limits
// let through: a table file claiming the largest grid with no cells, and a spreadsheet whose
// last used cell makes the largest rectangle. Bytes in memory, no disk.
#include "table/BiffReader.h"
#include "table/GridCellStore.h"
#include "table/SpreadsheetImport.h"
#include "table/SpreadsheetWriter.h"
#include "table/TableFile.h"

#include <benchmark/benchmark.h>

namespace {

// 100 columns × 1,000 rows of short value texts.
GridCellStore bigGrid()
{
    GridCellStore grid;
    grid.setColumnCount(100);
    grid.setRowCount(1000);
    for (int c = 0; c < 100; ++c)
        for (int r = 0; r < 1000; ++r)
            grid.setCell(c, r, QByteArray::number(c * 0.25 + r) + " ; \xEA\xEE\xEC");
    return grid;
}

void TableFileWrite(benchmark::State &state)
{
    const GridCellStore grid = bigGrid();
    QByteArray bytes;
    QString error;
    for (auto _ : state)
        benchmark::DoNotOptimize(tableFileBytes(grid, &bytes, &error));
}
BENCHMARK(TableFileWrite)->Unit(benchmark::kMillisecond);

void TableFileRead(benchmark::State &state)
{
    QByteArray bytes;
    QString error;
    tableFileBytes(bigGrid(), &bytes, &error);
    for (auto _ : state) {
        GridCellStore grid;
        benchmark::DoNotOptimize(readTableFile(bytes, grid, &error));
    }
}
BENCHMARK(TableFileRead)->Unit(benchmark::kMillisecond);

// 2,048 × 2,048 = 4,194,304 cells claimed, none present.
void TableFileLargestEmptyGrid(benchmark::State &state)
{
    const QByteArray bytes = "2048\r\n2048\r\n";
    QString error;
    for (auto _ : state) {
        GridCellStore grid;
        benchmark::DoNotOptimize(readTableFile(bytes, grid, &error));
    }
}
BENCHMARK(TableFileLargestEmptyGrid)->Unit(benchmark::kMillisecond);

void SpreadsheetWriteAndImport(benchmark::State &state)
{
    QByteArray bytes;
    QString error;
    spreadsheetBytes(bigGrid(), &bytes, &error);
    for (auto _ : state) {
        SheetCells sheet;
        GridCellStore grid;
        benchmark::DoNotOptimize(readSpreadsheet(bytes, &sheet, &error));
        storeSheet(sheet, grid);
    }
}
BENCHMARK(SpreadsheetWriteAndImport)->Unit(benchmark::kMillisecond);

// One formatted empty cell at row 16,384, column 256: a 4,194,304-cell rectangle to store.
void SpreadsheetLargestRectangle(benchmark::State &state)
{
    QByteArray bytes("\x09\x08\x04\x00\x00\x00\x10\x00"
                     "\x01\x02\x06\x00\xFF\x3F\xFF\x00\x00\x00"
                     "\x0A\x00\x00\x00",
                     22);
    QString error;
    for (auto _ : state) {
        SheetCells sheet;
        GridCellStore grid;
        if (!readSpreadsheet(bytes, &sheet, &error))
            state.SkipWithError("not read");
        storeSheet(sheet, grid);
    }
}
BENCHMARK(SpreadsheetLargestRectangle)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
