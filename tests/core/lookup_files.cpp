// Looking up a parameter in its game file: present, empty and missing keys, missing files, and
// the paths that catalogues made on Windows hold.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <optional>

#include "gamefiles/ParameterLookup.h"
#include "profile/ProfileCache.h"
#include "support/TempDir.h"
#include "support/TestSystem.h"
#include "textcodec/Cp1251.h"

using ParameterLookup::AbsentMarker;

namespace {

// The key's value as every reader of the program reads it (without parents), or the default.
QByteArray lookUp(const QByteArray &gamedata, const QByteArray &file, const QByteArray &section,
                  const QByteArray &key, const QByteArray &defaultValue)
{
    GameValues values(gamedata, false);
    return values.valueOf(file, section, key).value.value_or(defaultValue);
}

QByteArray cp(const char *utf8)
{
    return cp1251::encode(QString::fromUtf8(utf8));
}

QByteArray crlf(const char *utf8)
{
    QByteArray bytes = cp(utf8);
    bytes.replace("\n", "\r\n");
    return bytes;
}

class LookupTest : public ::testing::Test
{
protected:
    LookupTest()
    {
        dir.write("gamedata/config/creatures/actor.ltx",
                  crlf("; Главный герой\n"
                       "\n"
                       "[actor]:entity_base, inventory\n"
                       "camera_height_factor   = 0.85          ; высота глаз\n"
                       "visual = actors\\hero\\hero.ogf\n"
                       "empty_value =\n"
                       "; max_walk_weight = 60\n"
                       "quoted = \" 5\"\n"
                       "\n"
                       "[Актёр]\n"
                       "Скорость = 2,5\n"));
        QDir().mkpath(dir.path("gamedata/config/folder.ltx"));
    }

    QByteArray find(const QByteArray &file, const QByteArray &section, const QByteArray &key,
                    const QByteArray &defaultValue = AbsentMarker)
    {
        return lookUp(gamedata, file, section, key, defaultValue);
    }

    TempDir dir;
    QByteArray gamedata = dir.bytePath("gamedata") + '/';
};

} // namespace

TEST_F(LookupTest, PresentKeysReadWithTheirComment)
{
    const QByteArray file = "config\\creatures\\actor.ltx";
    EXPECT_EQ(find(file, "actor", "camera_height_factor"), "0.85          ; " + cp("высота глаз"));
    EXPECT_EQ(find(file, "actor", "visual"), "actors\\hero\\hero.ogf");
    EXPECT_EQ(find(file, "actor", "empty_value"), "");
    EXPECT_EQ(find(file, "actor", "quoted"), " 5");
    // Names match regardless of letter case, Cyrillic included.
    EXPECT_EQ(find(file, "ACTOR", "Camera_Height_Factor").left(4), "0.85");
    EXPECT_EQ(find(file, cp("аКТЁР"), cp("скорость")), "2,5");
}

TEST_F(LookupTest, MissingFileSectionOrKeyYieldsTheDefault)
{
    const QByteArray file = "config\\creatures\\actor.ltx";
    EXPECT_EQ(find(file, "actor", "max_walk_weight"), AbsentMarker); // only in a comment
    EXPECT_EQ(find(file, "entity_base", "visual"), AbsentMarker);    // parents are not searched
    EXPECT_EQ(find(file, "actor_condition", "health"), AbsentMarker);
    EXPECT_EQ(find("config\\creatures\\missing.ltx", "actor", "visual"), AbsentMarker);
    EXPECT_EQ(find("config\\folder.ltx", "actor", "visual"), AbsentMarker);
    EXPECT_EQ(find("123456", "123456", "123456"), AbsentMarker); // an entry without keys
    EXPECT_EQ(find(file, "actor", "missing", "ERROR!"), "ERROR!");
}

TEST_F(LookupTest, CataloguePathsFromWindowsFindTheFile)
{
    EXPECT_EQ(find("Config\\Creatures\\ACTOR.LTX", "actor", "visual"), "actors\\hero\\hero.ogf");
    EXPECT_EQ(find("config/creatures/actor.ltx", "actor", "visual"), "actors\\hero\\hero.ogf");

    // A gamedata folder with Cyrillic letters, held as Windows-1251 text.
    dir.write(QString::fromUtf8("Игра/gamedata/system.ltx"), crlf("[game]\ndifficulty = 1\n"));
    const QByteArray cyrillic = dir.bytePath(QString::fromUtf8("Игра/gamedata")) + '/';
    EXPECT_EQ(lookUp(cyrillic, "System.ltx", "game", "difficulty", AbsentMarker), "1");
}

