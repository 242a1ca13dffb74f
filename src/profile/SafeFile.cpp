#include "profile/SafeFile.h"

#include "profile/DiskPath.h"
#include "profile/FileSystem.h"

#include <QRandomGenerator>

#include <QSet>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>

namespace {

constexpr qsizetype chunkSize = 64 * 1024;

std::function<void(const QByteArray &)> &beforeRenameHook()
{
    static std::function<void(const QByteArray &)> hook;
    return hook;
}

bool fail(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

QString notRegularReason(fsys::Kind kind)
{
    return kind == fsys::Kind::Folder ? QStringLiteral("по этому пути находится папка")
                                      : QStringLiteral("это не обычный файл");
}

// Reads file to its end in chunks handed to sink; false on a read error or when sink refuses.
bool readChunks(fsys::File &file, const std::function<bool(const char *, qsizetype)> &sink,
                QString *reason)
{
    char buffer[chunkSize];
    for (;;) {
        const qint64 n = file.read(buffer, sizeof buffer, reason);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!sink(buffer, n))
            return false;
    }
}

// How a save treats a file that is at the target when its content is complete.
enum class Existing
{
    Replace,
    Keep, // the save is dropped: the file is made once
};

// A temporary file beside the target, removed again unless it was renamed over the target.
class TemporaryFile
{
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    ~TemporaryFile()
    {
        file_ = fsys::File();
        if (!path_.isEmpty())
            fsys::removeFile(path_);
    }

    fsys::File &file() { return file_; }

    // A hidden name that the game's own file names cannot take: "." + name + ".tmp-" + six
    // random letters or digits, the name cut so that the whole stays a valid file name.
    bool create(const QString &folder, const QString &name, bool ownerOnly, QString *reason)
    {
        static constexpr char letters[] =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        const QByteArray cut = nativePath(name).left(200);
        const QString stem = (folder.endsWith(QLatin1Char('/')) ? folder : folder + '/') +
                             QLatin1Char('.') + fromNativePath(cut) + QStringLiteral(".tmp-");
        for (int attempt = 0; attempt < 100; ++attempt) {
            QString candidate = stem;
            for (int i = 0; i < 6; ++i)
                candidate += QLatin1Char(
                    letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))]);
            fsys::Failure failure;
            file_ = fsys::File::createNew(candidate, ownerOnly, &failure);
            if (file_.isOpen()) {
                path_ = candidate;
                return true;
            }
            if (failure.error != fsys::Error::Exists)
                return fail(reason, failure.reason);
        }
        return fail(reason, QStringLiteral("не удалось создать временный файл"));
    }

    // Flushes the data to the disk, closes the file and renames it over target; every step is
    // checked, since a full disk may show only at the flush. With expected, the target must
    // still be that file right before the rename: what another program wrote since the caller
    // read it stays, and the save is refused. The window left is the rename itself.
    bool commit(const QString &target, const FileStamp *expected, Existing existing,
                QString *reason)
    {
        if (!file_.flushToDisk(reason) || !file_.close(reason))
            return false;
        if (beforeRenameHook())
            beforeRenameHook()(nativePath(target));
        if (expected) {
            const FileStamp now = fsys::entryAt(target).stamp;
            if (!(now == *expected))
                return fail(reason, QStringLiteral("файл изменён другой программой во время "
                                                   "записи; запись отменена, изменения той "
                                                   "программы сохранены"));
        }
        fsys::Failure failure;
        if (existing == Existing::Keep ? !fsys::moveNoReplace(path_, target, &failure)
                                       : !fsys::replace(path_, target, &failure))
            return fail(reason, failure.error == fsys::Error::Exists
                                    ? QStringLiteral("файл уже есть")
                                    : failure.reason);
        path_.clear();
        return true;
    }

private:
    fsys::File file_;
    QString path_;
};

// Whether name is one of the temporary file names that TemporaryFile::create makes.
bool isTemporaryName(const QString &name)
{
    static const QString marker = QStringLiteral(".tmp-");
    constexpr qsizetype suffix = 5 + 6; // marker and six letters or digits
    if (name.size() < 1 + 1 + suffix || name.front() != QLatin1Char('.') ||
        QStringView(name).sliced(name.size() - suffix, marker.size()) != marker)
        return false;
    return std::all_of(name.end() - 6, name.end(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
    });
}

