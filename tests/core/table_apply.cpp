// Writing the table view's grids back into the game files.

#include <gtest/gtest.h>

#include <QFile>

#include "support/TableCatalogue.h"
#include "support/TestSession.h"
#include "table/GridCellStore.h"
#include "table/TableApply.h"
#include "table/TablePage.h"
#include "textcodec/Cp1251.h"

namespace {

class TableApplyTest : public TableCatalogue
{
protected:
    GridCellStore values, remainders;

    void SetUp() override
    {
        TableCatalogue::SetUp();
        page().fill(1, values, remainders);
    }
    std::unique_ptr<Session> session(bool duplication = false)
    {
        return TestSession{duplication, dir.bytePath("dup") + '/'}.open(dir, gamedataFolder());
    }
    TableApplyReport apply(bool duplication = false)
    {
        return TableApply(*session(duplication), pageFile()).apply(values, remainders);
    }
};

} // namespace

TEST_F(TableApplyTest, OnlyChangedCellsAreWrittenWithTheirCommentPart)
{
    values.setCell(1, 1, "0.7, 0.6");   // a list is one value
    values.setCell(2, 1, "-2e3 ; big"); // <k>_FULL: written whole
    values.setCell(1, 2, "1,5");        // a comma stays a comma
    values.setCell(3, 1, "fast");       // unchanged
    const TableApplyReport report = apply();
    EXPECT_TRUE(report.complete) << report.message().toStdString();
    EXPECT_EQ(report.written, 3);
    EXPECT_EQ(report.message(), TableApply::savedMessage());
    EXPECT_EQ(gameFile("config/a.ltx"),
              ini("[a]\nnum= 0.7, 0.6\nexp= -2e3 ; big\nname = fast ; speed\n"));
    EXPECT_EQ(gameFile("config/b.ltx"), ini("[b]\nnum= 1,5 ; hundred\nfull = 7 ; seven\n"));
    EXPECT_EQ(gameFile("config/a.ltx.bak"), ini(A)) << "the backup holds the file from before";
    EXPECT_FALSE(QFile::exists(dir.path("gamedata/config/c.ltx")));
}

TEST_F(TableApplyTest, AnUnchangedTableWritesNothing)
{
    const TableApplyReport report = apply();
    EXPECT_TRUE(report.complete);
    EXPECT_EQ(report.written, 0);
    EXPECT_EQ(gameFile("config/a.ltx"), ini(A));
    EXPECT_FALSE(QFile::exists(dir.path("gamedata/config/a.ltx.bak")));
    EXPECT_FALSE(QFile::exists(dir.path("gamedata/config/c.ltx"))) << "no marker is written";
}

TEST_F(TableApplyTest, MissingParametersAreWrittenOnlyWhenEdited)
{
    struct Case
    {
        const char *cell; // the text typed into (1, 3), the missing key of b.ltx
        bool written;
    };
    const Case cases[] = {{"ERROR!", false}, {"1234567890", true}, {"5", true}};
    for (const Case &c : cases) {
        writeGameFile("config/b.ltx", B);
        values.setCell(1, 3, c.cell);
        EXPECT_TRUE(apply().complete) << c.cell;
        EXPECT_EQ(gameFile("config/b.ltx").contains(QByteArray("absent= ") + c.cell + "\r\n"),
                  c.written)
            << c.cell << ": the marker behind the cell is not written";
    }
}

TEST_F(TableApplyTest, CellsGoToTheirPositionNotToTheirLabels)
{
    // A table loaded with its rows and columns in another order, and longer than the page.
    values.setRowCount(6);
    values.setCell(0, 1, "Второй");
    values.setCell(0, 2, "Первый");
    values.setCell(1, 0, "Полное");
    values.setCell(1, 2, "200");
    for (int k = 1; k <= 3; ++k)
        values.setCell(k, 5, "beyond");
    const TableApplyReport report = apply();
    EXPECT_TRUE(report.complete) << report.message().toStdString();
    EXPECT_EQ(report.written, 1) << "rows beyond the sub-tabs are skipped";
    EXPECT_TRUE(gameFile("config/b.ltx").contains("num= 200 ; hundred"));
}

TEST_F(TableApplyTest, TheApplyStopsAtTheFirstFailureAndSaysWhereAndWhy)
{
    // Row 1 writes a.ltx, row 2 meets a read-only b.ltx, row 3 would create c.ltx.
    const QString locked = dir.path("gamedata/config/b.ltx");
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    values.setCell(1, 1, "0.7, 0.6");
    values.setCell(1, 2, "150");
    values.setCell(3, 3, "new");
    const TableApplyReport report = apply();
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);

    EXPECT_FALSE(report.complete);
    EXPECT_EQ(report.written, 1);
    EXPECT_EQ(report.row, 2);
    EXPECT_EQ(report.column, 1);
    EXPECT_EQ(report.file, "config\\b.ltx");
    const QString message = report.message();
    for (const QString &part : {QString("«Второй»"), QString("столбец 1"), QString("config\\b.ltx"),
                                QString("Записано ячеек: 1")})
        EXPECT_TRUE(message.contains(part)) << message.toStdString();
    EXPECT_NE(message, TableApply::savedMessage());
    EXPECT_TRUE(gameFile("config/a.ltx").contains("num= 0.7, 0.6"));
    EXPECT_EQ(gameFile("config/b.ltx"), ini(B));
    EXPECT_FALSE(QFile::exists(dir.path("gamedata/config/c.ltx")));
}

