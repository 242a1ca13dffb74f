#include "table/BiffReader.h"

#include "table/TableLimits.h"
#include "textcodec/Cp1251.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace tablelimits;

namespace {

enum RecordType
{
    kFormula = 0x0006,
    kEof = 0x000A,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kCodePage = 0x0042,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kMulBlank = 0x00BE,
    kRString = 0x00D6,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kBlank = 0x0201,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRk = 0x027E,
    kBof = 0x0809,
};

enum SubstreamType
{
    kGlobals = 0x0005,
    kWorksheet = 0x0010,
};

int u8(QByteArrayView d, qsizetype at)
{
    return static_cast<unsigned char>(d[at]);
}

int u16(QByteArrayView d, qsizetype at)
{
    return u8(d, at) | (u8(d, at + 1) << 8);
}

quint32 u32(QByteArrayView d, qsizetype at)
{
    return quint32(u16(d, at)) | (quint32(u16(d, at + 2)) << 16);
}

double f64(QByteArrayView d, qsizetype at)
{
    const quint64 bits = quint64(u32(d, at)) | (quint64(u32(d, at + 4)) << 32);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double rkValue(quint32 rk)
{
    double value;
    if (rk & 2) {
        value = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 1) ? value / 100 : value;
}

QByteArray errorText(int code)
{
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    default:
        return "#N/A";
    }
}

// Windows-1252 characters of the bytes 0x80-0x9F (0 where the code page has none).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The text of a record split over CONTINUE records. Numbers and skipped bytes run on across the
// parts; characters do too, but each part they continue in starts with a new option byte that
// says whether they are 8 or 16 bits wide.
class PartReader
{
public:
    explicit PartReader(const std::vector<QByteArrayView> &parts) : parts_(parts) {}

    bool atEnd()
    {
        settle();
        return part_ >= parts_.size();
    }

    bool byte(int *value)
    {
        if (atEnd())
            return false;
        *value = static_cast<unsigned char>(parts_[part_][pos_++]);
        return true;
    }

    bool number(int bytes, quint32 *value)
    {
        *value = 0;
        for (int i = 0; i < bytes; ++i) {
            int b;
            if (!byte(&b))
                return false;
            *value |= quint32(b) << (8 * i);
        }
        return true;
    }

    bool skip(qint64 count)
    {
        while (count > 0) {
            if (atEnd())
                return false;
            const qint64 step = qMin<qint64>(count, parts_[part_].size() - pos_);
            pos_ += step;
            count -= step;
        }
        return true;
    }

    bool characters(int count, bool wide, QString *out)
    {
        out->reserve(out->size() + count);
        while (count > 0) {
            if (part_ >= parts_.size())
                return false;
            if (pos_ >= parts_[part_].size()) {
                if (++part_ >= parts_.size() || parts_[part_].isEmpty())
                    return false;
                wide = parts_[part_][0] & 1;
                pos_ = 1;
            }
            const QByteArrayView rest = parts_[part_].sliced(pos_);
            const int take = int(qMin<qsizetype>(count, wide ? rest.size() / 2 : rest.size()));
            if (take == 0)
                return false; // half a 16-bit character before the part's end
            for (int i = 0; i < take; ++i)
                out->append(wide ? QChar(char16_t(u16(rest, 2 * i)))
                                 : QChar(char16_t(u8(rest, i))));
            pos_ += wide ? 2 * take : take;
            count -= take;
        }
        return true;
    }

    // A BIFF8 string: character count, option byte, the optional counts of formatting runs and
    // of phonetic data, the characters, then the runs and the phonetic data, which are skipped.
    bool unicodeString(QString *out)
    {
        quint32 count;
        int flags;
        quint32 runs = 0;
        quint32 phonetic = 0;
        if (!number(2, &count) || !byte(&flags))
            return false;
        if ((flags & 0x08) && !number(2, &runs))
            return false;
        if ((flags & 0x04) && !number(4, &phonetic))
            return false;
        return characters(int(count), flags & 1, out) && skip(qint64(runs) * 4) && skip(phonetic);
    }

private:
    // Steps over exhausted parts, so the next byte is at pos_ of part_.
    void settle()
    {
        while (part_ < parts_.size() && pos_ >= parts_[part_].size()) {
            ++part_;
            pos_ = 0;
        }
    }

    const std::vector<QByteArrayView> &parts_;
    size_t part_ = 0;
    qsizetype pos_ = 0;
};

} // namespace

