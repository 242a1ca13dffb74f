#include "support/TestSystem.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace testsys {

QByteArray consoleText(QByteArray output)
{
    return output;
}

QString displayAlwaysThere()
{
    return {};
}

namespace {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool hasType(const QString &path, mode_t type)
{
    struct stat st;
    return ::lstat(native(path).constData(), &st) == 0 && (st.st_mode & S_IFMT) == type;
}

} // namespace

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

int permissionBits(const QString &path)
{
    struct stat st;
    return ::stat(native(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

int newFilePermissionBits()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return int(0666 & ~mask);
}

QString makeFifo(const QString &path)
{
    // A write into a FIFO that nobody reads would end the test program otherwise.
    std::signal(SIGPIPE, SIG_IGN);
    return ::mkfifo(native(path).constData(), 0666) == 0 ? QString() : lastError();
}

void unblockFifo(const QString &path)
{
    const int fd = ::open(native(path).constData(), O_RDWR | O_NONBLOCK);
    if (fd >= 0)
        ::close(fd);
}

bool isFifo(const QString &path)
{
    return hasType(path, S_IFIFO);
}

QString makeNullDevice(const QString &path)
{
    return ::mknod(native(path).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0 ? QString()
                                                                                 : lastError();
}

bool isCharacterDevice(const QString &path)
{
    struct stat st;
    return ::stat(native(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

QString makeSymlink(const QString &target, const QString &link)
{
    return ::symlink(native(target).constData(), native(link).constData()) == 0 ? QString()
                                                                                : lastError();
}

QString setFolderWritable(const QString &folder, bool writable)
{
    return ::chmod(native(folder).constData(), writable ? 0755 : 0555) == 0 ? QString()
                                                                            : lastError();
}

QString setMark(const QString &path, Mark mark, bool on)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return lastError();
    const int flag = mark == Mark::AppendOnly ? FS_APPEND_FL : FS_IMMUTABLE_FL;
    int flags = 0;
    QString why;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) {
        why = lastError();
    } else {
        flags = on ? flags | flag : flags & ~flag;
        if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0)
            why = lastError();
    }
    ::close(fd);
    return why;
}

bool setAge(const QString &path, int secondsAgo)
{
    const timespec back{::time(nullptr) - secondsAgo, 0};
    const timespec times[2] = {back, back};
    return ::utimensat(AT_FDCWD, native(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

QString byteNamesMissing()
{
    return QString();
}

bool writeRaw(const QByteArray &path, const QByteArray &bytes)
{
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1))
        ::mkdir(path.left(slash).constData(), 0755);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), bytes.size()) == bytes.size();
    return ::close(fd) == 0 && written;
}

QByteArray readRaw(const QByteArray &path)
{
    QByteArray bytes;
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0)
        return "<missing>";
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, n);
    ::close(fd);
    return bytes;
}

QList<QByteArray> listRaw(const QByteArray &folder)
{
    QList<QByteArray> names;
    if (DIR *dir = ::opendir(folder.constData())) {
        while (const dirent *entry = ::readdir(dir))
            if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
                names.append(entry->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void removeRaw(const QByteArray &path)
{
    ::nftw(
        path.constData(),
        [](const char *entry, const struct stat *, int, FTW *) { return ::remove(entry); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

QString makeSymlinkRaw(const QByteArray &target, const QByteArray &link)
{
    return ::symlink(target.constData(), link.constData()) == 0 ? QString() : lastError();
}

SmallDisk::~SmallDisk()
{
    if (!mountPoint_.isEmpty())
        ::umount2(native(mountPoint_).constData(), MNT_DETACH);
}

QString SmallDisk::mount(const QString &mountPoint)
{
    if (!runningAsRoot())
        return QStringLiteral("mounting a tmpfs needs root");
    QDir().mkpath(mountPoint);
    if (::mount("tmpfs", native(mountPoint).constData(), "tmpfs", 0, "size=64k,mode=0755") != 0)
        return QStringLiteral("mounting a tmpfs failed: ") + lastError();
    mountPoint_ = mountPoint;
    return QString();
}

} // namespace testsys
