#pragma once

#include <QByteArray>

// The one-time backup of a game configuration file: before the editor's first write to a file,
// its bytes as they were are kept in the file's full name + ".bak" beside it. An existing backup
// is never refreshed or replaced, even when the editor cannot write to it. A game file that does
// not exist gets no backup, since there is nothing to keep: the write then creates the file, and
// the first write after that backs it up as it is then.
//
// The backup appears complete or not at all: a copy that cannot be finished (a full disk, say)
// leaves no backup file behind, so the next write tries again instead of taking a partial copy
// for the backup. A game file that cannot be read, or is not a regular file (a FIFO would block
// the copy), gets no backup for the same reason.
//
// The path is Windows-1251 text, resolved on disk like profile file paths. Failures are silent.
void ensureBackup(const QByteArray &gameFilePath);
