// Saves that cannot finish leave every file as it was: a full disk, a FIFO or device in place of a
// file, an append-only or immutable folder or file. Profile writes, backups and file copies.

#include "gamefiles/Backup.h"
#include "gamefiles/ParameterWriter.h"
#include "profile/ProfileFile.h"
#include "profile/SafeFile.h"
#include "support/TempDir.h"
#include "support/TestSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

namespace {

QStringList names(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

// A game file of about size bytes with the key "k" in section "s" near its start.
QByteArray gameFileOfSize(qsizetype size)
{
    QByteArray bytes = "[s]\r\nk = 1 ; one\r\n";
    for (int i = 0; bytes.size() < size; ++i)
        bytes += "filler_" + QByteArray::number(i) + " = " + QByteArray(40, 'x') + "\r\n";
    return bytes;
}

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

class FullDisk : public ::testing::Test
{
protected:
    void SetUp() override
    {
        disk = dir.path("disk");
        const QString why = fileSystem.mount(disk);
        if (!why.isEmpty())
            GTEST_SKIP() << "no full-disk test: " << why.toStdString();
    }

    QString put(const QString &name, const QByteArray &bytes) const
    {
        const QString path = disk + '/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_EQ(file.write(bytes), bytes.size());
        return path;
    }

    // Takes every free byte of the file system.
    void fill() const
    {
        QFile filler(disk + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray chunk(4096, 'f');
        while (filler.write(chunk) > 0) {
        }
        filler.close();
        QFile probe(disk + "/probe");
        ASSERT_TRUE(probe.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        EXPECT_EQ(probe.write("x", 1), -1) << "the file system is not full";
        probe.close();
        probe.remove();
    }

    void makeRoom() const { QFile::remove(disk + "/filler"); }

    TempDir dir;
    testsys::SmallDisk fileSystem; // unmounted before dir goes
    QString disk;
};

} // namespace

TEST_F(FullDisk, ProfileWritesFailAndLeaveTheFileAsItWas)
{
    // A small file fits a write buffer and may fail only at the flush; a larger one fails on the
    // way. Neither may cost the file a byte or be reported as saved.
    for (const qsizetype size :
         {qsizetype(40), qsizetype(2000), qsizetype(15000), qsizetype(24000)}) {
        SCOPED_TRACE("file of " + std::to_string(size) + " bytes");
        const QByteArray original = gameFileOfSize(size);
        const QString path = put("game.ltx", original);
        fill();

        ProfileFile file(native(path));
        QString error;
        EXPECT_FALSE(file.writeString("s", "k", " 2 ; two", &error));
        EXPECT_TRUE(error.contains(QStringLiteral("game.ltx"))) << error.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("нет места"))) << error.toStdString();
        EXPECT_FALSE(file.writeString("new", "key", "1"));
        EXPECT_FALSE(file.deleteKey("s", "k"));
        EXPECT_EQ(TempDir::read(path), original);
        EXPECT_EQ(file.readString("s", "k", ""), "1 ; one");
        EXPECT_EQ(names(disk), QStringList({"filler", "game.ltx"}));

        QString reason;
        EXPECT_FALSE(saveFile(disk + "/other.ltx", "[s]\r\nk=1\r\n", &reason));
        EXPECT_EQ(reason, QStringLiteral("на диске нет места"));
        EXPECT_EQ(names(disk), QStringList({"filler", "game.ltx"}));

        makeRoom();
        ASSERT_TRUE(file.writeString("s", "k", " 2 ; two", &error)) << error.toStdString();
        QByteArray expected = original;
        expected.replace("k = 1 ; one\r\n", "k= 2 ; two\r\n");
        EXPECT_EQ(TempDir::read(path), expected);
        QFile::remove(path);
    }
}

TEST_F(FullDisk, BackupIsCompleteOrAbsent)
{
    const QByteArray original = gameFileOfSize(12000);
    const QString path = put("game.ltx", original);
    fill();

    ensureBackup(native(path));
    EXPECT_EQ(names(disk), QStringList({"filler", "game.ltx"}));

    // The write that follows the backup fails too: the game file keeps all its bytes.
    ParameterWriter writer(WriteTarget{native(disk) + '/', false, {}});
    QString error;
    EXPECT_FALSE(writer.writeParameter("game.ltx", "s", "k", " 2", &error));
    EXPECT_TRUE(error.contains(QStringLiteral("нет места"))) << error.toStdString();
    EXPECT_EQ(names(disk), QStringList({"filler", "game.ltx"}));
    EXPECT_EQ(TempDir::read(path), original);

    // With room again, the next write takes the backup of the file as it was.
    makeRoom();
    ASSERT_TRUE(writer.writeParameter("game.ltx", "s", "k", " 2", &error)) << error.toStdString();
    EXPECT_EQ(TempDir::read(path + ".bak"), original);
    EXPECT_EQ(names(disk), QStringList({"game.ltx", "game.ltx.bak"}));
}

TEST_F(FullDisk, ACopyLeavesTheDestinationAsItWas)
{
    const QByteArray source = gameFileOfSize(10000);
    put("source.ltx", source);
    const QString destination = put("destination.ltx", "old content");
    fill();

    EXPECT_FALSE(saveCopy(disk + "/source.ltx", disk + "/new.ltx"));
    EXPECT_EQ(TempDir::read(destination), "old content");
    EXPECT_EQ(names(disk), QStringList({"destination.ltx", "filler", "source.ltx"}));

    QString reason;
    EXPECT_FALSE(saveCopy(disk + "/source.ltx", destination, &reason));
    EXPECT_EQ(reason, QStringLiteral("на диске нет места"));

    makeRoom();
    EXPECT_TRUE(saveCopy(disk + "/source.ltx", destination));
    EXPECT_EQ(TempDir::read(destination), source);
}

namespace {

// Runs op on its own thread. An op that blocks on the FIFO fails the test instead of hanging it:
// the FIFO is then opened from here so the blocked open or read returns.
template <typename Op> auto promptly(const QString &fifo, Op op)
{
    using Result = decltype(op());
    auto task = std::make_shared<std::packaged_task<Result()>>(std::move(op));
    std::future<Result> result = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "blocked on " << fifo.toStdString();
        testsys::unblockFifo(fifo);
        if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            std::fprintf(stderr, "still blocked on %s; giving up\n", native(fifo).constData());
            std::_Exit(1);
        }
    }
    return result.get();
}

} // namespace

