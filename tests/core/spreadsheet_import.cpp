// Spreadsheet import: our own files, a workbook saved by a spreadsheet program, hand-built BIFF8
// and BIFF5 records, number texts, and files that must fail without touching the grid.

#include "support/CompoundWriter.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "table/BiffReader.h"
#include "table/GridCellStore.h"
#include "table/SpreadsheetImport.h"
#include "table/SpreadsheetWriter.h"
#include "table/TableFile.h"
#include "table/TableFormats.h"
#include "table/TableLimits.h"
#include "textcodec/Cp1251.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

QByteArray le16(int v)
{
    QByteArray out(2, '\0');
    out[0] = char(v & 0xFF);
    out[1] = char((v >> 8) & 0xFF);
    return out;
}

QByteArray le32(quint32 v)
{
    return le16(int(v & 0xFFFF)) + le16(int(v >> 16));
}

// Exactly 8 or 2 bytes of a literal, zeros included.
template <size_t N> QByteArray raw(const char (&bytes)[N])
{
    return QByteArray(bytes, N - 1);
}

QByteArray f64(double v)
{
    QByteArray out(8, '\0');
    std::memcpy(out.data(), &v, 8);
    return out;
}

QByteArray rec(int type, const QByteArray &data)
{
    return le16(type) + le16(int(data.size())) + data;
}

QByteArray bof(int version, int substream)
{
    return rec(0x0809, le16(version) + le16(substream) + QByteArray(version ? 12 : 4, '\0'));
}

const QByteArray kEof = rec(0x000A, {});

QByteArray cell(int row, int column)
{
    return le16(row) + le16(column) + le16(0);
}

// A BIFF8 string: character count, option byte, characters (8-bit when all are below 256).
QByteArray ustr(const QString &text)
{
    bool wide = false;
    for (QChar c : text)
        wide |= c.unicode() > 0xFF;
    QByteArray out = le16(int(text.size())) + char(wide ? 1 : 0);
    for (QChar c : text)
        out += wide ? le16(c.unicode()) : QByteArray(1, char(c.unicode()));
    return out;
}

QByteArray w(const char *utf8)
{
    return cp1251::encode(QString::fromUtf8(utf8));
}

// A BIFF8 workbook: globals (a chart sheet listed first, then the worksheet) and the substreams.
QByteArray workbook(const QByteArray &globalsBody, const QByteArray &sheetBody)
{
    const QByteArray chart = bof(0x0600, 0x0020) + rec(0x0203, cell(0, 40) + f64(1)) + kEof;
    auto globals = [&](quint32 chartAt, quint32 sheetAt) {
        return bof(0x0600, 0x0005) + rec(0x0042, le16(1200)) +
               rec(0x0085, le32(chartAt) + QByteArray("\x00\x02", 2) + ustr("C")) +
               rec(0x0085, le32(sheetAt) + QByteArray("\x00\x00", 2) + ustr("S")) + globalsBody +
               kEof;
    };
    const quint32 size = quint32(globals(0, 0).size());
    return globals(size, size + quint32(chart.size())) + chart + bof(0x0600, 0x0010) + sheetBody +
           kEof;
}

// A BIFF5 workbook: globals with the code page (none when 0), one worksheet.
QByteArray biff5(int codepage, const QByteArray &cellRecord)
{
    QByteArray globals = bof(0x0500, 0x0005);
    if (codepage)
        globals += rec(0x0042, le16(codepage));
    const QByteArray sheetRecord = rec(0x0085, le32(0) + QByteArray(2, 0) + "\x01S");
    const quint32 at = quint32(globals.size() + sheetRecord.size() + kEof.size());
    return globals + rec(0x0085, le32(at) + QByteArray(2, 0) + "\x01S") + kEof +
           bof(0x0500, 0x0010) + cellRecord + kEof;
}

struct Expected
{
    int rows, columns;
    QList<const char *> cells; // row by row, UTF-8
};

