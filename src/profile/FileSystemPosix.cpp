// The file interface of FileSystem.h on POSIX systems (Linux): every system call on a file the
// program makes is here.
#include "profile/FileSystem.h"

#include "textcodec/Cp1251.h"

#include <QDir>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

// --- Names: bytes on disk, disk paths in the program ---

// A byte that is no part of valid UTF-8 is held as escapeBase + byte (0x80 to 0xFF).
constexpr char16_t escapeBase = 0xDC00;

bool isEscape(const QString &text, qsizetype i)
{
    const char16_t c = text.at(i).unicode();
    return c >= escapeBase + 0x80 && c <= escapeBase + 0xFF &&
           (i == 0 || !text.at(i - 1).isHighSurrogate());
}

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// The length of the valid UTF-8 sequence at p (no overlong forms, no surrogates, nothing above
// U+10FFFF) and its code point; 0 when the bytes there are no such sequence.
int utf8Sequence(const unsigned char *p, qsizetype available, char32_t *codePoint)
{
    const unsigned char c = p[0];
    int length;
    char32_t cp;
    char32_t least;
    if ((c & 0xE0) == 0xC0) {
        length = 2;
        cp = c & 0x1F;
        least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3;
        cp = c & 0x0F;
        least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4;
        cp = c & 0x07;
        least = 0x10000;
    } else {
        return 0;
    }
    if (available < length)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    *codePoint = cp;
    return length;
}

// --- Errors ---

QString reasonFor(int error)
{
    switch (error) {
    case ENOSPC:
        return QStringLiteral("на диске нет места");
    case EDQUOT:
        return QStringLiteral("превышена дисковая квота");
    case EROFS:
        return QStringLiteral("файловая система доступна только для чтения");
    case EACCES:
    case EPERM:
        return QStringLiteral("доступ запрещён");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода");
    case EFBIG:
        return QStringLiteral("файл слишком велик");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя файла");
    default:
        return qt_error_string(error);
    }
}

fsys::Error errorOf(int error)
{
    switch (error) {
    case ENOENT:
        return fsys::Error::Missing;
    case ENOTDIR:
        return fsys::Error::NoFolder;
    case EEXIST:
        return fsys::Error::Exists;
    default:
        return fsys::Error::Other;
    }
}

bool fail(fsys::Failure *failure, int error)
{
    if (failure)
        *failure = {errorOf(error), reasonFor(error)};
    return false;
}

bool fail(QString *reason, int error)
{
    if (reason)
        *reason = reasonFor(error);
    return false;
}

