#include "profile/DiskPath.h"

#include "textcodec/Cp1251.h"

#include <QDir>
#include <QStringList>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

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

QString join(const QString &base, const QString &name)
{
    if (base.isEmpty())
        return name;
    if (base.endsWith(QLatin1Char('/')))
        return base + name;
    return base + QLatin1Char('/') + name;
}

// The entry of a folder that a missing component names: the first by name whose UTF-8 name
// equals it without regard to case; else the one whose name is the component's Windows-1251
// bytes; else the first by name that equals those bytes without regard to case. Empty when
// none does. One listing of the folder serves all three.
QString findEntry(const QString &folder, const QString &name)
{
    DIR *dir = ::opendir(folder.isEmpty() ? "." : nativePath(folder).constData());
    if (!dir)
        return QString();
    QByteArray legacy; // the name in Windows-1251 bytes, when it differs from UTF-8
    if (!isAscii(name.toUtf8()) && !cp1251::fromUnicode(name, &legacy))
        legacy.clear();
    QString unicodeMatch;
    QString legacyExact;
    QString legacyMatch;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArrayView bytes(entry->d_name);
        if (bytes == "." || bytes == "..")
            continue;
        const QString candidate = fromNativePath(bytes.toByteArray());
        if (candidate.compare(name, Qt::CaseInsensitive) == 0) {
            if (unicodeMatch.isEmpty() || candidate < unicodeMatch)
                unicodeMatch = candidate;
        } else if (!legacy.isEmpty() && bytes.size() == legacy.size()) {
            if (bytes == legacy)
                legacyExact = candidate;
            else if (cp1251::equalsIgnoreCase(bytes, legacy) &&
                     (legacyMatch.isEmpty() || candidate < legacyMatch))
                legacyMatch = candidate;
        }
    }
    ::closedir(dir);
    if (!unicodeMatch.isEmpty())
        return unicodeMatch;
    return legacyExact.isEmpty() ? legacyMatch : legacyExact;
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

} // namespace

QByteArray nativePath(const QString &diskPath)
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

QString fromNativePath(const QByteArray &native)
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

bool entryExists(const QString &diskPath)
{
    struct stat st;
    return ::lstat(nativePath(diskPath).constData(), &st) == 0;
}

bool targetExists(const QString &diskPath)
{
    struct stat st;
    return ::stat(nativePath(diskPath).constData(), &st) == 0;
}

bool isFolder(const QString &diskPath)
{
    struct stat st;
    return ::stat(nativePath(diskPath).constData(), &st) == 0 && S_ISDIR(st.st_mode);
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
        const QByteArray native = nativePath(path);
        struct stat st;
        if (::lstat(native.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        QByteArray target(st.st_size > 0 ? st.st_size + 1 : 4096, Qt::Uninitialized);
        const ssize_t n =
            ::readlink(native.constData(), target.data(), static_cast<size_t>(target.size()));
        if (n <= 0 || n >= target.size())
            break;
        target.truncate(n);
        const QString to = fromNativePath(target);
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
    const QString absolute = path.startsWith(QLatin1Char('/')) ? path : join(currentFolder(), path);
    const QByteArray native = nativePath(absolute);
    if (char *real = ::realpath(native.constData(), nullptr)) {
        const QString found = fromNativePath(real);
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
    const QByteArray native = nativePath(diskPath);
    struct stat st;
    return ::stat(native.constData(), &st) == 0 && (st.st_mode & 0222) != 0 &&
           ::faccessat(AT_FDCWD, native.constData(), W_OK, AT_EACCESS) == 0;
}