void expectSheet(const SheetCells &sheet, const Expected &e, const char *name)
{
    ASSERT_EQ(sheet.rows, e.rows) << name;
    ASSERT_EQ(sheet.columns, e.columns) << name;
    for (int r = 0; r < e.rows; ++r)
        for (int c = 0; c < e.columns; ++c)
            EXPECT_EQ(cp1251::toUnicode(sheet.text(c, r)).toStdString(),
                      e.cells.value(r * e.columns + c))
                << name << " row " << r + 1 << " column " << c + 1;
}

} // namespace

// The grid takes the sheet and at most two rows below it, as far as they hold texts the grid
// keeps; rows at the end that are empty in every column are dropped.
TEST(SpreadsheetImport, OwnFileComesBackWithTheKeptRowsBelowItAndOtherCellsKept)
{
    GridCellStore saved;
    saved.setColumnCount(3);
    saved.setRowCount(2);
    saved.setCell(0, 0, w("Имя"));
    saved.setCell(2, 1, "0.5");
    TempDir dir;
    QString error;
    ASSERT_TRUE(saveSpreadsheet(dir.path("t.xls"), saved, &error)) << error;

    GridCellStore grid;
    grid.setCell(1, 0, "cleared: empty in the sheet");
    grid.setCell(0, 2, "kept: below the sheet");
    grid.setCell(3, 0, "kept: right of the sheet");
    ASSERT_TRUE(importSpreadsheet(dir.path("t.xls"), grid, &error)) << error;
    EXPECT_EQ(grid.rowCount(), 3) << "the sheet's two rows and the kept one below";
    EXPECT_EQ(grid.columnCount(), 3);
    EXPECT_EQ(grid.cell(0, 0), w("Имя"));
    EXPECT_EQ(grid.cell(1, 0), "");
    EXPECT_EQ(grid.cell(2, 1), "0.5");
    EXPECT_EQ(grid.cell(0, 2), "kept: below the sheet");
    EXPECT_EQ(grid.cell(3, 0), "kept: right of the sheet");

    // A file saved earlier keeps loading: the committed one holds 3 × 2 cells.
    ASSERT_TRUE(importSpreadsheet(BRANVIK_TEST_DATA "/xls/own-grid.xls", grid, &error)) << error;
    EXPECT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.columnCount(), 3);
    EXPECT_EQ(grid.cell(0, 0), w("Имя"));
    EXPECT_EQ(grid.cell(1, 1), "0.5");
    EXPECT_EQ(grid.cell(2, 0), "abc");
}

TEST(SpreadsheetImport, WorkbookSavedByASpreadsheetProgram)
{
    TempDir dir;
    GridCellStore grid;
    QString error;
    ASSERT_TRUE(importSpreadsheet(BRANVIK_TEST_DATA "/xls/sample.xls", grid, &error)) << error;
    EXPECT_EQ(grid.rowCount(), 5) << "no empty rows after the sheet's";
    EXPECT_EQ(grid.columnCount(), 5);
    const QList<const char *> expected = {
        "Имя",      "Цена",  "Вес",   "Итого",  "Тип",          //
        "Нож",      "100",   "0.5",   "50",     "оружие",       // a shared string twice
        "Пистолет", "-1500", "0.001", "убыток", "оружие",       // a formula's text
        "Аптечка",  "12.34", "",      "true",   "",             // an empty cell, a boolean
        "Большое",  "1E+20", "1E-10", "7",      "Ёлка №1 «ёж»", // the second sheet is not read
    };
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(cp1251::toUnicode(grid.cell(i % 5, i / 5)).toStdString(), expected[i])
            << "cell " << i % 5 << ',' << i / 5;
}