TEST_F(TableApplyTest, RefusedCellsStopTheApplyLikeFailures)
{
    struct Case
    {
        int column, row;
        QByteArray text;
        QString says;
    };
    const Case cases[] = {
        {1, 1, "1\r\n[evil]", "config"},           // a line break, refused by the writer
        {2, 3, "5", "2_File, 2_Section, 2_Param"}, // an entry without its keys
    };
    for (const Case &c : cases) {
        page().fill(1, values, remainders);
        values.setCell(c.column, c.row, c.text);
        const TableApplyReport report = apply();
        EXPECT_FALSE(report.complete) << c.text.constData();
        EXPECT_EQ(report.written, 0);
        EXPECT_EQ(report.row, c.row);
        EXPECT_TRUE(report.message().contains(c.says)) << report.message().toStdString();
        EXPECT_EQ(gameFile("config/a.ltx"), ini(A));
    }
}

TEST_F(TableApplyTest, WrittenCellsAreDuplicated)
{
    QDir().mkpath(dir.path("dup"));
    values.setCell(1, 2, "150");
    EXPECT_TRUE(apply(true).complete);
    EXPECT_EQ(TempDir::read(dir.path("dup/b.ltx")), "[b]\r\nnum= 150 ; hundred\r\n");
    EXPECT_TRUE(TempDir::read(dir.path("dup/!FileTable!.table")).contains("b.ltx=config\\b.ltx"));
    EXPECT_FALSE(QFile::exists(dir.path("dup/a.ltx"))) << "cells not written are not duplicated";
}

TEST_F(TableApplyTest, APageFileGrownTooLargeSinceTheOpeningWritesNothing)
{
    values.setCell(1, 1, "0.7, 0.6");
    writeSetting("Table.ini", "[Pages]\nKol-vo=20000\n");
    const TableApplyReport report = apply();
    EXPECT_FALSE(report.complete);
    EXPECT_TRUE(report.message().startsWith("Таблица не применена.\n"))
        << report.message().toStdString();
    EXPECT_EQ(gameFile("config/a.ltx"), ini(A));
}

// The apply writes the cells the user confirmed, no others, and none whose file changed since.
TEST_F(TableApplyTest, OnlyTheConfirmedCellsAreWrittenWhileTheirFilesHoldTheListedValues)
{
    struct Case
    {
        const char *name;
        QString a, b; // the game files as another program leaves them after the review
        int written;
        bool complete;
    };
    const Case cases[] = {
        {"another cell changed: not written", A, "[b]\nnum = 3000 ; other\nfull = 7 ; seven\n", 1,
         true},
        {"the listed cell changed: refused", "[a]\nnum = 0.55, 0.6\n", B, 0, false},
        {"the listed cell deleted: refused", "[a]\n", B, 0, false},
    };
    for (const Case &c : cases) {
        writeGameFile("config/a.ltx", A);
        writeGameFile("config/b.ltx", B);
        page().fill(1, values, remainders);
        values.setCell(1, 1, "0.7, 0.6");
        const std::unique_ptr<Session> run = session();
        const TableApply table(*run, pageFile());
        const QList<TableCellChange> confirmed = table.changes(values, remainders);
        ASSERT_EQ(confirmed.size(), 1) << c.name;
        writeGameFile("config/a.ltx", c.a);
        writeGameFile("config/b.ltx", c.b);
        values.setCell(1, 2, "150"); // edited after the review: not confirmed
        const TableApplyReport report = table.apply(confirmed);
        EXPECT_EQ(report.written, c.written) << c.name;
        EXPECT_EQ(report.complete, c.complete) << c.name;
        EXPECT_EQ(gameFile("config/b.ltx"), ini(c.b)) << c.name;
        if (c.complete) {
            EXPECT_TRUE(gameFile("config/a.ltx").contains("num= 0.7, 0.6")) << c.name;
        } else {
            EXPECT_EQ(gameFile("config/a.ltx"), ini(c.a)) << c.name;
            EXPECT_TRUE(report.message().contains("изменился в файле после проверки"))
                << report.message().toStdString();
        }
    }
}

TEST_F(TableApplyTest, InheritedCellsShowTheirParentsValueAndAreWrittenOnlyWhenEdited)
{
    const QString inheriting = "#include \"base.ltx\"\n[b]:base\nnum = 100 ; hundred\n"
                               "full = 7 ; seven\n";
    writeGameFile("config/base.ltx", "[base]\nabsent = 9, 8 ; nine\n");
    struct Case
    {
        const char *name, *cell;
        bool written;
    };
    const Case cases[] = {{"unchanged", nullptr, false}, {"edited", "10, 8", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeGameFile("config/b.ltx", inheriting);
        InheritedCells inherited;
        page().fill(1, values, remainders, &inherited);
        EXPECT_EQ(values.cell(1, 3), "9, 8");
        EXPECT_EQ(remainders.cell(1, 3), " ; nine");
        ASSERT_EQ(inherited.size(), 1);
        EXPECT_EQ(inherited.value(TablePage::cellKey(1, 3)).origin,
                  cp1251::encode(QStringLiteral("унаследовано из [base], config/base.ltx")));
        if (c.cell)
            values.setCell(1, 3, c.cell);
        const QList<TableCellChange> listed =
            TableApply(*session(), pageFile()).changes(values, remainders);
        ASSERT_EQ(listed.size(), c.written ? 1 : 0);
        if (c.written) {
            EXPECT_EQ(listed[0].oldText, "9, 8 ; nine");
            EXPECT_FALSE(listed[0].origin.isEmpty());
        }
        EXPECT_TRUE(apply().complete);
        EXPECT_EQ(gameFile("config/b.ltx"),
                  c.written ? ini(inheriting + "absent= 10, 8 ; nine\n") : ini(inheriting));
        EXPECT_EQ(gameFile("config/base.ltx"), ini("[base]\nabsent = 9, 8 ; nine\n"))
            << "the parent is never written";
    }
}
