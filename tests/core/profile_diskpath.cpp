// From catalogue paths (Windows-1251, either separator, any letter case) to files on disk.
#include "profile/DiskPath.h"
#include "support/TempDir.h"
#include "support/TestSystem.h"
#include "textcodec/Cp1251.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

QByteArray cp(const char16_t *text)
{
    return cp1251::encode(QString::fromUtf16(text));
}

} // namespace

TEST(ProfileDiskPath, ExistingComponentsTakeTheCaseOnDisk)
{
    TempDir dir;
    dir.write("Gamedata/Config/Weapons/w_pm.LTX", "");
    const QByteArray base = dir.bytePath();
    EXPECT_EQ(resolveDiskPath(base + "/Gamedata/Config/Weapons/w_pm.LTX"),
              dir.path("Gamedata/Config/Weapons/w_pm.LTX"));
    EXPECT_EQ(resolveDiskPath(base + "\\GAMEDATA\\config\\weapons\\W_PM.ltx"),
              dir.path("Gamedata/Config/Weapons/w_pm.LTX"));
    EXPECT_EQ(resolveDiskPath(base + "//gamedata/./config/"), dir.path("Gamedata/./Config/"));
}

TEST(ProfileDiskPath, MissingComponentsKeepTheCaseGiven)
{
    TempDir dir;
    dir.write("Gamedata/x", "");
    EXPECT_EQ(resolveDiskPath(dir.bytePath() + "\\gamedata\\NewDir\\New.ltx"),
              dir.path("Gamedata/NewDir/New.ltx"));
    EXPECT_EQ(resolveDiskPath(dir.bytePath() + "/GAMEDATA/X/below"), dir.path("Gamedata/x/below"));
}

TEST(ProfileDiskPath, CyrillicNamesAreUtf8OnDisk)
{
    TempDir dir;
    dir.write(QStringLiteral("Игра/Оружие/Пистолет.ltx"), "");
    EXPECT_EQ(resolveDiskPath(dir.bytePath() + cp(u"\\ИГРА\\оружие\\пИСТОЛЕТ.LTX")),
              dir.path(QStringLiteral("Игра/Оружие/Пистолет.ltx")));
    EXPECT_EQ(resolveDiskPath(dir.bytePath() + cp(u"/игра/Ёлка.ini")),
              dir.path(QStringLiteral("Игра/Ёлка.ini")));
}

TEST(ProfileDiskPath, ExactNameWinsAndSeveralMatchesPickTheFirstByName)
{
    TempDir dir;
    dir.write("data/File.ini", "");
    dir.write("data/FILE.ini", "");
    dir.write("data/file.INI", "");
    if (QDir(dir.path("data")).entryList(QDir::Files).size() < 3)
        GTEST_SKIP() << "the file system ignores letter case: one folder holds one of the names";
    EXPECT_EQ(resolveDiskPath(dir.bytePath("data/file.INI")), dir.path("data/file.INI"));
    EXPECT_EQ(resolveDiskPath(dir.bytePath("data/file.ini")), dir.path("data/FILE.ini"));
}

TEST(ProfileDiskPath, SymbolicLinksAreFollowedToTheirTarget)
{
    TempDir dir;
    dir.write("real/a.ini", "");
    if (const QString why = testsys::makeSymlink("real/a.ini", dir.path("rel.ini")); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    ASSERT_EQ(testsys::makeSymlink(dir.path("rel.ini"), dir.path("abs.ini")), QString());
    ASSERT_EQ(testsys::makeSymlink(dir.path("real/none.ini"), dir.path("dangling.ini")), QString());
    ASSERT_EQ(testsys::makeSymlink(dir.path("loop2"), dir.path("loop1")), QString());
    ASSERT_EQ(testsys::makeSymlink(dir.path("loop1"), dir.path("loop2")), QString());
    EXPECT_EQ(resolveSymlinks(dir.path("abs.ini")), dir.path("real/a.ini"));
    EXPECT_EQ(resolveSymlinks(dir.path("dangling.ini")), dir.path("real/none.ini"));
    EXPECT_EQ(resolveSymlinks(dir.path("real/a.ini")), dir.path("real/a.ini"));
    EXPECT_EQ(resolveSymlinks(dir.path("missing.ini")), dir.path("missing.ini"));
    resolveSymlinks(dir.path("loop1")); // ends
}