TEST(SpreadsheetImport, Biff8Records)
{
    // Shared strings split over CONTINUE records: the second string's characters change from
    // 8 to 16 bits at the break; the third has formatting runs and phonetic data to skip.
    const QString cyrillic = QStringLiteral("Привет");
    const QByteArray sst =
        le32(3) + le32(3) + ustr("plain") + le16(int(cyrillic.size() + 2)) + char(0) + "ab";
    const QByteArray continued1 = QByteArray(1, char(1)) + ustr(cyrillic).mid(3);
    const QByteArray third = le16(2) + char(0x0C) + le16(1) + le32(3) + "x";
    const QByteArray continued2 = QByteArray(1, char(0)) + "y" + le32(0) + "\x01\x02";
    const QByteArray globals = rec(0x00FC, sst) + rec(0x003C, continued1 + third) +
                               rec(0x003C, continued2) + rec(0x003C, "\x03"); // runs on
    const quint32 intTimes100 = (1234u << 2) | 3;                             // 12.34
    const QByteArray halfRk = f64(0.5).mid(4, 4);
    const QByteArray sheet =
        rec(0x00FD, cell(0, 0) + le32(0)) + rec(0x00FD, cell(0, 1) + le32(1)) +
        rec(0x00FD, cell(0, 2) + le32(2)) + rec(0x0204, cell(0, 3) + ustr(QStringLiteral("Ёж"))) +
        rec(0x00BD, le16(1) + le16(0) + le16(0) + le32(intTimes100) + le16(0) +
                        le32((quint32(-1500) << 2) | 2) + le16(0) + halfRk + le16(2)) +
        rec(0x0203, cell(1, 3) + f64(1e20)) +
        rec(0x0006, cell(2, 0) + raw("\x00\x00\x00\x00\x00\x00\xFF\xFF") + QByteArray(8, 0)) +
        rec(0x04BC, QByteArray(10, 0)) + rec(0x0207, ustr("formula text")) +
        rec(0x0006, cell(2, 1) + raw("\x01\x00\x01\x00\x00\x00\xFF\xFF") + QByteArray(8, 0)) +
        rec(0x0006, cell(2, 2) + raw("\x02\x00\x07\x00\x00\x00\xFF\xFF") + QByteArray(8, 0)) +
        rec(0x0006, cell(2, 3) + f64(0.001) + QByteArray(8, 0)) +
        rec(0x0205, cell(3, 0) + raw("\x00\x00")) + rec(0x0205, cell(3, 1) + "\x2A\x01") +
        rec(0x0201, cell(4, 0)) + // a formatted empty cell makes row 5 used
        rec(0x00BE, le16(0) + le16(4) + le16(0) + le16(0) + le16(5)) +   // and columns 5, 6
        bof(0x0600, 0x0020) + rec(0x0203, cell(30, 30) + f64(1)) + kEof; // an embedded chart
    SheetCells cells;
    QString error;
    ASSERT_TRUE(BiffReader().read(workbook(globals, sheet), &cells, &error)) << error;
    expectSheet(cells,
                {5,
                 6,
                 {"plain",
                  "abПривет",
                  "xy",
                  "Ёж",
                  "",
                  "", //
                  "12.34",
                  "-1500",
                  "0.5",
                  "1E+20",
                  "",
                  "", //
                  "formula text",
                  "true",
                  "#DIV/0!",
                  "0.001",
                  "",
                  "", //
                  "false",
                  "#N/A",
                  "",
                  "",
                  "",
                  "", //
                  "",
                  "",
                  "",
                  "",
                  "",
                  ""}},
                "BIFF8");
    EXPECT_EQ(cells.text(1, 0), w("abПривет"));
}

