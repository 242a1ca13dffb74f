#include "table/SpreadsheetImport.h"

#include <QFile>
#include <QFileInfo>

#include "table/BiffReader.h"
#include "table/GridCellStore.h"
#include "table/TableFormats.h"
#include "table/TableLimits.h"

// Qt's "signals" keyword would clash with a member of that name in GLib's headers.
#pragma push_macro("signals")
#undef signals
#include <gsf/gsf.h>
#pragma pop_macro("signals")

#include <mutex>

#if defined(__SANITIZE_ADDRESS__)
#define BRANVIK_LEAK_CHECKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRANVIK_LEAK_CHECKS 1
#endif
#endif
#ifdef BRANVIK_LEAK_CHECKS
#include <sanitizer/lsan_interface.h>
#endif

namespace {

constexpr char kCompoundMagic[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

template <typename T> struct GObjectPtr
{
    T *p = nullptr;
    ~GObjectPtr()
    {
        if (p)
            g_object_unref(p);
    }
};

// The workbook stream of a compound file: "Workbook" (BIFF8) or "Book" (BIFF5), whatever the
// letter case.
bool workbookStream(QByteArrayView file, QByteArray *stream, QString *error)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] {
        gsf_init();
        // A broken compound file makes libgsf log its own complaints; the import reports it.
        g_log_set_handler(
            "libgsf:msole", GLogLevelFlags(G_LOG_LEVEL_MASK),
            [](const gchar *, GLogLevelFlags, const gchar *, gpointer) {}, nullptr);
    });

    GObjectPtr<GsfInput> input{
        gsf_input_memory_new(reinterpret_cast<const guint8 *>(file.data()), file.size(), FALSE)};
    GError *gerror = nullptr;
#ifdef BRANVIK_LEAK_CHECKS
    // libgsf 1.14.50 loses a directory entry of some broken compound files inside this call,
    // where no caller can free it; sanitizer builds are told not to report it.
    __lsan_disable();
#endif
    GObjectPtr<GsfInfile> infile{gsf_infile_msole_new(input.p, &gerror)};
#ifdef BRANVIK_LEAK_CHECKS
    __lsan_enable();
#endif
    if (gerror)
        g_error_free(gerror);
    if (!infile.p) {
        *error = QStringLiteral("файл повреждён: составной файл не читается");
        return false;
    }
    GObjectPtr<GsfInput> child;
    for (const char *name : {"workbook", "book"}) {
        const int count = gsf_infile_num_children(infile.p);
        for (int i = 0; i < count && !child.p; ++i) {
            const char *childName = gsf_infile_name_by_index(infile.p, i);
            if (childName && g_ascii_strcasecmp(childName, name) == 0)
                child.p = gsf_infile_child_by_index(infile.p, i);
        }
    }
    if (!child.p) {
        *error = QStringLiteral("в файле нет книги Excel");
        return false;
    }
    // A stream cannot be longer than the file that holds it: a larger size is a broken header.
    const gsf_off_t size = gsf_input_size(child.p);
    if (size < 0 || size > file.size()) {
        *error = QStringLiteral("файл повреждён: книга длиннее самого файла");
        return false;
    }
    stream->resize(qsizetype(size));
    if (size > 0 && !gsf_input_read(child.p, size, reinterpret_cast<guint8 *>(stream->data()))) {
        *error = QStringLiteral("файл повреждён: книга не читается");
        return false;
    }
    return true;
}

} // namespace

bool readSpreadsheet(QByteArrayView file, SheetCells *sheet, QString *error)
{
    if (file.startsWith(QByteArrayView(kCompoundMagic, 8))) {
        QByteArray stream;
        return workbookStream(file, &stream, error) && BiffReader().read(stream, sheet, error);
    }
    if (file.startsWith("PK\x03\x04")) {
        *error = QStringLiteral("файлы .xlsx и .ods не поддерживаются; сохраните файл в формате "
                                "Excel 97-2003 (.xls)");
        return false;
    }
    return BiffReader().read(file, sheet, error);
}

QString storeSheet(const SheetCells &sheet, GridCellStore &grid)
{
    using namespace tablelimits;
    // Up to two rows below the sheet, as far as the savers take a grid (a sheet using its last
    // row must not come back as a grid that neither format can save): they show what the grid
    // keeps there.
    const int columns = sheet.columns;
    const qint64 wanted = qint64(sheet.rows) + 2;
    const int rows = int(qMin(wanted, qMin<qint64>(kMaxRows, kMaxCells / qMax(1, columns))));
    const int sheetRows = qMin(sheet.rows, rows);
    for (int r = 0; r < sheetRows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const QByteArray text = sheet.text(c, r);
            // An empty text is what an unwritten cell reads as: only kept texts need clearing.
            if (!text.isEmpty() || !grid.cell(c, r).isEmpty())
                grid.setCell(c, r, text);
        }
    }
    grid.setColumnCount(columns);
    // Rows at the end that are empty in every column are no rows of the table: a workbook's
    // used range often ends in such rows, and the two rows below the sheet mostly are.
    int shown = rows;
    auto emptyRow = [&](int r) {
        for (int c = 0; c < columns; ++c)
            if (!grid.cell(c, r).isEmpty())
                return false;
        return true;
    };
    while (shown > 1 && emptyRow(shown - 1))
        --shown;
    grid.setRowCount(shown);
    if (sheetRows < sheet.rows)
        return QStringLiteral("Строки листа с %1 по %2 не загружены: в таблице не больше %3 "
                              "строк и %4 ячеек.")
            .arg(sheetRows + 1)
            .arg(sheet.rows)
            .arg(kMaxRows)
            .arg(kMaxCells);
    return QString();
}

bool isSpreadsheetFile(const QString &path, bool otherwise)
{
    QByteArray head;
    QFile file(path);
    // Only a regular file is opened: a pipe would block the read.
    if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly))
        head = file.read(8);
    // A compound file (.xls of a spreadsheet program), the bare record stream the spreadsheet
    // save writes (a BOF record of any BIFF version, little-endian), or a zipped workbook, which
    // the import refuses with the hint to save it as .xls.
    const auto byte = [&](int i) { return i < head.size() ? quint8(head[i]) : -1; };
    if (head.startsWith(QByteArrayView(kCompoundMagic, 8)) || head.startsWith("PK\x03\x04"))
        return true;
    if (byte(0) == 0x09 &&
        (byte(1) == 0x00 || byte(1) == 0x02 || byte(1) == 0x04 || byte(1) == 0x08) &&
        byte(2) >= 4 && byte(2) <= 20 && byte(3) == 0x00)
        return true;
    if (path.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive))
        return true;
    if (path.endsWith(QLatin1String(".tsv"), Qt::CaseInsensitive))
        return false;
    return otherwise;
}

bool importSpreadsheet(const QString &path, GridCellStore &grid, QString *error, QString *notice)
{
    QByteArray file;
    SheetCells sheet;
    if (!tablelimits::readInputFile(path, &file, error) || !readSpreadsheet(file, &sheet, error))
        return false;
    const QString leftOut = storeSheet(sheet, grid);
    if (notice)
        *notice = leftOut;
    return true;
}