// A save that was killed before its rename leaves its temporary file behind, as large as the
// file it was to become. The first save into a folder in a session removes those of the
// program's own name pattern that are regular files untouched for some minutes (a save in
// progress, by this or another running copy of the program, keeps writing its file); anything
// else stays.
void removeStaleTemporaries(const QString &folder)
{
    constexpr qint64 staleAfter = 5 * 60;
    static std::mutex mutex;
    static QSet<QString> done;
    {
        std::lock_guard lock(mutex);
        if (done.contains(folder))
            return;
        done.insert(folder);
    }
    const qint64 now = ::time(nullptr);
    QStringList stale;
    fsys::listFolder(folder, [&](const QString &name) {
        if (!isTemporaryName(name))
            return;
        const QString path = folder + QLatin1Char('/') + name;
        const fsys::Entry entry = fsys::entryAt(path, fsys::Links::DoNotFollow);
        if (entry.kind == fsys::Kind::File && entry.stamp.modified / 1000000000 < now - staleAfter)
            stale.append(path);
    });
    for (const QString &path : stale)
        fsys::removeFile(path);
}

// The common path of every save: checks, temporary file, the content from produce, commit.
bool replaceFile(const QString &path,
                 const std::function<bool(fsys::File &file, QString *reason)> &produce,
                 QString *reason, const FileStamp *expected = nullptr,
                 Existing existing = Existing::Replace)
{
    const QString refusal = whyNotSavable(path);
    if (!refusal.isEmpty())
        return fail(reason, refusal);
    const QString target = resolveSymlinks(path);
    const QString folder = folderOf(target);
    removeStaleTemporaries(folder);
    const bool exists = fsys::entryAt(target).kind != fsys::Kind::None;

    TemporaryFile temp;
    const QString name = target.mid(target.lastIndexOf(QLatin1Char('/')) + 1);
    // An existing file's access is given once the file is ours; a new one follows the umask.
    if (!temp.create(folder, name, exists, reason))
        return false;
    if (exists)
        temp.file().takeAccessOf(target);
    if (!produce(temp.file(), reason))
        return false;
    return temp.commit(target, expected, existing, reason);
}

} // namespace

void setBeforeRenameHook(std::function<void(const QByteArray &target)> hook)
{
    beforeRenameHook() = std::move(hook);
}

QString whyNotSavable(const QString &path)
{
    const QString target = resolveSymlinks(path);

    fsys::Failure failure;
    const fsys::Entry entry = fsys::entryAt(target, fsys::Links::Follow, &failure);
    const bool exists = entry.kind != fsys::Kind::None;
    if (exists && entry.kind != fsys::Kind::File)
        return notRegularReason(entry.kind);
    if (!exists && failure.error != fsys::Error::Missing)
        return failure.error == fsys::Error::NoFolder ? QStringLiteral("папка не найдена")
                                                      : failure.reason;

    const QString folder = folderOf(target);
    if (fsys::entryAt(folder).kind != fsys::Kind::Folder)
        return QStringLiteral("папка %1 не найдена").arg(shownPath(folder));
    if (exists && !fsys::mayWrite(target))
        return QStringLiteral("файл только для чтения");
    if (!fsys::mayWrite(folder))
        return QStringLiteral("папка только для чтения");
    if (fsys::isMarkedUnchangeable(folder, true))
        return QStringLiteral("папка защищена от изменений (атрибут a или i)");
    if (exists && fsys::isMarkedUnchangeable(target, false))
        return QStringLiteral("файл защищён от изменений (атрибут a или i)");
    return QString();
}

namespace {

// Room left after a large file read whole: an edit that makes a line longer then needs no new
// buffer (a small file is copied quickly).
qsizetype editRoom(qint64 size)
{
    return size >= (qint64{1} << 20) ? 64 * 1024 : 0;
}

// Reads the rest of file, size bytes as its status gave them, straight into one buffer: no
// second copy and no growing. A file that grows or shrinks meanwhile is read to its end.
bool readWhole(fsys::File &file, qint64 size, QByteArray *bytes, QString *reason)
{
    QByteArray data;
    data.reserve(size + editRoom(size));
    data.resize(size);
    fsys::adviseLargeBuffer(data.data(), data.capacity());
    qsizetype got = 0;
    while (got < data.size()) {
        const qint64 n = file.read(data.data() + got, data.size() - got, reason);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += n;
    }
    data.truncate(got);
    if (got == size) {
        const bool ok = readChunks(
            file,
            [&](const char *chunk, qsizetype n) {
                data.append(chunk, n);
                return true;
            },
            reason);
        if (!ok)
            return false;
    }
    *bytes = std::move(data);
    return true;
}

} // namespace

