#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QList>
#include <QString>

class GridCellStore;

// A catalogue page seen as a table: one row per sub-tab, one column per entry. The sub-tabs of
// such a page list the same entries in the same order, so the first sub-tab gives the number of
// columns and the last one the column headers. Texts are Windows-1251 bytes.
namespace TableText {
inline constexpr char NameHeader[] = "\xC8\xEC\xFF"; // "Имя", cell (0, 0)
// What a cell shows for a parameter missing from its game file.
inline constexpr char Missing[] = "ERROR!";
// Stand-ins of the page file's keys.
inline constexpr char MissingCaption[] = "ERROR";
inline constexpr char MissingFile[] = "ERROR";
inline constexpr char MissingParam[] = "ERROR!";
inline constexpr char MissingSection[] = "EROOR";
inline constexpr char MissingLabel[] = "0";
inline constexpr char MissingPageFile[] = "123";
} // namespace TableText

// One entry of a sub-tab as the table reads it.
struct TableEntry
{
    QByteArray file;
    QByteArray section;
    QByteArray param;
    bool full = false; // "<k>_FULL": the cell shows the whole value
    // Of "<k>_File", "<k>_Section", "<k>_Param", those the page file lacks (their values above
    // are stand-ins that name no parameter).
    QByteArrayList missingKeys;

    bool writable() const { return missingKeys.isEmpty(); }
};

// One sub-tab: row j of the table.
struct TableRow
{
    QByteArray label;          // "<j>" of [Pages], "0" when missing
    QByteArray section;        // the same key, empty when missing
    bool hasSection = false;   // "<j>" is in [Pages]
    QList<TableEntry> entries; // columns 1..m, whatever the sub-tab's own count
};

// The page file's layout for the table: n sub-tabs, m entries per row.
struct TableLayout
{
    QByteArray pageFilePath;
    int subTabs = 0;      // n
    int entries = 0;      // m, from the first sub-tab
    QList<TableRow> rows; // rows[0] is row 1
    // "<k>_Caption" of the last sub-tab's entries, "ERROR" when missing: the column headers.
    QByteArrayList headers;

    enum class Status
    {
        Read,
        TooLarge, // more rows, columns or cells than a window can show
    };
    Status status = Status::Read;
    QString reason; // for TooLarge

    // Reads the page file once (through PageFile, as every reader of the catalogue); every missing
    // key takes its stand-in. An empty path (no page file) gives an empty layout.
    static TableLayout read(const QByteArray &pageFilePath);

    static constexpr int MaxCount = 10000;  // rows or columns
    static constexpr int MaxCells = 200000; // rows x columns
};

// A cell that shows a value inherited from a parent section (see GameValues::Value):
// the text the cell was filled with (value part and remainder) and where it comes from.
struct InheritedCell
{
    QByteArray text;
    QByteArray origin; // "унаследовано из [section], file"
};
// By TablePage::cellKey(k, j).
using InheritedCells = QHash<quint64, InheritedCell>;

class TablePage
{
public:
    // Folders end in "/" (Windows-1251 text, as the settings hold them). inheritance: the run's
    // rule for keys missing from their section (GameValues).
    TablePage(QByteArray programFolder, QByteArray gamedataFolder, bool inheritance = true);

    // Whether the catalogue marks page p as table-capable ("<p>_Tabl" in Pages.ini).
    bool isTableCapable(int page) const;
    // The caption of page p ("<p>" in Pages.ini).
    QByteArray caption(int page) const;
    // The page file of page p ("<p>_file" in Pages.ini; a page without it has none). Empty when
    // the catalogue names a file outside its folder: the table then has no rows.
    QByteArray pageFilePath(int page) const;

    // Fills the value grid and the remainder grid for page p: "Имя" in (0, 0), the sub-tab
    // captions in column 0, the headers of the last sub-tab in row 0, and in (k, j) the value
    // part of entry k of sub-tab j, its comment part in the remainder grid (the whole value and
    // an empty remainder for an entry with "<k>_FULL"). Both grids get n + 1 rows and, when the
    // page has sub-tabs, m + 1 columns; every other cell keeps its text. Each game file is read
    // once. Returns the layout read; when it is TooLarge the grids are untouched.
    //
    // A parameter missing from its section shows, when inheritance is on, the value the game
    // uses (through the section's parents and the file's includes); such cells are listed in
    // *inherited.
    TableLayout fill(int page, GridCellStore &values, GridCellStore &remainders,
                     InheritedCells *inherited = nullptr) const;

    static quint64 cellKey(int column, int row)
    {
        return (quint64(quint32(column)) << 32) | quint32(row);
    }

private:
    QByteArray programFolder_;
    QByteArray gamedataFolder_;
    bool inheritance_ = true;
};
