#include "profile/ProfileFile.h"

#include "base/Bytes.h"
#include "profile/DiskPath.h"
#include "profile/FileSystem.h"
#include "profile/IniDocument.h"
#include "profile/ProfileCache.h"
#include "profile/SafeFile.h"
#include "textcodec/Cp1251.h"

#include <limits>
#include <optional>

ProfileFile::ProfileFile(QByteArray path) : path_(std::move(path)) {}

QString ProfileFile::diskPath() const
{
    return resolveDiskPath(path_);
}

QByteArray ProfileFile::readString(const QByteArray &section, const QByteArray &key,
                                   const QByteArray &defaultValue) const
{
    return ProfileCache::instance().withDocument(path_, [&](const IniDocument &document) {
        if (const std::optional<QByteArrayView> value = document.value(section, key))
            return value->toByteArray();
        return defaultValue;
    });
}

bool ProfileFile::parseInteger(QByteArrayView text, int *value)
{
    if (text.isEmpty())
        return false;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        quint64 n = 0;
        for (qsizetype i = 2; i < text.size(); ++i) {
            const int digit = base::hexDigit(text[i]);
            if (digit < 0)
                return false;
            n = n * 16 + static_cast<quint64>(digit);
            if (n > 0xFFFFFFFFull)
                return false;
        }
        *value = static_cast<int>(static_cast<quint32>(n));
        return true;
    }
    qsizetype i = 0;
    const bool negative = text[0] == '-';
    if (text[0] == '-' || text[0] == '+')
        ++i;
    if (i == text.size())
        return false;
    // Accumulate as a negative number: its range holds the magnitude of INT_MIN.
    const qint64 limit = negative ? -qint64(std::numeric_limits<int>::min())
                                  : qint64(std::numeric_limits<int>::max());
    qint64 n = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + (c - '0');
        if (n > limit)
            return false;
    }
    *value = static_cast<int>(negative ? -n : n);
    return true;
}

int ProfileFile::readInteger(const QByteArray &section, const QByteArray &key,
                             int defaultValue) const
{
    return ProfileCache::instance().withDocument(path_, [&](const IniDocument &document) {
        const std::optional<QByteArrayView> text = document.value(section, key);
        int value;
        if (text && parseInteger(*text, &value))
            return value;
        return defaultValue;
    });
}

bool ProfileFile::writeString(const QByteArray &section, const QByteArray &key,
                              const QByteArray &value, QString *error)
{
    const QString problem = IniDocument::checkEntry(section, key, value);
    if (!problem.isEmpty()) {
        if (error)
            *error = QStringLiteral("Не удалось записать ключ %1 в файл %2: %3.")
                         .arg(cp1251::toUnicode(key), shownPath(diskPath()), problem);
        return false;
    }
    return modify([&](IniDocument &document) { return document.setValue(section, key, value); },
                  true, error);
}

bool ProfileFile::writeInteger(const QByteArray &section, const QByteArray &key, int value,
                               QString *error)
{
    return writeString(section, key, QByteArray::number(value), error);
}

bool ProfileFile::deleteKey(const QByteArray &section, const QByteArray &key, QString *error)
{
    return modify([&](IniDocument &document) { return document.removeKey(section, key); }, false,
                  error);
}

bool ProfileFile::edit(const std::function<bool(IniDocument &)> &edit, QString *error,
                       const std::function<void()> &beforeSave)
{
    return modify(edit, false, error, beforeSave);
}

void ProfileFile::clearCache()
{
    ProfileCache::instance().clear();
}

// Takes the file as it is on disk now, applies the edit and replaces the file when the edit
// changed it. The cache's parsed copy serves when its stamp proves it or it holds exactly the
// bytes read, so a run of writes to one file parses it once (and a proven copy saves the read);
// otherwise the bytes read are parsed. The copy is taken out of the cache meanwhile and the text
// edited where it lies, so a large file is held once. The file's
// identity, taken as it was opened for the read, is checked again just before the new content is
// renamed over it: an edit by another program in between is kept and the write refused. Writers
// that take the file's lock (every copy of this program, every thread) are held off from the read
// to the rename instead, so none of them starts from content that another is replacing. mustWrite:
// a write, which fails on a read-only file even when nothing changes; a deletion that finds nothing
// to delete succeeds whatever the file's state.
bool ProfileFile::modify(const std::function<bool(IniDocument &)> &edit, bool mustWrite,
                         QString *error, const std::function<void()> &beforeSave)
{
    const QString diskPath = resolveDiskPath(path_);
    const QString target = resolveSymlinks(diskPath);
    const QByteArray native = nativePath(target);
    const auto fail = [&](const QString &why) {
        if (error)
            *error =
                QStringLiteral("Не удалось записать файл %1: %2.").arg(::shownPath(diskPath), why);
        return false;
    };

    // The lock goes before the read and with the function, after the rename or the failure. A
    // folder that takes no lock file (missing, read-only, protected) takes no new file either:
    // the write is refused below, and a deletion that finds nothing changes nothing.
    fsys::FileLock::Outcome locking;
    QString lockWhy;
    fsys::FileLock lock = fsys::FileLock::acquire(target, &locking, &lockWhy);
    if (locking == fsys::FileLock::Outcome::Busy)
        return fail(lockWhy);

    QString why;
    QByteArray bytes;
    FileStamp stamp;
    FileStamp read; // no file
    FileStamp trusted;
    std::optional<IniDocument> cached = ProfileCache::instance().take(path_, &trusted);
    const qint64 readAt = fsys::clockNow();
    bool same = false;
    // A copy whose stamp proves it is not read again: a write into a large file reads it once.
    const bool proven = cached && trusted.exists && fsys::entryAt(native).stamp == trusted;
    switch (proven ? FileRead::Read
                   : readRegularFileUnlessSame(native, cached ? cached->bytes() : QByteArrayView(),
                                               &same, &bytes, &stamp, &why)) {
    case FileRead::Read:
        if (proven) {
            same = true;
            stamp = trusted;
        }
        read = stamp;
        break;
    case FileRead::Missing:
        break;
    case FileRead::NotRegular:
        return fail(why);
    case FileRead::Failed:
        return fail(QStringLiteral("файл не читается (%1)").arg(why));
    }
    if (!(cached && same))
        cached.reset();
    // The parsed form addresses a file with 32-bit offsets; a larger one cannot be edited.
    if (bytes.size() > IniDocument::MaxSize)
        return fail(QStringLiteral("файл слишком большой"));
    IniDocument document = cached ? std::move(*cached) : IniDocument::parse(bytes);
    cached.reset();
    bytes = QByteArray(); // the document holds them
    const bool changed = edit(document);
    // Unchanged, the parsed copy still is the file as read.
    const auto keep = [&] {
        if (!changed && read.exists)
            ProfileCache::instance().giveBack(path_, diskPath, read, readAt, std::move(document));
    };
    if (!changed && !mustWrite) {
        keep();
        return true;
    }

    // Checked even when nothing changes: writing a value the file already holds still fails on
    // a file that could not be written.
    why = whyNotSavable(target);
    if (!why.isEmpty()) {
        keep();
        return fail(why);
    }
    // A file system without locks is written as before them, by the identity check alone.
    if (!lock.held() && locking != fsys::FileLock::Outcome::Unsupported) {
        keep();
        return fail(QStringLiteral("файл блокировки не создан (%1)").arg(lockWhy));
    }
    if (changed && beforeSave)
        beforeSave();
    if (changed && !saveFile(target, document.bytes(), &why, &read))
        return fail(why);
    ProfileCache::instance().store(path_, diskPath, std::move(document));
    return true;
}
