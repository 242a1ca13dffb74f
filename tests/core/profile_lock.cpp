// Two writers of one file: the lock every write holds from its read to its rename, its bounded
// wait, its lock files, and backups made by two programs at once.
#include "gamefiles/Backup.h"
#include "profile/FileSystem.h"
#include "profile/IniDocument.h"
#include "profile/ProfileFile.h"
#include "profile/SafeFile.h"
#include "support/TempDir.h"
#include "support/TestSystem.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

using namespace std::chrono_literals;

namespace {

QStringList names(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

// The profile driver as another copy of the program: one command at a time, its answer read
// back at once.
class Driver
{
public:
    Driver()
    {
        process_.start(QStringLiteral(PROFILE_DRIVER), QStringList());
        process_.waitForStarted(10000);
    }
    ~Driver()
    {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(10000))
            process_.kill();
    }

    QByteArray command(const QByteArray &line)
    {
        process_.write(line + '\n');
        while (!process_.canReadLine())
            if (!process_.waitForReadyRead(15000))
                return "no answer";
        return process_.readLine().trimmed();
    }

    // Dies at once, as a crash would end it: nothing it holds is let go by its own code.
    void kill()
    {
        process_.kill();
        process_.waitForFinished(10000);
    }

private:
    QProcess process_;
};

// A shorter bounded wait for the test's duration.
class ShortWait
{
public:
    explicit ShortWait(std::chrono::milliseconds wait)
    {
        fsys::FileLock::setDefaultWaitForTests(wait);
    }
    ~ShortWait() { fsys::FileLock::setDefaultWaitForTests(fsys::FileLock::DefaultWait); }
};

// What the holder of the lock writes while the other writer waits: the file read and replaced,
// as a write of the program does it under the lock.
void holderWrites(const QString &path, const QByteArray &key, const QByteArray &value)
{
    QByteArray bytes;
    ASSERT_EQ(readRegularFile(path, &bytes), FileRead::Read);
    IniDocument document = IniDocument::parse(bytes);
    document.setValue("s", key, value);
    ASSERT_TRUE(saveFile(path, document.bytes()));
}

} // namespace

TEST(ProfileLock, ASecondWriterWaitsForTheFirstAndThenSeesItsEdit)
{
    struct Case
    {
        const char *holder;
        bool otherProcess;
    };
    for (const Case c :
         {Case{"a thread of this program", false}, Case{"another copy of the program", true}}) {
        SCOPED_TRACE(c.holder);
        TempDir dir;
        const QString path = dir.write("game.ltx", "[s]\r\na=0\r\n");
        Driver driver;
        fsys::FileLock lock;
        if (c.otherProcess) {
            ASSERT_EQ(driver.command("hold\t" + dir.bytePath("game.ltx")), "held");
        } else {
            fsys::FileLock::Outcome outcome;
            lock = fsys::FileLock::acquire(path, &outcome);
            ASSERT_EQ(outcome, fsys::FileLock::Outcome::Held);
        }

        auto waiting = std::async(std::launch::async, [&] {
            QString error;
            const bool ok =
                ProfileFile(dir.bytePath("game.ltx")).writeString("s", "b", "2", &error);
            return std::make_pair(ok, error);
        });
        EXPECT_EQ(waiting.wait_for(200ms), std::future_status::timeout)
            << "the writer did not wait";
        holderWrites(path, "a", "1");
        if (c.otherProcess)
            EXPECT_EQ(driver.command("release"), "ok");
        else
            lock.release();

        const auto [ok, error] = waiting.get();
        EXPECT_TRUE(ok) << error.toStdString();
        EXPECT_EQ(TempDir::read(path), "[s]\r\na=1\r\nb=2\r\n");
        EXPECT_EQ(names(dir.path()), QStringList({"game.ltx"}));
    }
}