FileRead readRegularFileUnlessSame(const NativePath &nativePath, QByteArrayView known, bool *same,
                                   QByteArray *bytes, FileStamp *stamp, QString *reason)
{
    *same = false;
    FileStamp local;
    FileStamp *status = stamp ? stamp : &local;
    FileRead outcome;
    fsys::File file = fsys::File::openRegular(nativePath, status, &outcome, reason);
    if (!file.isOpen())
        return outcome;
    if (known.isEmpty()) {
        if (!readWhole(file, status->size, bytes, reason))
            return FileRead::Failed;
        *same = bytes->isEmpty(); // an empty file holds exactly the nothing known
        return FileRead::Read;
    }
    QByteArray data;
    qsizetype matched = 0; // bytes read so far, all equal to known's; -1 once one differs
    const bool ok = readChunks(
        file,
        [&](const char *chunk, qsizetype size) {
            if (matched >= 0) {
                if (size <= known.size() - matched &&
                    std::memcmp(known.data() + matched, chunk, static_cast<size_t>(size)) == 0) {
                    matched += size;
                    return true;
                }
                data.reserve(static_cast<qsizetype>(std::min<qint64>(status->size, 64 << 20)));
                data.append(known.first(matched));
                matched = -1;
            }
            data.append(chunk, size);
            return true;
        },
        reason);
    if (!ok)
        return FileRead::Failed;
    if (matched == known.size())
        *same = true;
    else if (matched >= 0) // shorter than known
        data = known.first(matched).toByteArray();
    *bytes = std::move(data);
    return FileRead::Read;
}

FileRead readRegularFile(const NativePath &nativePath, QByteArray *bytes, FileStamp *stamp,
                         QString *reason)
{
    // Nothing known to compare with: every byte read is kept.
    bool same = false;
    return readRegularFileUnlessSame(nativePath, {}, &same, bytes, stamp, reason);
}

FileRead readRegularFile(const QString &diskPath, QByteArray *bytes, FileStamp *stamp,
                         QString *reason)
{
    return readRegularFile(nativePath(diskPath), bytes, stamp, reason);
}

bool saveFile(const QString &path, QByteArrayView bytes, QString *reason, const FileStamp *expected)
{
    return replaceFile(
        path, [&](fsys::File &file, QString *why) { return file.write(bytes, why); }, reason,
        expected);
}

bool saveNewFile(const QString &path, QByteArrayView bytes, QString *reason)
{
    return replaceFile(
        path, [&](fsys::File &file, QString *why) { return file.write(bytes, why); }, reason,
        nullptr, Existing::Keep);
}

namespace {

bool copyFile(const QString &source, const QString &destination, QString *reason,
              bool *sourceUnreadable, Existing existing)
{
    if (sourceUnreadable)
        *sourceUnreadable = false;
    FileStamp stamp;
    FileRead outcome;
    QString why;
    fsys::File in = fsys::File::openRegular(nativePath(source), &stamp, &outcome, &why);
    if (!in.isOpen()) {
        if (sourceUnreadable)
            *sourceUnreadable = true;
        return fail(reason,
                    QStringLiteral("исходный файл %1 не читается: %2").arg(shownPath(source), why));
    }
    return replaceFile(
        destination,
        [&](fsys::File &out, QString *writeWhy) {
            return readChunks(
                in,
                [&](const char *chunk, qsizetype size) {
                    return out.write(QByteArrayView(chunk, size), writeWhy);
                },
                writeWhy);
        },
        reason, nullptr, existing);
}

} // namespace

bool saveCopy(const QString &source, const QString &destination, QString *reason,
              bool *sourceUnreadable)
{
    return copyFile(source, destination, reason, sourceUnreadable, Existing::Replace);
}

bool saveNewCopy(const QString &source, const QString &destination, QString *reason)
{
    return copyFile(source, destination, reason, nullptr, Existing::Keep);
}
