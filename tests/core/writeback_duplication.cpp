// Duplication: every applied key repeated into a same-named file in the duplication folder,
// with the file table recording where each duplicated file belongs.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "gamefiles/ParameterWriter.h"
#include "support/TempDir.h"
#include "support/TestSystem.h"
#include "textcodec/Cp1251.h"

namespace {

QByteArray cp(const char *utf8)
{
    return cp1251::encode(QString::fromUtf8(utf8));
}

QStringList names(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

class WritebackDuplication : public ::testing::Test
{
protected:
    WritebackDuplication()
    {
        dir.write("gamedata/config/creatures/actor.ltx",
                  "[actor]\ncamera_height_factor = 0.85 ; eyes\nhealth = 1.0\n"
                  "[actor_immunities]\nburn = 0.1\n");
        dir.write("gamedata/config/other/actor.ltx", "[stalker]\nhealth = 2.0\n");
        QDir().mkpath(dir.path("dup"));
        target.gamedataFolder = dir.bytePath("gamedata") + '/';
        target.duplication = true;
        target.duplicationFolder = dir.bytePath("dup") + '/';
    }

    QByteArray dup(const QString &name) const { return TempDir::read(dir.path("dup/" + name)); }

    TempDir dir;
    WriteTarget target;
};

} // namespace

TEST_F(WritebackDuplication, AppliedKeysAndTheFileTable)
{
    ParameterWriter writer(target);
    ASSERT_TRUE(writer.writeParameter("config\\creatures\\actor.ltx", "actor",
                                      "camera_height_factor", " 0.95 ; eyes"));
    ASSERT_TRUE(
        writer.writeParameter("config\\creatures\\actor.ltx", "actor_immunities", "burn", " 0.2"));

    EXPECT_EQ(names(dir.path("dup")), QStringList({"!FileTable!.table", "actor.ltx"}));
    // The duplicate holds exactly the applied keys, never a copy of the game file.
    EXPECT_EQ(dup("actor.ltx"), QByteArray("[actor]\r\ncamera_height_factor= 0.95 ; eyes\r\n"
                                           "[actor_immunities]\r\nburn= 0.2\r\n"));
    // The table value is the catalogue's text, separators and case as written there.
    EXPECT_EQ(dup("!FileTable!.table"),
              QByteArray("[table]\r\nactor.ltx=config\\creatures\\actor.ltx\r\n"));

    // Applying again rewrites the same lines.
    ASSERT_TRUE(
        writer.writeParameter("config\\creatures\\actor.ltx", "actor_immunities", "burn", " 0.3"));
    EXPECT_EQ(dup("actor.ltx"), QByteArray("[actor]\r\ncamera_height_factor= 0.95 ; eyes\r\n"
                                           "[actor_immunities]\r\nburn= 0.3\r\n"));
    EXPECT_EQ(dup("!FileTable!.table"),
              QByteArray("[table]\r\nactor.ltx=config\\creatures\\actor.ltx\r\n"));
}

TEST_F(WritebackDuplication, SameBareNameSharesOneDuplicateAndTheLatestPathWins)
{
    dir.write("gamedata/config/weapons/w_pm.ltx", "[wpn_pm]\ncost = 400\n");
    ParameterWriter writer(target);
    ASSERT_TRUE(writer.writeParameter("config\\creatures\\actor.ltx", "actor", "health", " 1.5"));
    ASSERT_TRUE(writer.writeParameter("config/weapons/w_pm.ltx", "wpn_pm", "cost", " 450"));
    ASSERT_TRUE(writer.writeParameter("config\\other\\actor.ltx", "stalker", "health", " 2.5"));

    EXPECT_EQ(names(dir.path("dup")), QStringList({"!FileTable!.table", "actor.ltx", "w_pm.ltx"}));
    EXPECT_EQ(dup("actor.ltx"),
              QByteArray("[actor]\r\nhealth= 1.5\r\n[stalker]\r\nhealth= 2.5\r\n"));
    EXPECT_EQ(dup("w_pm.ltx"), QByteArray("[wpn_pm]\r\ncost= 450\r\n"));
    EXPECT_EQ(dup("!FileTable!.table"),
              QByteArray("[table]\r\nactor.ltx=config\\other\\actor.ltx\r\n"
                         "w_pm.ltx=config/weapons/w_pm.ltx\r\n"));
}

TEST_F(WritebackDuplication, ExistingDuplicateKeepsItsOtherKeys)
{
    dir.write("dup/actor.ltx", cp("; мой дубликат\r\n[actor]\r\nrun_coef= 3\r\n"));
    dir.write("dup/!FileTable!.table", "[table]\r\nw_pm.ltx=config\\weapons\\w_pm.ltx\r\n");
    ParameterWriter writer(target);
    ASSERT_TRUE(writer.writeParameter("config\\creatures\\actor.ltx", "actor", "health", " 1.5"));
    EXPECT_EQ(dup("actor.ltx"), cp("; мой дубликат\r\n[actor]\r\nrun_coef= 3\r\nhealth= 1.5\r\n"));
    EXPECT_EQ(dup("!FileTable!.table"), QByteArray("[table]\r\nw_pm.ltx=config\\weapons\\w_pm.ltx"
                                                   "\r\nactor.ltx=config\\creatures\\actor.ltx"
                                                   "\r\n"));
}

TEST_F(WritebackDuplication, OffNeverTouchesTheDuplicationFolder)
{
    dir.write("dup/actor.ltx", "[actor]\nhealth= 9\n");
    target.duplication = false;
    ParameterWriter writer(target);
    ASSERT_TRUE(writer.writeParameter("config\\creatures\\actor.ltx", "actor", "health", " 1.5"));
    EXPECT_EQ(names(dir.path("dup")), QStringList({"actor.ltx"}));
    EXPECT_EQ(dup("actor.ltx"), QByteArray("[actor]\nhealth= 9\n"));

    // Not even a folder that does not exist is created.
    target.duplicationFolder = dir.bytePath("never") + '/';
    ASSERT_TRUE(ParameterWriter(target).writeParameter("config\\creatures\\actor.ltx", "actor",
                                                       "health", " 1.6"));
    EXPECT_FALSE(QFileInfo::exists(dir.path("never")));
}

TEST_F(WritebackDuplication, TradeWritesAreNeverDuplicated)
{
    ParameterWriter writer(target);
    ASSERT_TRUE(writer.writeTrade("config\\creatures\\actor.ltx", "actor", "health", true, " 3"));
    ASSERT_TRUE(writer.writeTrade("config\\creatures\\actor.ltx", "actor", "health", false, {}));
    EXPECT_EQ(names(dir.path("dup")), QStringList());
}

TEST_F(WritebackDuplication, EmptyFolderIsAFailedDuplicationAfterTheGameWrite)
{
    // Bare names must not land in the working folder.
    TempDir working;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(working.path()));
    target.duplicationFolder.clear();
    QString error;
    const WriteResult written = ParameterWriter(target).writeParameter(
        "config\\creatures\\actor.ltx", "actor", "health", " 1.5", &error);
    QDir::setCurrent(previous);

