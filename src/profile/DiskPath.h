#pragma once

#include <QByteArray>
#include <QString>

#include "profile/FileSystem.h" // nativePath, fromNativePath, shownPath

// From a path as the program's settings and catalogue hold it to the file on disk.
//
// Catalogues made on Windows use "\" or "/" and a letter case that may differ from the files on
// disk; their text is Windows-1251. File names on disk are mostly UTF-8, but archives unpacked
// by older tools leave names in Windows-1251 bytes, which are no valid UTF-8.
//
// Disk paths are QStrings that keep every byte of a name: valid UTF-8 is decoded as usual, and
// each byte that is no part of valid UTF-8 is held as the lone surrogate U+DC00 + byte (never a
// character of its own in a valid name). The file interface (FileSystem.h) turns such a path
// back into the very bytes on disk (nativePath) for every system call.

// Turns "\" into "/", decodes Windows-1251 and, for each component that does not exist with the
// exact UTF-8 name, uses the existing directory entry whose name matches it case-insensitively
// (the first by name when several do); when no UTF-8 name matches, an entry whose name is the
// component in Windows-1251 bytes (exact first, then in any letter case). From the first
// component that does not exist at all, the rest keeps the case given and is UTF-8, so new files
// and folders get the catalogue's spelling. "." and ".." are kept; a relative path is resolved
// against the current folder and stays relative.
QString resolveDiskPath(const QByteArray &cp1251Path);

// The same for a path already in Unicode (a folder chosen in a dialog, say).
QString resolveDiskPath(const QString &path);

// The file a write must replace: symbolic links at the end of the path are followed to their
// target (which need not exist), so that replacing the file keeps the link.
QString resolveSymlinks(const QString &diskPath);

// Where the path leads on disk: every symbolic link on it followed (at the end too, a link
// whose target is missing included), "." and ".." steps taken, absolute. From the first entry
// that does not exist, the rest is kept as given with its steps taken in the text.
QString realDiskPath(const QString &diskPath);

// The folder holding the entry at diskPath: "." for a bare name, the root for an entry of the
// root ("/", "C:/").
QString folderOf(const QString &diskPath);

// Whether an entry (a link included, whatever it leads to) is at diskPath.
bool entryExists(const QString &diskPath);
// Whether something is where diskPath leads (links followed: a dangling link leads nowhere).
bool targetExists(const QString &diskPath);
// Whether diskPath is a folder (or a link to one).
bool isFolder(const QString &diskPath);

// Whether the program may write the existing file or folder at diskPath: the user may write it
// and at least one of its write permission bits is set, so a read-only file stays read-only for
// root too. False when nothing is there.
bool mayWrite(const QString &diskPath);
