#include "table/TableApply.h"

#include <utility>

#include "gamefiles/ParameterLookup.h"
#include "table/GridCellStore.h"
#include "table/TablePage.h"
#include "textcodec/Cp1251.h"

namespace {

// The default of the current value's read.
constexpr char Unread[] = "1234567890";

} // namespace

TableApply::TableApply(WriteTarget target, QByteArray pageFilePath)
    : target_(std::move(target)), pageFilePath_(std::move(pageFilePath))
{
}

QString TableApply::savedMessage()
{
    return QStringLiteral("Данные сохранены! Для обновления данных на экране перезапустите "
                          "программу!");
}

QString TableApplyReport::message() const
{
    if (complete)
        return TableApply::savedMessage();
    if (row == 0) // stopped before the first cell
        return QStringLiteral("Таблица не применена.\n") + reason;
    QString text = QStringLiteral("Таблица применена не полностью: остановлено на вкладке «%1» "
                                  "(строка %2), столбец %3, файл %4.")
                       .arg(cp1251::toUnicode(subTab))
                       .arg(row)
                       .arg(column)
                       .arg(cp1251::toUnicode(file));
    if (!reason.isEmpty())
        text += QLatin1Char('\n') + reason;
    text += QStringLiteral("\nЗаписано ячеек: %1. Остальные ячейки не записаны.").arg(written);
    return text;
}

bool TableApply::forEachChange(
    const GridCellStore &values, const GridCellStore &remainders,
    const std::function<bool(const TableCellChange &, const TableEntry &)> &visit,
    QString *reason) const
{
    const TableLayout layout = TableLayout::read(pageFilePath_);
    if (layout.status != TableLayout::Status::Read) {
        *reason = layout.reason;
        return false;
    }
    // Rows the grid has beyond the page's sub-tabs (a loaded table can bring them) have nowhere
    // to go.
    const int rows = qMin(values.rowCount() - 1, layout.subTabs);
    for (int j = 1; j <= rows; ++j) {
        const TableRow &row = layout.rows[j - 1];
        if (!row.hasSection)
            continue;
        for (int k = 1; k <= layout.entries; ++k) {
            const TableEntry &entry = row.entries[k - 1];
            const QByteArray text = values.cell(k, j) + remainders.cell(k, j);
            const QByteArray current = ParameterLookup::lookUp(target_.gamedataFolder, entry.file,
                                                               entry.section, entry.param, Unread);
            // Only an absent parameter reads as the default, and its cell counts as edited unless
            // it still shows the marker the view put there.
            const bool absent =
                current == Unread &&
                !ParameterLookup::isPresent(ParameterLookup::lookUp(
                    target_.gamedataFolder, entry.file, entry.section, entry.param));
            if (absent ? text == TableText::Missing : text == current)
                continue;
            const TableCellChange change{
                j,           k,
                row.section, layout.headers.value(k - 1),
                entry.file,  entry.section,
                entry.param, absent ? QByteArray(TableText::Missing) : current,
                text};
            if (!visit(change, entry))
                return true;
        }
    }
    return true;
}

QList<TableCellChange> TableApply::changes(const GridCellStore &values,
                                           const GridCellStore &remainders) const
{
    QList<TableCellChange> list;
    QString reason;
    forEachChange(
        values, remainders,
        [&](const TableCellChange &c, const TableEntry &) {
            list.append(c);
            return true;
        },
        &reason);
    return list;
}

TableApplyReport TableApply::apply(const GridCellStore &values,
                                   const GridCellStore &remainders) const
{
    TableApplyReport report;
    const ParameterWriter writer(target_);
    auto write = [&](const TableCellChange &c, const TableEntry &entry) {
        auto stop = [&](const QString &reason) {
            report.complete = false;
            report.row = c.row;
            report.column = c.column;
            report.subTab = c.subTab;
            report.file = entry.file;
            report.reason = reason;
            return false;
        };
        if (!entry.writable())
            return stop(QStringLiteral("В каталоге у параметра нет ключей ") +
                        cp1251::toUnicode(entry.missingKeys.join(", ")) + QLatin1Char('.'));
        QString error;
        const WriteResult result =
            writer.writeParameter(entry.file, entry.section, entry.param, ' ' + c.newText, &error);
        if (result.gameFileWritten())
            ++report.written;
        if (!result)
            return stop(error);
        return true;
    };
    QString reason;
    if (!forEachChange(values, remainders, write, &reason)) {
        report.complete = false;
        report.reason = reason;
        report.file = pageFilePath_;
    }
    return report;
}
