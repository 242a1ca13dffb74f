#pragma once

#include <QByteArray>
#include <QString>

class CatalogueVisitor;

struct CatalogueResult
{
    enum Status
    {
        Completed, // every page was read (pages with a faulty page file included)
        OldFormat, // the index has no page count; nothing was reported but oldFormat()
        Failed,    // the walk stopped; what was reported before stays valid
    };
    Status status = Completed;
    QString reason; // for Failed: what stopped the walk
};

// Walks the catalogue index and the page files of the switched-on pages in catalogue order,
// with the defaults for missing keys, and reports each page, sub-tab and entry to a visitor,
// with a message (CatalogueVisitor::notice) for each fault it meets. Pages.ini is read through
// one profile handle, each page file as one PageFile.
// The walk is one ProfileCache::WalkScope: each file, the game files the visitor looks up
// included, is checked for changes once per walk.
//
// Counts come from files that users edit by hand. A count beyond what a window could show,
// or a catalogue whose counts add up to more than that, fails the walk at once instead of
// letting a typo keep the program busy for hours.
class CatalogueReader
{
public:
    // programFolder: Windows-1251 path ending in "/"; the catalogue lives in its "Setting/".
    explicit CatalogueReader(QByteArray programFolder);

    CatalogueResult walk(CatalogueVisitor &visitor) const;

    static constexpr int MaxCount = 10000; // pages, sub-tabs or entries in one count
    // Sub-tabs and entries of all pages together. A row costs well under a kilobyte and its
    // value is read only when needed, so a million entries fit a desktop's memory.
    static constexpr int MaxTotalSubTabs = 100000;
    static constexpr int MaxTotalEntries = 1000000;
    // Pages switched on that are built; those beyond are skipped with one message. The window
    // lays out its whole tab strip for every page it adds, so the time grows with the square of
    // the pages: 1,000 build in about a second, 4,000 in most of a minute.
    static constexpr int MaxEnabledPages = 1000;
    // Sub-tabs built on one page: the page's tab strip lays itself out on every added tab, so
    // its cost grows with the square of the count; the sub-tabs beyond are skipped, with a message.
    static constexpr int MaxSubTabsPerPage = 1000;
    // Faults of single pages and sub-tabs shown one by one; the rest are counted in one closing
    // message, which names the first NamedFaults of them.
    static constexpr int ShownFaults = 3;
    static constexpr int NamedFaults = 10;

private:
    class Notices;
    CatalogueResult walkPages(CatalogueVisitor &visitor, Notices &notices) const;

    QByteArray programFolder_;
};
