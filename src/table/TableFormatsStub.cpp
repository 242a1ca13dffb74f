// Stand-ins for the table file and spreadsheet formats until they are built.

#include "table/TableFormats.h"

#include "table/GridCellStore.h"

namespace {

bool notBuilt(QString *error)
{
    if (error)
        *error = QStringLiteral("не реализовано");
    return false;
}

} // namespace

bool saveTableFile(const QString &, const GridCellStore &, QString *error)
{
    return notBuilt(error);
}

bool loadTableFile(const QString &, GridCellStore &, QString *error)
{
    return notBuilt(error);
}

bool saveSpreadsheet(const QString &, const GridCellStore &, QString *error)
{
    return notBuilt(error);
}

bool importSpreadsheet(const QString &, GridCellStore &, QString *error)
{
    return notBuilt(error);
}