QByteArray numberText(double value)
{
    if (std::isnan(value) || std::isinf(value))
        return "#NUM!";
    if (value == 0)
        return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", value); // -d.dddddddddddddde+XX
    const bool negative = buf[0] == '-';
    const char *p = buf + (negative ? 1 : 0);
    QByteArray digits(1, p[0]);
    digits.append(p + 2, 14);
    const int exponent = std::atoi(std::strchr(p, 'e') + 1);
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);

    QByteArray out = negative ? "-" : "";
    if (exponent >= -5 && exponent < 15) {
        if (exponent < 0) {
            out += "0." + QByteArray(-exponent - 1, '0') + digits;
        } else {
            if (digits.size() < exponent + 1)
                digits += QByteArray(exponent + 1 - digits.size(), '0');
            out += digits.left(exponent + 1);
            if (digits.size() > exponent + 1)
                out += "." + digits.mid(exponent + 1);
        }
        return out;
    }
    out += digits.left(1);
    if (digits.size() > 1)
        out += "." + digits.mid(1);
    char exp[16];
    std::snprintf(exp, sizeof exp, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return out + exp;
}

bool BiffReader::fail(const QString &reason)
{
    *error_ = reason;
    return false;
}

bool BiffReader::corrupt(const QString &what)
{
    return fail(QStringLiteral("файл повреждён: ") + what);
}

bool BiffReader::nextRecord(Record *record)
{
    if (stream_.size() - pos_ < 4)
        return corrupt(QStringLiteral("данные обрываются до конца листа"));
    const int length = u16(stream_, pos_ + 2);
    if (stream_.size() - pos_ - 4 < length)
        return corrupt(QStringLiteral("запись по смещению %1 выходит за конец данных").arg(pos_));
    record->type = u16(stream_, pos_);
    record->data = stream_.sliced(pos_ + 4, length);
    pos_ += 4 + length;
    return true;
}

bool BiffReader::continuation(QByteArrayView first, std::vector<QByteArrayView> *parts)
{
    parts->assign(1, first);
    while (stream_.size() - pos_ >= 4 && u16(stream_, pos_) == kContinue) {
        Record record;
        if (!nextRecord(&record))
            return false;
        parts->push_back(record.data);
    }
    return true;
}

bool BiffReader::read(QByteArrayView stream, SheetCells *sheet, QString *error)
{
    stream_ = stream;
    pos_ = 0;
    error_ = error;
    sheet_ = sheet;
    *sheet = SheetCells();
    charset_ = Charset::Cp1251;
    codepage_ = 1251;
    strings_.clear();
    lastRow_ = lastColumn_ = pendingRow_ = pendingColumn_ = -1;

    Record bof;
    if (stream.size() < 4)
        return fail(QStringLiteral("это не файл Excel"));
    const int firstType = u16(stream, 0);
    if (firstType == 0x0009 || firstType == 0x0209 || firstType == 0x0409)
        return fail(QStringLiteral("файлы Excel 2.x-4.x не поддерживаются; сохраните файл в "
                                   "формате Excel 97-2003"));
    if (firstType != kBof)
        return fail(QStringLiteral("это не файл Excel"));
    if (!nextRecord(&bof))
        return false;
    if (bof.data.size() < 4)
        return corrupt(QStringLiteral("короткая запись начала"));
    biff8_ = u16(bof.data, 0) == 0x0600;

    int substream = u16(bof.data, 2);
    if (substream == kGlobals) {
        qint64 offset = -1;
        if (!readGlobals(&offset))
            return false;
        if (offset < 0)
            return fail(QStringLiteral("в книге нет ни одного листа с ячейками"));
        if (offset > stream.size() - 4 || u16(stream, offset) != kBof)
            return corrupt(QStringLiteral("первый лист не найден по его смещению"));
        pos_ = offset;
        if (!nextRecord(&bof))
            return false;
        if (bof.data.size() < 4)
            return corrupt(QStringLiteral("короткая запись начала листа"));
        substream = u16(bof.data, 2);
    }
    if (substream != kWorksheet)
        return fail(QStringLiteral("первый лист файла не таблица"));
    if (!readSheet())
        return false;
    sheet->rows = qMax(1, lastRow_ + 1);
    sheet->columns = qMax(1, lastColumn_ + 1);
    return true;
}

bool BiffReader::readGlobals(qint64 *sheetOffset)
{
    for (;;) {
        Record record;
        if (!nextRecord(&record))
            return false;
        switch (record.type) {
        case kEof:
            return true;
        case kFilePass:
            return fail(QStringLiteral("файл защищён паролем"));
        case kCodePage:
            if (!setCodePage(record.data))
                return false;
            break;
        case kBoundSheet:
            if (record.data.size() < 6)
                return corrupt(QStringLiteral("короткая запись листа"));
            if (*sheetOffset < 0 && u8(record.data, 5) == 0)
                *sheetOffset = u32(record.data, 0);
            break;
        case kSst:
            if (biff8_ && !readSharedStrings(record.data))
                return false;
            break;
        default:
            break;
        }
    }
}