    EXPECT_FALSE(written);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(names(working.path()), QStringList());
    EXPECT_EQ(TempDir::read(dir.path("gamedata/config/creatures/actor.ltx")),
              QByteArray("[actor]\ncamera_height_factor = 0.85 ; eyes\nhealth= 1.5\n"
                         "[actor_immunities]\nburn = 0.1\n"));
}

TEST_F(WritebackDuplication, UnwritableFolderIsAFailedWrite)
{
    ASSERT_EQ(testsys::setFolderWritable(dir.path("dup"), false), QString());
    QString error;
    const WriteResult written = ParameterWriter(target).writeParameter(
        "config\\creatures\\actor.ltx", "actor", "health", " 1.5", &error);
    const QStringList inDup = names(dir.path("dup"));
    testsys::setFolderWritable(dir.path("dup"), true);

    EXPECT_FALSE(written);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(inDup, QStringList());
    // The game file was written before the duplication failed.
    EXPECT_EQ(TempDir::read(dir.path("gamedata/config/creatures/actor.ltx")),
              QByteArray("[actor]\ncamera_height_factor = 0.85 ; eyes\nhealth= 1.5\n"
                         "[actor_immunities]\nburn = 0.1\n"));

    // A missing folder, and a read-only file table after a written duplicate.
    target.duplicationFolder = dir.bytePath("missing") + '/';
    EXPECT_FALSE(ParameterWriter(target).writeParameter("config\\creatures\\actor.ltx", "actor",
                                                        "health", " 1.6"));
    EXPECT_FALSE(QFileInfo::exists(dir.path("missing")));

    target.duplicationFolder = dir.bytePath("dup") + '/';
    const QString table = dir.write("dup/!FileTable!.table", "[table]\n");
    ASSERT_TRUE(QFile::setPermissions(table, QFile::ReadOwner | QFile::ReadGroup));
    EXPECT_FALSE(ParameterWriter(target).writeParameter("config\\creatures\\actor.ltx", "actor",
                                                        "health", " 1.7"));
    EXPECT_EQ(dup("!FileTable!.table"), QByteArray("[table]\n"));
    EXPECT_EQ(dup("actor.ltx"), QByteArray("[actor]\r\nhealth= 1.7\r\n"));
}

TEST_F(WritebackDuplication, FolderWithoutFinalSeparatorStillHoldsTheFiles)
{
    target.duplicationFolder = dir.bytePath("dup");
    ASSERT_TRUE(ParameterWriter(target).writeParameter("config\\creatures\\actor.ltx", "actor",
                                                       "health", " 1.5"));
    EXPECT_EQ(names(dir.path("dup")), QStringList({"!FileTable!.table", "actor.ltx"}));
    EXPECT_EQ(names(dir.path()), QStringList({"dup", "gamedata"}));
}
