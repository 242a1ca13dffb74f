#pragma once

#include <QByteArray>

// The one-time backup of a game configuration file: before the editor's first write to a file,
// its bytes as they were are kept in the file's full name + ".bak" beside it. An existing backup
// is never refreshed or replaced, even when the editor cannot write to it. A game file that does
// not exist yet gets an empty backup.
//
// The backup appears complete or not at all: a copy that cannot be finished leaves no backup
// file behind, so the next write tries again instead of taking a partial copy for the backup.
// A game file that exists but cannot be read gets no backup for the same reason.
//
// The path is Windows-1251 text, resolved on disk like profile file paths. Failures are silent.
void ensureBackup(const QByteArray &gameFilePath);
