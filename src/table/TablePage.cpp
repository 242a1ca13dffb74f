#include "table/TablePage.h"

#include <QHash>

#include <utility>

#include "catalogue/CatalogueFormat.h"
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

// Reads of one parsed file, with the rules of ProfileFile's reads.
class Reader
{
public:
    explicit Reader(const IniDocument &document) : document_(document) {}

    bool has(const QByteArray &section, const QByteArray &key) const
    {
        return document_.value(section, key).has_value();
    }
    QByteArray text(const QByteArray &section, const QByteArray &key,
                    const QByteArray &defaultValue) const
    {
        if (const auto value = document_.value(section, key))
            return cut(*value).toByteArray();
        return defaultValue;
    }
    int integer(const QByteArray &section, const QByteArray &key, int defaultValue) const
    {
        int number;
        const auto value = document_.value(section, key);
        return value && ProfileFile::parseInteger(cut(*value), &number) ? number : defaultValue;
    }

private:
    static QByteArrayView cut(QByteArrayView value)
    {
        return value.first(std::min<qsizetype>(value.size(), ProfileFile::MaxValueLength));
    }

    const IniDocument &document_;
};

QString tooLarge(const QByteArray &path, const QByteArray &section, int count)
{
    return QStringLiteral("%1: [%2] Kol-vo=%3 - больше %4.")
        .arg(cp1251::toUnicode(path), cp1251::toUnicode(section))
        .arg(count)
        .arg(TableLayout::MaxCount);
}

TableEntry readEntry(const Reader &page, const QByteArray &section, int k)
{
    TableEntry entry;
    const QByteArray fileKey = numberedKey(k, EntryFileSuffix);
    const QByteArray sectionKey = numberedKey(k, SectionSuffix);
    const QByteArray paramKey = numberedKey(k, ParamSuffix);
    entry.caption = page.text(section, numberedKey(k, CaptionSuffix), TableText::MissingCaption);
    entry.file = page.text(section, fileKey, TableText::MissingFile);
    entry.section = page.text(section, sectionKey, TableText::MissingSection);
    entry.param = page.text(section, paramKey, TableText::MissingParam);
    entry.full = page.has(section, numberedKey(k, FullSuffix));
    for (const QByteArray &key : {fileKey, sectionKey, paramKey})
        if (!page.has(section, key))
            entry.missingKeys << key;
    return entry;
}

void readLayout(const Reader &page, TableLayout &layout)
{
    layout.subTabs = qMax(page.integer(PagesSection, CountKey, 0), 0);
    if (layout.subTabs > TableLayout::MaxCount) {
        layout.status = TableLayout::Status::TooLarge;
        layout.reason = tooLarge(layout.pageFilePath, PagesSection, layout.subTabs);
        return;
    }
    if (layout.subTabs == 0)
        return;
    const QByteArray firstSection = page.text(PagesSection, numberedKey(1), QByteArray());
    layout.entries = qMax(page.integer(firstSection, CountKey, 0), 0);
    if (layout.entries > TableLayout::MaxCount) {
        layout.status = TableLayout::Status::TooLarge;
        layout.reason = tooLarge(layout.pageFilePath, firstSection, layout.entries);
        return;
    }
    if (qint64(layout.subTabs) * layout.entries > TableLayout::MaxCells) {
        layout.status = TableLayout::Status::TooLarge;
        layout.reason = QStringLiteral("%1: %2 x %3 ячеек - больше %4.")
                            .arg(cp1251::toUnicode(layout.pageFilePath))
                            .arg(layout.subTabs)
                            .arg(layout.entries)
                            .arg(TableLayout::MaxCells);
        return;
    }
    layout.rows.reserve(layout.subTabs);
    for (int j = 1; j <= layout.subTabs; ++j) {
        TableRow row;
        const QByteArray key = numberedKey(j);
        row.label = page.text(PagesSection, key, TableText::MissingLabel);
        row.section = page.text(PagesSection, key, QByteArray());
        row.hasSection = page.has(PagesSection, key);
        row.entries.reserve(layout.entries);
        for (int k = 1; k <= layout.entries; ++k)
            row.entries.append(readEntry(page, row.section, k));
        layout.rows.append(std::move(row));
    }
}

} // namespace

TableLayout TableLayout::read(const QByteArray &pageFilePath)
{
    TableLayout layout;
    layout.pageFilePath = pageFilePath;
    ProfileCache::instance().withDocument(
        pageFilePath, [&](const IniDocument &document) { readLayout(Reader(document), layout); });
    return layout;
}

TablePage::TablePage(QByteArray programFolder, QByteArray gamedataFolder)
    : programFolder_(std::move(programFolder)), gamedataFolder_(std::move(gamedataFolder))
{
}

bool TablePage::isTableCapable(int page) const
{
    const ProfileFile index(indexPath(programFolder_));
    return index.readString(GlobalPagesSection, numberedKey(page, TableSuffix), MissingTable) !=
           MissingTable;
}

QByteArray TablePage::pageFilePath(int page) const
{
    const ProfileFile index(indexPath(programFolder_));
    return CatalogueFormat::pageFilePath(
        programFolder_, index.readString(GlobalPagesSection, numberedKey(page, FileSuffix),
                                         TableText::MissingPageFile));
}

TableLayout TablePage::fill(int page, GridCellStore &values, GridCellStore &remainders) const
{
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
        values.setCell(k, 0, layout.rows[n - 1].entries[k - 1].caption);

    // The cells of each game file, so each file is read through one access to its parsed copy.
    struct Cell
    {
        int column, row;
    };
    QHash<QByteArray, QList<Cell>> byFile;
    for (int j = 1; j <= n; ++j) {
        for (int k = 1; k <= m; ++k) {
            const TableEntry &entry = layout.rows[j - 1].entries[k - 1];
            // An entry the catalogue does not complete, or whose file lies outside the gamedata
            // folder, names no parameter.
            if (entry.writable() && !gamedataFolder_.isEmpty() &&
                isInsideGamedata(gamedataFolder_, entry.file))
                byFile[ParameterLookup::gameFilePath(gamedataFolder_, entry.file)].append({k, j});
            else
                values.setCell(k, j, TableText::Missing);
        }
    }
    for (auto it = byFile.cbegin(); it != byFile.cend(); ++it) {
        ProfileCache::instance().withDocument(it.key(), [&](const IniDocument &document) {
            const Reader file(document);
            for (const Cell &cell : it.value()) {
                const TableEntry &entry = layout.rows[cell.row - 1].entries[cell.column - 1];
                values.setCell(cell.column, cell.row,
                               file.text(entry.section, entry.param, TableText::Missing));
            }
        });
    }
    for (int j = 1; j <= n; ++j) {
        for (int k = 1; k <= m; ++k) {
            if (layout.rows[j - 1].entries[k - 1].full) {
                remainders.setCell(k, j, QByteArray());
                continue;
            }
            const ValueDivision parts = ValueDivision::divide(values.cell(k, j));
            values.setCell(k, j, parts.valuePart);
            remainders.setCell(k, j, parts.commentPart);
        }
    }
    return layout;
}
