// Reads inside a walk (ProfileCache::WalkScope): each file is checked once per walk, the
// program's own writes are seen at once, a change by another program is seen by the next walk.
#include "profile/ProfileCache.h"
#include "profile/ProfileFile.h"
#include "support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

TEST(ProfileWalk, AChangeByAnotherProgramIsSeenByTheNextWalk)
{
    TempDir dir;
    dir.write("game.ltx", "[s]\r\nk=1\r\n");
    const ProfileFile file(dir.bytePath("game.ltx"));
    const ProfileFile missing(dir.bytePath("later.ltx"));
    {
        const ProfileCache::WalkScope walk;
        EXPECT_EQ(file.readString("s", "k", ""), "1");
        EXPECT_EQ(missing.readString("s", "k", "absent"), "absent");
        dir.write("game.ltx", "[s]\r\nk=22\r\n");
        dir.write("later.ltx", "[s]\r\nk=new\r\n");
        {
            const ProfileCache::WalkScope nested; // part of the same walk
            EXPECT_EQ(file.readString("s", "k", ""), "1");
        }
        // Checked at the first read of this walk: the copy is trusted until the walk ends.
        EXPECT_EQ(file.readString("s", "k", ""), "1");
        EXPECT_EQ(missing.readString("s", "k", "absent"), "absent");
    }
    {
        const ProfileCache::WalkScope walk;
        EXPECT_EQ(file.readString("s", "k", ""), "22");
        EXPECT_EQ(missing.readString("s", "k", "absent"), "new");
    }
    // Outside a walk every read checks the file.
    dir.write("game.ltx", "[s]\r\nk=333\r\n");
    EXPECT_EQ(file.readString("s", "k", ""), "333");
}

TEST(ProfileWalk, TheProgramsOwnWritesAreSeenWithinAWalk)
{
    TempDir dir;
    dir.write("Shared.ini", "[s]\r\nk=1\r\nother=x\r\n");
    const ProfileFile reader(dir.bytePath("Shared.ini"));
    const ProfileFile otherSpelling(dir.bytePath("SHARED.ini"));
    const ProfileCache::WalkScope walk;
    ASSERT_EQ(reader.readString("s", "k", ""), "1");
    ASSERT_EQ(otherSpelling.readString("s", "k", ""), "1");

    ProfileFile writer(dir.bytePath("Shared.ini"));
    ASSERT_TRUE(writer.writeString("s", "k", "2"));
    EXPECT_EQ(reader.readString("s", "k", ""), "2");
    EXPECT_EQ(otherSpelling.readString("s", "k", ""), "2"); // another path to the same file
    ASSERT_TRUE(ProfileFile(dir.bytePath("shared.INI")).deleteKey("s", "other"));
    EXPECT_EQ(reader.readString("s", "other", "gone"), "gone");
    EXPECT_EQ(otherSpelling.readString("s", "other", "gone"), "gone");
}
