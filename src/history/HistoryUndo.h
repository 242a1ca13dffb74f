#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

#include "gamefiles/ParameterWriter.h"
#include "history/ApplyHistory.h"

// Undoing writes from the apply history: the "before" lines go back into the game files through
// the same write as a tweak's (backup, duplication), recorded as a restore.
namespace HistoryUndo {

// The records of one group, oldest first.
QList<HistoryRecord> group(const QList<HistoryRecord> &records, qint64 group);

// The newest group, or an empty list for an empty history.
QList<HistoryRecord> lastGroup(const QList<HistoryRecord> &records);

// The groups that applied the tweak of that identity (HistoryStamp::tweak), newest first. A
// group recorded before tweaks were known by their content has no identity: legacyNote, when
// given, finds it by the note it has instead.
QList<qint64> tweakGroups(const QList<HistoryRecord> &records, const QByteArray &tweak,
                          const QByteArray &legacyNote = {});

// The keys whose lines are no longer the records' "after" lines, one text a key (Russian).
QStringList changedSince(const QByteArray &gamedataFolder, const QList<HistoryRecord> &records);

// Undoes the records, newest first, file by file. Refused, changing nothing, when a key's line
// changed since (the message names every such key); a write failure stops there and says where.
bool undo(const ParameterWriter &writer, const QList<HistoryRecord> &records,
          QString *error = nullptr);

} // namespace HistoryUndo