TEST(NotARegularFile, FifoReadsAsMissingAndIsNeverWrittenOrCopied)
{
    TempDir dir;
    QDir().mkpath(dir.path("gamedata"));
    const QString fifo = dir.path("gamedata/game.ltx");
    if (const QString why = testsys::makeFifo(fifo); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString source = dir.write("gamedata/source.ltx", "[s]\r\nk=1\r\n");
    const QString destination = dir.write("gamedata/destination.ltx", "old");
    const QStringList before = names(dir.path("gamedata"));
    ProfileFile file(native(fifo));

    EXPECT_EQ(promptly(fifo, [&] { return file.readString("s", "k", "absent"); }), "absent");
    EXPECT_EQ(promptly(fifo, [&] { return file.readInteger("s", "k", 12345); }), 12345);

    QString error;
    EXPECT_FALSE(promptly(fifo, [&] { return file.writeString("s", "k", "2", &error); }));
    EXPECT_TRUE(error.contains(QStringLiteral("не обычный файл"))) << error.toStdString();
    EXPECT_FALSE(promptly(fifo, [&] { return file.deleteKey("s", "k", &error); }));

    promptly(fifo, [&] { ensureBackup(native(fifo)); });
    ParameterWriter writer(WriteTarget{dir.bytePath("gamedata") + '/', false, {}});
    EXPECT_FALSE(promptly(fifo, [&] { return writer.writeParameter("game.ltx", "s", "k", " 2"); }));

    // Onto the FIFO: refused. From it: read as a missing source, so nothing changes.
    QString reason;
    EXPECT_FALSE(promptly(fifo, [&] { return saveFile(fifo, "x", &reason); }));
    EXPECT_EQ(reason, QStringLiteral("это не обычный файл"));
    EXPECT_FALSE(promptly(fifo, [&] { return saveCopy(source, fifo); }));
    EXPECT_EQ(names(dir.path("gamedata")), before);
    EXPECT_FALSE(promptly(fifo, [&] { return saveCopy(fifo, destination); }));
    EXPECT_EQ(TempDir::read(destination), QByteArray("old"));

    EXPECT_EQ(names(dir.path("gamedata")), before);
    EXPECT_TRUE(testsys::isFifo(fifo));

    QByteArray bytes;
    EXPECT_EQ(promptly(fifo, [&] { return readRegularFile(native(fifo), &bytes); }),
              FileRead::NotRegular);
    EXPECT_EQ(readRegularFile(native(dir.path("gamedata")), &bytes), FileRead::NotRegular);
    EXPECT_EQ(readRegularFile(native(dir.path("none/x")), &bytes), FileRead::Missing);
    EXPECT_EQ(readRegularFile(native(source), &bytes), FileRead::Read);
    EXPECT_EQ(bytes, "[s]\r\nk=1\r\n");
}

TEST(NotARegularFile, DeviceIsNeitherReadNorReplaced)
{
    TempDir dir;
    // A null device of its own: a regression must not replace the system's.
    const QString device = dir.path("null.ltx");
    if (const QString why = testsys::makeNullDevice(device); !why.isEmpty())
        GTEST_SKIP() << "cannot make a device node here: " << why.toStdString();
    ASSERT_EQ(testsys::makeSymlink(device, dir.path("link.ltx")), QString());
    for (const char *name : {"null.ltx", "link.ltx"}) {
        SCOPED_TRACE(name);
        ProfileFile file(dir.bytePath(name));
        EXPECT_EQ(file.readString("s", "k", "d"), "d");
        QString error;
        EXPECT_FALSE(file.writeString("s", "k", "1", &error));
        EXPECT_TRUE(error.contains(QStringLiteral("не обычный файл"))) << error.toStdString();
        ensureBackup(dir.bytePath(name));
        EXPECT_EQ(names(dir.path()), QStringList({"link.ltx", "null.ltx"}));
    }
    EXPECT_TRUE(testsys::isCharacterDevice(device));
}

namespace {

// Clears the marks of the entries it was given when it goes, so the folder can be removed.
struct MarksCleared
{
    QStringList paths;
    ~MarksCleared()
    {
        for (const QString &path : paths)
            for (const testsys::Mark mark : {testsys::Mark::AppendOnly, testsys::Mark::Immutable})
                testsys::setMark(path, mark, false);
    }
};

} // namespace

TEST(UnchangeableEntries, AppendOnlyOrImmutableFoldersAndFilesRefuseSavesAndKeepNoTemporaryFile)
{
    TempDir dir;
    testsys::SmallDisk fileSystem; // unmounted before dir goes
    MarksCleared cleared;          // cleared before either goes
    using testsys::Mark;
    // The test folder's own file system first, a tmpfs where that cannot hold the marks.
    QString base = dir.path("tried");
    QDir().mkpath(base);
    QString why = testsys::setMark(base, Mark::AppendOnly, true);
    if (why.isEmpty()) {
        testsys::setMark(base, Mark::AppendOnly, false);
    } else {
        base = dir.path("tmpfs");
        const QString mountWhy = fileSystem.mount(base);
        why = mountWhy.isEmpty() ? testsys::setMark(base, Mark::AppendOnly, true) : mountWhy;
        if (!why.isEmpty())
            GTEST_SKIP() << "append-only flags cannot be set here: " << why.toStdString();
        testsys::setMark(base, Mark::AppendOnly, false);
    }

    struct Case
    {
        const char *name;
        const char *markedEntry; // relative to the case's folder: "." is the folder
        Mark flag;
        const char *reason;
    };
    // Nobody may write an immutable entry: it counts as read-only.
    const Case cases[] = {
        {"append-only folder", ".", Mark::AppendOnly, "папка защищена"},
        {"immutable folder", ".", Mark::Immutable, "папка только для чтения"},
        {"append-only file", "game.ltx", Mark::AppendOnly, "файл защищён"},
        {"immutable file", "game.ltx", Mark::Immutable, "файл только для чтения"},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = base + "/case" + QString::number(++n);
        QDir().mkpath(folder);
        const QByteArray original = "[s]\r\nk = 1\r\n";
        const QString game = folder + "/game.ltx";
        QFile out(game);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(original);
        out.close();
        const QString marked = QDir::cleanPath(folder + '/' + c.markedEntry);
        ASSERT_EQ(testsys::setMark(marked, c.flag, true), QString());
        cleared.paths << marked;

        QString error;
        EXPECT_FALSE(ProfileFile(native(game)).writeString("s", "k", "2", &error));
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.reason))) << error.toStdString();
        EXPECT_FALSE(ProfileFile(native(game)).deleteKey("s", "k"));
        ensureBackup(native(game));
        saveCopy(game, folder + "/copy.ltx");
        EXPECT_EQ(TempDir::read(game), original);
        // A marked file is still read: its backup and copies are made beside it.
        const bool folderMarked = QByteArrayView(c.markedEntry) == ".";
        EXPECT_EQ(names(folder), folderMarked
                                     ? QStringList{"game.ltx"}
                                     : QStringList({"copy.ltx", "game.ltx", "game.ltx.bak"}));
        // Lift the mark so the next case and the clean-up see a plain folder.
        testsys::setMark(marked, c.flag, false);
    }
}

