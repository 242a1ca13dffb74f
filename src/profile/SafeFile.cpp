#include "profile/SafeFile.h"

#include "profile/DiskPath.h"

#include <QRandomGenerator>

#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>

#include <dirent.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr qsizetype chunkSize = 64 * 1024;

std::function<void(const QByteArray &)> &beforeRenameHook()
{
    static std::function<void(const QByteArray &)> hook;
    return hook;
}

bool sameTime(const timespec &a, const timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

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

QString notRegularReason(const struct stat &st)
{
    return S_ISDIR(st.st_mode) ? QStringLiteral("по этому пути находится папка")
                               : QStringLiteral("это не обычный файл");
}

bool fail(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

QByteArray folderOf(const QByteArray &nativePath)
{
    const qsizetype slash = nativePath.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return nativePath.left(slash);
}

// Opens a regular file for reading without ever waiting: the status is checked before the open,
// so a device or FIFO is never opened, and again on the descriptor in case the entry was swapped
// in between (O_NONBLOCK keeps that open from waiting for a FIFO's writer; regular files ignore
// it). Returns the descriptor, or -1 with *outcome saying why.
int openRegular(const QByteArray &nativePath, struct stat *st, FileRead *outcome, QString *reason)
{
    const auto refuse = [&](FileRead why, const QString &text) {
        *outcome = why;
        if (reason)
            *reason = text;
        return -1;
    };
    const auto refuseErrno = [&](int error) {
        return refuse(error == ENOENT || error == ENOTDIR ? FileRead::Missing : FileRead::Failed,
                      reasonFor(error));
    };

    if (::stat(nativePath.constData(), st) != 0)
        return refuseErrno(errno);
    if (!S_ISREG(st->st_mode))
        return refuse(FileRead::NotRegular, notRegularReason(*st));
    int fd;
    do
        fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return refuseErrno(errno);
    if (::fstat(fd, st) != 0) {
        const int error = errno;
        ::close(fd);
        return refuseErrno(error);
    }
    if (!S_ISREG(st->st_mode)) {
        ::close(fd);
        return refuse(FileRead::NotRegular, notRegularReason(*st));
    }
    *outcome = FileRead::Read;
    return fd;
}

// Reads fd to its end in chunks handed to sink; false on a read error or when sink refuses.
bool readChunks(int fd, const std::function<bool(const char *, qsizetype)> &sink, QString *reason)
{
    char buffer[chunkSize];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(reason, reasonFor(errno));
        }
        if (n == 0)
            return true;
        if (!sink(buffer, n))
            return false;
    }
}

bool writeAll(int fd, const char *data, qsizetype size, QString *reason)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(reason, reasonFor(errno));
        }
        if (n == 0) // never for a regular file; do not spin if it happens
            return fail(reason, reasonFor(EIO));
        data += n;
        size -= n;
    }
    return true;
}

// Append-only and immutable entries (chattr +a, +i) refuse the rename and, in a folder, the
// removal of the temporary file, so they are refused before anything is created. File systems
// without these flags answer the query with an error: nothing is marked there.
bool isMarkedUnchangeable(const QByteArray &nativePath, bool folder)
{
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY |
                                                      (folder ? O_DIRECTORY : 0));
    if (fd < 0)
        return false;
    int flags = 0;
    const bool marked = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                        (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
    ::close(fd);
    return marked;
}

