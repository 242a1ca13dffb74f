#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

#include "profile/FileSystem.h"

// Whole-file reads and atomic saves: the one way the program reads a file whole and the one way
// it replaces or creates a file on disk (profile writes, backups, file copies).
//
// Only regular files are read or replaced. A FIFO, a device or a socket would block or misbehave,
// so it is refused before it is opened, and again after opening (the open never waits).
//
// A save writes a temporary file beside the target, checks every write, flushes it to disk and
// renames it over the target. On any failure (a full disk, a quota, an I/O error) the temporary
// file is removed and the target keeps every byte it had. The first save into a folder in a
// session removes temporary files that saves killed before their rename left there, once they
// are some minutes old. An existing target's permissions and,
// when root saves it, its owner are kept; a new file gets 0666 less the umask. Symbolic links at
// the end of the path are followed, so the link stays and its target is replaced.
//
// Failures return false and a short reason in Russian (without a final full stop) for the
// caller's message.

// Reads the regular file at nativePath (a path as the file system spells it, see FileSystem.h).
// *stamp, when given, receives the file's identity taken before reading. *reason is set on
// Failed and NotRegular.
FileRead readRegularFile(const NativePath &nativePath, QByteArray *bytes,
                         FileStamp *stamp = nullptr, QString *reason = nullptr);
FileRead readRegularFile(const QString &diskPath, QByteArray *bytes, FileStamp *stamp = nullptr,
                         QString *reason = nullptr);

// readRegularFile for a file whose bytes may be known already: the file is compared with known
// as it is read, and when it holds exactly those bytes *same becomes true and *bytes stays empty,
// so a large file is never held twice. Otherwise *bytes receives the file as readRegularFile
// reads it.
FileRead readRegularFileUnlessSame(const NativePath &nativePath, QByteArrayView known, bool *same,
                                   QByteArray *bytes, FileStamp *stamp = nullptr,
                                   QString *reason = nullptr);

// Why a save to path would be refused before anything is written (the refusals of saveFile
// below), or an empty text when it would be tried.
QString whyNotSavable(const QString &path);

// Replaces or creates the file at path with bytes. Refused: a target that is not a regular file,
// a missing folder, a read-only target or folder (no write permission bit, or not writable for
// this user, root included), and a target or folder marked append-only or immutable.
//
// expected, when given, is the target as the caller read it (a stamp that does not exist: there
// was no file). It is compared with the target just before the rename, and a target that another
// program created, removed, replaced or changed meanwhile is kept and the save refused.
bool saveFile(const QString &path, QByteArrayView bytes, QString *reason = nullptr,
              const FileStamp *expected = nullptr);

// Replaces or creates the file at destination with the bytes of the regular file at source,
// streamed. A source that is missing, not a regular file or cannot be opened fails before
// anything is created; *sourceUnreadable, when given, then becomes true.
bool saveCopy(const QString &source, const QString &destination, QString *reason = nullptr,
              bool *sourceUnreadable = nullptr);

// saveFile and saveCopy for a file made once (a backup): the new file takes the name only while
// nothing else has it, so of two copies made at once the first stays whole and the second is
// dropped (false, with the reason that the file exists).
bool saveNewFile(const QString &path, QByteArrayView bytes, QString *reason = nullptr);
bool saveNewCopy(const QString &source, const QString &destination, QString *reason = nullptr);

// Tests only: called with the target's native path just before every rename over it (after the
// temporary file is complete and flushed), so a test can play another program writing then.
void setBeforeRenameHook(std::function<void(const QByteArray &target)> hook);