TEST(SpreadsheetImport, EightBitTextFollowsTheCodePage)
{
    const QByteArray label = rec(0x0204, cell(1, 2) + le16(3) + "\x80\xC0z");
    struct Case
    {
        const char *name;
        QByteArray stream;
        QByteArray text; // empty: refused, naming the cell
    };
    const Case cases[] = {
        {"bare sheet: Windows-1251", bof(0, 0x0010) + label + kEof, "\x80\xC0z"},
        {"bare sheet with its code page", bof(0, 0x0010) + rec(0x0042, le16(437)) + label + kEof,
         ""},
        {"bare sheet naming Windows-1251, as ours do",
         bof(0, 0x0010) + rec(0x0042, le16(1251)) + label + kEof, "\x80\xC0z"},
        {"no code page: Windows-1251", biff5(0, label), "\x80\xC0z"},
        {"Windows-1251", biff5(1251, label), "\x80\xC0z"},
        {"Windows-1252, the euro sign has a byte",
         biff5(1252, rec(0x0204, cell(1, 2) + le16(2) + "\x80z")), "\x88z"},
        {"Windows-1252, the A with grave has none", biff5(1252, label), ""},
        {"another code page: ASCII only", biff5(437, label), ""},
        {"another code page, ASCII text", biff5(437, rec(0x0204, cell(1, 2) + le16(1) + "z")), "z"},
    };
    for (const Case &t : cases) {
        SheetCells cells;
        QString error;
        const bool read = BiffReader().read(t.stream, &cells, &error);
        EXPECT_EQ(read, !t.text.isEmpty()) << t.name << error;
        if (read)
            EXPECT_EQ(cells.text(2, 1), t.text) << t.name;
        else
            EXPECT_TRUE(error.contains("C2")) << t.name << error;
    }
}

TEST(SpreadsheetImport, CompoundFilesWithEitherWorkbookStream)
{
    const QByteArray label = rec(0x0204, cell(0, 1) + le16(2) + "\xC0z");
    struct Case
    {
        const char *name;
        QByteArray file;
        QByteArray text; // empty: refused
    };
    const Case cases[] = {
        {"BIFF8 \"Workbook\"",
         compoundFile("Workbook",
                      workbook({}, rec(0x0204, cell(0, 1) + ustr(QStringLiteral("Аz"))))),
         "\xC0z"},
        {"BIFF5 \"Book\"", compoundFile("Book", biff5(1251, label)), "\xC0z"},
        {"any letter case", compoundFile("BOOK", biff5(0, label)), "\xC0z"},
        {"no workbook stream", compoundFile("WordDocument", biff5(0, label)), ""},
    };
    for (const Case &t : cases) {
        SheetCells cells;
        QString error;
        ASSERT_TRUE(t.file.startsWith("\xD0\xCF\x11\xE0")) << t.name;
        EXPECT_EQ(readSpreadsheet(t.file, &cells, &error), !t.text.isEmpty()) << t.name << error;
        EXPECT_EQ(cells.text(1, 0), t.text) << t.name;
    }
}

TEST(SpreadsheetImport, CharactersWithoutAWindows1251ByteAreRefusedNamingTheCell)
{
    const QByteArray sheet = rec(0x0204, cell(0, 1) + ustr(QStringLiteral("日本")));
    SheetCells cells;
    QString error;
    EXPECT_FALSE(BiffReader().read(workbook({}, sheet), &cells, &error));
    EXPECT_TRUE(error.contains("B1")) << error;
    EXPECT_TRUE(error.contains("U+65e5")) << error;
}

