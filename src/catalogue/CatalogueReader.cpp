#include "catalogue/CatalogueReader.h"

#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <utility>
#include <vector>

#include "catalogue/CatalogueFormat.h"
#include "catalogue/CatalogueMessages.h"
#include "catalogue/CatalogueVisitor.h"
#include "catalogue/PageFile.h"
#include "profile/DiskPath.h"
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
    return CatalogueCount::tooLarge(path, section, count, CatalogueReader::MaxCount);
}

// Why a file's count could not be read: "path: [section] Kol-vo - reason".
QString whyNoCount(const QByteArray &path, const QByteArray &section, const CatalogueCount &count)
{
    const QString where = resolveDiskPath(path) + QStringLiteral(": ");
    if (count.state != CatalogueCount::State::Missing)
        return where + count.describe(section) + '.';
    const QFileInfo info(resolveDiskPath(path));
    const QString key = QStringLiteral("[%1] Kol-vo - ").arg(cp1251::toUnicode(section));
    if (!info.exists())
        return where + key + QStringLiteral("нет файла.");
    if (!info.isFile())
        return where + key + QStringLiteral("не файл (папка или особый файл).");
    return where + key + QStringLiteral("нет ключа.");
}

QString pageName(const CataloguePage &page)
{
    return QStringLiteral("%1 \"%2\" (%3.ini)")
        .arg(page.number)
        .arg(cp1251::toUnicode(page.caption), cp1251::toUnicode(page.fileName));
}

// Texts that many entries repeat (game files, sections, keys, help texts) are held once.
class SharedTexts
{
public:
    QByteArray operator()(const QByteArray &text)
    {
        const auto it = texts_.constFind(text);
        return it != texts_.constEnd() ? *it : *texts_.insert(text);
    }

private:
    QSet<QByteArray> texts_;
};

// What the walk keeps from entry to entry: the key names of entry k, made once for every
// sub-tab, and the texts held once.
struct EntryReading
{
    std::vector<EntryKeyNames> names; // of entry k at k - 1
    SharedTexts shared;

    const EntryKeyNames &namesOf(int k)
    {
        while (names.size() < std::size_t(k))
            names.emplace_back(int(names.size()) + 1);
        return names[std::size_t(k) - 1];
    }
};

CatalogueEntry readEntry(const PageFile &pageFile, const CataloguePage &page,
                         const CatalogueSubTab &subTab, int k, EntryReading &reading)
{
    CatalogueEntry entry;
    entry.page = page.number;
    entry.subTab = subTab.number;
    entry.number = k;
    entry.subTabCaption = subTab.caption;
    entry.trade = page.trade;
    const PageFileEntry keys = pageFile.entry(subTab.caption, reading.namesOf(k));
    SharedTexts &shared = reading.shared;
    entry.caption = keys.caption.value_or(MissingEntryKey);
    entry.file = shared(keys.file.value_or(MissingEntryKey));
    entry.section = shared(keys.section.value_or(MissingEntryKey));
    entry.param = shared(keys.param.value_or(MissingEntryKey));
    entry.help = shared(keys.help.value_or(MissingEntryKey));
    // The apply button keeps "1" for a missing section or key.
    entry.applySection = keys.section ? entry.section : QByteArray(ApplyDefault);
    entry.applyParam = keys.param ? entry.param : QByteArray(ApplyDefault);
    if (!keys.file)
        entry.missingKeys << numberedKey(k, EntryFileSuffix);
    if (!keys.section)
        entry.missingKeys << numberedKey(k, SectionSuffix);
    if (!keys.param)
        entry.missingKeys << numberedKey(k, ParamSuffix);
    if (!entry.trade)
        entry.hasFull = keys.full;
    return entry;
}

} // namespace

// The messages of the walk about single pages and sub-tabs. A catalogue with thousands of faulty
// pages would otherwise show thousands of messages in a row: the first few are shown, the rest
// are counted and named in one message at the end of the walk.
class CatalogueReader::Notices
{
public:
    explicit Notices(CatalogueVisitor &visitor) : visitor_(visitor) {}
    Notices(const Notices &) = delete;
    Notices &operator=(const Notices &) = delete;

    // name: where the fault is, for the closing list.
    void fault(const QString &text, const QString &name)
    {
        if (++faults_ <= CatalogueReader::ShownFaults) {
            visitor_.notice(MessageKind::Error, text);
            return;
        }
        if (names_.size() < CatalogueReader::NamedFaults)
            names_.append(name);
    }

    void finish()
    {
        const int rest = faults_ - CatalogueReader::ShownFaults;
        if (rest <= 0)
            return;
        QString text =
            QStringLiteral("Ещё ошибок в файлах настроек: %1. Первые из них:\n").arg(rest);
        text += names_.join(QLatin1Char('\n'));
        if (rest > names_.size())
            text += QStringLiteral("\n...");
        visitor_.notice(MessageKind::Error, text);
    }

private:
    CatalogueVisitor &visitor_;
    int faults_ = 0;
    QStringList names_;
};

CatalogueReader::CatalogueReader(QByteArray programFolder)
    : programFolder_(std::move(programFolder))
{
}

CatalogueResult CatalogueReader::walk(CatalogueVisitor &visitor) const
{
    const ProfileCache::WalkScope walkScope; // the visitor's lookups included
    Notices notices(visitor);
    const CatalogueResult result = walkPages(visitor, notices);
    notices.finish();
    return result;
}

