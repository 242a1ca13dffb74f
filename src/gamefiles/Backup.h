#pragma once

#include <QByteArray>

// The one-time backup of a game configuration file: before the editor's first write to a file,
// its bytes as they were are kept in the file's full name + ".bak" beside it. An existing backup
// is never refreshed or replaced, even when the editor cannot write to it. A game file that does
// not exist gets an empty backup once a write has created it (ensureEmptyBackup), so the backup
// shows the file as it was, absent, and later writes leave it alone; a write that is refused or
// fails leaves no backup behind.
//
// The backup appears complete or not at all: a copy that cannot be finished (a full disk, say)
// leaves no backup file behind, so the next write tries again instead of taking a partial copy
// for the backup. A game file that cannot be read, or is not a regular file (a FIFO would block
// the copy), gets no backup for the same reason.
//
// The path is Windows-1251 text, resolved on disk like profile file paths. Failures are silent.
void ensureBackup(const QByteArray &gameFilePath);

// The backup of a game file that a write has just created: empty, as the file was before. Made
// only when the file has no backup yet. Silent like ensureBackup.
void ensureEmptyBackup(const QByteArray &gameFilePath);
