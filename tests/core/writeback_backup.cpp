// The save of a copy and the one-time backup taken before the first write to a game file.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "changes/ChangeList.h"
#include "gamefiles/Backup.h"
#include "gamefiles/ParameterWriter.h"
#include "profile/DiskPath.h"
#include "profile/SafeFile.h"
#include "support/TempDir.h"
#include "support/TestSystem.h"
#include "textcodec/Cp1251.h"

namespace {

constexpr QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;

QByteArray allByteValues()
{
    QByteArray bytes;
    for (int round = 0; round < 300; ++round)
        for (int b = 0; b < 256; ++b)
            bytes += char(b);
    return bytes;
}

QStringList names(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

TEST(SaveCopy, CopiesEveryByteAndTruncatesALongerDestination)
{
    TempDir dir;
    const QByteArray content = allByteValues();
    dir.write("source.bin", content);
    dir.write("destination.bin", QByteArray(content.size() * 2, 'x'));

    EXPECT_TRUE(saveCopy(dir.path("source.bin"), dir.path("destination.bin")));
    EXPECT_EQ(TempDir::read(dir.path("destination.bin")), content);

    EXPECT_TRUE(saveCopy(dir.path("source.bin"), dir.path("new.bin")));
    EXPECT_EQ(TempDir::read(dir.path("new.bin")), content);
}

TEST(SaveCopy, AnUnopenableSourceChangesNothing)
{
    TempDir dir;
    dir.write("destination.bin", "old content");
    bool unreadable = false;
    EXPECT_FALSE(
        saveCopy(dir.path("missing.bin"), dir.path("destination.bin"), nullptr, &unreadable));
    EXPECT_TRUE(unreadable);
    EXPECT_EQ(TempDir::read(dir.path("destination.bin")), QByteArray("old content"));

    QDir().mkpath(dir.path("folder"));
    EXPECT_FALSE(saveCopy(dir.path("folder"), dir.path("from-folder.bin")));
    EXPECT_FALSE(QFileInfo::exists(dir.path("from-folder.bin")));
}

TEST(SaveCopy, LeavesReadOnlyDestinationsAndMissingFoldersAlone)
{
    TempDir dir;
    dir.write("source.bin", "new");
    const QString locked = dir.write("locked.bin", "kept");
    ASSERT_TRUE(QFile::setPermissions(locked, readOnly));
    EXPECT_FALSE(saveCopy(dir.path("source.bin"), locked));
    EXPECT_EQ(TempDir::read(locked), QByteArray("kept"));

    EXPECT_FALSE(saveCopy(dir.path("source.bin"), dir.path("no-folder/x.bin")));
    EXPECT_FALSE(QFileInfo::exists(dir.path("no-folder")));
}

TEST(SaveCopy, CyrillicAndLongPathsAreCopied)
{
    TempDir dir;
    // Catalogue paths in Windows-1251 lead to files whose names on disk are UTF-8.
    dir.write(QString::fromUtf8("игра/файл.ltx"), "[s]\nk=1\n");
    EXPECT_TRUE(saveCopy(resolveDiskPath(dir.bytePath(QString::fromUtf8("игра/файл.ltx"))),
                         resolveDiskPath(dir.bytePath(QString::fromUtf8("игра/копия.ltx")))));
    EXPECT_EQ(TempDir::read(dir.path(QString::fromUtf8("игра/копия.ltx"))),
              QByteArray("[s]\nk=1\n"));

    QString deep;
    for (int i = 0; i < 12; ++i)
        deep += QStringLiteral("a_rather_long_folder_name_%1/").arg(i);
    ASSERT_GT(dir.path(deep).size(), 300);
    dir.write(deep + "source.ltx", "deep");
    EXPECT_TRUE(saveCopy(dir.path(deep + "source.ltx"), dir.path(deep + "copy.ltx")));
    EXPECT_EQ(TempDir::read(dir.path(deep + "copy.ltx")), QByteArray("deep"));
}

TEST(WritebackBackup, FirstWriteKeepsThePreviousContentAndLaterWritesNeverRefreshIt)
{
    TempDir dir;
    const QByteArray original = "[actor]\nhealth = 1.0 ; full\nrun = 2\n";
    dir.write("gamedata/config/actor.ltx", original);
    const WriteTarget target{dir.bytePath("gamedata") + '/', false, {}};
    const QString backup = dir.path("gamedata/config/actor.ltx.bak");

    {
        ParameterWriter writer(target);
        ASSERT_TRUE(writer.writeParameter("config\\actor.ltx", "actor", "health", " 0.5 ; full"));
        EXPECT_EQ(TempDir::read(backup), original);
        ASSERT_TRUE(writer.writeParameter("config\\actor.ltx", "actor", "run", " 3"));
        ASSERT_TRUE(writer.writeTrade("config\\actor.ltx", "actor", "run", false, {}));
        EXPECT_EQ(TempDir::read(backup), original);
    }
    // A restart: a new writer finds the backup on disk and leaves it alone.
    ParameterWriter restarted(target);
    ASSERT_TRUE(restarted.writeParameter("config\\actor.ltx", "actor", "health", " 0.7"));
    EXPECT_EQ(TempDir::read(backup), original);
    EXPECT_EQ(TempDir::read(dir.path("gamedata/config/actor.ltx")),
              QByteArray("[actor]\nhealth= 0.7\n"));
    EXPECT_EQ(names(dir.path("gamedata/config")), QStringList({"actor.ltx", "actor.ltx.bak"}));
}

TEST(WritebackBackup, ExistingBackupIsNeverReplaced)
{
    TempDir dir;
    dir.write("gamedata/actor.ltx", "[actor]\nhealth = 1\n");
    const QString locked = dir.write("gamedata/actor.ltx.bak", "older backup");
    ASSERT_TRUE(QFile::setPermissions(locked, readOnly));
    dir.write("gamedata/weapons.ltx", "[wpn]\ncost = 1\n");
    dir.write("gamedata/WEAPONS.LTX.BAK", "backup in other case");

    ensureBackup(dir.bytePath("gamedata/actor.ltx"));
    EXPECT_EQ(TempDir::read(locked), QByteArray("older backup"));
    EXPECT_EQ(QFileInfo(locked).permissions() & QFile::WriteOwner, QFile::Permissions());

    ParameterWriter writer(WriteTarget{dir.bytePath("gamedata") + '/', false, {}});
    EXPECT_TRUE(writer.writeParameter("actor.ltx", "actor", "health", " 2"));
    EXPECT_EQ(TempDir::read(locked), QByteArray("older backup"));

    EXPECT_TRUE(writer.writeParameter("weapons.ltx", "wpn", "cost", " 2"));
    EXPECT_EQ(names(dir.path("gamedata")),
              QStringList({"WEAPONS.LTX.BAK", "actor.ltx", "actor.ltx.bak", "weapons.ltx"}));
    EXPECT_EQ(TempDir::read(dir.path("gamedata/WEAPONS.LTX.BAK")),
              QByteArray("backup in other case"));
}

TEST(WritebackBackup, SilentWhenNoBackupCanBeMade)
{
    TempDir dir;
    // The game file is a folder: nothing to copy, no backup file.
    QDir().mkpath(dir.path("gamedata/odd.ltx"));
    ensureBackup(dir.bytePath("gamedata/odd.ltx"));
    EXPECT_EQ(names(dir.path("gamedata")), QStringList({"odd.ltx"}));

    // The game file does not exist: there is nothing to keep.
    ensureBackup(dir.bytePath("gamedata/absent.ltx"));
    EXPECT_EQ(names(dir.path("gamedata")), QStringList({"odd.ltx"}));

    // The folder is missing.
    ensureBackup(dir.bytePath("missing/actor.ltx"));
    EXPECT_FALSE(QFileInfo::exists(dir.path("missing")));

    // A read-only folder takes no backup; the write that follows is refused there too.
    const QString game = dir.write("locked/actor.ltx", "[a]\nb = 1\n");
    ASSERT_EQ(testsys::setFolderWritable(dir.path("locked"), false), QString());
    ensureBackup(dir.bytePath("locked/actor.ltx"));
    const QStringList inLocked = names(dir.path("locked"));
    testsys::setFolderWritable(dir.path("locked"), true);
    EXPECT_EQ(inLocked, QStringList({"actor.ltx"}));
    EXPECT_EQ(TempDir::read(game), QByteArray("[a]\nb = 1\n"));
}

TEST(WritebackBackup, LargeFileIsCopiedWholeAndLeavesNoTemporaryFiles)
{
    TempDir dir;
    const QByteArray content = allByteValues().repeated(20); // about 1.5 MB
    dir.write("gamedata/big.ltx", content);
    ensureBackup(dir.bytePath("gamedata/big.ltx"));
    EXPECT_EQ(TempDir::read(dir.path("gamedata/big.ltx.bak")), content);
    EXPECT_EQ(names(dir.path("gamedata")), QStringList({"big.ltx", "big.ltx.bak"}));
}

// A write that creates its game file leaves an empty backup, as the file was; the change list then
// shows every key the writes added since. Writes that create nothing leave no backup.
TEST(WritebackBackup, AWriteThatCreatesTheGameFileLeavesAnEmptyBackup)
{
    struct Case
    {
        const char *what;
        bool trade, present;
        QByteArray value;
        WriteResult::Outcome outcome;
        bool created;
    };
    using O = WriteResult::Outcome;
    const Case cases[] = {
        {"ordinary row", false, true, " 5", O::Written, true},
        {"trade row, present", true, true, " 5", O::Written, true},
        {"trade row, deleted", true, false, {}, O::Written, false},
        {"refused", false, true, " 5\n", O::Refused, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        QDir().mkpath(dir.path("gamedata/config"));
        const WriteTarget target{dir.bytePath("gamedata") + '/', false, {}};
        ParameterWriter writer(target);
        const auto write = [&](const QByteArray &key, const QByteArray &value) {
            return c.trade ? writer.writeTrade("config\\new.ltx", "s", key, c.present, value)
                           : writer.writeParameter("config\\new.ltx", "s", key, value);
        };
        EXPECT_EQ(write("a", c.value).outcome(), c.outcome);
        if (!c.created) {
            EXPECT_EQ(names(dir.path("gamedata/config")), QStringList());
            continue;
        }
        EXPECT_EQ(names(dir.path("gamedata/config")), QStringList({"new.ltx", "new.ltx.bak"}));
        ASSERT_TRUE(write("b", " 6"));
        EXPECT_EQ(TempDir::read(dir.path("gamedata/config/new.ltx.bak")), QByteArray());
        QByteArrayList added;
        for (const LineChange &k : ChangeList::changesOf(target.gamedataFolder, "config/new.ltx"))
            if (k.kind() == LineChange::Kind::Added)
                added.append(k.key);
        EXPECT_EQ(added, QByteArrayList({"a", "b"}));
    }

    // A backup already there (the game file was deleted after it was made) stays as it is.
    TempDir dir;
    dir.write("gamedata/old.ltx.bak", "[s]\na=1\n");
    ParameterWriter writer(WriteTarget{dir.bytePath("gamedata") + '/', false, {}});
    ASSERT_TRUE(writer.writeParameter("old.ltx", "s", "a", " 2"));
    EXPECT_EQ(TempDir::read(dir.path("gamedata/old.ltx.bak")), QByteArray("[s]\na=1\n"));
}