CatalogueResult CatalogueReader::walkPages(CatalogueVisitor &visitor, Notices &notices) const
{
    const ProfileFile index(indexPath(programFolder_));
    const CatalogueCount pages = PageFile::read(index.path()).count(GlobalPagesSection);
    if (!pages.isNumber()) {
        // Without a page count there is nothing to build: the old format, or a count that is
        // not one. The second line says which.
        visitor.notice(MessageKind::Always,
                       CatalogueMessages::OldFormat + QLatin1Char('\n') +
                           whyNoCount(index.path(), GlobalPagesSection, pages));
        visitor.oldFormat();
        return {CatalogueResult::OldFormat, {}};
    }
    const int pageCount = pages.value;
    if (pageCount < 0) {
        visitor.notice(MessageKind::Always, CatalogueMessages::NoPages + QLatin1Char('\n') +
                                                cp1251::toUnicode(index.path()) +
                                                QStringLiteral(": ") +
                                                pages.describe(GlobalPagesSection) + '.');
        return {CatalogueResult::Completed, {}};
    }
    if (pageCount > MaxCount)
        return failed(tooLarge(index.path(), GlobalPagesSection, pageCount));

    const QString stopped = QStringLiteral("Построение вкладок прервано.");
    int totalSubTabs = 0;
    int totalEntries = 0;

    const auto enabled = [&](int p) {
        return index.readString(GlobalPagesSection, numberedKey(p, EnabledSuffix), "false") ==
               TrueText;
    };
    int built = 0;
    EntryReading reading;
    for (int p = 1; p <= pageCount; ++p) {
        if (!enabled(p))
            continue;
        if (built == MaxEnabledPages) {
            int count = built;
            for (int q = p; q <= pageCount; ++q)
                count += enabled(q) ? 1 : 0;
            visitor.notice(MessageKind::Always,
                           CatalogueMessages::tooManyPages(MaxEnabledPages, count));
            break;
        }
        ++built;
        CataloguePage page;
        page.number = p;
        const PageFileRef ref = CataloguePages::pageFile(programFolder_, index, p, DefaultPageFile);
        page.fileName = ref.name;
        page.filePath = ref.path;
        page.caption = index.readString(GlobalPagesSection, numberedKey(p), QByteArray());
        page.trade =
            index.readString(GlobalPagesSection, numberedKey(p, TradeSuffix), "false") == TrueText;
        page.table = index.readString(GlobalPagesSection, numberedKey(p, TableSuffix),
                                      MissingTable) != MissingTable;
        const PageFile pageFile = PageFile::read(page.filePath);
        const CatalogueCount subTabs = pageFile.subTabCount();
        if (ref.ok() && subTabs.isNumber()) {
            for (int j = 1; j <= qMin(subTabs.value, MaxSubTabsPerPage); ++j) {
                const CatalogueCount entries =
                    pageFile.count(pageFile.subTab(j).value_or(QByteArray()));
                if (entries.isNumber() && entries.value > 0)
                    page.entryCount += qMin(entries.value, MaxCount);
            }
            page.entryCount = qMin(page.entryCount, MaxTotalEntries - totalEntries);
        }
        if (!visitor.beginPage(page))
            return failed(stopped);

        if (!ref.ok() || !subTabs.isNumber()) {
            notices.fault(
                CatalogueMessages::PageFileError + QLatin1Char('\n') +
                    (ref.ok() ? whyNoCount(page.filePath, PagesSection, subTabs) : ref.refusal),
                pageName(page));
            if (!visitor.pageFileError(page) || !visitor.endPage(page))
                return failed(stopped);
            continue;
        }
        int subTabCount = subTabs.value;
        if (subTabCount < 0)
            notices.fault(cp1251::toUnicode(page.filePath) + QStringLiteral(": ") +
                              subTabs.describe(PagesSection) + QStringLiteral(": вкладок нет."),
                          pageName(page));
        if (subTabCount > MaxCount)
            return failed(tooLarge(page.filePath, PagesSection, subTabCount));
        if (subTabCount > MaxSubTabsPerPage) {
            visitor.notice(
                MessageKind::Always,
                CatalogueMessages::tooManySubTabs(pageName(page), MaxSubTabsPerPage, subTabCount));
            subTabCount = MaxSubTabsPerPage;
        }
        if (subTabCount > 0 && totalSubTabs + subTabCount > MaxTotalSubTabs)
            return failed(QStringLiteral("В каталоге больше %1 вкладок.").arg(MaxTotalSubTabs));
        totalSubTabs += qMax(subTabCount, 0);

        for (int j = 1; j <= subTabCount; ++j) {
            CatalogueSubTab subTab;
            subTab.page = p;
            subTab.number = j;
            subTab.caption = pageFile.subTab(j).value_or(QByteArray());
            const QByteArray &s = subTab.caption;
            const CatalogueCount entries = pageFile.count(s);
            subTab.image = pageFile.text(s, ImageKey).value_or(QByteArray());
            // A count that is no number or below 0 lists no entries, and says so.
            if (!entries.problem().isEmpty())
                notices.fault(cp1251::toUnicode(page.filePath) + QStringLiteral(": ") +
                                  entries.describe(s) + QStringLiteral(": параметров нет."),
                              QStringLiteral("%1 [%2]").arg(pageName(page), cp1251::toUnicode(s)));
            const int entryCount = entries.isNumber() ? entries.value : 0;
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
                if (!visitor.entry(readEntry(pageFile, page, subTab, k, reading)))
                    return failed(stopped);
            }
        }
        if (!visitor.endPage(page))
            return failed(stopped);
    }
    return {CatalogueResult::Completed, {}};
}
