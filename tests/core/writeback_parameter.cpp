// Writing an applied parameter into its game file: the exact bytes that result, and the writes
// that are refused or fail without touching the file.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "gamefiles/ParameterWriter.h"
#include "support/TempDir.h"
#include "textcodec/Cp1251.h"

namespace {

QByteArray cp(const char *utf8)
{
    return cp1251::encode(QString::fromUtf8(utf8));
}

QByteArray dataFile(const char *name)
{
    return TempDir::read(QStringLiteral(BRANVIK_TEST_DATA "/writeback/") + QLatin1String(name));
}

QStringList listing(const QString &folder)
{
    QStringList names;
    const auto entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo &entry : entries) {
        names << entry.fileName();
        if (entry.isDir() && !entry.isSymLink()) {
            const QStringList inner = listing(entry.absoluteFilePath());
            for (const QString &name : inner)
                names << entry.fileName() + '/' + name;
        }
    }
    return names;
}

class WritebackParameter : public ::testing::Test
{
protected:
    WritebackParameter()
    {
        QDir().mkpath(dir.path("gamedata"));
        target.gamedataFolder = dir.bytePath("gamedata") + '/';
    }

    QString gameFile(const QString &relative) const { return dir.path("gamedata/" + relative); }

    TempDir dir;
    WriteTarget target;
};

} // namespace

TEST_F(WritebackParameter, EditedNumberKeepsCommentAndEveryOtherByte)
{
    dir.write("gamedata/config/creatures/actor.ltx", dataFile("actor.ltx"));
    ParameterWriter writer(target);

    QString error;
    ASSERT_TRUE(writer.writeParameter("config\\creatures\\actor.ltx", "actor",
                                      "camera_height_factor", cp(" 0.95 ; рост глаз"), &error))
        << error.toStdString();

    QByteArray expected = dataFile("actor.ltx");
    expected.replace(cp("camera_height_factor = 0.85 ; рост глаз\n"),
                     cp("camera_height_factor= 0.95 ; рост глаз\n"));
    EXPECT_EQ(TempDir::read(gameFile("config/creatures/actor.ltx")), expected);
}

TEST_F(WritebackParameter, CrlfFileKeepsItsLineEnds)
{
    dir.write("gamedata/config/weapons/weapons.ltx", dataFile("weapons.ltx"));
    ParameterWriter writer(target);

    ASSERT_TRUE(writer.writeParameter("config/weapons/weapons.ltx", "wpn_ak74", "cost", " 3500"));
    ASSERT_TRUE(
        writer.writeParameter("config/weapons/weapons.ltx", "wpn_pm", "cost", cp(" 450 ; цена")));

    const QByteArray expected = cp("[wpn_pm]\r\n"
                                   "cost= 450 ; цена\r\n"
                                   "ammo_class = ammo_9x18_fmj\r\n"
                                   "\r\n"
                                   "[wpn_ak74]\r\n"
                                   "cost= 3500\r\n");
    EXPECT_EQ(TempDir::read(gameFile("config/weapons/weapons.ltx")), expected);
}

TEST_F(WritebackParameter, NewKeyGoesIntoItsSectionAndNewSectionAtTheEnd)
{
    dir.write("gamedata/actor.ltx", dataFile("actor.ltx"));
    ParameterWriter writer(target);

    ASSERT_TRUE(writer.writeParameter("actor.ltx", "actor", "walk_accel", " 16.5"));
    QByteArray expected = dataFile("actor.ltx");
    expected.replace("health            = 1.0\n", "health            = 1.0\nwalk_accel= 16.5\n");
    EXPECT_EQ(TempDir::read(gameFile("actor.ltx")), expected);

    ASSERT_TRUE(writer.writeParameter("actor.ltx", "actor_immunities", "burn", " 0.5"));
    expected += "[actor_immunities]\nburn= 0.5\n";
    EXPECT_EQ(TempDir::read(gameFile("actor.ltx")), expected);
}

TEST_F(WritebackParameter, MissingFileIsCreatedWithTheOneSectionAndKey)
{
    QDir().mkpath(gameFile("config"));
    ParameterWriter writer(target);

    ASSERT_TRUE(writer.writeParameter("config\\new.ltx", "actor", "camera_height_factor", " 0.9"));
    // New files get the line ends that the game's own files use.
    EXPECT_EQ(TempDir::read(gameFile("config/new.ltx")),
              QByteArray("[actor]\r\ncamera_height_factor= 0.9\r\n"));
    // The file was absent, and its backup says so: empty, and left so by later writes.
    ASSERT_TRUE(QFileInfo::exists(gameFile("config/new.ltx.bak")));
    EXPECT_EQ(TempDir::read(gameFile("config/new.ltx.bak")), QByteArray());
    ASSERT_TRUE(writer.writeParameter("config\\new.ltx", "actor", "camera_height_factor", " 1"));
    EXPECT_EQ(TempDir::read(gameFile("config/new.ltx.bak")), QByteArray());
}

TEST_F(WritebackParameter, EmptyPendingTextIsOneBlankAfterTheEqualsSign)
{
    dir.write("gamedata/a.ltx", "[s]\nk = 5 ; five\n");
    ParameterWriter writer(target);
    ASSERT_TRUE(writer.writeParameter("a.ltx", "s", "k", " "));
    EXPECT_EQ(TempDir::read(gameFile("a.ltx")), QByteArray("[s]\nk= \n"));
}