bool BiffReader::setCodePage(QByteArrayView data)
{
    if (data.size() < 2)
        return corrupt(QStringLiteral("короткая запись кодовой страницы"));
    codepage_ = u16(data, 0);
    switch (codepage_) {
    case 1251:
        charset_ = Charset::Cp1251;
        break;
    case 1252:
    case 0x8001: // Windows-1252 as older versions name it
        charset_ = Charset::Cp1252;
        break;
    case 1200:
        charset_ = Charset::Latin1;
        break;
    default:
        charset_ = Charset::AsciiOnly;
        break;
    }
    return true;
}

bool BiffReader::readSharedStrings(QByteArrayView first)
{
    std::vector<QByteArrayView> parts;
    if (!continuation(first, &parts))
        return false;
    PartReader reader(parts);
    quint32 total;
    quint32 unique;
    if (!reader.number(4, &total) || !reader.number(4, &unique))
        return corrupt(QStringLiteral("короткая таблица строк"));
    strings_.clear();
    for (quint32 i = 0; i < unique; ++i) {
        QString text;
        if (!reader.unicodeString(&text))
            return corrupt(QStringLiteral("таблица строк обрывается на строке %1 из %2")
                               .arg(i + 1)
                               .arg(unique));
        strings_.push_back(std::move(text));
    }
    return true;
}

bool BiffReader::readSheet()
{
    int depth = 0; // embedded substreams (charts) inside the sheet
    for (;;) {
        Record record;
        if (!nextRecord(&record))
            return false;
        if (record.type == kBof) {
            ++depth;
        } else if (record.type == kEof) {
            if (depth-- == 0)
                return true;
        } else if (depth == 0 && record.type == kCodePage) {
            // a sheet without workbook globals carries its own
            if (!setCodePage(record.data))
                return false;
        } else if (depth == 0 && !readCell(record)) {
            return false;
        }
    }
}

bool BiffReader::markUsed(int row, int column)
{
    if (column >= kMaxSheetColumns)
        return fail(QStringLiteral("ячейка %1 за пределами %2 столбцов")
                        .arg(cellName(column, row))
                        .arg(kMaxSheetColumns));
    const int rows = qMax(lastRow_, row) + 1;
    const int columns = qMax(lastColumn_, column) + 1;
    if (qint64(rows) * columns > kMaxCells)
        return fail(QStringLiteral("таблица от A1 до %1 больше %2 ячеек")
                        .arg(cellName(columns - 1, rows - 1))
                        .arg(kMaxCells));
    lastRow_ = rows - 1;
    lastColumn_ = columns - 1;
    return true;
}

bool BiffReader::setCell(int row, int column, const QByteArray &text)
{
    if (!markUsed(row, column))
        return false;
    if (text.isEmpty())
        sheet_->texts.remove(SheetCells::key(column, row));
    else
        sheet_->texts.insert(SheetCells::key(column, row), text);
    return true;
}

bool BiffReader::setUnicode(int row, int column, const QString &text)
{
    QByteArray bytes;
    if (cp1251::fromUnicode(text, &bytes))
        return setCell(row, column, bytes);
    for (const QChar c : text) {
        if (!cp1251::fromUnicode(QString(c), &bytes))
            return fail(QStringLiteral("в ячейке %1 символ «%2» (U+%3), которого нет в "
                                       "кодировке Windows-1251")
                            .arg(cellName(column, row))
                            .arg(c.isSurrogate() ? QStringLiteral("?") : QString(c))
                            .arg(c.unicode(), 4, 16, QLatin1Char('0')));
    }
    return setCell(row, column, bytes);
}

bool BiffReader::setUnicodeString(int row, int column, const std::vector<QByteArrayView> &parts,
                                  const char *what)
{
    PartReader reader(parts);
    QString text;
    if (!reader.unicodeString(&text))
        return corrupt(QString::fromUtf8(what) + QStringLiteral(" в ячейке ") +
                       cellName(column, row));
    return setUnicode(row, column, text);
}

