#pragma once

#include <QByteArray>
#include <QString>

// From a path as the program's settings and catalogue hold it to the file on disk.
//
// Catalogues made on Windows use "\" or "/" and a letter case that may differ from the files on
// disk; their text is Windows-1251 while file names on disk are UTF-8.

// Turns "\" into "/", decodes Windows-1251 and, for each component that does not exist with the
// exact case, uses the existing directory entry whose name matches it case-insensitively (the
// first by name when several do). From the first component that does not exist at all, the rest
// keeps the case given, so new files and folders get the catalogue's spelling. "." and ".." are
// kept; a relative path is resolved against the current folder and stays relative.
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

// Whether the program may write the existing file or folder at diskPath: the user may write it
// and at least one of its write permission bits is set, so a read-only file stays read-only for
// root too. False when nothing is there.
bool mayWrite(const QString &diskPath);
