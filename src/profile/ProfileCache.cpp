#include "profile/ProfileCache.h"

#include "profile/DiskPath.h"
#include "profile/FileSystem.h"
#include "profile/SafeFile.h"

#include <atomic>

namespace {

// How long after a file's newest time another edit could still leave the stamp as it is: the
// tick of the file system's times. Whole seconds (FAT counts in two) get two seconds; finer
// times the kernel clock's tick, with room to spare.
qint64 tickOf(const FileStamp &stamp)
{
    constexpr qint64 second = 1000000000;
    return stamp.modified % second == 0 || stamp.changed % second == 0 ? 2 * second : second / 10;
}

// Whether a copy of a file whose bytes were read from checkedAt on can miss an edit that keeps
// its stamp: the file's times are within a tick of that moment (or after it).
bool isRacy(const FileStamp &stamp, qint64 checkedAt)
{
    return stamp.exists && stamp.newest() > checkedAt - tickOf(stamp);
}

} // namespace

// When the disk path is spelled as given (plain ASCII, exact case), the native path shares the
// key's bytes: one block of memory less to touch on every read.
void ProfileCache::setDiskPath(Entry &entry, const QByteArray &path, const QString &diskPath)
{
    entry.diskPath = diskPath;
    entry.nativePath = nativePath(diskPath);
    if (entry.nativePath == path)
        entry.nativePath = path;
}

namespace {

// Only plain values per thread: the MinGW runtime frees thread_local storage before it runs the
// destructors of what lies there, so an object with a destructor would crash a thread's end on
// Windows. The walk's verdicts live in its outermost scope, on the walking thread's stack.
std::atomic<quint64> walks{0};
thread_local int walkDepth = 0;
thread_local quint64 currentWalk = 0; // 0: no walk open on this thread
thread_local QHash<QByteArray, bool> *currentVerdicts = nullptr;

} // namespace

ProfileCache::WalkScope::WalkScope()
{
    if (walkDepth++ == 0) {
        currentWalk = ++walks;
        currentVerdicts = &pathVerdicts_;
    }
}

ProfileCache::WalkScope::~WalkScope()
{
    if (--walkDepth == 0) {
        currentWalk = 0;
        currentVerdicts = nullptr;
    }
}

QHash<QByteArray, bool> *ProfileCache::pathVerdicts()
{
    return currentVerdicts;
}

ProfileCache &ProfileCache::instance()
{
    static ProfileCache cache;
    return cache;
}

const IniDocument &ProfileCache::current(const QByteArray &path)
{
    auto it = entries_.find(path);
    if (it == entries_.end()) {
        Entry entry;
        setDiskPath(entry, path, resolveDiskPath(path));
        it = entries_.insert(path, std::move(entry));
    }
    Entry &entry = it.value();
    if (currentWalk != 0 && entry.checkedInWalk == currentWalk &&
        entry.writesWhenChecked == writes_)
        return entry.document;
    entry.checkedInWalk = currentWalk;
    entry.writesWhenChecked = writes_;

    fsys::Entry found = fsys::entryAt(entry.nativePath);
    if (found.kind == fsys::Kind::None) {
        // Not where it was found before: it may have been created since, in another letter case.
        setDiskPath(entry, path, resolveDiskPath(path));
        found = fsys::entryAt(entry.nativePath);
        if (found.kind == fsys::Kind::None) {
            entry.stamp = Stamp();
            entry.racy = false;
            entry.document = IniDocument();
            return entry.document;
        }
    }
    if (!(found.stamp == entry.stamp) || entry.racy)
        reload(entry);
    return entry.document;
}

// Reads the file, with the stamp taken before reading: a change made while reading then shows as
// a different stamp at the next read. Bytes equal to the copy's keep it without a parse. Anything
// but a regular file reads as missing.
void ProfileCache::reload(Entry &entry)
{
    const qint64 checkedAt = fsys::clockNow();
    QByteArray bytes;
    Stamp stamp;
    bool same = false;
    if (readRegularFileUnlessSame(entry.nativePath, entry.document.bytes(), &same, &bytes,
                                  &stamp) == FileRead::Read) {
        entry.stamp = stamp;
        entry.racy = isRacy(stamp, checkedAt);
        if (!same)
            entry.document = IniDocument::parse(bytes);
        return;
    }
    entry.racy = false;
    // A folder or a file that cannot be read reads as a missing file; remember its stamp so that it
    // is tried again only once it changes (a chmod changes the change time).
    entry.stamp = fsys::entryAt(entry.nativePath).stamp;
    entry.document = IniDocument();
}

void ProfileCache::store(const QByteArray &path, const QString &diskPath, IniDocument document)
{
    std::lock_guard lock(mutex_);
    // Other paths may name the same file: every copy is checked again at its next read.
    ++writes_;
    Entry entry;
    setDiskPath(entry, path, diskPath);
    entry.checkedInWalk = currentWalk;
    entry.writesWhenChecked = writes_;
    // Stamped after the rename: its times are those of the write or of an edit since, which
    // keeps the copy racy until a comparison shows which.
    const qint64 checkedAt = fsys::clockNow();
    const fsys::Entry found = fsys::entryAt(entry.nativePath);
    if (found.kind == fsys::Kind::File) {
        entry.stamp = found.stamp;
        entry.racy = isRacy(found.stamp, checkedAt);
        entry.document = std::move(document);
    }
    entries_.insert(path, std::move(entry));
}

std::optional<IniDocument> ProfileCache::take(const QByteArray &path, Stamp *trusted)
{
    std::lock_guard lock(mutex_);
    if (trusted)
        *trusted = Stamp();
    const auto it = entries_.find(path);
    if (it == entries_.end() || !it->stamp.exists)
        return std::nullopt;
    if (trusted && !it->racy)
        *trusted = it->stamp;
    std::optional<IniDocument> document(std::move(it->document));
    entries_.erase(it);
    return document;
}

void ProfileCache::giveBack(const QByteArray &path, const QString &diskPath, const Stamp &stamp,
                            qint64 readAt, IniDocument document)
{
    std::lock_guard lock(mutex_);
    Entry entry;
    setDiskPath(entry, path, diskPath);
    entry.stamp = stamp; // checked at the next read
    entry.racy = isRacy(stamp, readAt);
    entry.document = std::move(document);
    entries_.insert(path, std::move(entry));
}

void ProfileCache::clear()
{
    std::lock_guard lock(mutex_);
    entries_.clear();
}