// A temporary file beside the target, removed again unless it was renamed over the target.
class TemporaryFile
{
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    ~TemporaryFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!path_.isEmpty())
            ::unlink(path_.constData());
    }

    int fd() const { return fd_; }

    // A hidden name that the game's own file names cannot take: "." + name + ".tmp-" + six
    // random letters or digits, the name cut so that the whole stays a valid file name.
    bool create(const QByteArray &folder, const QByteArray &name, mode_t mode, QString *reason)
    {
        static constexpr char letters[] =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        const QByteArray stem =
            (folder == "/" ? QByteArray() : folder) + "/." + name.left(200) + ".tmp-";
        for (int attempt = 0; attempt < 100; ++attempt) {
            QByteArray candidate = stem;
            for (int i = 0; i < 6; ++i)
                candidate += letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
            const int fd =
                ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd >= 0) {
                fd_ = fd;
                path_ = candidate;
                return true;
            }
            if (errno != EEXIST && errno != EINTR)
                return fail(reason, reasonFor(errno));
        }
        return fail(reason, reasonFor(EEXIST));
    }

    // Flushes the data to the disk, closes the file and renames it over target; every step is
    // checked, since a full disk may show only at the flush. With expected, the target must
    // still be that file right before the rename: what another program wrote since the caller
    // read it stays, and the save is refused. The window left is the rename itself.
    bool commit(const QByteArray &target, const FileStamp *expected, QString *reason)
    {
        if (::fsync(fd_) != 0 && errno != EINVAL) // EINVAL: a file system that cannot sync
            return fail(reason, reasonFor(errno));
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR)
            return fail(reason, reasonFor(errno));
        if (beforeRenameHook())
            beforeRenameHook()(target);
        if (expected) {
            struct stat st;
            const FileStamp now =
                ::stat(target.constData(), &st) == 0 ? FileStamp::of(st) : FileStamp();
            if (!(now == *expected))
                return fail(reason, QStringLiteral("файл изменён другой программой во время "
                                                   "записи; запись отменена, изменения той "
                                                   "программы сохранены"));
        }
        if (::rename(path_.constData(), target.constData()) != 0)
            return fail(reason, reasonFor(errno));
        path_.clear();
        return true;
    }

private:
    int fd_ = -1;
    QByteArray path_;
};