bool fail(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

QString notRegularReason(mode_t mode)
{
    return S_ISDIR(mode) ? QStringLiteral("по этому пути находится папка")
                         : QStringLiteral("это не обычный файл");
}

// --- Status ---

std::function<void(FileStamp &)> &stampFilter()
{
    static std::function<void(FileStamp &)> filter;
    return filter;
}

qint64 nanoseconds(const timespec &t)
{
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FileStamp stampOf(const struct stat &st)
{
    FileStamp s;
    s.exists = S_ISREG(st.st_mode);
    s.device = st.st_dev;
    s.fileId = st.st_ino;
    s.size = st.st_size;
    s.modified = nanoseconds(st.st_mtim);
    s.changed = nanoseconds(st.st_ctim);
    if (stampFilter())
        stampFilter()(s);
    return s;
}

fsys::Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return fsys::Kind::File;
    if (S_ISDIR(mode))
        return fsys::Kind::Folder;
    if (S_ISLNK(mode))
        return fsys::Kind::Link;
    return fsys::Kind::Other;
}

int openRetrying(const char *path, int flags, mode_t mode = 0)
{
    int fd;
    do
        fd = ::open(path, flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

// --- Names ---

NativePath nativePath(const QString &diskPath)
{
    qsizetype first = 0;
    while (first < diskPath.size() && !isEscape(diskPath, first))
        ++first;
    if (first == diskPath.size())
        return diskPath.toUtf8();
    QByteArray native = QStringView(diskPath).left(first).toUtf8();
    qsizetype run = first; // start of the current run of ordinary characters
    for (qsizetype i = first; i <= diskPath.size(); ++i) {
        if (i < diskPath.size() && !isEscape(diskPath, i))
            continue;
        native += QStringView(diskPath).sliced(run, i - run).toUtf8();
        if (i < diskPath.size())
            native += static_cast<char>(diskPath.at(i).unicode() - escapeBase);
        run = i + 1;
    }
    return native;
}

QString fromNativePath(const NativePath &native)
{
    if (isAscii(native))
        return QString::fromLatin1(native);
    const auto *p = reinterpret_cast<const unsigned char *>(native.constData());
    const qsizetype size = native.size();
    QString text;
    text.reserve(size);
    for (qsizetype i = 0; i < size;) {
        char32_t cp;
        if (p[i] < 0x80) {
            text += QChar(p[i++]);
        } else if (const int length = utf8Sequence(p + i, size - i, &cp)) {
            if (QChar::requiresSurrogates(cp)) {
                text += QChar(QChar::highSurrogate(cp));
                text += QChar(QChar::lowSurrogate(cp));
            } else {
                text += QChar(static_cast<char16_t>(cp));
            }
            i += length;
        } else {
            text += QChar(static_cast<char16_t>(escapeBase + p[i++]));
        }
    }
    return text;
}

QString shownPath(const QString &diskPath)
{
    QString shown;
    QByteArray legacy;
    for (qsizetype i = 0; i < diskPath.size(); ++i) {
        if (isEscape(diskPath, i)) {
            legacy += static_cast<char>(diskPath.at(i).unicode() - escapeBase);
            continue;
        }
        if (!legacy.isEmpty()) {
            shown += cp1251::toUnicode(legacy);
            legacy.clear();
        }
        shown += diskPath.at(i);
    }
    if (!legacy.isEmpty())
        shown += cp1251::toUnicode(legacy);
    return shown;
}

namespace fsys {

qsizetype rootLength(const QString &diskPath)
{
    return diskPath.startsWith(QLatin1Char('/')) ? 1 : 0;
}

QString legacySpelling(const QString &name)
{
    QByteArray legacy;
    if (isAscii(name.toUtf8()) || !cp1251::fromUnicode(name, &legacy))
        return QString();
    return fromNativePath(legacy);
}

bool sameLegacyName(const QString &a, const QString &b)
{
    const QByteArray x = nativePath(a);
    const QByteArray y = nativePath(b);
    return x.size() == y.size() && cp1251::equalsIgnoreCase(x, y);
}

// --- Status ---

Entry entryAt(const NativePath &path, Links links, Failure *failure)
{
    struct stat st;
    const int result =
        links == Links::Follow ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st);
    if (result != 0) {
        fail(failure, errno);
        return Entry();
    }
    return {kindOf(st.st_mode), stampOf(st)};
}

Entry entryAt(const QString &path, Links links, Failure *failure)
{
    return entryAt(nativePath(path), links, failure);
}

bool mayWrite(const QString &path)
{
    const NativePath native = nativePath(path);
    struct stat st;
    return ::stat(native.constData(), &st) == 0 && (st.st_mode & 0222) != 0 &&
           ::faccessat(AT_FDCWD, native.constData(), W_OK, AT_EACCESS) == 0;
}

bool mayRead(const QString &path)
{
    return ::faccessat(AT_FDCWD, nativePath(path).constData(), R_OK, AT_EACCESS) == 0;
}

bool isMarkedUnchangeable(const QString &path, bool folder)
{
    const int fd =
        openRetrying(nativePath(path).constData(),
                     O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (folder ? O_DIRECTORY : 0));
    if (fd < 0)
        return false;
    int flags = 0;
    const bool marked = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                        (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
    ::close(fd);
    return marked;
}

std::optional<QString> linkTarget(const QString &path)
{
    const NativePath native = nativePath(path);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return std::nullopt;
    QByteArray target(st.st_size > 0 ? st.st_size + 1 : 4096, Qt::Uninitialized);
    const ssize_t n =
        ::readlink(native.constData(), target.data(), static_cast<size_t>(target.size()));
    if (n <= 0 || n >= target.size())
        return std::nullopt;
    target.truncate(n);
    return fromNativePath(target);
}

std::optional<QString> canonicalPath(const QString &path)
{
    char *real = ::realpath(nativePath(path).constData(), nullptr);
    if (!real)
        return std::nullopt;
    const QString found = fromNativePath(real);
    std::free(real);
    return found;
}

QString nameOnDisk(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString currentFolder()
{
    if (char *cwd = ::getcwd(nullptr, 0)) {
        const QString folder = fromNativePath(cwd);
        std::free(cwd);
        return folder;
    }
    return QDir::currentPath();
}

bool listFolder(const QString &folder, const std::function<void(const QString &name)> &each)
{
    DIR *dir = ::opendir(folder.isEmpty() ? "." : nativePath(folder).constData());
    if (!dir)
        return false;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (name != "." && name != "..")
            each(fromNativePath(name.toByteArray()));
    }
    ::closedir(dir);
    return true;
}

// --- Changes ---

bool replace(const QString &from, const QString &to, Failure *failure)
{
    if (::rename(nativePath(from).constData(), nativePath(to).constData()) != 0)
        return fail(failure, errno);
    return true;
}

bool moveNoReplace(const QString &from, const QString &to, Failure *failure)
{
    const NativePath source = nativePath(from);
    const NativePath target = nativePath(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return fail(failure, errno);
    // A file system that cannot rename without replacing: a hard link refuses an existing
    // target just as well.
    if (::link(source.constData(), target.constData()) != 0)
        return fail(failure, errno);
    ::unlink(source.constData());
    return true;
}

bool removeFile(const QString &path)
{
    return ::unlink(nativePath(path).constData()) == 0;
}

qint64 clockNow()
{
    timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}

void adviseLargeBuffer(char *data, qsizetype size)
{
#ifdef MADV_HUGEPAGE
    // Only whole large pages inside the buffer: the advice applies to address ranges.
    constexpr std::uintptr_t large = std::uintptr_t{2} << 20;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + large - 1) & ~(large - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + std::uintptr_t(size)) & ~(large - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

bool setModifiedTime(const QString &path, qint64 ns)
{
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(ns / 1000000000);
    times[1].tv_nsec = static_cast<long>(ns % 1000000000);
    return ::utimensat(AT_FDCWD, nativePath(path).constData(), times, 0) == 0;
}

// --- Open files ---

File::~File()
{
    if (handle_ != -1)
        ::close(static_cast<int>(handle_));
}

File::File(File &&other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

File &File::operator=(File &&other) noexcept
{
    if (this != &other) {
        if (handle_ != -1)
            ::close(static_cast<int>(handle_));
        handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
}

File File::openRegular(const NativePath &path, FileStamp *stamp, FileRead *outcome, QString *reason)
{
    const auto refuse = [&](FileRead why, const QString &text) {
        *outcome = why;
        if (reason)
            *reason = text;
        return File();
    };
    const auto refuseErrno = [&](int error) {
        return refuse(error == ENOENT || error == ENOTDIR ? FileRead::Missing : FileRead::Failed,
                      reasonFor(error));
    };

    // The status before the open keeps a device or FIFO from being opened at all; O_NONBLOCK
    // keeps the open from waiting for a FIFO's writer when one was swapped in meanwhile
    // (regular files ignore it).
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return refuseErrno(errno);
    if (!S_ISREG(st.st_mode))
        return refuse(FileRead::NotRegular, notRegularReason(st.st_mode));
    const int fd = openRetrying(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return refuseErrno(errno);
    File file(fd);
    if (::fstat(fd, &st) != 0)
        return refuseErrno(errno);
    if (!S_ISREG(st.st_mode))
        return refuse(FileRead::NotRegular, notRegularReason(st.st_mode));
    *stamp = stampOf(st);
    *outcome = FileRead::Read;
    return file;
}

File File::createNew(const QString &path, bool ownerOnly, Failure *failure)
{
    const int fd = openRetrying(nativePath(path).constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, ownerOnly ? 0600 : 0666);
    if (fd < 0) {
        fail(failure, errno);
        return File();
    }
    return File(fd);
}

qint64 File::read(char *buffer, qint64 size, QString *reason)
{
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(handle_), buffer, static_cast<size_t>(size));
        if (n >= 0)
            return n;
        if (errno != EINTR) {
            fail(reason, errno);
            return -1;
        }
    }
}

qint64 File::readAt(qint64 offset, char *buffer, qint64 size, QString *reason)
{
    for (;;) {
        const ssize_t n = ::pread(static_cast<int>(handle_), buffer, static_cast<size_t>(size),
                                  static_cast<off_t>(offset));
        if (n >= 0)
            return n;
        if (errno != EINTR) {
            fail(reason, errno);
            return -1;
        }
    }
}

namespace {

bool writeAll(int fd, const char *data, qsizetype size, QString *reason)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(reason, errno);
        }
        if (n == 0) // never for a regular file; do not spin if it happens
            return fail(reason, EIO);
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

bool File::write(QByteArrayView bytes, QString *reason)
{
    return writeAll(static_cast<int>(handle_), bytes.data(), bytes.size(), reason);
}

bool File::flushToDisk(QString *reason)
{
    if (::fsync(static_cast<int>(handle_)) != 0 && errno != EINVAL) // EINVAL: cannot sync
        return fail(reason, errno);
    return true;
}

bool File::close(QString *reason)
{
    const int fd = static_cast<int>(std::exchange(handle_, -1));
    // After EINTR the descriptor is gone all the same on Linux.
    if (::close(fd) != 0 && errno != EINTR)
        return fail(reason, errno);
    return true;
}

void File::takeAccessOf(const QString &path)
{
    struct stat st;
    if (::stat(nativePath(path).constData(), &st) != 0)
        return;
    const int fd = static_cast<int>(handle_);
    // Keeps the owner when root saves someone else's file; best effort, as is the mode on file
    // systems that cannot hold it.
    if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
        ::fchown(fd, st.st_uid, st.st_gid) != 0) {
    }
    if (::fchmod(fd, st.st_mode & 07777) != 0) {
    }
}

// --- Appending ---

bool appendToFile(const QString &path, QByteArrayView bytes, bool onOwnLine, QString *reason)
{
    const NativePath native = nativePath(path);
    // Nothing but a regular file is opened: a FIFO would wait for a reader for good, a device
    // would take the bytes. The status first keeps such an entry from being opened at all; the
    // open never waits (a FIFO without a reader refuses it), and the descriptor is checked again.
    struct stat st;
    if (::stat(native.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return fail(reason, notRegularReason(st.st_mode));
    const int fd =
        openRetrying(native.constData(),
                     O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
    if (fd < 0)
        return fail(reason,
                    errno == ENXIO ? QStringLiteral("это не обычный файл") : reasonFor(errno));
    File file(fd);
    if (::fstat(fd, &st) != 0)
        return fail(reason, errno);
    if (!S_ISREG(st.st_mode))
        return fail(reason, notRegularReason(st.st_mode));
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return fail(reason, errno);

    QByteArray line;
    if (onOwnLine && st.st_size > 0) {
        char last = '\n';
        const int in = openRetrying(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (in >= 0) {
            struct stat inSt;
            if (::fstat(in, &inSt) == 0 && inSt.st_dev == st.st_dev && inSt.st_ino == st.st_ino &&
                ::pread(in, &last, 1, st.st_size - 1) == 1 && last != '\n')
                line = "\n";
            ::close(in);
        }
    }
    if (!line.isEmpty()) {
        line += bytes;
        bytes = line;
    }
    if (!file.write(bytes, reason))
        return false;
    return file.close(reason);
}

// --- Locks ---

QString FileLock::lockPathFor(const QString &path)
{
    const NativePath native = nativePath(path);
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray() : native.left(slash + 1);
    // Cut like the temporary files' names, so that the whole stays a valid file name.
    return fromNativePath(folder + '.' + native.mid(slash + 1).left(200) + ".lock");
}

FileLock FileLock::acquire(const QString &path, std::chrono::milliseconds wait, Outcome *outcome,
                           QString *reason)
{
    using namespace std::chrono;
    FileLock lock;
    const QString lockPath = lockPathFor(path);
    const NativePath native = nativePath(lockPath);
    // A folder that the program may not write (read-only, append-only or immutable) gets no lock
    // file: root could make one in a read-only folder, and an append-only one would keep it.
    const QString folder = folderHolding(lockPath);
    if (!mayWrite(folder) || isMarkedUnchangeable(folder, true)) {
        *outcome = Outcome::Unavailable;
        fail(reason, QStringLiteral("папка недоступна для записи"));
        return lock;
    }
    const auto deadline = steady_clock::now() + wait;
    milliseconds pause{1};
    for (;;) {
        const int fd =
            openRetrying(native.constData(),
                         O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0666);
        if (fd < 0) {
            *outcome = Outcome::Unavailable;
            fail(reason, errno);
            return lock;
        }
        struct stat held;
        if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            ::close(fd);
            *outcome = Outcome::Unavailable;
            fail(reason,
                 QStringLiteral("файл блокировки %1 не обычный файл").arg(shownPath(lockPath)));
            return lock;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // The last holder removes the file as it lets go: a lock on a file no longer named
            // so holds nobody off, so the one there now is locked instead.
            struct stat named;
            if (::lstat(native.constData(), &named) == 0 && named.st_dev == held.st_dev &&
                named.st_ino == held.st_ino) {
                lock.handle_ = fd;
                lock.lockPath_ = lockPath;
                *outcome = Outcome::Held;
                return lock;
            }
            ::close(fd);
            continue;
        }
        const int error = errno;
        ::close(fd);
        if (error != EWOULDBLOCK && error != EINTR) {
            *outcome = Outcome::Unsupported;
            fail(reason, error);
            return lock;
        }
        if (steady_clock::now() >= deadline) {
            *outcome = Outcome::Busy;
            fail(reason, QStringLiteral("файл занят другой записью дольше %1 с; ничего не записано")
                             .arg(QString::number(double(wait.count()) / 1000.0)));
            return lock;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, milliseconds(50));
    }
}

void FileLock::release()
{
    if (handle_ == -1)
        return;
    const int fd = static_cast<int>(std::exchange(handle_, -1));
    // Removed while still held, so no waiter locks a file that is going; a waiter that opened it
    // before finds it gone once it gets the lock and takes a new one.
    ::unlink(nativePath(lockPath_).constData());
    ::flock(fd, LOCK_UN);
    ::close(fd);
    lockPath_.clear();
}

void setStampFilterForTests(std::function<void(FileStamp &)> filter)
{
    stampFilter() = std::move(filter);
}

} // namespace fsys