bool BiffReader::setEightBit(int row, int column, QByteArrayView bytes)
{
    QString text;
    switch (biff8_ ? Charset::Latin1 : charset_) {
    case Charset::Cp1251:
        return setCell(row, column, bytes.toByteArray());
    case Charset::Latin1:
        return setUnicode(row, column, QString::fromLatin1(bytes));
    case Charset::Cp1252:
        for (const char b : bytes) {
            const int v = static_cast<unsigned char>(b);
            const char16_t c = (v >= 0x80 && v < 0xA0) ? kCp1252High[v - 0x80] : char16_t(v);
            text += QChar(c ? c : u'\uFFFD');
        }
        return setUnicode(row, column, text);
    case Charset::AsciiOnly:
        for (const char b : bytes) {
            if (static_cast<unsigned char>(b) >= 0x80)
                return fail(QStringLiteral("текст ячейки %1 в кодовой странице %2, которая не "
                                           "поддерживается")
                                .arg(cellName(column, row))
                                .arg(codepage_));
        }
        return setCell(row, column, bytes.toByteArray());
    }
    return false;
}

bool BiffReader::readCell(const Record &record)
{
    const QByteArrayView d = record.data;
    auto tooShort = [&](qsizetype needed) {
        if (d.size() >= needed)
            return false;
        corrupt(QStringLiteral("короткая запись ячейки (тип 0x%1)")
                    .arg(record.type, 4, 16, QLatin1Char('0')));
        return true;
    };
    if (record.type == kString) {
        const int row = pendingRow_;
        const int column = pendingColumn_;
        pendingRow_ = pendingColumn_ = -1;
        if (row < 0)
            return true;
        if (!biff8_) {
            if (tooShort(2) || tooShort(2 + u16(d, 0)))
                return false;
            return setEightBit(row, column, d.sliced(2, u16(d, 0)));
        }
        std::vector<QByteArrayView> parts;
        if (!continuation(d, &parts))
            return false;
        return setUnicodeString(row, column, parts, "короткий текст формулы");
    }

    switch (record.type) {
    case kFormula:
    case kLabel:
    case kRString:
    case kLabelSst:
    case kNumber:
    case kRk:
    case kBoolErr:
    case kBlank:
    case kMulRk:
    case kMulBlank:
        break;
    default:
        return true;
    }
    if (tooShort(6))
        return false;
    const int row = u16(d, 0);
    const int column = u16(d, 2);
    pendingRow_ = pendingColumn_ = -1;

    switch (record.type) {
    case kLabel:
    case kRString:
        if (biff8_) {
            return setUnicodeString(row, column, std::vector<QByteArrayView>(1, d.sliced(6)),
                                    "короткий текст");
        }
        if (tooShort(8) || tooShort(8 + u16(d, 6)))
            return false;
        return setEightBit(row, column, d.sliced(8, u16(d, 6)));
    case kLabelSst: {
        if (tooShort(10))
            return false;
        const quint32 index = u32(d, 6);
        if (index >= strings_.size())
            return corrupt(QStringLiteral("ячейка %1 ссылается на строку %2, а в таблице строк "
                                          "их %3")
                               .arg(cellName(column, row))
                               .arg(index)
                               .arg(strings_.size()));
        return setUnicode(row, column, strings_[index]);
    }
    case kNumber:
        return !tooShort(14) && setCell(row, column, numberText(f64(d, 6)));
    case kRk:
        return !tooShort(10) && setCell(row, column, numberText(rkValue(u32(d, 6))));
    case kBoolErr:
        if (tooShort(8))
            return false;
        if (u8(d, 7))
            return setCell(row, column, errorText(u8(d, 6)));
        return setCell(row, column, u8(d, 6) ? "true" : "false");
    case kBlank:
        return markUsed(row, column);
    case kFormula:
        if (tooShort(14))
            return false;
        if (u16(d, 12) != 0xFFFF)
            return setCell(row, column, numberText(f64(d, 6)));
        switch (u8(d, 6)) {
        case 0: // a text, in the STRING record that follows
            pendingRow_ = row;
            pendingColumn_ = column;
            return setCell(row, column, QByteArray());
        case 1:
            return setCell(row, column, u8(d, 8) ? "true" : "false");
        case 2:
            return setCell(row, column, errorText(u8(d, 8)));
        default:
            return setCell(row, column, QByteArray());
        }
    case kMulRk:
    case kMulBlank: {
        const int width = record.type == kMulRk ? 6 : 2;
        const qsizetype count = (d.size() - 6) / width;
        if (count < 1 || (d.size() - 6) % width != 0)
            return corrupt(
                QStringLiteral("запись ряда ячеек неверной длины в строке %1").arg(row + 1));
        for (qsizetype i = 0; i < count; ++i) {
            const int c = column + int(i);
            const bool ok = record.type == kMulRk
                                ? setCell(row, c, numberText(rkValue(u32(d, 4 + 6 * i + 2))))
                                : markUsed(row, c);
            if (!ok)
                return false;
        }
        return true;
    }
    default:
        return true;
    }
}
