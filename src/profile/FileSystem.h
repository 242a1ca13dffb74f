#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

// Every call the program makes into the operating system's file interface goes through this
// header. One file implements it for the system the program is built for (FileSystemPosix.cpp;
// src/CMakeLists.txt chooses it); everything above works with disk paths (QStrings, see
// DiskPath.h) and the plain values below.
//
// Failures that a user reads carry a short reason in Russian, without a final full stop.

// Identity of a file's content as far as the file system tells it: device (or volume serial),
// file id (inode or file index), size, modification and change times in nanoseconds since
// 1970-01-01 UTC. File systems with coarse times (1 second, FAT's 2) can keep all of it through
// another program's same-size edit within one tick, so an unchanged identity does not prove
// unchanged bytes; a changed one proves a change.
struct FileStamp
{
    bool exists = false; // a regular file
    quint64 device = 0;
    quint64 fileId = 0;
    qint64 size = 0;
    qint64 modified = 0;
    qint64 changed = 0; // status change; where the system keeps none, the modification time

    bool operator==(const FileStamp &other) const = default;
    // The later of the two times: no edit of the file leaves it older than the edit.
    qint64 newest() const { return modified > changed ? modified : changed; }
};

// What reading a whole file found.
enum class FileRead
{
    Read,       // the bytes are there
    Missing,    // nothing at the path (or a folder on the way is missing)
    NotRegular, // a folder, FIFO, device or socket
    Failed,     // there, but cannot be opened or read
};

// The disk path layer. On POSIX, names on disk are bytes: valid UTF-8 is decoded as usual, and
// each byte that is no part of valid UTF-8 (a Windows-1251 name left by an old unpacker) is held
// as the lone surrogate U+DC00 + byte, so a disk path keeps every byte of such a name. Every
// system call takes the path through nativePath, never through QFile::encodeName, which would
// turn the byte into "?" and miss the file. On Windows, names are UTF-16 text: a disk path is
// the path as Qt writes it ("C:/Games/gamedata"), of any length (the layer passes it on in the
// "\\?\" form, so paths longer than 260 characters work).

// A path in the form the system's calls take it (on POSIX its bytes; on Windows its UTF-8 text,
// widened inside the layer). Made once for a path used often (the profile cache checks one at
// every read).
using NativePath = QByteArray;

// The native form of a disk path.
NativePath nativePath(const QString &diskPath);
// A path as the file system returned it, with every byte kept.
QString fromNativePath(const NativePath &native);
// A disk path for messages: bytes that are no UTF-8 are shown as Windows-1251 text.
QString shownPath(const QString &diskPath);

namespace fsys {

// The length of the root at the start of a disk path: 1 for "/" on POSIX; on Windows 3 for
// "C:/", 2 for "C:", the whole "//server/share/" of a network path, 1 for "/"; 0 for a relative
// path.
qsizetype rootLength(const QString &diskPath);

// The folder that holds the entry at diskPath: its root for an entry in a root, "." for a bare
// name.
QString folderHolding(const QString &diskPath);

// Why a call failed, as far as callers tell the cases apart.
enum class Error
{
    None,
    Missing,  // nothing at the path
    NoFolder, // a component on the way is not a folder
    Exists,   // something is at the path already
    Other,
};

struct Failure
{
    Error error = Error::None;
    QString reason;
};

enum class Kind
{
    None, // nothing there (or the look-up failed)
    File, // a regular file
    Folder,
    Link,  // only when links are not followed
    Other, // FIFO, device, socket
};

struct Entry
{
    Kind kind = Kind::None;
    FileStamp stamp; // the identity of whatever is there; stamp.exists only for a regular file
};

enum class Links
{
    Follow,
    DoNotFollow,
};

// What is at path. Kind::None with *failure saying why when nothing is found.
Entry entryAt(const QString &path, Links links = Links::Follow, Failure *failure = nullptr);
Entry entryAt(const NativePath &path, Links links = Links::Follow, Failure *failure = nullptr);

// Whether the program may write the existing file or folder at path: the user may write it and
// the entry is not marked read-only (on POSIX: at least one write permission bit is set; on
// Windows: a file without the read-only attribute, on a volume that is not read-only), so a
// read-only file stays read-only for root and administrators too. False when nothing is there.
bool mayWrite(const QString &path);
// Whether the user may read the existing entry at path.
bool mayRead(const QString &path);
// Whether the entry at path is marked append-only or immutable (chattr +a, +i), which refuses
// its replacement and, in a folder, the removal of files. False where no such marks exist
// (Windows: its read-only attribute is what mayWrite looks at).
bool isMarkedUnchangeable(const QString &path, bool folder);

// The text of the symbolic link at path, nothing when no link is there.
std::optional<QString> linkTarget(const QString &path);
// Where an existing path leads: absolute, every link followed, "." and ".." taken; nothing when
// some part of it does not exist.
std::optional<QString> canonicalPath(const QString &path);
QString currentFolder();
// The last name of an existing path as its folder spells it. POSIX tells names apart by letter
// case, so that is the name given; Windows finds "Actor.ltx" where "actor.ltx" is, and a save
// that renamed onto the given spelling, or a backup named after it, would change the names the
// game's files have. The name given when nothing is there.
QString nameOnDisk(const QString &path);

// Old unpackers wrote names in Windows-1251 bytes. The name as such an unpacker would have
// written it (a disk path); empty when the name is ASCII or cannot be written so, and where the
// system's names are never bytes.
QString legacySpelling(const QString &name);
// Whether two such names are equal without regard to letter case, compared in their bytes.
bool sameLegacyName(const QString &a, const QString &b);

// Calls each with the name of every entry in folder ("." and ".." left out); false when the
// folder cannot be listed.
bool listFolder(const QString &folder, const std::function<void(const QString &name)> &each);

// Renames from over to, replacing what is there in one step. On Windows a file that another
// program holds open is replaced only when that program allows it (it shares the file for
// deletion); otherwise the call fails, after a short wait, and says so.
bool replace(const QString &from, const QString &to, Failure *failure = nullptr);
// Renames from to to only when nothing is at to (Error::Exists otherwise), in one step.
bool moveNoReplace(const QString &from, const QString &to, Failure *failure = nullptr);
bool removeFile(const QString &path);

// The current time as file times count it: nanoseconds since 1970-01-01 UTC.
qint64 clockNow();

// Sets the modification time (nanoseconds since 1970-01-01 UTC) of the entry at path, links
// followed.
bool setModifiedTime(const QString &path, qint64 nanoseconds);

// Asks the system to back a large buffer that is about to be filled (a whole file read into
// memory) with large memory pages where it offers them: filling it then takes a few page faults
// instead of one per 4 KiB, which on a virtual machine can cost more than the read itself. The
// buffer's content and size do not change; where the system has no such advice nothing happens.
#ifdef _WIN32
inline void adviseLargeBuffer(char *, qsizetype) {} // no such advice for ordinary memory
#else
void adviseLargeBuffer(char *data, qsizetype size);
#endif

// An open file, closed when the object goes.
class File
{
public:
    File() = default;
    ~File();
    File(File &&other) noexcept;
    File &operator=(File &&other) noexcept;
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    // Opens the regular file at path for reading without ever waiting: a FIFO or device is
    // refused before it is opened, and again after opening in case the entry was swapped in
    // between. *stamp receives the identity of the file opened, taken before any byte is read.
    static File openRegular(const NativePath &path, FileStamp *stamp, FileRead *outcome,
                            QString *reason);
    // Creates a new file at path for writing; Error::Exists when anything is there. ownerOnly:
    // readable and writable by its owner only (for a file that gets another file's permissions
    // later); otherwise what the system gives a new file by default.
    static File createNew(const QString &path, bool ownerOnly, Failure *failure);

