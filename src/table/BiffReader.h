#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <vector>

// The cells of the first worksheet of a spreadsheet file, as text, from A1 to the last used cell.
struct SheetCells
{
    int rows = 1;                     // the last used cell's row, from 1 (1 for an empty sheet)
    int columns = 1;                  // its column, from 1
    QHash<quint64, QByteArray> texts; // non-empty texts by key(column, row), both from 0

    static quint64 key(int column, int row)
    {
        return (quint64(quint32(row)) << 32) | quint32(column);
    }
    QByteArray text(int column, int row) const { return texts.value(key(column, row)); }
};

// Reads the first worksheet out of a stream of BIFF records: the workbook stream of an .xls file
// (BIFF5 or BIFF8: the workbook globals first, then one substream per sheet) or a bare worksheet
// stream such as our own spreadsheet files.
//
// - The first worksheet is the first sheet listed (BOUNDSHEET) of type worksheet; chart sheets
//   and macro sheets are passed over, hidden worksheets are not. Embedded charts are skipped.
// - Values: text cells (LABEL, RSTRING, LABELSST from the shared string table with its CONTINUE
//   records), numbers (NUMBER, RK, MULRK), formulas with their last computed result (a number, a
//   text from the STRING record, a boolean or an error), booleans and errors (BOOLERR).
//   Formatted empty cells (BLANK, MULBLANK) count as used, as a spreadsheet counts them.
// - The last used cell is the last row and the last column holding any of those records.
// - Texts become Windows-1251: BIFF8 text is Unicode, and a character that Windows-1251 cannot
//   hold fails the read, naming the cell (a '?' in a game file would be a silent corruption).
//   8-bit text of older files follows the CODEPAGE record; without one it is Windows-1251.
// - Numbers: see numberText. Booleans read "true" / "false", as the game files write them;
//   errors read as a spreadsheet shows them ("#DIV/0!", "#N/A", ...).
// - Refused: a used area beyond kMaxSheetColumns columns or kMaxCells cells (TableLimits.h),
//   encrypted workbooks, BIFF2-4 files, and every truncated or inconsistent record, each with
//   the reason. Every length is checked against the data, so any input is read in linear time.
class BiffReader
{
public:
    bool read(QByteArrayView stream, SheetCells *sheet, QString *error);

private:
    struct Record
    {
        int type = 0;
        QByteArrayView data;
    };
    enum class Charset
    {
        Cp1251,
        Cp1252,
        Latin1,
        AsciiOnly,
    };

    bool nextRecord(Record *record);
    bool readGlobals(qint64 *sheetOffset);
    bool readSheet();
    bool setCodePage(QByteArrayView data);
    bool readSharedStrings(QByteArrayView first);
    bool readCell(const Record &record);
    bool setCell(int row, int column, const QByteArray &text);
    bool setUnicode(int row, int column, const QString &text);
    bool setEightBit(int row, int column, QByteArrayView bytes);
    // The cell's text is the Unicode string the parts start with; what names the text in the
    // message when the parts end before it does.
    bool setUnicodeString(int row, int column, const std::vector<QByteArrayView> &parts,
                          const char *what);
    bool markUsed(int row, int column);
    bool continuation(QByteArrayView first, std::vector<QByteArrayView> *parts);
    bool fail(const QString &reason);
    bool corrupt(const QString &what);

    QByteArrayView stream_;
    qsizetype pos_ = 0;
    bool biff8_ = false;
    Charset charset_ = Charset::Cp1251;
    int codepage_ = 1251;
    std::vector<QString> strings_;
    SheetCells *sheet_ = nullptr;
    int lastRow_ = -1;
    int lastColumn_ = -1;
    int pendingRow_ = -1; // the formula cell whose text result the next STRING record holds
    int pendingColumn_ = -1;
    QString *error_ = nullptr;
};

// A number as a spreadsheet shows it in general format, with a point: at most 15 significant
// digits, no trailing zeros, plain from 0.00001 up to below 1E+15 ("0.5", "100", "-1500",
// "0.001"), otherwise as mantissa and exponent ("1E+20", "1.5E-10"). Not-a-number and the
// infinities, which no spreadsheet cell holds, read "#NUM!".
QByteArray numberText(double value);
