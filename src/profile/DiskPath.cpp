#include "profile/DiskPath.h"

#include "textcodec/Cp1251.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

bool entryExists(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// The entry of a folder whose name equals name without regard to case; empty when none does.
QString findIgnoringCase(const QString &folder, const QString &name)
{
    DIR *dir =
        ::opendir(QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder).constData());
    if (!dir)
        return QString();
    QString best;
    while (const dirent *entry = ::readdir(dir)) {
        const QString candidate = QFile::decodeName(entry->d_name);
        if (candidate == QLatin1String(".") || candidate == QLatin1String(".."))
            continue;
        if (candidate.compare(name, Qt::CaseInsensitive) == 0 &&
            (best.isEmpty() || candidate < best))
            best = candidate;
    }
    ::closedir(dir);
    return best;
}

QString join(const QString &base, const QString &name)
{
    if (base.isEmpty())
        return name;
    if (base.endsWith(QLatin1Char('/')))
        return base + name;
    return base + QLatin1Char('/') + name;
}

} // namespace

QString resolveDiskPath(const QByteArray &cp1251Path)
{
    return resolveDiskPath(cp1251::toUnicode(cp1251Path));
}

QString resolveDiskPath(const QString &path)
{
    QString given = path;
    given.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (given.isEmpty())
        return given;

    QString result = given.startsWith(QLatin1Char('/')) ? QStringLiteral("/") : QString();
    bool onDisk = true; // every component so far exists
    const QStringList parts = given.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QString exact = join(result, part);
        if (!onDisk || part == QLatin1String(".") || part == QLatin1String("..") ||
            entryExists(exact)) {
            result = exact;
            continue;
        }
        const QString match = findIgnoringCase(result, part);
        if (match.isEmpty()) {
            onDisk = false;
            result = exact;
        } else {
            result = join(result, match);
        }
    }
    if (given.endsWith(QLatin1Char('/')) && !result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    return result;
}

QString resolveSymlinks(const QString &diskPath)
{
    QString path = diskPath;
    // A loop of links ends after as many steps as the system itself follows.
    for (int depth = 0; depth < 40; ++depth) {
        const QByteArray native = QFile::encodeName(path);
        struct stat st;
        if (::lstat(native.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        QByteArray target(st.st_size > 0 ? st.st_size + 1 : 4096, Qt::Uninitialized);
        const ssize_t n =
            ::readlink(native.constData(), target.data(), static_cast<size_t>(target.size()));
        if (n <= 0 || n >= target.size())
            break;
        target.truncate(n);
        const QString to = QFile::decodeName(target);
        if (to.startsWith(QLatin1Char('/'))) {
            path = to;
        } else {
            const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
            path = slash < 0 ? to : path.left(slash + 1) + to;
        }
    }
    return path;
}

namespace {

QString realDiskPath(const QString &path, int depth)
{
    const QString absolute = QDir::isAbsolutePath(path) ? path : QDir::current().filePath(path);
    const QByteArray native = QFile::encodeName(absolute);
    if (char *real = ::realpath(native.constData(), nullptr)) {
        const QString found = QFile::decodeName(real);
        std::free(real);
        return found;
    }
    struct stat st;
    // A link whose target is missing leads on to that target: a write would create it there.
    if (depth < 40 && ::lstat(native.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        const QString target = resolveSymlinks(absolute);
        if (target != absolute)
            return realDiskPath(target, depth + 1);
    }
    const qsizetype slash = absolute.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0)
        return QDir::cleanPath(absolute);
    return QDir::cleanPath(realDiskPath(absolute.left(slash), depth) + absolute.mid(slash));
}

} // namespace

QString realDiskPath(const QString &diskPath)
{
    return realDiskPath(diskPath, 0);
}

bool mayWrite(const QString &diskPath)
{
    const QByteArray native = QFile::encodeName(diskPath);
    struct stat st;
    return ::stat(native.constData(), &st) == 0 && (st.st_mode & 0222) != 0 &&
           ::faccessat(AT_FDCWD, native.constData(), W_OK, AT_EACCESS) == 0;
}