TEST(ProfileLock, ALockHeldBeyondTheWaitFailsTheWriteAndLeavesTheFile)
{
    const ShortWait wait(300ms);
    TempDir dir;
    const QByteArray before = "; comment\r\n[s]\r\na=0\r\n\r\nb = 1 ;x\r\n";
    const QString path = dir.write("game.ltx", before);
    Driver driver;
    ASSERT_EQ(driver.command("hold\t" + dir.bytePath("game.ltx")), "held");

    struct Case
    {
        const char *what;
        std::function<bool(ProfileFile &, QString *)> write;
    };
    const Case cases[] = {
        {"write", [](ProfileFile &f, QString *e) { return f.writeString("s", "a", "5", e); }},
        {"delete", [](ProfileFile &f, QString *e) { return f.deleteKey("s", "b", e); }},
        {"edit",
         [](ProfileFile &f, QString *e) {
             return f.edit([](IniDocument &d) { return d.setValue("t", "k", "v"); }, e);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ProfileFile file(dir.bytePath("game.ltx"));
        QString error;
        EXPECT_FALSE(c.write(file, &error));
        EXPECT_TRUE(error.contains(QStringLiteral("файл занят другой записью")) &&
                    error.contains(path))
            << error.toStdString();
        EXPECT_EQ(TempDir::read(path), before);
    }
    // Let go, the write goes through.
    EXPECT_EQ(driver.command("release"), "ok");
    EXPECT_TRUE(ProfileFile(dir.bytePath("game.ltx")).writeString("s", "a", "5"));
    EXPECT_EQ(TempDir::read(path), "; comment\r\n[s]\r\na=5\r\n\r\nb = 1 ;x\r\n");
}

TEST(ProfileLock, NoLockFileRemainsAfterWrites)
{
    struct Case
    {
        const char *what;
        std::function<bool(ProfileFile &)> write;
        bool succeeds;
        QByteArray after; // the file afterwards; empty: none
        bool readOnlyFolder = false;
    };
    const Case cases[] = {
        {"write", [](ProfileFile &f) { return f.writeString("s", "a", "2"); }, true,
         "[s]\r\na=2\r\n"},
        {"delete", [](ProfileFile &f) { return f.deleteKey("s", "a"); }, true, "[s]\r\n"},
        {"edit",
         [](ProfileFile &f) {
             return f.edit([](IniDocument &d) { return d.setValue("s", "b", "3"); });
         },
         true, "[s]\r\na=1\r\nb=3\r\n"},
        {"write of the value already there",
         [](ProfileFile &f) { return f.writeString("s", "a", "1"); }, true, "[s]\r\na=1\r\n"},
        {"write into a read-only folder",
         [](ProfileFile &f) { return f.writeString("s", "a", "2"); }, false, "[s]\r\na=1\r\n",
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const QString folder = dir.path("data");
        const QString path = dir.write("data/game.ltx", "[s]\r\na=1\r\n");
        if (c.readOnlyFolder)
            testsys::setFolderWritable(folder, false);
        ProfileFile file(dir.bytePath("data/game.ltx"));
        EXPECT_EQ(c.write(file), c.succeeds);
        EXPECT_EQ(names(folder), QStringList({"game.ltx"}));
        EXPECT_EQ(TempDir::read(path), c.after);
        testsys::setFolderWritable(folder, true);
    }

    // A file the write creates, and a deletion in a missing folder, which changes nothing.
    TempDir dir;
    EXPECT_TRUE(ProfileFile(dir.bytePath("new.ltx")).writeString("s", "k", "v"));
    EXPECT_TRUE(ProfileFile(dir.bytePath("none/new.ltx")).deleteKey("s", "k"));
    EXPECT_EQ(names(dir.path()), QStringList({"new.ltx"}));
}

TEST(ProfileLock, AStaleLockFileIsReused)
{
    const ShortWait wait(300ms);
    struct Case
    {
        const char *leftBy;
        bool killedHolder;
    };
    for (const Case c : {Case{"a copy of the program killed while it held the lock", true},
                         Case{"a lock file without a holder", false}}) {
        SCOPED_TRACE(c.leftBy);
        TempDir dir;
        const QString path = dir.write("game.ltx", "[s]\r\na=1\r\n");
        if (c.killedHolder) {
            Driver driver;
            ASSERT_EQ(driver.command("hold\t" + dir.bytePath("game.ltx")), "held");
            driver.kill();
        } else {
            dir.write(".game.ltx.lock", QByteArray());
        }
        ASSERT_EQ(names(dir.path()), QStringList({".game.ltx.lock", "game.ltx"}));

        QString error;
        EXPECT_TRUE(ProfileFile(dir.bytePath("game.ltx")).writeString("s", "a", "2", &error))
            << error.toStdString();
        EXPECT_EQ(TempDir::read(path), "[s]\r\na=2\r\n");
        EXPECT_EQ(names(dir.path()), QStringList({"game.ltx"}));
    }
}

TEST(ProfileLock, TwoProgramsWritingOneFileAtOnceLoseNoEdit)
{
    constexpr int keysEach = 200;
    TempDir dir;
    const QString path = dir.write("game.ltx", "; shared\r\n[s]\r\n");
    QProcess writers[2];
    for (int w = 0; w < 2; ++w) {
        QByteArray input;
        for (int k = 0; k < keysEach; ++k)
            input += "write\t" + dir.bytePath("game.ltx") + "\ts\tw" + QByteArray::number(w) + "_" +
                     QByteArray::number(k) + "\t" + QByteArray::number(k) + "\n";
        writers[w].start(QStringLiteral(PROFILE_DRIVER), QStringList());
        ASSERT_TRUE(writers[w].waitForStarted(10000));
        writers[w].write(input);
    }
    // Both get their input before either is waited for, so that they run at once.
    for (QProcess &writer : writers) {
        ASSERT_TRUE(writer.waitForBytesWritten(10000));
        writer.closeWriteChannel();
    }
    for (QProcess &writer : writers) {
        ASSERT_TRUE(writer.waitForFinished(60000));
        EXPECT_EQ(testsys::consoleText(writer.readAllStandardOutput()),
                  QByteArray("ok\n").repeated(keysEach));
    }
    ProfileFile::clearCache();
    const ProfileFile file(dir.bytePath("game.ltx"));
    int found = 0;
    for (int w = 0; w < 2; ++w)
        for (int k = 0; k < keysEach; ++k)
            found += file.readString("s", "w" + QByteArray::number(w) + "_" + QByteArray::number(k),
                                     "missing") == QByteArray::number(k);
    EXPECT_EQ(found, 2 * keysEach);
    EXPECT_EQ(names(dir.path()), QStringList({"game.ltx"}));
}

TEST(ProfileLock, ABackupIsMadeOnceAndWhole)
{
    // Another program's backup appears while this one's copy is being made (after this one
    // found none): the first one stays, since the game file may already hold the other's write.
    struct Case
    {
        const char *what;
        bool emptyBackup; // of a game file the write creates
    };
    for (const Case c : {Case{"copy of the game file", false}, Case{"empty backup", true}}) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        dir.write("game.ltx", "[s]\r\na=1\r\n");
        const QString backup = dir.path("game.ltx.bak");
        setBeforeRenameHook([&](const QByteArray &) {
            QFile other(backup);
            if (!other.exists() && other.open(QIODevice::WriteOnly))
                other.write("[s]\r\na=0\r\n");
        });
        if (c.emptyBackup)
            ensureEmptyBackup(dir.bytePath("game.ltx"));
        else
            ensureBackup(dir.bytePath("game.ltx"));
        setBeforeRenameHook(nullptr);
        EXPECT_EQ(TempDir::read(backup), "[s]\r\na=0\r\n");
        EXPECT_EQ(names(dir.path()), QStringList({"game.ltx", "game.ltx.bak"}));
    }

    TempDir dir;
    const QString first = dir.write("first", "1");
    QString reason;
    EXPECT_FALSE(saveNewCopy(dir.write("second", "2"), first, &reason));
    EXPECT_EQ(reason, QStringLiteral("файл уже есть"));
    EXPECT_FALSE(saveNewFile(first, "3"));
    EXPECT_EQ(TempDir::read(first), "1");
    EXPECT_TRUE(saveNewFile(dir.path("third"), "3"));
    EXPECT_EQ(names(dir.path()), QStringList({"first", "second", "third"}));
}
