#include "table/TablePage.h"

#include <QHash>

#include <optional>
#include <vector>

#include <utility>

#include "base/Plural.h"
#include "catalogue/CatalogueFormat.h"
#include "catalogue/PageFile.h"
#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "gamefiles/ValueDivision.h"
#include "profile/IniDocument.h"
#include "profile/ProfileCache.h"
#include "profile/ProfileFile.h"
#include "table/GridCellStore.h"
#include "textcodec/Cp1251.h"

using namespace CatalogueFormat;

namespace {

QString tooLarge(const QByteArray &path, const QByteArray &section, int count)
{
    return CatalogueCount::tooLarge(path, section, count, TableLayout::MaxCount);
}

TableEntry readEntry(const PageFile &page, const QByteArray &section, const EntryKeyNames &names)
{
    const PageFileEntry keys = page.entry(section, names);
    TableEntry entry;
    entry.full = keys.full;
    struct Key
    {
        const std::optional<QByteArray> &read;
        const QByteArray &name;
        QByteArray &value;
        const char *missing;
    };
    for (const Key &key :
         {Key{keys.file, names.file, entry.file, TableText::MissingFile},
          Key{keys.section, names.section, entry.section, TableText::MissingSection},
          Key{keys.param, names.param, entry.param, TableText::MissingParam}}) {
        if (!key.read)
            entry.missingKeys << key.name;
        key.value = key.read.value_or(key.missing);
    }
    return entry;
}

void readLayout(const PageFile &page, TableLayout &layout)
{
    const CatalogueCount subTabs = page.subTabCount();
    layout.subTabs = subTabs.isNumber() ? qMax(subTabs.value, 0) : 0;
    if (layout.subTabs > TableLayout::MaxCount) {
        layout.status = TableLayout::Status::TooLarge;
        layout.reason = tooLarge(layout.pageFilePath, PagesSection, layout.subTabs);
        return;
    }
    if (layout.subTabs == 0)
        return;
    const QByteArray firstSection = page.subTab(1).value_or(QByteArray());
    const CatalogueCount entries = page.count(firstSection);
    layout.entries = entries.isNumber() ? qMax(entries.value, 0) : 0;
    if (layout.entries > TableLayout::MaxCount) {
        layout.status = TableLayout::Status::TooLarge;
        layout.reason = tooLarge(layout.pageFilePath, firstSection, layout.entries);
        return;
    }
    if (qint64(layout.subTabs) * layout.entries > TableLayout::MaxCells) {
        layout.status = TableLayout::Status::TooLarge;
        const qint64 cells = qint64(layout.subTabs) * layout.entries;
        layout.reason = QStringLiteral("%1: %2 x %3 = %4 - больше %5.")
                            .arg(cp1251::toUnicode(layout.pageFilePath))
                            .arg(layout.subTabs)
                            .arg(layout.entries)
                            .arg(base::counted(cells, "ячейка", "ячейки", "ячеек"))
                            .arg(TableLayout::MaxCells);
        return;
    }
    std::vector<EntryKeyNames> names;
    names.reserve(layout.entries);
    for (int k = 1; k <= layout.entries; ++k)
        names.emplace_back(k);
    layout.rows.reserve(layout.subTabs);
    for (int j = 1; j <= layout.subTabs; ++j) {
        TableRow row;
        const std::optional<QByteArray> section = page.subTab(j);
        row.hasSection = section.has_value();
        row.section = section.value_or(QByteArray());
        row.label = section.value_or(TableText::MissingLabel);
        row.entries.reserve(layout.entries);
        for (const EntryKeyNames &keys : names)
            row.entries.append(readEntry(page, row.section, keys));
        layout.rows.append(std::move(row));
    }
    for (const EntryKeyNames &keys : names)
        layout.headers.append(page.text(layout.rows.last().section, keys.caption)
                                  .value_or(TableText::MissingCaption));
}

} // namespace

TableLayout TableLayout::read(const QByteArray &pageFilePath)
{
    TableLayout layout;
    layout.pageFilePath = pageFilePath;
    readLayout(PageFile::read(pageFilePath), layout);
    return layout;
}

TablePage::TablePage(QByteArray programFolder, QByteArray gamedataFolder, bool inheritance)
    : programFolder_(std::move(programFolder)), gamedataFolder_(std::move(gamedataFolder)),
      inheritance_(inheritance)
{
}

bool TablePage::isTableCapable(int page) const
{
    const ProfileFile index(indexPath(programFolder_));
    return index.readString(GlobalPagesSection, numberedKey(page, TableSuffix), MissingTable) !=
           MissingTable;
}

QByteArray TablePage::caption(int page) const
{
    return ProfileFile(indexPath(programFolder_))
        .readString(GlobalPagesSection, numberedKey(page), QByteArray());
}

QByteArray TablePage::pageFilePath(int page) const
{
    return CataloguePages::pageFile(programFolder_, page, TableText::MissingPageFile).path;
}

TableLayout TablePage::fill(int page, GridCellStore &values, GridCellStore &remainders,
                            InheritedCells *inherited) const
{
    if (inherited)
        inherited->clear();
    const TableLayout layout = TableLayout::read(pageFilePath(page));
    if (layout.status != TableLayout::Status::Read)
        return layout;
    const int n = layout.subTabs;
    const int m = layout.entries;
    values.setRowCount(n + 1);
    remainders.setRowCount(n + 1);
    values.setCell(0, 0, TableText::NameHeader);
    if (n == 0)
        return layout;
    values.setColumnCount(m + 1);
    remainders.setColumnCount(m + 1);
    for (int j = 1; j <= n; ++j)
        values.setCell(0, j, layout.rows[j - 1].label);
    for (int k = 1; k <= m; ++k)
        values.setCell(k, 0, layout.headers[k - 1]);

    auto setValue = [&](int k, int j, const QByteArray &value) {
        if (layout.rows[j - 1].entries[k - 1].full) {
            values.setCell(k, j, value);
            remainders.setCell(k, j, QByteArray());
            return;
        }
        const ValueDivision parts = ValueDivision::divide(value);
        values.setCell(k, j, parts.valuePart);
        remainders.setCell(k, j, parts.commentPart);
    };
    // Every cell reads its parameter as the rows do; one reader reads each file once.
    const ProfileCache::WalkScope walk;
    GameValues reader(gamedataFolder_, inheritance_);
    for (int j = 1; j <= n; ++j) {
        for (int k = 1; k <= m; ++k) {
            const TableEntry &entry = layout.rows[j - 1].entries[k - 1];
            // An entry the catalogue does not complete names no parameter.
            const GameValues::Value found =
                entry.writable() ? reader.valueOf(entry.file, entry.section, entry.param)
                                 : GameValues::Value();
            setValue(k, j, found.value.value_or(QByteArray(TableText::Missing)));
            if (found.inherited && inherited)
                inherited->insert(cellKey(k, j),
                                  {*found.value, ParameterLookup::originText(found)});
        }
    }
    return layout;
}
