// The spreadsheet file we write: exact record bytes, and grids that do not fit.

#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "table/GridCellStore.h"
#include "table/SpreadsheetWriter.h"
#include "table/TableFormats.h"

#include <gtest/gtest.h>

TEST(SpreadsheetWriter, OneTextCellPerGridCellColumnByColumn)
{
    GridCellStore grid;
    grid.setColumnCount(2);
    grid.setRowCount(2);
    grid.setCell(0, 0, "\xC8\xEC\xFF");
    grid.setCell(1, 0, "ab");
    grid.setCell(1, 1, "c");
    TempDir dir;
    QString error;
    ASSERT_TRUE(saveSpreadsheet(dir.path("t.xls"), grid, &error)) << error;
    const QByteArray expected("\x09\x08\x08\x00\x00\x00\x10\x00\x00\x00\x00\x00"
                              "\x42\x00\x02\x00\xE3\x04" // CODEPAGE 1251, right after BOF
                              "\x04\x02\x0B\x00\x00\x00\x00\x00\x00\x00\x03\x00\xC8\xEC\xFF"
                              "\x04\x02\x08\x00\x01\x00\x00\x00\x00\x00\x00\x00"
                              "\x04\x02\x0A\x00\x00\x00\x01\x00\x00\x00\x02\x00"
                              "ab"
                              "\x04\x02\x09\x00\x01\x00\x01\x00\x00\x00\x01\x00"
                              "c"
                              "\x0A\x00\x00\x00",
                              12 + 6 + 15 + 12 + 14 + 13 + 4);
    EXPECT_EQ(TempDir::read(dir.path("t.xls")).toHex(' '), expected.toHex(' '));
}

TEST(SpreadsheetWriter, GridsThatDoNotFitAreRefusedAndNothingIsWritten)
{
    TempDir dir;
    GridCellStore grid;
    grid.setCell(0, 0, QByteArray(kMaxLabelBytes, 'x'));
    QString error;
    QByteArray bytes;
    ASSERT_TRUE(spreadsheetBytes(grid, &bytes, &error)) << error;
    EXPECT_EQ(bytes.size(), 12 + 6 + 4 + 65535 + 4);

    grid.setColumnCount(3);
    grid.setRowCount(4);
    grid.setCell(2, 3, QByteArray(kMaxLabelBytes + 1, 'x'));
    EXPECT_FALSE(saveSpreadsheet(dir.path("t.xls"), grid, &error));
    EXPECT_TRUE(error.contains("C4")) << error;

    grid.setCell(2, 3, "");
    grid.setRowCount(65537);
    EXPECT_FALSE(saveSpreadsheet(dir.path("t.xls"), grid, &error));
    EXPECT_FALSE(QFile::exists(dir.path("t.xls")));
}
