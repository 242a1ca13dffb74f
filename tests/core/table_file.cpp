// The table file: exact bytes, round trips, and files that must fail without touching the grid.

#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "table/GridCellStore.h"
#include "table/TableFile.h"
#include "table/TableFormats.h"

#include <gtest/gtest.h>

namespace {

// A grid of the given counts whose cell (c, r) holds "c,r".
GridCellStore numberedGrid(int columns, int rows)
{
    GridCellStore grid;
    grid.setColumnCount(columns);
    grid.setRowCount(rows);
    for (int c = 0; c < columns; ++c)
        for (int r = 0; r < rows; ++r)
            grid.setCell(c, r, QByteArray::number(c) + ',' + QByteArray::number(r));
    return grid;
}

} // namespace

TEST(TableFile, WritesCountsThenCellsColumnByColumn)
{
    GridCellStore grid = numberedGrid(3, 2);
    grid.setCell(1, 1, "\xC8\xEC\xFF"); // Windows-1251 bytes stay single bytes
    grid.setCell(2, 0, "");
    grid.setCell(5, 5, "hidden"); // outside the counts: not written
    TempDir dir;
    QString error;
    ASSERT_TRUE(saveTableFile(dir.path("t.tsv"), grid, &error)) << error;
    EXPECT_EQ(TempDir::read(dir.path("t.tsv")),
              QByteArray("3\r\n2\r\n0,0\r\n0,1\r\n1,0\r\n\xC8\xEC\xFF\r\n\r\n2,1\r\n"));
}

TEST(TableFile, RoundTripRestoresCountsAndCells)
{
    GridCellStore saved = numberedGrid(4, 7);
    saved.setCell(0, 0, "\xC8\xEC\xFF");
    saved.setCell(3, 6, " blanks\tand tabs ");
    TempDir dir;
    QString error;
    ASSERT_TRUE(saveTableFile(dir.path("t.tsv"), saved, &error)) << error;
    GridCellStore loaded;
    loaded.setCell(9, 9, "kept outside");
    ASSERT_TRUE(loadTableFile(dir.path("t.tsv"), loaded, &error)) << error;
    EXPECT_EQ(loaded.columnCount(), 4);
    EXPECT_EQ(loaded.rowCount(), 7);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 7; ++r)
            EXPECT_EQ(loaded.cell(c, r), saved.cell(c, r)) << c << ',' << r;
    EXPECT_EQ(loaded.cell(9, 9), "kept outside");
}

TEST(TableFile, LenientReading)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        int columns, rows;
        QList<QByteArray> cells; // column by column
    };
    const Case cases[] = {
        {"blanks around counts, LF endings", "  2 \n\t1\na\nb\n", 2, 1, {"a", "b"}},
        {"CR endings and a sign", "+1\r2\rx\ry\r", 1, 2, {"x", "y"}},
        {"ends early: empty texts", "2\r\n2\r\na\r\n", 2, 2, {"a", "", "", ""}},
        {"no final line end", "1\r\n1\r\nlast", 1, 1, {"last"}},
        {"lines after the cells ignored", "1\r\n1\r\na\r\nextra\r\n", 1, 1, {"a"}},
        // Counts below 1 are taken as 1, and the cells of the grid so counted are read.
        {"missing row count reads as 0", "3\r\n", 3, 1, {"", "", ""}},
        {"empty file", "", 1, 1, {""}},
        {"empty count lines read as 0", "\r\n \r\nx\r\n", 1, 1, {"x"}},
        {"zero counts", "0\r\n0\r\nx\r\n", 1, 1, {"x"}},
        {"negative counts", "-4\r\n-1\r\n", 1, 1, {""}},
        {"one zero count", "0\r\n2\r\nx\r\ny\r\n", 1, 2, {"x", "y"}},
    };
    for (const Case &t : cases) {
        GridCellStore grid = numberedGrid(3, 3);
        QString error;
        ASSERT_TRUE(readTableFile(t.bytes, grid, &error)) << t.name << error;
        EXPECT_EQ(grid.columnCount(), t.columns) << t.name;
        EXPECT_EQ(grid.rowCount(), t.rows) << t.name;
        qsizetype i = 0;
        for (int c = 0; c < t.columns; ++c)
            for (int r = 0; r < t.rows && i < t.cells.size(); ++r, ++i)
                EXPECT_EQ(grid.cell(c, r), t.cells[i]) << t.name << ' ' << c << ',' << r;
        EXPECT_EQ(i, t.cells.size()) << t.name;
        EXPECT_EQ(grid.cell(2, 2), "2,2") << t.name << ": cells outside the counts are kept";
    }
}

TEST(TableFile, BadFilesFailAndLeaveTheGridAlone)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        const char *reason; // part of the error text
    };
    const Case cases[] = {
        {"text as column count", "abc\r\n2\r\n", "в строке 1 файла таблицы не целое число"},
        {"text as row count", "2\r\n2x\r\n", "в строке 2 файла таблицы не целое число"},
        {"a sign alone", "-\r\n", "не целое число"},
        {"a million columns", "1000000\r\n1\r\n", "столбцов"},
        {"a million rows", "1\r\n1000000\r\n", "строк"},
        {"beyond every int", "99999999999999999999\r\n1\r\n", "столбцов"},
        {"too many cells", "65536\r\n65536\r\n", "ячеек"},
    };
    for (const Case &t : cases) {
        GridCellStore grid = numberedGrid(3, 3);
        QString error;
        EXPECT_FALSE(readTableFile(t.bytes, grid, &error)) << t.name;
        EXPECT_TRUE(error.contains(QString::fromUtf8(t.reason))) << t.name << ": " << error;
        EXPECT_EQ(grid.columnCount(), 3) << t.name;
        EXPECT_EQ(grid.rowCount(), 3) << t.name;
        EXPECT_EQ(grid.cell(2, 2), "2,2") << t.name;
    }
}

TEST(TableFile, SavesThatWouldNotLoadBackAreRefused)
{
    TempDir dir;
    GridCellStore grid = numberedGrid(2, 2);
    for (const QByteArray &text : {QByteArray("two\nlines"), QByteArray("cr\r")}) {
        grid.setCell(1, 1, text);
        QString error;
        EXPECT_FALSE(saveTableFile(dir.path("t.tsv"), grid, &error));
        EXPECT_TRUE(error.contains("B2")) << error;
    }
    EXPECT_FALSE(QFile::exists(dir.path("t.tsv")));

    QString error;
    EXPECT_FALSE(loadTableFile(dir.path("missing.tsv"), grid, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(saveTableFile(dir.path("no/such/folder/t.tsv"), grid, &error));
    EXPECT_FALSE(error.isEmpty());
}
