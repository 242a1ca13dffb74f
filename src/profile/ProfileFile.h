#pragma once

#include <QByteArray>
#include <QString>

// A handle on an INI-style profile file: the only way the program reads or writes its settings,
// catalogue, game and duplication files. Opening binds the path only; the file need not exist.
// Paths are Windows-1251 text as the settings and catalogue hold them; either separator is
// accepted and a component whose exact case is missing on disk matches case-insensitively.
//
// Reads never fail: a missing file, section or key yields the default. Reads are served from a
// parsed copy of the file shared by all handles and checked against the file's size, modification
// time and inode, so many reads of one file parse it once.
//
// Writes change the file at the line level (every other byte stays) and replace it atomically.
// A read-only file or a missing folder is a write failure: the call returns false and fills
// *error with a text naming the file.
class ProfileFile
{
public:
    explicit ProfileFile(QByteArray path);

    const QByteArray &path() const { return path_; }

    QByteArray readString(const QByteArray &section, const QByteArray &key,
                          const QByteArray &defaultValue) const;
    int readInteger(const QByteArray &section, const QByteArray &key, int defaultValue) const;

    bool writeString(const QByteArray &section, const QByteArray &key, const QByteArray &value,
                     QString *error = nullptr);
    bool writeInteger(const QByteArray &section, const QByteArray &key, int value,
                      QString *error = nullptr);
    // A missing key is no error.
    bool deleteKey(const QByteArray &section, const QByteArray &key, QString *error = nullptr);

    // Longest text a read returns; longer values are cut.
    static constexpr int MaxValueLength = 2047;

private:
    QByteArray path_;
};
