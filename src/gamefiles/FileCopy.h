#pragma once

#include <QByteArray>

// Byte copy of one file to another path. Paths are Windows-1251 text as the settings and the
// catalogue hold them; they are resolved on disk like profile file paths. Paths of any length
// are accepted.
//
// The destination is replaced atomically once the whole source has been copied: a copy that
// fails on the way (a full disk, say) leaves the destination as it was. A source that cannot be
// opened, or is not a regular file, leaves an empty destination, as a copy that creates its
// destination first would. A destination that is read-only (no write permission bit set, or not
// writable for this user) or is not a regular file is left alone. Failures are silent: the copy
// reports nothing.
void copyFile(const QByteArray &source, const QByteArray &destination);
