#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>

#include <functional>

#include "gamefiles/ParameterWriter.h"

// One key of a game file that differs from the file's backup (<file>.bak).
struct KeyChange
{
    enum class Kind
    {
        Changed, // in both, with another line
        Added,   // only in the game file
        Removed, // only in the backup
        Line,    // a line that holds no key (a header with its parents, an #include line, a
                 // comment or any line without "="), changed, added or removed
    };
    Kind kind = Kind::Changed;
    QByteArray file;               // relative to the gamedata folder, as the catalogue gives it
    QByteArray section, key;       // as the file spells them (the backup for a removed key);
                                   // for a line: the section it lies in (the one it starts,
                                   // for a header) and no key
    QByteArray oldValue, newValue; // as reads give them; empty on the side without the key
                                   // (for a line: the lines themselves)
    QByteArray backupLine;         // the key's line in the backup, without its ending
    QByteArray currentLine;        // the key's line in the game file, without its ending
};

// What changed in the game files since their one-time backups, and the way back. Keys are told
// apart by section and name without regard to letter case; as in every read of a profile file,
// the first section of a name and the first key of a name in it count. Restoring writes through
// the same atomic saves as every write of the program and makes no new backup.
namespace ChangeList {

// The keys of one game file that differ from its backup: changed and added keys in the game
// file's order, then removed ones in the backup's, then the other lines that differ. Those are
// compared in order, apart from the key lines: after the lines both files share at the start
// and at the end, the rest are paired off in order, and a line without a partner is added or
// removed. Empty, with *hasBackup false, when the file
// has no backup (or lies outside the gamedata folder).
QList<KeyChange> changesOf(const QByteArray &gamedataFolder, const QByteArray &relativeFile,
                           bool *hasBackup = nullptr);

// The changes of every file with a backup, file by file; a file named twice (in any letter case
// or with either separator) is taken once.
QList<KeyChange> changes(const QByteArray &gamedataFolder, const QByteArrayList &relativeFiles);

// Puts the key back as the backup holds it: a changed key gets the backup's line byte for byte,
// an added key's line is deleted, a removed key's line comes back at the end of its section.
// Every other byte stays. Refused, changing nothing, when the game file no longer holds the
// line the change was found with, and for a line that holds no key (the whole file comes back
// with restoreFile). With duplication on, the duplicate file takes the key too.
bool restoreKey(const WriteTarget &target, const KeyChange &change, QString *error = nullptr);

// Replaces the game file by its backup, byte for byte. shown: the changes the user was shown
// (those of other files are ignored); refused, changing nothing, when the file's changes are no
// longer these. With duplication on, each changed key that duplicated() accepts (every key when
// it is empty) is also restored in the duplicate file.
bool restoreFile(const WriteTarget &target, const QByteArray &relativeFile,
                 const QList<KeyChange> &shown, QString *error = nullptr,
                 const std::function<bool(const KeyChange &)> &duplicated = {});

} // namespace ChangeList
