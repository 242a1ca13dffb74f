// Arbitrary bytes through the spreadsheet import: as a bare BIFF record stream, and as a whole
// file (a compound file when the bytes start with its signature), then stored into a grid.

#include "table/BiffReader.h"
#include "table/GridCellStore.h"
#include "table/SpreadsheetImport.h"

#pragma push_macro("signals")
#undef signals
#include <glib.h>
#pragma pop_macro("signals")

#include <cstddef>
#include <cstdint>

// libgsf warns about every broken compound file on standard error; the import reports it anyway.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    g_log_set_default_handler([](const gchar *, GLogLevelFlags, const gchar *, gpointer) {},
                              nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    SheetCells sheet;
    QString error;
    BiffReader().read(bytes, &sheet, &error);
    if (readSpreadsheet(bytes, &sheet, &error) && qint64(sheet.rows) * sheet.columns <= 65536) {
        GridCellStore grid;
        storeSheet(sheet, grid);
    }
    return 0;
}
