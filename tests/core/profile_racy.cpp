// Cached reads and file stamps that cannot tell an edit from the content read: a same-size edit
// within one tick of the file system's clock keeps the stamp. Played without waiting for clocks:
// the file's modification time is set, and a filter gives every stamp that time as its change
// time too, as file systems without one (FAT) report it.
#include "profile/FileSystem.h"
#include "profile/ProfileCache.h"
#include "profile/ProfileFile.h"
#include "support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

namespace {

constexpr qint64 second = 1000000000;
constexpr qint64 millisecond = 1000000;

// Stamps carry no change time of their own for the test's duration.
class NoChangeTime
{
public:
    NoChangeTime()
    {
        fsys::setStampFilterForTests([](FileStamp &stamp) { stamp.changed = stamp.modified; });
    }
    ~NoChangeTime() { fsys::setStampFilterForTests(nullptr); }
};

// Another program's edit that keeps the size, the inode and, set back, the modification time.
void editInPlace(const QString &path, const QByteArray &bytes, qint64 modified)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.write(bytes);
    file.close();
    ASSERT_TRUE(fsys::setModifiedTime(path, modified));
}

} // namespace

TEST(RacyStamps, AnEditThatKeepsTheStampIsSeenWhileTheCopyIsRacy)
{
    const NoChangeTime noChangeTime;
    // Times are taken from the clock as each case begins: "just now" is within the 0.1 s tick
    // of fine times only if no earlier case's files lie in between (Wine makes them slowly).
    struct Case
    {
        const char *what;
        qint64 (*modified)(qint64 now);
        bool inWalk;
        const char *seen; // the value read after the edit
    };
    const Case cases[] = {
        {"modified this second, whole-second times",
         [](qint64 now) { return now / second * second; }, false, "2"},
        {"modified a second ago, whole-second times",
         [](qint64 now) { return now / second * second - second; }, false, "2"},
        {"modified just now, fine times", [](qint64 now) { return now - millisecond; }, false, "2"},
        // The stamp alone serves: the edit is not seen until the file changes again.
        {"modified 3 s ago, whole-second times",
         [](qint64 now) { return now / second * second - 3 * second; }, false, "1"},
        {"modified an hour ago, fine times", [](qint64 now) { return now - 3600 * second + 7; },
         false, "1"},
        // A walk checks each file once, racy or not.
        {"modified just now, read twice in one walk", [](qint64 now) { return now - millisecond; },
         true, "1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const QString path = dir.write("game.ltx", "[s]\r\nk=1\r\n");
        const qint64 modified = c.modified(fsys::clockNow());
        ASSERT_TRUE(fsys::setModifiedTime(path, modified));
        const ProfileFile file(dir.bytePath("game.ltx"));
        std::optional<ProfileCache::WalkScope> walk;
        if (c.inWalk)
            walk.emplace();
        EXPECT_EQ(file.readString("s", "k", "-"), "1");
        editInPlace(path, "[s]\r\nk=2\r\n", modified);
        EXPECT_EQ(file.readString("s", "k", "-"), c.seen);
        walk.reset();
        if (c.inWalk) { // the next walk or read checks again
            EXPECT_EQ(file.readString("s", "k", "-"), "2");
        }
    }
}

TEST(RacyStamps, ACopyCheckedATickAfterTheFileTimesIsTrustedAgain)
{
    const NoChangeTime noChangeTime;
    TempDir dir;
    const QString path = dir.write("game.ltx", "[s]\r\nk=1\r\n");
    // Fine times: a tenth of a second is the tick.
    const qint64 modified = fsys::clockNow() - 20 * millisecond - 1;
    ASSERT_TRUE(fsys::setModifiedTime(path, modified));
    const ProfileFile file(dir.bytePath("game.ltx"));
    EXPECT_EQ(file.readString("s", "k", "-"), "1"); // racy
    editInPlace(path, "[s]\r\nk=2\r\n", modified);
    EXPECT_EQ(file.readString("s", "k", "-"), "2"); // compared, still racy
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(file.readString("s", "k", "-"), "2"); // compared a safe tick later: trusted
    editInPlace(path, "[s]\r\nk=3\r\n", modified);
    EXPECT_EQ(file.readString("s", "k", "-"), "2");
}

TEST(RacyStamps, TheProgramsOwnWriteLeavesARacyCopy)
{
    // An edit right after the program's write, in the same tick, is seen by the next read.
    const NoChangeTime noChangeTime;
    TempDir dir;
    const QString path = dir.write("game.ltx", "[s]\r\nk=1\r\n");
    ProfileFile file(dir.bytePath("game.ltx"));
    ASSERT_TRUE(file.writeString("s", "k", "5"));
    const qint64 modified = fsys::entryAt(path).stamp.modified;
    editInPlace(path, "[s]\r\nk=6\r\n", modified);
    EXPECT_EQ(file.readString("s", "k", "-"), "6");
}
