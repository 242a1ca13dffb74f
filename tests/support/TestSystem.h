#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What tests need of the operating system beyond the program's own file interface: entries that
// only some systems have (FIFOs, device nodes, symbolic links a user may make, append-only
// marks, a small file system to fill), and folders made read-only. One file implements it per
// system (TestSystemPosix.cpp, TestSystemWindows.cpp; tests/CMakeLists.txt chooses).
//
// Every maker returns an empty text when done, otherwise why not: a test skips with that reason
// (GTEST_SKIP), or leaves out the case that needs the entry.
namespace testsys {

// What a program wrote to its standard output or error, its line ends as LF: a Windows
// program's console output ends its lines with CR LF.
QByteArray consoleText(QByteArray output);

// Why a program always has a display to open its window on (Windows: the window system is part
// of the system); empty where it can start without one (Linux, with no X11 or Wayland server).
QString displayAlwaysThere();

// Whether the tests run as root, who may write what others may not.
bool runningAsRoot();

// The permission bits (0777) of the entry at path, and those a new file gets (0666 less the
// umask); -1 where the system keeps no such bits (Windows).
int permissionBits(const QString &path);
int newFilePermissionBits();

// A FIFO (named pipe in the file system) at path.
QString makeFifo(const QString &path);
// Opens the FIFO at path for reading and writing without waiting and closes it again, so that
// an open or read blocked on it returns.
void unblockFifo(const QString &path);
bool isFifo(const QString &path);

// A character device at path that reads nothing and takes everything (a null device).
QString makeNullDevice(const QString &path);
bool isCharacterDevice(const QString &path);

// A symbolic link at link leading to target (relative to the link's folder unless absolute).
QString makeSymlink(const QString &target, const QString &link);

// Takes the right to create, rename and delete entries in the folder away from this user, or
// gives it back.
QString setFolderWritable(const QString &folder, bool writable);

// The append-only (chattr +a) or immutable (+i) mark of a file or folder, set or cleared.
enum class Mark
{
    AppendOnly,
    Immutable
};
QString setMark(const QString &path, Mark mark, bool on);

// Sets the modification time of the entry at path (a link itself, not what it leads to) to
// secondsAgo seconds before now.
bool setAge(const QString &path, int secondsAgo);

// Entries named by raw bytes, as POSIX names are: an old unpacker's Windows-1251 names are no
// UTF-8. Where names are no bytes (Windows: UTF-16), byteNamesMissing says so and the others do
// nothing.
QString byteNamesMissing();
// Writes the file, and the folders on the way.
bool writeRaw(const QByteArray &path, const QByteArray &bytes);
// The file's bytes, or "<missing>".
QByteArray readRaw(const QByteArray &path);
// The names in a folder, sorted.
QList<QByteArray> listRaw(const QByteArray &folder);
// Removes the entry and, for a folder, everything in it, links not followed.
void removeRaw(const QByteArray &path);
QString makeSymlinkRaw(const QByteArray &target, const QByteArray &link);

// A file system of 64 KiB mounted at a folder for as long as the object lives.
class SmallDisk
{
public:
    SmallDisk() = default;
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    QString mount(const QString &mountPoint);

private:
    QString mountPoint_;
};

} // namespace testsys