// Whether name is one of the temporary file names that TemporaryFile::create makes.
bool isTemporaryName(QByteArrayView name)
{
    static constexpr QByteArrayView marker = ".tmp-";
    constexpr qsizetype suffix = 5 + 6; // marker and six letters or digits
    if (name.size() < 1 + 1 + suffix || name.front() != '.' ||
        name.sliced(name.size() - suffix, marker.size()) != marker)
        return false;
    return std::all_of(name.end() - 6, name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

// A save that was killed before its rename leaves its temporary file behind, as large as the
// file it was to become. The first save into a folder in a session removes those of the
// program's own name pattern that are regular files untouched for some minutes (a save in
// progress, by this or another running copy of the program, keeps writing its file); anything
// else stays.
void removeStaleTemporaries(const QByteArray &folder)
{
    constexpr time_t staleAfter = 5 * 60;
    static std::mutex mutex;
    static QSet<QByteArray> done;
    {
        std::lock_guard lock(mutex);
        if (done.contains(folder))
            return;
        done.insert(folder);
    }
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const time_t now = ::time(nullptr);
    while (const dirent *entry = ::readdir(dir)) {
        if (!isTemporaryName(QByteArrayView(entry->d_name)))
            continue;
        struct stat st;
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && st.st_mtime < now - staleAfter)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

// The common path of every save: checks, temporary file, the content from produce, commit.
bool replaceFile(const QString &path, const std::function<bool(int fd, QString *reason)> &produce,
                 QString *reason, const FileStamp *expected = nullptr)
{
    const QString refusal = whyNotSavable(path);
    if (!refusal.isEmpty())
        return fail(reason, refusal);
    const QByteArray target = nativePath(resolveSymlinks(path));
    const QByteArray folder = folderOf(target);
    removeStaleTemporaries(folder);
    struct stat st;
    const bool exists = ::stat(target.constData(), &st) == 0;

    TemporaryFile temp;
    const QByteArray name = target.mid(target.lastIndexOf('/') + 1);
    // An existing file's mode is set once the file is ours; a new one follows the umask.
    if (!temp.create(folder, name, exists ? 0600 : 0666, reason))
        return false;
    if (exists) {
        // Keeps the owner when root saves someone else's file; best effort, as is the mode on
        // file systems that cannot hold it.
        if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
            ::fchown(temp.fd(), st.st_uid, st.st_gid) != 0) {
        }
        if (::fchmod(temp.fd(), st.st_mode & 07777) != 0) {
        }
    }
    if (!produce(temp.fd(), reason))
        return false;
    return temp.commit(target, expected, reason);
}

} // namespace

FileStamp FileStamp::of(const struct stat &st)
{
    FileStamp s;
    s.exists = S_ISREG(st.st_mode);
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.modified = st.st_mtim;
    s.changed = st.st_ctim;
    return s;
}

bool FileStamp::operator==(const FileStamp &other) const
{
    return exists == other.exists && device == other.device && inode == other.inode &&
           size == other.size && sameTime(modified, other.modified) &&
           sameTime(changed, other.changed);
}

void setBeforeRenameHook(std::function<void(const QByteArray &target)> hook)
{
    beforeRenameHook() = std::move(hook);
}

QString whyNotSavable(const QString &path)
{
    const QString targetPath = resolveSymlinks(path);
    const QByteArray target = nativePath(targetPath);

    struct stat st;
    const bool exists = ::stat(target.constData(), &st) == 0;
    const int statError = exists ? 0 : errno;
    if (exists && !S_ISREG(st.st_mode))
        return notRegularReason(st);
    if (!exists && statError != ENOENT)
        return statError == ENOTDIR ? QStringLiteral("папка не найдена") : reasonFor(statError);

    const QByteArray folder = folderOf(target);
    struct stat folderStat;
    if (::stat(folder.constData(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode))
        return QStringLiteral("папка %1 не найдена").arg(shownPath(fromNativePath(folder)));
    if (exists && !mayWrite(targetPath))
        return QStringLiteral("файл только для чтения");
    if (!mayWrite(fromNativePath(folder)))
        return QStringLiteral("папка только для чтения");
    if (isMarkedUnchangeable(folder, true))
        return QStringLiteral("папка защищена от изменений (атрибут a или i)");
    if (exists && isMarkedUnchangeable(target, false))
        return QStringLiteral("файл защищён от изменений (атрибут a или i)");
    return QString();
}

FileRead readRegularFileUnlessSame(const QByteArray &nativePath, QByteArrayView known, bool *same,
                                   QByteArray *bytes, struct stat *st, QString *reason)
{
    *same = false;
    struct stat local;
    struct stat *status = st ? st : &local;
    FileRead outcome;
    const int fd = openRegular(nativePath, status, &outcome, reason);
    if (fd < 0)
        return outcome;
    QByteArray data;
    qsizetype matched = 0; // bytes read so far, all equal to known's; -1 once one differs
    const bool ok = readChunks(
        fd,
        [&](const char *chunk, qsizetype size) {
            if (matched >= 0) {
                if (size <= known.size() - matched &&
                    std::memcmp(known.data() + matched, chunk, static_cast<size_t>(size)) == 0) {
                    matched += size;
                    return true;
                }
                data.reserve(static_cast<qsizetype>(std::min<off_t>(status->st_size, 64 << 20)));
                data.append(known.first(matched));
                matched = -1;
            }
            data.append(chunk, size);
            return true;
        },
        reason);
    ::close(fd);
    if (!ok)
        return FileRead::Failed;
    if (matched == known.size())
        *same = true;
    else if (matched >= 0) // shorter than known
        data = known.first(matched).toByteArray();
    *bytes = std::move(data);
    return FileRead::Read;
}

FileRead readRegularFile(const QByteArray &nativePath, QByteArray *bytes, struct stat *st,
                         QString *reason)
{
    // Nothing known to compare with: every byte read is kept.
    bool same = false;
    return readRegularFileUnlessSame(nativePath, {}, &same, bytes, st, reason);
}

bool saveFile(const QString &path, QByteArrayView bytes, QString *reason, const FileStamp *expected)
{
    return replaceFile(
        path, [&](int fd, QString *why) { return writeAll(fd, bytes.data(), bytes.size(), why); },
        reason, expected);
}

bool saveCopy(const QString &source, const QString &destination, QString *reason,
              bool *sourceUnreadable)
{
    if (sourceUnreadable)
        *sourceUnreadable = false;
    struct stat st;
    FileRead outcome;
    QString why;
    const int in = openRegular(nativePath(source), &st, &outcome, &why);
    if (in < 0) {
        if (sourceUnreadable)
            *sourceUnreadable = true;
        return fail(reason,
                    QStringLiteral("исходный файл %1 не читается: %2").arg(shownPath(source), why));
    }
    const bool ok = replaceFile(
        destination,
        [&](int out, QString *writeWhy) {
            return readChunks(
                in,
                [&](const char *chunk, qsizetype size) {
                    return writeAll(out, chunk, size, writeWhy);
                },
                writeWhy);
        },
        reason);
    ::close(in);
    return ok;
}
