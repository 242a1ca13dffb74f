#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "gamefiles/LineChange.h"

// What made a write to a game file.
enum class HistoryOrigin
{
    Row,     // the apply of an editor row (a trade row's delete included) or a command-line set
    Table,   // the apply of a table
    Tweak,   // the apply of a tweak file
    Restore, // a restore from the change list, or an undo from the history
};

// What the caller of a write tells the journal: what makes the write and the group it belongs to
// (one table or tweak apply is one group; 0 gives every write a group of its own). note names
// the tweak of a tweak apply.
struct HistoryStamp
{
    HistoryOrigin origin = HistoryOrigin::Row;
    qint64 group = 0;
    QByteArray note;
    // A tweak apply: the tweak's identity, a hash of its normalised lines (its path may change).
    QByteArray tweak;
};

// Where the writes to game files are recorded (the apply history). The writer calls begin while
// it holds the game file, after the changes are known and before the file is replaced, and done
// once the replacement succeeded or failed, so a write that a crash interrupts leaves a record
// that says what was about to happen.
class WriteJournal
{
public:
    virtual ~WriteJournal() = default;

    // The changes about to be written into one game file (their "before" lines as the file holds
    // them), and whether they are repeated into the duplication folder. Returns a ticket for
    // done; false in *ok with a reason in *error when they cannot be recorded (the write goes on).
    virtual qint64 begin(const HistoryStamp &stamp, const QList<LineChange> &changes,
                         bool duplicated, bool *ok, QString *error) = 0;
    // The write of begin's ticket is on disk (written) or was not made.
    virtual void done(qint64 ticket, bool written, QString *error) = 0;
    // A group number no other write of this or another process has.
    virtual qint64 newGroup() = 0;
};