TEST(SpreadsheetImport, BrokenOrForeignFilesFailWithAReason)
{
    QFile sample(BRANVIK_TEST_DATA "/xls/sample.xls");
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    const QByteArray xls = sample.readAll();
    const QByteArray sheetStart = bof(0, 0x0010);
    struct Case
    {
        const char *name;
        QByteArray bytes;
        const char *reason;
    };
    const Case cases[] = {
        {"empty", "", "не файл Excel"},
        {"text", "1\r\n1\r\nx\r\n", "не файл Excel"},
        {"zipped workbook", "PK\x03\x04....", ".xlsx"},
        {"Excel 2.1", rec(0x0009, QByteArray(4, 0)) + kEof, "2.x"},
        {"no end record", sheetStart + rec(0x0203, cell(0, 0) + f64(1)), "обрываются"},
        {"record beyond the end", sheetStart + le16(0x0203) + le16(100) + "abc", "выходит за"},
        {"short number cell", sheetStart + rec(0x0203, cell(0, 0)) + kEof, "короткая"},
        {"string index beyond the table", sheetStart + rec(0x00FD, cell(0, 0) + le32(7)) + kEof,
         "ссылается на строку 7"},
        {"column 16385", sheetStart + rec(0x0201, cell(0, 16384)) + kEof, "16384 столбцов"},
        {"used area of 65536 × 100 cells", sheetStart + rec(0x0201, cell(65535, 99)) + kEof,
         "ячеек"},
        {"odd multiple-value record", sheetStart + rec(0x00BD, cell(0, 0) + "\x01") + kEof,
         "неверной длины"},
        {"password", bof(0x0600, 0x0005) + rec(0x002F, QByteArray(6, 0)) + kEof, "паролем"},
        {"sheet offset beyond the end",
         bof(0x0600, 0x0005) + rec(0x0085, le32(9999) + QByteArray(2, 0) + ustr("S")) + kEof,
         "первый лист не найден"},
        {"no worksheet", bof(0x0600, 0x0005) + kEof, "нет ни одного листа"},
        {"chart first", bof(0x0600, 0x0020) + kEof, "не таблица"},
        {"shared strings cut short",
         bof(0x0600, 0x0005) + rec(0x00FC, le32(2) + le32(2) + ustr("a")) + kEof,
         "таблица строк обрывается на строке 2"},
        {"label text cut short", workbook({}, rec(0x0204, cell(1, 2) + le16(5) + char(0) + "ab")),
         "короткий текст в ячейке C2"},
        {"formula text cut short",
         workbook({}, rec(0x0006,
                          cell(2, 1) + raw("\x00\x00\x00\x00\x00\x00\xFF\xFF") + QByteArray(8, 0)) +
                          rec(0x0207, le16(9) + char(0) + "ab")),
         "короткий текст формулы в ячейке B3"},
        {"compound file cut in half", xls.left(xls.size() / 2), "повреждён"},
        {"compound file header only", xls.left(512), "повреждён"},
    };
    for (const Case &t : cases) {
        SheetCells cells;
        QString error;
        EXPECT_FALSE(readSpreadsheet(t.bytes, &cells, &error)) << t.name;
        EXPECT_TRUE(error.contains(QString::fromUtf8(t.reason))) << t.name << ": " << error;
    }

    TempDir dir;
    GridCellStore grid;
    grid.setCell(0, 0, "kept");
    QString error;
    EXPECT_FALSE(importSpreadsheet(dir.write("cut.xls", xls.left(3000)), grid, &error));
    EXPECT_FALSE(importSpreadsheet(dir.path("missing.xls"), grid, &error));
    EXPECT_EQ(grid.cell(0, 0), "kept");
    EXPECT_EQ(grid.rowCount(), 1);
}

TEST(SpreadsheetImport, NumbersReadAsASpreadsheetShowsThem)
{
    const struct
    {
        double value;
        const char *text;
    } cases[] = {
        {0.5, "0.5"},
        {100.0, "100"},
        {-1500, "-1500"},
        {1e-3, "0.001"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3, "0.333333333333333"},
        {-2.0 / 3, "-0.666666666666667"},
        {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1.23456789012346E+15"},
        {999999999999999.9, "1E+15"},
        {1e20, "1E+20"},
        {-1.5e300, "-1.5E+300"},
        {0.00001, "0.00001"},
        {0.000015, "0.000015"},
        {0.000001, "1E-06"},
        {1e-10, "1E-10"},
        {4.9e-324, "4.94065645841247E-324"},
        {-0.0, "0"},
        {std::numeric_limits<double>::quiet_NaN(), "#NUM!"},
        {-std::numeric_limits<double>::infinity(), "#NUM!"},
    };
    for (const auto &t : cases)
        EXPECT_EQ(numberText(t.value), t.text) << t.value;
}

// Inputs that once broke the reader (found by the fuzz target) must now fail or read cleanly.
TEST(SpreadsheetImport, SavedFuzzFindingsReadSafely)
{
    const QDir folder(BRANVIK_TEST_DATA "/biff-crashes");
    const QStringList names = folder.entryList(QDir::Files);
    ASSERT_FALSE(names.isEmpty());
    for (const QString &name : names) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        SheetCells cells;
        QString error;
        if (!readSpreadsheet(file.readAll(), &cells, &error))
            EXPECT_FALSE(error.isEmpty()) << name;
        else
            EXPECT_LE(qint64(cells.rows) * cells.columns, 4 * 1024 * 1024) << name;
    }
}

