#include "profile/DiskPath.h"

#include "profile/FileSystem.h"
#include "textcodec/Cp1251.h"

#include <QDir>
#include <QStringList>

#include <optional>

namespace {

QString join(const QString &base, const QString &name)
{
    if (base.isEmpty())
        return name;
    if (base.endsWith(QLatin1Char('/')))
        return base + name;
    return base + QLatin1Char('/') + name;
}

// The entry of a folder that a missing component names: the first by name whose name equals it
// without regard to case; else the one whose name is the component as an old unpacker wrote it
// (its Windows-1251 bytes); else the first by name that equals that without regard to case.
// Empty when none does. One listing of the folder serves all three.
QString findEntry(const QString &folder, const QString &name)
{
    const QString legacy = fsys::legacySpelling(name);
    QString unicodeMatch;
    QString legacyExact;
    QString legacyMatch;
    fsys::listFolder(folder, [&](const QString &candidate) {
        if (candidate.compare(name, Qt::CaseInsensitive) == 0) {
            if (unicodeMatch.isEmpty() || candidate < unicodeMatch)
                unicodeMatch = candidate;
        } else if (!legacy.isEmpty()) {
            if (candidate == legacy)
                legacyExact = candidate;
            else if (fsys::sameLegacyName(candidate, legacy) &&
                     (legacyMatch.isEmpty() || candidate < legacyMatch))
                legacyMatch = candidate;
        }
    });
    if (!unicodeMatch.isEmpty())
        return unicodeMatch;
    return legacyExact.isEmpty() ? legacyMatch : legacyExact;
}

} // namespace

QString folderOf(const QString &diskPath)
{
    return fsys::folderHolding(diskPath);
}

bool entryExists(const QString &diskPath)
{
    return fsys::entryAt(diskPath, fsys::Links::DoNotFollow).kind != fsys::Kind::None;
}

bool targetExists(const QString &diskPath)
{
    return fsys::entryAt(diskPath).kind != fsys::Kind::None;
}

bool isFolder(const QString &diskPath)
{
    return fsys::entryAt(diskPath).kind == fsys::Kind::Folder;
}

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

    const qsizetype root = fsys::rootLength(given);
    QString result = given.left(root);
    bool onDisk = true; // every component so far exists
    const QStringList parts = given.mid(root).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QString exact = join(result, part);
        if (!onDisk || part == QLatin1String(".") || part == QLatin1String("..")) {
            result = exact;
            continue;
        }
        if (entryExists(exact)) {
            result = join(result, fsys::nameOnDisk(exact));
            continue;
        }
        const QString match = findEntry(result, part);
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
        const std::optional<QString> to = fsys::linkTarget(path);
        if (!to || to->isEmpty())
            break;
        if (fsys::rootLength(*to) > 0) {
            path = *to;
        } else {
            const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
            path = slash < 0 ? *to : path.left(slash + 1) + *to;
        }
    }
    return path;
}

namespace {

QString realDiskPath(const QString &path, int depth)
{
    const QString absolute = fsys::rootLength(path) > 0 ? path : join(fsys::currentFolder(), path);
    if (const std::optional<QString> real = fsys::canonicalPath(absolute))
        return *real;
    // A link whose target is missing leads on to that target: a write would create it there.
    if (depth < 40 && fsys::entryAt(absolute, fsys::Links::DoNotFollow).kind == fsys::Kind::Link) {
        const QString target = resolveSymlinks(absolute);
        if (target != absolute)
            return realDiskPath(target, depth + 1);
    }
    const qsizetype slash = absolute.lastIndexOf(QLatin1Char('/'));
    if (slash < fsys::rootLength(absolute))
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
    return fsys::mayWrite(diskPath);
}
