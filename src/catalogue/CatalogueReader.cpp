#include "catalogue/CatalogueReader.h"

#include <utility>

#include "catalogue/CatalogueFormat.h"
#include "catalogue/CatalogueVisitor.h"
#include "profile/ProfileCache.h"
#include "profile/ProfileFile.h"
#include "textcodec/Cp1251.h"

namespace {

using namespace CatalogueFormat;

CatalogueResult failed(QString reason)
{
    return {CatalogueResult::Failed, std::move(reason)};
}

QString tooLarge(const QByteArray &path, const QByteArray &section, int count)
{
    return QStringLiteral("%1: [%2] Kol-vo=%3 - больше %4.")
        .arg(cp1251::toUnicode(path), cp1251::toUnicode(section))
        .arg(count)
        .arg(CatalogueReader::MaxCount);
}

// Whether a key of an entry is missing from the page file. The first read (default "123456")
// decides in most cases; only a value that reads as "123456" needs a second read to tell a
// stored "123456" from a missing key.
bool isMissing(const ProfileFile &file, const QByteArray &section, const QByteArray &key,
               const QByteArray &asRead)
{
    return asRead == MissingEntryKey && file.readString(section, key, ApplyDefault) == ApplyDefault;
}

} // namespace

CatalogueReader::CatalogueReader(QByteArray programFolder)
    : programFolder_(std::move(programFolder))
{
}

CatalogueResult CatalogueReader::walk(CatalogueVisitor &visitor) const
{
    const ProfileCache::WalkScope walkScope; // the visitor's lookups included
    const ProfileFile index(indexPath(programFolder_));
    const int pageCount = index.readInteger(GlobalPagesSection, CountKey, MissingCount);
    if (pageCount == MissingCount) {
        visitor.oldFormat();
        return {CatalogueResult::OldFormat, {}};
    }
    if (pageCount > MaxCount)
        return failed(tooLarge(index.path(), GlobalPagesSection, pageCount));

    const QString stopped = QStringLiteral("Построение вкладок прервано.");
    int totalSubTabs = 0;
    int totalEntries = 0;

    for (int p = 1; p <= pageCount; ++p) {
        CataloguePage page;
        page.number = p;
        page.fileName =
            index.readString(GlobalPagesSection, numberedKey(p, FileSuffix), DefaultPageFile);
        page.filePath = pageFilePath(programFolder_, page.fileName);
        const ProfileFile pageFile(page.filePath);
        if (index.readString(GlobalPagesSection, numberedKey(p, EnabledSuffix), "false") !=
            TrueText)
            continue;

        page.caption = index.readString(GlobalPagesSection, numberedKey(p), QByteArray());
        page.trade =
            index.readString(GlobalPagesSection, numberedKey(p, TradeSuffix), "false") == TrueText;
        page.table = index.readString(GlobalPagesSection, numberedKey(p, TableSuffix),
                                      MissingTable) != MissingTable;
        if (!visitor.beginPage(page))
            return failed(stopped);

        const int subTabCount = pageFile.readInteger(PagesSection, CountKey, MissingCount);
        if (subTabCount == MissingCount) {
            if (!visitor.pageFileError(page) || !visitor.endPage(page))
                return failed(stopped);
            continue;
        }
        if (subTabCount > MaxCount)
            return failed(tooLarge(page.filePath, PagesSection, subTabCount));
        if (subTabCount > 0 && totalSubTabs + subTabCount > MaxTotalSubTabs)
            return failed(QStringLiteral("В каталоге больше %1 вкладок.").arg(MaxTotalSubTabs));
        totalSubTabs += qMax(subTabCount, 0);

        for (int j = 1; j <= subTabCount; ++j) {
            CatalogueSubTab subTab;
            subTab.page = p;
            subTab.number = j;
            subTab.caption = pageFile.readString(PagesSection, numberedKey(j), QByteArray());
            const QByteArray &s = subTab.caption;
            const int entryCount = pageFile.readInteger(s, CountKey, 0);
            subTab.image = pageFile.readString(s, ImageKey, QByteArray());
            if (entryCount > MaxCount)
                return failed(tooLarge(page.filePath, s, entryCount));
            if (entryCount > 0 && totalEntries + entryCount > MaxTotalEntries)
                return failed(
                    QStringLiteral("В каталоге больше %1 параметров.").arg(MaxTotalEntries));
            subTab.entryCount = qMax(entryCount, 0);
            totalEntries += subTab.entryCount;
            if (!visitor.beginSubTab(subTab))
                return failed(stopped);

            for (int k = 1; k <= subTab.entryCount; ++k) {
                CatalogueEntry entry;
                entry.page = p;
                entry.subTab = j;
                entry.number = k;
                entry.subTabCaption = s;
                entry.trade = page.trade;
                entry.caption =
                    pageFile.readString(s, numberedKey(k, CaptionSuffix), MissingEntryKey);
                const QByteArray fileKey = numberedKey(k, EntryFileSuffix);
                const QByteArray sectionKey = numberedKey(k, SectionSuffix);
                const QByteArray paramKey = numberedKey(k, ParamSuffix);
                entry.file = pageFile.readString(s, fileKey, MissingEntryKey);
                entry.section = pageFile.readString(s, sectionKey, MissingEntryKey);
                entry.param = pageFile.readString(s, paramKey, MissingEntryKey);
                entry.help = pageFile.readString(s, numberedKey(k, HelpSuffix), MissingEntryKey);
                const bool noSection = isMissing(pageFile, s, sectionKey, entry.section);
                const bool noParam = isMissing(pageFile, s, paramKey, entry.param);
                // The apply button keeps "1" for a missing section or key.
                entry.applySection = noSection ? QByteArray(ApplyDefault) : entry.section;
                entry.applyParam = noParam ? QByteArray(ApplyDefault) : entry.param;
                if (isMissing(pageFile, s, fileKey, entry.file))
                    entry.missingKeys << fileKey;
                if (noSection)
                    entry.missingKeys << sectionKey;
                if (noParam)
                    entry.missingKeys << paramKey;
                if (!entry.trade)
                    entry.hasFull = pageFile.readString(s, numberedKey(k, FullSuffix),
                                                        MissingFull) != MissingFull;
                if (!visitor.entry(entry))
                    return failed(stopped);
            }
        }
        if (!visitor.endPage(page))
            return failed(stopped);
    }
    return {CatalogueResult::Completed, {}};
}
