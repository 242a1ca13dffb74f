// The example catalogue and game folder that ship with the program: they walk without a fault,
// every entry's file exists, and the files are what Windows-made catalogues look like.

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "catalogue/CatalogueReader.h"
#include "catalogue/CatalogueVisitor.h"
#include "gamefiles/ParameterLookup.h"
#include "gamefiles/ValueDivision.h"
#include "profile/DiskPath.h"
#include "support/TempDir.h"
#include "textcodec/Cp1251.h"

namespace {

const QByteArray programFolder = cp1251::encode(QStringLiteral(BRANVIK_EXAMPLES "/"));
const QByteArray gamedataFolder = programFolder + "gamedata/";

class Collector : public CatalogueVisitor
{
public:
    bool beginPage(const CataloguePage &page) override
    {
        pages << page.number;
        trade += page.trade;
        table += page.table;
        return true;
    }
    bool pageFileError(const CataloguePage &) override
    {
        ++pageFileErrors;
        return true;
    }
    bool beginSubTab(const CatalogueSubTab &subTab) override
    {
        if (!subTab.image.isEmpty())
            images << subTab.image;
        ++subTabs;
        return true;
    }
    bool entry(const CatalogueEntry &e) override
    {
        entries << e;
        return true;
    }

    QList<int> pages;
    int trade = 0;
    int table = 0;
    int pageFileErrors = 0;
    int subTabs = 0;
    QList<QByteArray> images;
    QList<CatalogueEntry> entries;
};

} // namespace

TEST(ExampleCatalogue, WalksWithoutFaultAndEveryEntryFindsItsFile)
{
    Collector c;
    const CatalogueResult result = CatalogueReader(programFolder).walk(c);
    ASSERT_EQ(result.status, CatalogueResult::Completed) << result.reason.toStdString();
    EXPECT_EQ(c.pages, (QList<int>{1, 2, 3, 5, 6})); // page 4 is switched off
    EXPECT_EQ(c.pageFileErrors, 0);
    EXPECT_EQ(c.trade, 1);
    EXPECT_EQ(c.table, 3);
    EXPECT_GE(c.entries.size(), 25);

    int absent = 0, full = 0, differentCase = 0, inherited = 0, lists = 0;
    GameValues values(gamedataFolder, true);
    for (const CatalogueEntry &e : c.entries) {
        const QString where = cp1251::toUnicode(e.file + " [" + e.section + "] " + e.param);
        const QByteArray path = ParameterLookup::gameFilePath(gamedataFolder, e.file);
        EXPECT_TRUE(QFileInfo(resolveDiskPath(path)).isFile()) << where.toStdString();
        EXPECT_NE(e.caption, "123456") << where.toStdString();
        EXPECT_NE(e.help, "123456") << where.toStdString();
        EXPECT_TRUE(e.writable()) << where.toStdString();
        const GameValues::Value effective = values.valueOf(e.file, e.section, e.param);
        inherited += effective.inherited;
        absent += !effective.present();
        lists += ValueDivision::divide(effective.value.value_or("")).valuePart.count(", ") == 3;
        full += e.hasFull;
        // Spelled otherwise on disk: found by the look-up that ignores letter case, on a file
        // system that tells case apart or not.
        const QString given = cp1251::toUnicode(path).replace('\\', '/');
        const QString onDisk = resolveDiskPath(path);
        differentCase += onDisk != given && onDisk.compare(given, Qt::CaseInsensitive) == 0;
    }
    // Some parameters are missing on purpose, to show how an absent one looks.
    EXPECT_GE(absent, 3);
    EXPECT_LE(absent, 8);
    // The arsenal page: keys inherited through parents and includes, lists of four numbers.
    EXPECT_GE(inherited, 6);
    EXPECT_GE(lists, 4);
    EXPECT_TRUE(values.takeProblems().isEmpty());
    EXPECT_GE(full, 2);
    EXPECT_GE(differentCase, 1);

    ASSERT_FALSE(c.images.isEmpty());
    for (const QByteArray &image : c.images)
        EXPECT_TRUE(QFileInfo(resolveDiskPath(programFolder + "Setting/Images/" + image)).isFile());
}

TEST(ExampleCatalogue, FilesAreWindows1251WithCrLfAndNoSettingsFile)
{
    EXPECT_FALSE(QFile::exists(QStringLiteral(BRANVIK_EXAMPLES "/Setting/Setting.ini")));
    int files = 0;
    QDirIterator it(QStringLiteral(BRANVIK_EXAMPLES), {"*.ini", "*.ltx"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QByteArray bytes = TempDir::read(path);
        ++files;
        EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF")) << path.toStdString();
        EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n")) << path.toStdString();
        EXPECT_TRUE(bytes.endsWith("\r\n")) << path.toStdString();
        // Russian text in Windows-1251 is never valid UTF-8.
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString decoded = utf8(bytes);
        EXPECT_TRUE(utf8.hasError()) << path.toStdString();
    }
    EXPECT_GE(files, 10);
}
