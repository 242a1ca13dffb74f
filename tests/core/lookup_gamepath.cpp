// Which catalogue paths stay inside the gamedata folder, and bare file names.

#include <gtest/gtest.h>

#include "gamefiles/GamePath.h"

TEST(GamePath, RelativePathsInsideTheFolderAreAccepted)
{
    const QByteArray folder = "/games/gamedata/";
    for (const char *file :
         {"config\\creatures\\actor.ltx", "config/weapons/w_pistol.ltx", "actor.ltx",
          "config\\..\\actor.ltx", "a/b/../../c.ltx", ".\\config\\.\\x.ltx", "config\\\\x.ltx",
          "...\\x.ltx", "..x\\y.ltx", "x..\\y", "config/", ""}) {
        EXPECT_TRUE(isInsideGamedata(folder, file)) << file;
        EXPECT_TRUE(isInsideGamedata("C:\\Games\\gamedata\\", file)) << file;
    }
}

TEST(GamePath, AbsolutePathsAndClimbingOutAreRefused)
{
    const QByteArray folder = "/games/gamedata/";
    for (const char *file :
         {"/etc/passwd", "\\config\\x.ltx", "C:\\Windows\\win.ini", "c:x.ltx", "z:/x", "..\\x.ltx",
          "../gamedata/x.ltx", "config\\..\\..\\x.ltx", "a/b/../../../x",
          // Out and back in is refused too: the text alone cannot tell where it lands.
          "config/../../gamedata/config/x.ltx", "..", "./../x"}) {
        EXPECT_FALSE(isInsideGamedata(folder, file)) << file;
    }
}

TEST(GamePath, FolderWithoutTrailingSeparatorGluesTheFirstName)
{
    // "/games/gd" + "config\x.ltx" is "/games/gdconfig/x.ltx", as the lookup forms it; steps
    // may not climb above the glued name, or they would reach every file beside the folder.
    const QByteArray folder = "/games/gd";
    EXPECT_TRUE(isInsideGamedata(folder, "config\\x.ltx"));
    EXPECT_TRUE(isInsideGamedata(folder, "x.ltx"));
    EXPECT_TRUE(isInsideGamedata(folder, "..\\x.ltx")); // the name "gd.."
    EXPECT_TRUE(isInsideGamedata(folder, "config\\a\\..\\x.ltx"));
    EXPECT_FALSE(isInsideGamedata(folder, "config\\..\\x.ltx"));
    EXPECT_FALSE(isInsideGamedata(folder, "\\x.ltx"));
    EXPECT_FALSE(isInsideGamedata(folder, "D:x.ltx"));
}

TEST(GamePath, BareFileNameIsThePartAfterTheLastSeparatorOrColon)
{
    EXPECT_EQ(bareFileName("config\\creatures\\actor.ltx"), "actor.ltx");
    EXPECT_EQ(bareFileName("/games/gamedata/config/w_pistol.ltx"), "w_pistol.ltx");
    EXPECT_EQ(bareFileName("a/b\\c.ltx"), "c.ltx");
    EXPECT_EQ(bareFileName("a\\b/c.ltx"), "c.ltx");
    EXPECT_EQ(bareFileName("C:actor.ltx"), "actor.ltx");
    EXPECT_EQ(bareFileName("actor.ltx"), "actor.ltx");
    EXPECT_EQ(bareFileName("config\\"), "");
    EXPECT_EQ(bareFileName(""), "");
}
