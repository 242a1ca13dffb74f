#include "table/TableFile.h"

#include "base/Bytes.h"
#include "base/Plural.h"
#include "table/GridCellStore.h"
#include "table/TableFormats.h"
#include "table/TableLimits.h"
#include "textcodec/Cp1251.h"

using namespace tablelimits;

namespace {

// Hands out the lines of a file one by one; a line ends at CR LF, LF or CR.
class LineCursor
{
public:
    explicit LineCursor(QByteArrayView bytes) : bytes_(bytes) {}

    bool next(QByteArrayView *line)
    {
        if (pos_ >= bytes_.size())
            return false;
        qsizetype end = pos_;
        while (end < bytes_.size() && bytes_[end] != '\n' && bytes_[end] != '\r')
            ++end;
        *line = bytes_.sliced(pos_, end - pos_);
        pos_ = end;
        if (pos_ < bytes_.size() && bytes_[pos_] == '\r')
            ++pos_;
        if (pos_ < bytes_.size() && bytes_[pos_] == '\n')
            ++pos_;
        return true;
    }

private:
    QByteArrayView bytes_;
    qsizetype pos_ = 0;
};

QString quoted(QByteArrayView line)
{
    QByteArray shown = line.first(qMin<qsizetype>(line.size(), 40)).toByteArray();
    if (line.size() > 40)
        shown += "...";
    return QStringLiteral("«") + cp1251::toUnicode(shown) + QStringLiteral("»");
}

bool notANumber(QByteArrayView line, int lineNumber, QString *error)
{
    *error = QStringLiteral("в строке %1 файла таблицы не целое число: %2")
                 .arg(lineNumber)
                 .arg(quoted(line));
    return false;
}

// Reads a count line: blanks and tabs around an optionally signed decimal integer; an empty line
// is 0. Values too large for an int come back as INT_MAX / INT_MIN, which the limits refuse.
bool parseCount(QByteArrayView line, int lineNumber, int *count, QString *error)
{
    const QByteArrayView text = base::trimmed(line);
    if (text.isEmpty()) {
        *count = 0;
        return true;
    }
    qsizetype i = 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-')
        negative = text[i++] == '-';
    if (i == text.size()) {
        return notANumber(line, lineNumber, error);
    }
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return notANumber(line, lineNumber, error);
        }
        value = qMin<qint64>(value * 10 + (text[i] - '0'), INT_MAX);
    }
    *count = int(negative ? -value : value);
    return true;
}

QString checkLimits(qint64 columns, qint64 rows)
{
    if (columns > kMaxColumns)
        return QStringLiteral("в таблице %1, больше %2")
            .arg(base::counted(columns, "столбец", "столбца", "столбцов"))
            .arg(kMaxColumns);
    if (rows > kMaxRows)
        return QStringLiteral("в таблице %1, больше %2")
            .arg(base::counted(rows, "строка", "строки", "строк"))
            .arg(kMaxRows);
    if (columns * rows > kMaxCells)
        return QStringLiteral("в таблице %1, больше %2")
            .arg(base::counted(columns * rows, "ячейка", "ячейки", "ячеек"))
            .arg(kMaxCells);
    return QString();
}

} // namespace

bool tableFileBytes(const GridCellStore &grid, QByteArray *bytes, QString *error)
{
    const int columns = grid.columnCount();
    const int rows = grid.rowCount();
    if (QString why = checkLimits(columns, rows); !why.isEmpty()) {
        *error = why;
        return false;
    }
    QByteArray out = QByteArray::number(columns) + "\r\n" + QByteArray::number(rows) + "\r\n";
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r) {
            const QByteArray text = grid.cell(c, r);
            if (text.contains('\n') || text.contains('\r')) {
                *error = QStringLiteral("ячейка %1 содержит перевод строки, а в файле таблицы "
                                        "каждая ячейка занимает одну строку")
                             .arg(cellName(c, r));
                return false;
            }
            out += text;
            out += "\r\n";
        }
    }
    *bytes = std::move(out);
    return true;
}

bool readTableFile(QByteArrayView bytes, GridCellStore &grid, QString *error)
{
    LineCursor lines(bytes);
    QByteArrayView line;
    int counts[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        if (lines.next(&line) && !parseCount(line, i + 1, &counts[i], error))
            return false;
    }
    const int columns = counts[0];
    const int rows = counts[1];
    if (QString why = checkLimits(columns, rows); !why.isEmpty()) {
        *error = why;
        return false;
    }
    grid.setColumnCount(columns);
    grid.setRowCount(rows);
    // The cells follow the grid's counts, which are at least 1: a file whose count lines are 0,
    // empty or negative still holds cell (0, 0) in its next line.
    for (int c = 0; c < grid.columnCount(); ++c) {
        for (int r = 0; r < grid.rowCount(); ++r) {
            if (!lines.next(&line))
                line = QByteArrayView();
            // An empty text is what an unwritten cell reads as: only kept texts need clearing.
            if (!line.isEmpty() || !grid.cell(c, r).isEmpty())
                grid.setCell(c, r, line.toByteArray());
        }
    }
    return true;
}

bool saveTableFile(const QString &path, const GridCellStore &grid, QString *error)
{
    return saveOutputFile(path, grid, tableFileBytes, error);
}

bool loadTableFile(const QString &path, GridCellStore &grid, QString *error)
{
    QByteArray bytes;
    return readInputFile(path, &bytes, error) && readTableFile(bytes, grid, error);
}