// A sheet that uses its last row (or the most cells) imports into a grid the saves still take:
// rows beyond the limits are cut, and the import says so.
TEST(SpreadsheetImport, ASheetAtTheLimitsImportsIntoAGridThatSavesAgain)
{
    struct Case
    {
        int columns, lastRow; // the last used cell, from 0
        int gridRows;
        bool leftOut;
    };
    const Case cases[] = {
        {2, 65533, 65534, false}, // the empty rows below are dropped
        {2, 65534, 65535, false},
        {2, 65535, 65536, false},   // the sheet's last row
        {100, 41942, 41943, false}, // the cell limit, reached
        // Beyond the cell limit (no file reads so; a sheet made here): the last row is left out.
        {100, 41943, 41943, true},
    };
    for (const Case &c : cases) {
        const QByteArray stream =
            bof(0, 0x0010) + rec(0x0204, cell(c.lastRow, c.columns - 1) + le16(4) + "last") + kEof;
        SheetCells sheet;
        QString error;
        if (c.leftOut) {
            sheet.rows = c.lastRow + 1;
            sheet.columns = c.columns;
            sheet.texts.insert(SheetCells::key(c.columns - 1, c.lastRow), "last");
            sheet.texts.insert(SheetCells::key(0, c.lastRow - 1), "kept");
        } else {
            ASSERT_TRUE(readSpreadsheet(stream, &sheet, &error)) << error;
        }
        GridCellStore grid;
        const QString notice = storeSheet(sheet, grid);
        EXPECT_EQ(grid.rowCount(), c.gridRows) << c.lastRow;
        EXPECT_EQ(grid.columnCount(), c.columns) << c.lastRow;
        if (!c.leftOut) {
            EXPECT_EQ(grid.cell(c.columns - 1, c.lastRow), "last") << "every sheet cell arrives";
        }
        EXPECT_EQ(!notice.isEmpty(), c.leftOut) << notice;
        EXPECT_LE(qint64(grid.rowCount()) * grid.columnCount(), tablelimits::kMaxCells);
        if (c.columns == 2) {
            QByteArray bytes;
            EXPECT_TRUE(spreadsheetBytes(grid, &bytes, &error)) << error;
            EXPECT_TRUE(tableFileBytes(grid, &bytes, &error)) << error;
        }
    }
}

// A load reads a file by what its first bytes say, then by its suffix, then as the dialog's
// file type says.
TEST(SpreadsheetImport, AFileIsReadAsWhatItIs)
{
    TempDir dir;
    GridCellStore grid;
    grid.setCell(0, 0, "a");
    QString error;
    ASSERT_TRUE(saveSpreadsheet(dir.path("own"), grid, &error)) << error;
    QFile::copy(BRANVIK_TEST_DATA "/xls/sample.xls", dir.path("compound.tsv"));
    ASSERT_TRUE(saveTableFile(dir.path("table.xls"), grid, &error)) << error;
    dir.write("zipped", QByteArray("PK\x03\x04rest of a workbook"));
    dir.write("empty", QByteArray());
    struct Case
    {
        const char *file;
        bool otherwise, spreadsheet;
    };
    const Case cases[] = {
        {"own", false, true},          // the spreadsheet save's record stream
        {"compound.tsv", false, true}, // a compound file whatever its name
        {"zipped", false, true},       // refused by the import, with the hint to save as .xls
        {"table.xls", true, true},     // no spreadsheet by content: the suffix decides
        {"missing.TSV", true, false},  {"missing.xls", false, true},
        {"empty", true, true}, // nothing to tell: the file type chosen
        {"empty", false, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(isSpreadsheetFile(dir.path(c.file), c.otherwise), c.spreadsheet)
            << c.file << ' ' << c.otherwise;
}