TEST_F(WritebackParameter, CatalogueLetterCaseFindsTheFileOnDisk)
{
    dir.write("gamedata/config/creatures/actor.ltx", dataFile("actor.ltx"));
    ParameterWriter writer(target);

    ASSERT_TRUE(writer.writeParameter("Config\\Creatures\\Actor.ltx", "actor", "health", " 2.0"));
    QByteArray expected = dataFile("actor.ltx");
    expected.replace("health            = 1.0\n", "health= 2.0\n");
    EXPECT_EQ(TempDir::read(gameFile("config/creatures/actor.ltx")), expected);
    // The backup sits beside the file as it is spelled on disk.
    EXPECT_EQ(listing(dir.path("gamedata/config/creatures")),
              QStringList({"actor.ltx", "actor.ltx.bak"}));
    EXPECT_EQ(TempDir::read(gameFile("config/creatures/actor.ltx.bak")), dataFile("actor.ltx"));
}

TEST_F(WritebackParameter, PathsLeavingTheGamedataFolderAreRefusedWithoutSideEffects)
{
    dir.write("gamedata/config/actor.ltx", dataFile("actor.ltx"));
    dir.write("outside.ltx", "[actor]\nhealth = 1\n");
    target.duplication = true;
    QDir().mkpath(dir.path("dup"));
    target.duplicationFolder = dir.bytePath("dup") + '/';
    const QStringList before = listing(dir.path());
    ParameterWriter writer(target);

    const QByteArray outside = dir.bytePath("outside.ltx");
    const QList<QByteArray> paths = {
        "..\\outside.ltx",
        "../outside.ltx",
        "config\\..\\..\\outside.ltx",
        "config/../../outside.ltx",
        outside,
        "C:\\outside.ltx",
        "c:outside.ltx",
    };
    for (const QByteArray &relative : paths) {
        QString error;
        EXPECT_FALSE(writer.writeParameter(relative, "actor", "health", " 9", &error))
            << relative.constData();
        EXPECT_FALSE(error.isEmpty()) << relative.constData();
        EXPECT_FALSE(writer.writeTrade(relative, "actor", "health", true, " 9"))
            << relative.constData();
        EXPECT_FALSE(writer.writeTrade(relative, "actor", "health", false, " 9"))
            << relative.constData();
    }
    EXPECT_EQ(listing(dir.path()), before);
    EXPECT_EQ(TempDir::read(dir.path("outside.ltx")), QByteArray("[actor]\nhealth = 1\n"));

    // Steps that come back inside are fine.
    EXPECT_TRUE(writer.writeParameter("config\\..\\config\\actor.ltx", "actor", "health", " 3"));
}

TEST_F(WritebackParameter, LineBreakInTheValueIsRefusedWithoutSideEffects)
{
    dir.write("gamedata/actor.ltx", dataFile("actor.ltx"));
    target.duplication = true;
    QDir().mkpath(dir.path("dup"));
    target.duplicationFolder = dir.bytePath("dup") + '/';
    const QStringList before = listing(dir.path());
    ParameterWriter writer(target);

    for (const QByteArray &value : {QByteArray(" 1\n[evil]"), QByteArray(" 1\r\nx=2"),
                                    QByteArray(" 1\r"), QByteArray("\n")}) {
        QString error;
        EXPECT_FALSE(writer.writeParameter("actor.ltx", "actor", "health", value, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(writer.writeTrade("actor.ltx", "actor", "health", true, value));
    }
    EXPECT_FALSE(writer.writeParameter("actor.ltx", "actor\n", "health", " 1"));
    EXPECT_FALSE(writer.writeParameter("actor.ltx", "actor", "hea\rlth", " 1"));
    EXPECT_EQ(listing(dir.path()), before);
    EXPECT_EQ(TempDir::read(gameFile("actor.ltx")), dataFile("actor.ltx"));
}

TEST_F(WritebackParameter, ReadOnlyGameFileFailsAndStaysAsItWas)
{
    const QString path = dir.write("gamedata/actor.ltx", dataFile("actor.ltx"));
    ASSERT_TRUE(
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    target.duplication = true;
    QDir().mkpath(dir.path("dup"));
    target.duplicationFolder = dir.bytePath("dup") + '/';
    ParameterWriter writer(target);

    QString error;
    EXPECT_FALSE(writer.writeParameter("actor.ltx", "actor", "health", " 2", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(TempDir::read(path), dataFile("actor.ltx"));
    EXPECT_EQ(QFileInfo(path).permissions() &
                  (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther),
              QFile::Permissions());
    // Refused before the backup step: no backup, and no duplication.
    EXPECT_EQ(listing(dir.path("dup")), QStringList());
    EXPECT_EQ(listing(dir.path("gamedata")), QStringList({"actor.ltx"}));
}

TEST_F(WritebackParameter, MissingGameFolderFailsAndCreatesNothing)
{
    ParameterWriter writer(target);
    QString error;
    EXPECT_FALSE(
        writer.writeParameter("config\\creatures\\actor.ltx", "actor", "health", " 2", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(listing(dir.path()), QStringList({"gamedata"}));

    ParameterWriter nowhere(WriteTarget{dir.bytePath("no-such-gamedata") + '/', false, {}});
    EXPECT_FALSE(nowhere.writeParameter("actor.ltx", "actor", "health", " 2"));
    EXPECT_EQ(listing(dir.path()), QStringList({"gamedata"}));

    // No gamedata folder at all: nothing lands in the working folder.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ParameterWriter unset(WriteTarget{});
    const WriteResult written = unset.writeParameter("actor.ltx", "actor", "health", " 2");
    const WriteResult traded = unset.writeTrade("actor.ltx", "actor", "health", true, " 2");
    QDir::setCurrent(previous);
    EXPECT_FALSE(written);
    EXPECT_FALSE(traded);
    EXPECT_EQ(listing(dir.path()), QStringList({"gamedata"}));
}
