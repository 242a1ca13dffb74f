#pragma once

#include "profile/IniDocument.h"
#include "profile/SafeFile.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <mutex>
#include <optional>

// Parsed copies of profile files shared by every handle in the process, keyed by the path as the
// caller gave it. A copy is valid while the file's size, modification and change times (in
// nanoseconds) and inode stay the same, so a read costs one stat and a hash lookup; a file
// replaced or edited by another program is read again. The resolved disk path is kept with the
// copy and looked up again only when the file is not found there.
//
// A stamp does not tell an edit made within the same tick of the file system's clock (a second,
// two on FAT) from the content read, when the size stays too. A copy read while its file's times
// were that recent is "racy": each later use compares the file's bytes with it again (re-parsing
// when they differ) until a comparison is made a safe tick after those times; from then on its
// stamp alone is trusted again. So only a file changed moments ago costs a read per use.
//
// A walk over many keys (the catalogue walk with its lookups) opens a WalkScope: within it each
// file is checked once, at its first read, and later reads trust the copy, so a file that another
// program changes during the walk is seen by the next walk. A write through the program updates
// the copy at once and has every file checked again at its next read.
class ProfileCache
{
public:
    // Scopes nest and belong to the thread that opens them; the outermost one ends the walk.
    class WalkScope
    {
    public:
        WalkScope();
        ~WalkScope();
        WalkScope(const WalkScope &) = delete;
        WalkScope &operator=(const WalkScope &) = delete;

    private:
        QHash<QByteArray, bool> pathVerdicts_; // the outermost scope's, for pathVerdicts()
    };

    // Identity of a file's content as far as the file system tells it.
    using Stamp = FileStamp;

    static ProfileCache &instance();

    // Answers about paths on disk (whether a file's real path stays inside a folder) kept for
    // the walk open on this thread, by the caller's key; nullptr when no walk is open.
    static QHash<QByteArray, bool> *pathVerdicts();

    // Calls f with the file's current content while holding the cache's lock; the content is
    // an empty document when the file is missing, is a folder or cannot be read.
    template <typename F> auto withDocument(const QByteArray &path, F &&f)
    {
        std::lock_guard lock(mutex_);
        return f(current(path));
    }

    // Removes the parsed copy held for path and hands it over: a write starts from it instead of
    // parsing the file again, and stores the result or gives the copy back. Taken, not copied, so
    // a large file is not held twice. *trusted, when given, receives the copy's stamp when that
    // alone proves the copy (it is not racy, see above): a file with that stamp now holds the
    // copy's bytes, and the write need not read it. Otherwise (a stamp that does not exist) the
    // write compares the file's bytes with the copy (see readRegularFileUnlessSame): on a file
    // system with coarse times another program's same-size edit within one tick keeps the
    // stamp, and a write from the older copy would undo that edit.
    std::optional<IniDocument> take(const QByteArray &path, Stamp *trusted = nullptr);
    // Gives back a copy taken and left unchanged; stamp: the file as it was read, readAt: when
    // the read began (fsys::clockNow).
    void giveBack(const QByteArray &path, const QString &diskPath, const Stamp &stamp,
                  qint64 readAt, IniDocument document);

    // Records the content the program has just written, so the next read needs no parse.
    void store(const QByteArray &path, const QString &diskPath, IniDocument document);

    void clear();

private:
    struct Entry
    {
        QString diskPath;
        NativePath nativePath;
        Stamp stamp;
        IniDocument document;
        quint64 checkedInWalk = 0; // the walk in which the stamp was last checked, 0: none
        quint64 writesWhenChecked = 0;
        bool racy = false; // the stamp alone cannot be trusted yet: see above
    };

    static void setDiskPath(Entry &entry, const QByteArray &path, const QString &diskPath);
    const IniDocument &current(const QByteArray &path);
    void reload(Entry &entry);

    std::mutex mutex_;
    QHash<QByteArray, Entry> entries_;
    quint64 writes_ = 0; // writes through the program so far
};
