#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include "settings/MessageLevel.h"

// What the catalogue walk reports, in catalogue order. Numbers count from 1; a page's number
// counts the switched-off pages before it, so it always equals its number in Pages.ini.

struct CataloguePage
{
    int number = 0;
    QByteArray caption;  // "<p>" of Global Pages
    QByteArray fileName; // "<p>_file", the page file's base name
    QByteArray filePath; // program folder + "Setting/" + fileName + ".ini"
    bool trade = false;  // "<p>_Trade" is exactly "true"
    bool table = false;  // "<p>_Tabl" is present
    int entryCount = 0;  // the entries its sub-tabs list, as their counts say (room to make)
};

struct CatalogueSubTab
{
    int page = 0;
    int number = 0;
    QByteArray caption; // also the page file's section that lists the entries
    QByteArray image;   // "Image", a file name under Setting/Images/; empty for none
    int entryCount = 0; // never negative
};

struct CatalogueEntry
{
    int page = 0;
    int subTab = 0;
    int number = 0;
    QByteArray subTabCaption;
    // Read with "123456" as the default, as the value lookup uses them.
    QByteArray caption;
    QByteArray file;
    QByteArray section;
    QByteArray param;
    QByteArray help;
    // Section and key as the apply button keeps them: "1" where the entry has none.
    QByteArray applySection;
    QByteArray applyParam;
    bool hasFull = false; // "<k>_FULL" present; read for ordinary rows only
    bool trade = false;
    // Of the keys an apply needs ("<k>_File", "<k>_Section", "<k>_Param"), those the page file
    // lacks, in that order, e.g. "3_File". Their values above are only the defaults.
    QByteArrayList missingKeys;

    // Whether an apply may write the entry: its file, section and key are all in the page file.
    // An entry beyond the ones a sub-tab lists would otherwise write its value into the file
    // "123456" under section "1" and key "1".
    bool writable() const { return missingKeys.isEmpty(); }
};

// Receives the walk. A handler that returns false stops the walk, which then ends as failed.
class CatalogueVisitor
{
public:
    virtual ~CatalogueVisitor() = default;

    // A message for the user about the catalogue (its text names the file, the key and the
    // reason; kind: the message levels that show it). The walk goes on unless it says so.
    virtual void notice(MessageKind kind, const QString &text)
    {
        (void)kind;
        (void)text;
    }
    // The index has no usable page count (or is no file); nothing else follows.
    virtual void oldFormat() {}
    // A switched-on page, before its page file's sub-tabs are read.
    virtual bool beginPage(const CataloguePage &page) = 0;
    // The page file has no usable sub-tab count (or does not exist, or its name is refused);
    // the page's own tab stays and endPage follows without sub-tabs.
    virtual bool pageFileError(const CataloguePage &page)
    {
        (void)page;
        return true;
    }
    virtual bool beginSubTab(const CatalogueSubTab &subTab) = 0;
    virtual bool entry(const CatalogueEntry &entry) = 0;
    virtual bool endPage(const CataloguePage &page)
    {
        (void)page;
        return true;
    }
};
