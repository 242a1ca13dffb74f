#pragma once

#include <QByteArray>

// Byte copy of one file to another path. Paths are Windows-1251 text as the settings and the
// catalogue hold them; they are resolved on disk like profile file paths. Paths of any length
// are accepted.
//
// The destination is created, or truncated when it exists, before the source is read, so a
// source that cannot be opened leaves an empty destination. A destination that is read-only
// (no write permission bit set, or not writable for this user) is left alone. Failures are
// silent: the copy reports nothing.
void copyFile(const QByteArray &source, const QByteArray &destination);
