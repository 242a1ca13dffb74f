// Filling the table view's two grids from a catalogue page and its game files.

#include <gtest/gtest.h>

#include "support/TableCatalogue.h"
#include "table/GridCellStore.h"
#include "table/TablePage.h"

namespace {

class TableFill : public TableCatalogue
{
};

} // namespace

TEST_F(TableFill, CellsHoldValuePartsAndTheRemainderGridTheRest)
{
    GridCellStore values, remainders;
    values.setCell(9, 9, "kept");
    const TableLayout layout = page().fill(1, values, remainders);
    ASSERT_EQ(layout.status, TableLayout::Status::Read);
    EXPECT_EQ(layout.subTabs, 3);
    EXPECT_EQ(layout.entries, 3) << "m comes from the first sub-tab";
    EXPECT_EQ(values.rowCount(), 4);
    EXPECT_EQ(values.columnCount(), 4);
    EXPECT_EQ(remainders.rowCount(), 4);
    EXPECT_EQ(remainders.columnCount(), 4);

    struct Cell
    {
        int column, row;
        QString value, remainder;
    };
    const Cell cells[] = {
        {0, 0, "Имя", ""},
        {0, 1, "Первый", ""},
        {0, 2, "Второй", ""},
        {0, 3, "Третий", ""},
        // headers of the last sub-tab; it has no caption for entry 2
        {1, 0, "Число3", ""},
        {2, 0, "ERROR", ""},
        {3, 0, "Имя3", ""},
        // value part and comment part; an exponent belongs to its number
        {1, 1, "0.5, 0.6", ""},     // a list is one value
        {2, 1, "-1.5e3 ; big", ""}, // <k>_FULL: whole
        {3, 1, "fast", " ; speed"}, // a text value stays whole up to its comment
        {1, 2, "100", " ; hundred"},
        {2, 2, "7 ; seven", ""},
        {3, 2, "ERROR!", ""}, // the sub-tab has only two entries
        {1, 3, "ERROR!", ""}, // key missing from the game file
        {2, 3, "ERROR!", ""}, // entry without its keys in the catalogue
        {3, 3, "ERROR!", ""}, // game file missing
    };
    for (const Cell &c : cells) {
        EXPECT_EQ(cp1251::toUnicode(values.cell(c.column, c.row)), c.value)
            << c.column << "," << c.row;
        EXPECT_EQ(cp1251::toUnicode(remainders.cell(c.column, c.row)), c.remainder)
            << c.column << "," << c.row;
    }
    EXPECT_EQ(values.cell(9, 9), "kept") << "cells outside the counts keep their text";
}

TEST_F(TableFill, APageWithoutSubTabsGivesOneRowNamedAndKeepsTheColumns)
{
    // No page file, then one without sub-tabs.
    for (const char *pageFile : {static_cast<const char *>(nullptr), "[Pages]\nKol-vo=0\n"}) {
        if (pageFile)
            writeSetting("Empty.ini", pageFile);
        GridCellStore values, remainders;
        values.setColumnCount(5);
        values.setRowCount(5);
        values.setCell(1, 0, "old");
        ASSERT_EQ(page().fill(2, values, remainders).status, TableLayout::Status::Read);
        EXPECT_EQ(values.rowCount(), 1);
        EXPECT_EQ(remainders.rowCount(), 1);
        EXPECT_EQ(values.columnCount(), 5);
        EXPECT_EQ(cp1251::toUnicode(values.cell(0, 0)), "Имя");
        EXPECT_EQ(values.cell(1, 0), "old");
    }
}

TEST_F(TableFill, OnlyPagesWithTheirTableKeyAreTables)
{
    struct Case
    {
        int page;
        bool table;
    };
    const Case cases[] = {{1, true}, {2, true}, {3, false}, {4, false}, {0, false}};
    for (const Case &c : cases)
        EXPECT_EQ(page().isTableCapable(c.page), c.table) << "page " << c.page;
}

TEST_F(TableFill, HostileCountsAreRefusedBeforeAnyCellIsWritten)
{
    struct Case
    {
        const char *pageFile;
        const char *reasonEnd;
    };
    for (const Case &c : {
             Case{"[Pages]\nKol-vo=20000\n", "Empty.ini: [Pages] Kol-vo=20000 - больше 10000."},
             Case{"[Pages]\nKol-vo=1\n1=A\n[A]\nKol-vo=10001\n",
                  "Empty.ini: [A] Kol-vo=10001 - больше 10000."},
             Case{"[Pages]\nKol-vo=1000\n1=A\n[A]\nKol-vo=1000\n",
                  "Empty.ini: 1000 x 1000 = 1000000 ячеек - больше 200000."},
         }) {
        const char *pageFile = c.pageFile;
        writeSetting("Empty.ini", pageFile);
        GridCellStore values, remainders;
        const TableLayout layout = page().fill(2, values, remainders);
        EXPECT_EQ(layout.status, TableLayout::Status::TooLarge) << pageFile;
        EXPECT_TRUE(layout.reason.endsWith(QString::fromUtf8(c.reasonEnd)))
            << layout.reason.toStdString();
        EXPECT_EQ(values.rowCount(), 1);
        EXPECT_TRUE(values.cell(0, 0).isEmpty());
    }
}

TEST(TableFillExamples, TheWeaponsPageOfTheExampleCatalogueOpensAsAGrid)
{
    const QByteArray examples = cp1251::encode(QStringLiteral(BRANVIK_EXAMPLES));
    TablePage page(examples + '/', examples + "/gamedata/");
    ASSERT_TRUE(page.isTableCapable(2));
    GridCellStore values, remainders;
    page.fill(2, values, remainders);
    EXPECT_EQ(values.rowCount(), 4);
    EXPECT_EQ(values.columnCount(), 5);
    EXPECT_EQ(cp1251::toUnicode(values.cell(0, 1)), "ПМ");
    EXPECT_EQ(cp1251::toUnicode(values.cell(1, 0)), "Урон");
    EXPECT_EQ(values.cell(1, 1), "0.45");
    EXPECT_TRUE(remainders.cell(1, 1).trimmed().startsWith("; "));
}
