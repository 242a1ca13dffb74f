#include "table/TableApply.h"

#include <utility>

#include "gamefiles/ParameterLookup.h"
#include "profile/ProfileCache.h"
#include "session/Session.h"
#include "table/GridCellStore.h"
#include "table/TablePage.h"
#include "textcodec/Cp1251.h"

TableApply::TableApply(const Session &session, QByteArray pageFilePath, QByteArray caption)
    : session_(session), pageFilePath_(std::move(pageFilePath)), caption_(std::move(caption))
{
}

QString TableApply::savedMessage()
{
    return QStringLiteral("Данные сохранены!");
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

QByteArray TableApply::current(GameValues &values, const QByteArray &file,
                               const QByteArray &section, const QByteArray &param, bool *absent,
                               GameValues::Value *inherited)
{
    const GameValues::Value value = values.valueOf(file, section, param);
    *absent = !value.present() || value.inherited;
    if (inherited)
        *inherited = value.inherited ? value : GameValues::Value();
    return *absent ? QByteArray() : *value.value;
}

bool TableApply::forEachChange(const GridCellStore &values, const GridCellStore &remainders,
                               const std::function<bool(const TableCellChange &)> &visit,
                               QString *reason) const
{
    const TableLayout layout = TableLayout::read(pageFilePath_);
    if (layout.status != TableLayout::Status::Read) {
        *reason = layout.reason;
        return false;
    }
    GameValues reader = session_.values();
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
            bool absent = false;
            GameValues::Value inherited;
            const QByteArray now =
                current(reader, entry.file, entry.section, entry.param, &absent, &inherited);
            // A missing parameter's cell counts as edited unless it still shows the marker the
            // view put there, or the value it inherits (never written unchanged).
            if (absent ? text == TableText::Missing : text == now)
                continue;
            if (absent && inherited.inherited && text == *inherited.value)
                continue;
            // The marker the view put behind the empty cell of a missing parameter is no part
            // of what was typed there.
            const bool marked = absent && remainders.cell(k, j) == TableText::Missing;
            const TableCellChange change{j,
                                         k,
                                         row.section,
                                         layout.headers.value(k - 1),
                                         entry.file,
                                         entry.section,
                                         entry.param,
                                         !absent               ? now
                                         : inherited.inherited ? *inherited.value
                                                               : QByteArray(TableText::Missing),
                                         marked ? values.cell(k, j) : text,
                                         absent,
                                         ParameterLookup::originText(inherited),
                                         entry.missingKeys};
            if (!visit(change))
                return true;
        }
    }
    return true;
}

QList<TableCellChange> TableApply::changes(const GridCellStore &values,
                                           const GridCellStore &remainders, QString *error) const
{
    QList<TableCellChange> list;
    QString reason;
    const ProfileCache::WalkScope walk; // one read and one resolve of each file
    const bool read = forEachChange(
        values, remainders,
        [&](const TableCellChange &c) {
            list.append(c);
            return true;
        },
        &reason);
    if (error)
        *error =
            read ? QString() : (reason.isEmpty() ? QStringLiteral("страница не читается") : reason);
    return list;
}

TableApplyReport TableApply::apply(const QList<TableCellChange> &confirmed) const
{
    TableApplyReport report;
    // One apply is one group of the history: it is undone as a whole.
    const HistoryStamp stamp{HistoryOrigin::Table, session_.newGroup(), caption_};
    for (const TableCellChange &c : confirmed) {
        auto stop = [&](const QString &reason) {
            report.complete = false;
            report.row = c.row;
            report.column = c.column;
            report.subTab = c.subTab;
            report.file = c.file;
            report.reason = reason;
            return report;
        };
        if (!c.missingKeys.isEmpty())
            return stop(QStringLiteral("В каталоге у параметра нет ключей ") +
                        cp1251::toUnicode(c.missingKeys.join(", ")) + QLatin1Char('.'));
        // The user confirmed this cell over the value listed then: a file changed since is not
        // overwritten unseen.
        bool absent = false;
        GameValues reader = session_.values();
        const QByteArray now = current(reader, c.file, c.section, c.param, &absent);
        if (absent != c.absent || (!absent && now != c.oldText)) {
            auto shown = [](bool missing, const QByteArray &text) {
                return missing
                           ? QStringLiteral("(нет в файле)")
                           : QStringLiteral("«") + cp1251::toUnicode(text) + QStringLiteral("»");
            };
            return stop(QStringLiteral("Параметр [%1] %2 изменился в файле после проверки: было "
                                       "%3, теперь %4. Ячейка не записана.")
                            .arg(cp1251::toUnicode(c.section), cp1251::toUnicode(c.param),
                                 shown(c.absent, c.oldText), shown(absent, now)));
        }
        QString error;
        const WriteResult result =
            session_.applyValue(c.file, c.section, c.param, ' ' + c.newText, stamp, &error);
        if (result.gameFileWritten())
            ++report.written;
        if (!result)
            return stop(error);
    }
    return report;
}

TableApplyReport TableApply::apply(const GridCellStore &values,
                                   const GridCellStore &remainders) const
{
    QString reason;
    const QList<TableCellChange> list = changes(values, remainders, &reason);
    if (!reason.isEmpty()) {
        TableApplyReport report;
        report.complete = false;
        report.reason = reason;
        report.file = pageFilePath_;
        return report;
    }
    return apply(list);
}
