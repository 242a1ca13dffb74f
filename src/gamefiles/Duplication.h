#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include "gamefiles/ParameterWriter.h"

// Duplication: with it on, every key written into a game file by an ordinary apply (and every key
// a restore puts back) is repeated into the duplicate file, the duplication folder followed by the
// bare name of the game file, and the file table there records which game file it belongs to.
// Trade applies are never duplicated. Game files of the same bare name share one duplicate file.
namespace Duplication {

// Name of the file table in the duplication folder, and its one section.
inline constexpr char FileTableName[] = "!FileTable!.table";
inline constexpr char FileTableSection[] = "table";

// Repeats the keys' new states into the duplicate file (the value text written after "=", or the
// key's line deleted when a change has no line after), all in one save, then records the
// relative file under the duplicate's bare name in the file table. Does nothing, and succeeds,
// when duplication is off. Fails, with a reason that starts in lower case, when no duplication
// folder is set or a write fails; the duplicate file takes all of the changes or none, and the
// file table is written after it.
bool repeat(const WriteTarget &target, const QByteArray &relativeFile,
            const QList<LineChange> &changes, QString *why);
// The same for one key (valueText: the text after "=", nothing: the key's line is deleted).
bool repeat(const WriteTarget &target, const QByteArray &relativeFile, const QByteArray &section,
            const QByteArray &key, const std::optional<QByteArray> &valueText, QString *why);

} // namespace Duplication