    bool isOpen() const { return handle_ != -1; }
    // Up to size bytes; 0 at the end, -1 on failure.
    qint64 read(char *buffer, qint64 size, QString *reason);
    // Up to size bytes from offset on, leaving the position of read as it is (the apply history
    // reads its last lines so, never the whole file); 0 at the end, -1 on failure.
    qint64 readAt(qint64 offset, char *buffer, qint64 size, QString *reason);
    // Writes all of bytes, or fails.
    bool write(QByteArrayView bytes, QString *reason);
    // Puts what was written on the disk; a full disk may show only here.
    bool flushToDisk(QString *reason);
    // Closes the file, checked (some file systems report a failed write only here).
    bool close(QString *reason);
    // Gives this file the permissions and, when the program may, the owner of the file at path,
    // so that it can replace that file without changing who may use it. Best effort.
    void takeAccessOf(const QString &path);

private:
    friend bool appendToFile(const QString &, QByteArrayView, bool, QString *);
    explicit File(std::intptr_t handle) : handle_(handle) {}

    std::intptr_t handle_ = -1;
};

// Appends bytes to the regular file at path, creating it when missing. The open never waits: a
// FIFO, device, folder or socket at path is refused. onOwnLine: when the file does not end with a
// line break (a line cut short by a crash), one is written first, so the bytes start a line.
bool appendToFile(const QString &path, QByteArrayView bytes, bool onOwnLine, QString *reason);

// An advisory lock on a file for writers that read it, change it and replace it: held from
// before the read to after the replacement, so two such writers (threads or processes) never
// start from the same content and one's edit is never lost. Programs that do not take it are
// not held off; the identity check before the replacement still notices most of their edits.
//
// The lock is a hidden lock file beside the file, "." + name + ".lock", removed again on
// release, so none stays after a normal run. One left by a process that died holds no lock (the
// system drops the lock with the process) and is reused.
//
// Lock order: a game or profile file's lock may be held while the apply history's is taken,
// never the reverse; a thread never takes the lock of a file it holds already.
class FileLock
{
public:
    enum class Outcome
    {
        Held,
        Busy,        // another writer held it for the whole wait
        Unavailable, // no lock file there: a missing, read-only or protected folder
        Unsupported, // the file system takes no locks
    };

    static constexpr std::chrono::milliseconds DefaultWait{10000};

    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(FileLock &&other) noexcept;
    FileLock &operator=(FileLock &&other) noexcept;
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Locks the file at path (a disk path; the file need not exist), waiting up to wait for
    // another writer (defaultWait() when not given). *outcome says how it went; *reason is set
    // unless the lock is held.
    static FileLock acquire(const QString &path, Outcome *outcome, QString *reason = nullptr);
    static FileLock acquire(const QString &path, std::chrono::milliseconds wait, Outcome *outcome,
                            QString *reason = nullptr);

    static std::chrono::milliseconds defaultWait();
    // Tests only: a shorter wait, so that a lock held too long fails a write quickly.
    static void setDefaultWaitForTests(std::chrono::milliseconds wait);

    bool held() const { return handle_ != -1; }
    // Removes the lock file and lets the lock go (the destructor does it too).
    void release();

    // The lock file's path for the file at path.
    static QString lockPathFor(const QString &path);

private:
    std::intptr_t handle_ = -1;
    QString lockPath_;
};

// Tests only: every stamp the file system reports passes through filter first, so a test can
// play a file system with coarse times (or none for the status change). Empty: none.
void setStampFilterForTests(std::function<void(FileStamp &)> filter);

} // namespace fsys
