#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

#include "gamefiles/LineChange.h"

// What made a write to a game file.
enum class HistoryOrigin
{
    Row,     // the apply of an editor row or a command-line set
    Table,   // the apply of a table
    Tweak,   // the apply of a tweak file
    Restore, // a restore from the change list
    Undo,    // an undo of a group from the history (a tweak's removal included)
    Redo,    // a redo: the writes of a group an undo took back, made again
    Trade,   // the apply of a trade row: its key written or deleted
};

// What the caller of a write tells the journal: what makes the write and the group it belongs to
// (one table or tweak apply is one group; 0 gives every write a group of its own).
struct HistoryStamp
{
    // Callers name what they know, in this order ({HistoryOrigin::Tweak, group, note, tweak}).
    HistoryStamp(HistoryOrigin origin = HistoryOrigin::Row, qint64 group = 0, QByteArray note = {},
                 QByteArray tweak = {}, qint64 target = 0, qint64 source = 0)
        : origin(origin), group(group), note(std::move(note)), tweak(std::move(tweak)),
          target(target), source(source)
    {
    }

    HistoryOrigin origin = HistoryOrigin::Row;
    qint64 group = 0;
    // Text that says what made the write, any Unicode as UTF-8: a tweak's path, a table page's
    // or a row's caption.
    QByteArray note;
    // A tweak apply: the tweak's identity, a hash of its normalised lines (its path may change).
    QByteArray tweak;
    // An undo: the group it takes back; a redo: the undo group it reverses.
    qint64 target = 0;
    // An undo or a redo: the group whose writes it takes back or makes again.
    qint64 source = 0;
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
    // An undo or redo group's writes are all made (whole: of every record of its source, not a
    // chosen part). One that never says so was stopped part-way, and the next undo finishes it.
    virtual void endGroup(const HistoryStamp &stamp, bool whole, QString *error)
    {
        (void)stamp;
        (void)whole;
        (void)error;
    }
};
