#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

class IniDocument;

// A handle on an INI-style profile file: the only way the program reads or writes its settings,
// catalogue, game and duplication files. Opening binds the path only; the file need not exist.
// Paths are Windows-1251 text as the settings and catalogue hold them; either separator is
// accepted, a component whose exact case is missing on disk matches case-insensitively, and one
// missing as UTF-8 is looked up by its Windows-1251 bytes, as old unpackers name files (see
// DiskPath.h).
//
// Reads never fail: a missing file, section or key yields the default; anything but a regular
// file (a folder, FIFO or device) reads as a missing file. Reads are served from a
// parsed copy of the file shared by all handles and checked against the file's size, modification
// time and inode, so many reads of one file parse it once; inside a ProfileCache::WalkScope the
// check is made once per file and walk.
//
// Writes change the file at the line level (every other byte stays) and replace it atomically
// (see SafeFile.h). A read-only file or a missing folder, a full disk, a path that is not a
// regular file and an append-only or immutable folder or file are write failures: the call
// returns false and fills *error with a text naming the file and the reason, and the file stays
// as it was. A write starts from the file as it is: from the parsed copy when the file's stamp
// proves it (see ProfileCache.h) or the file's bytes equal it, else from the bytes read; and a
// file that another program changed between that read and the replacement is kept as that
// program left it: the write is refused.
class ProfileFile
{
public:
    explicit ProfileFile(QByteArray path);

    const QByteArray &path() const { return path_; }
    // Where the file is (or would be created) on disk, every byte of its name kept: system calls
    // take it through nativePath, messages through shownPath (DiskPath.h).
    QString diskPath() const;

    // The key's value (blanks trimmed, outer quotes removed, ";" comments kept), or the default
    // when the file, the section or the key is missing. The value is read whole, however long its
    // line: a value cut short would be written back cut.
    QByteArray readString(const QByteArray &section, const QByteArray &key,
                          const QByteArray &defaultValue) const;
    // The value as an integer: "0x"/"0X" and more is hexadecimal (up to 32 bits, taken as the
    // bit pattern of an int), otherwise decimal with an optional sign; anything else, an empty
    // value and a number out of range yield the default.
    int readInteger(const QByteArray &section, const QByteArray &key, int defaultValue) const;

    // The key's line becomes key + "=" + value, exactly as passed. A value holding a line break
    // (or a key or section that could not be read back) is refused as a failed write. Writing
    // the text the line already holds after its "=" leaves the file untouched.
    bool writeString(const QByteArray &section, const QByteArray &key, const QByteArray &value,
                     QString *error = nullptr);
    bool writeInteger(const QByteArray &section, const QByteArray &key, int value,
                      QString *error = nullptr);
    // A missing key or file is no error and changes nothing.
    bool deleteKey(const QByteArray &section, const QByteArray &key, QString *error = nullptr);

    // Several line edits in one go: edit gets the file's content, changes it in memory (through
    // IniDocument's edits) and returns whether it changed anything; a change is saved once,
    // atomically, so the file holds either all edits or none. A missing file starts empty. The
    // caller checks its entries (IniDocument::checkEntry) before. Nothing changed: nothing is
    // written, and the call succeeds.
    // beforeSave, when given, runs once the edit changed the content and before the file is
    // replaced, while the write still holds the file (the one-time backup of a game file and the
    // record of the write are made there).
    bool edit(const std::function<bool(IniDocument &)> &edit, QString *error = nullptr,
              const std::function<void()> &beforeSave = {});

    // The integer rule of readInteger on a text; false when it is not a number.
    static bool parseInteger(QByteArrayView text, int *value);

    // Forgets every parsed copy (tests and benchmarks measure cold reads with it).
    static void clearCache();

private:
    bool modify(const std::function<bool(IniDocument &)> &edit, bool mustWrite, QString *error,
                const std::function<void()> &beforeSave = {});

    QByteArray path_;
};