TEST_F(LookupTest, FolderAndFileAreJoinedAsTheyAre)
{
    EXPECT_EQ(ParameterLookup::gameFilePath("/g/gamedata/", "config\\a.ltx"),
              "/g/gamedata/config\\a.ltx");
    // A gamedata folder kept without its separator: no separator is added.
    dir.write("gamedataconfig/a.ltx", "[s]\r\nk = v\r\n");
    EXPECT_EQ(lookUp(dir.bytePath("gamedata"), "config\\a.ltx", "s", "k", AbsentMarker), "v");
}

// Long values are divided whole (no longer cut at 2,047 bytes), so the comment part written back
// behind the row's text keeps the whole rest of the line.
TEST_F(LookupTest, LongValuesAreDividedWhole)
{
    dir.write("gamedata/long.ltx", "[s]\r\nk = 1" + QByteArray(100000, 'x') + "\r\n");
    const QByteArray value = find("long.ltx", "s", "k");
    EXPECT_EQ(value.size(), 100001);
    const ParameterLookup::RowValue row = ParameterLookup::rowValueFor(false, false, value);
    EXPECT_EQ(row.text, "1");
    EXPECT_EQ(row.commentPart, QByteArray(100000, 'x'));
}

TEST_F(LookupTest, PathsLeavingTheGamedataFolderYieldTheDefault)
{
    // Files beside and above the gamedata folder that hold the key all the same.
    dir.write("outside.ltx", "[actor]\r\nvisual = secret\r\n");
    dir.write("gamedataconfig/x.ltx", "[actor]\r\nvisual = glued\r\n");
    const QByteArray outside = dir.bytePath("outside.ltx");
    for (const QByteArray &file : {QByteArray("..\\outside.ltx"), QByteArray("../outside.ltx"),
                                   QByteArray("config\\..\\..\\outside.ltx"), outside,
                                   "/" + outside.mid(1), QByteArray("C:\\outside.ltx")}) {
        EXPECT_EQ(find(file, "actor", "visual"), AbsentMarker) << file.constData();
        EXPECT_EQ(find(file, "actor", "visual", "ERROR!"), "ERROR!") << file.constData();
    }
    // Without its separator the folder glues the first name; no step may climb above it.
    EXPECT_EQ(lookUp(dir.bytePath("gamedata"), "config\\x.ltx", "actor", "visual", AbsentMarker),
              "glued");
    EXPECT_EQ(lookUp(dir.bytePath("gamedata"), "config\\..\\outside.ltx", "actor", "visual",
                     AbsentMarker),
              AbsentMarker);
    // No gamedata folder: the working folder is not searched.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const QByteArray found = lookUp(QByteArray(), "outside.ltx", "actor", "visual", AbsentMarker);
    QDir::setCurrent(previous);
    EXPECT_EQ(found, AbsentMarker);
}

TEST_F(LookupTest, LinksLeadingOutOfTheGamedataFolderYieldTheDefault)
{
    dir.write("outside/secret.ltx", "[actor]\r\nvisual = secret\r\n");
    if (const QString why =
            testsys::makeSymlink(dir.path("outside/secret.ltx"), dir.path("gamedata/linked.ltx"));
        !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    testsys::makeSymlink(dir.path("outside"), dir.path("gamedata/config/linkeddir"));
    // Links that stay inside are fine.
    testsys::makeSymlink("creatures/actor.ltx", dir.path("gamedata/config/inside.ltx"));
    testsys::makeSymlink(dir.path("gamedata/config/creatures"), dir.path("gamedata/alias"));
    for (const bool inWalk : {false, true}) {
        std::optional<ProfileCache::WalkScope> walk;
        if (inWalk)
            walk.emplace();
        for (int twice = 0; twice < 2; ++twice) { // the second read in a walk is served from memory
            EXPECT_EQ(find("linked.ltx", "actor", "visual"), AbsentMarker) << inWalk;
            EXPECT_EQ(find("config\\linkeddir\\secret.ltx", "actor", "visual"), AbsentMarker)
                << inWalk;
            EXPECT_EQ(find("config\\inside.ltx", "actor", "visual"), "actors\\hero\\hero.ogf")
                << inWalk;
            EXPECT_EQ(find("alias\\actor.ltx", "actor", "visual"), "actors\\hero\\hero.ogf")
                << inWalk;
        }
    }
}