TEST(StaleTemporaries, TheFirstSaveIntoAFolderRemovesOldOnesOfItsOwnPatternOnly)
{
    TempDir dir;
    const auto age = [&](const QString &name, int seconds) {
        ASSERT_TRUE(testsys::setAge(dir.path(name), seconds)) << name.toStdString();
    };
    const QStringList stale = {".a.ltx.tmp-Ab3dE9", ".other.ltx.tmp-000000"};
    QStringList kept = {
        ".a.ltx.tmp-Xy12zz",   // fresh: a save in progress
        "a.ltx.tmp-abcdef",    // not hidden
        ".a.ltx.tmp-abcde",    // five letters
        ".a.ltx.tmp-abc-de",   // not a letter or digit
        ".tmp-abcdef",         // no name
        ".a.ltx.tmp-abcdeF.x", // more after it
        ".d.ltx.tmp-folder",   // a folder
        ".l.ltx.tmp-linkto",   // a link
    };
    for (const QString &name : stale)
        dir.write(name, "[s]\r\na=1\r\n");
    QStringList made;
    for (const QString &name : kept) {
        if (name.startsWith(".d."))
            QDir().mkpath(dir.path(name));
        else if (name.startsWith(".l.") &&
                 !testsys::makeSymlink(dir.path(stale.front()), dir.path(name)).isEmpty())
            continue; // a system where the user makes no links
        else if (!name.startsWith(".l."))
            dir.write(name, "[s]\r\na=1\r\n");
        made << name;
    }
    kept = made;
    for (const QString &name : stale + kept)
        age(name, name == kept.front() ? 10 : 3600);

    ASSERT_TRUE(ProfileFile(dir.bytePath("a.ltx")).writeString("s", "a", "2"));
    QStringList expected = kept;
    expected << "a.ltx";
    expected.sort();
    EXPECT_EQ(names(dir.path()), expected);
}
