#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>

#include <functional>

#include "gamefiles/LineChange.h"

class ParameterWriter;

// What changed in the game files since their one-time backups (<file>.bak), and the way back.
// Each change is a LineChange from the backup's line ("before") to the file's ("after"). Keys are
// told apart by section and name without regard to letter case; as in every read of a profile
// file, the first section of a name and the first key of a name in it count. Restoring writes
// through the program's one edit-and-save of game files (recorded in the history, announced to
// the rows) and makes no new backup.
namespace ChangeList {

// The values of a change's two sides as reads give them (empty on the side without the key); for
// a line that holds no key, the lines themselves.
QByteArray oldValue(const LineChange &change);
QByteArray newValue(const LineChange &change);

// The changes of one game file against its backup: changed and added keys in the game file's
// order, then removed ones in the backup's (each with where it stood), then the other lines that
// differ. Those are compared in order, apart from the key lines: after the lines both files share
// at the start and at the end, the rest are paired off in order, and a line without a partner is
// added or removed. Empty, with *hasBackup false, when the file has no backup (or lies outside
// the gamedata folder).
QList<LineChange> changesOf(const QByteArray &gamedataFolder, const QByteArray &relativeFile,
                            bool *hasBackup = nullptr);

// The changes of every file named, file by file; a file named twice (in any letter case or with
// either separator) is taken once.
QList<LineChange> changes(const QByteArray &gamedataFolder, const QByteArrayList &relativeFiles);

// Every game file under the gamedata folder that has a backup, relative to it ("\" separated as
// catalogues write paths), sorted: the files the change list covers, in the window and on the
// command line alike.
QByteArrayList filesWithBackup(const QByteArray &gamedataFolder);

// Puts the key back as the backup holds it: a changed key gets the backup's line byte for byte,
// an added key's lines are deleted, a removed key's line comes back where it stood. Every other
// byte stays. Refused, changing nothing, when the game file no longer holds the line the change
// was found with, and for a line that holds no key (the whole file comes back with restoreFile).
// With duplication on, the duplicate file takes the key too.
// duplicate: whether the key goes to the duplicate file (when duplication is on).
bool restoreKey(const ParameterWriter &writer, const LineChange &change, QString *error = nullptr,
                bool duplicate = true);

// Replaces the game file by its backup, byte for byte. shown: the changes the user was shown
// (those of other files are ignored); refused, changing nothing, when the file's changes are no
// longer these. With duplication on, each changed key that duplicated() accepts (every key when
// it is empty) is also restored in the duplicate file.
bool restoreFile(const ParameterWriter &writer, const QByteArray &relativeFile,
                 const QList<LineChange> &shown, QString *error = nullptr,
                 const std::function<bool(const LineChange &)> &duplicated = {});

} // namespace ChangeList
