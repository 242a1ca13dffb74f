#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include "gamefiles/ParameterWriter.h"
#include "history/ApplyHistory.h"

// Undo and redo over the apply history. An undo takes back the lines of one group (writes its
// records' "before" lines through the writer: backup, duplication as the write had it), as a
// group of its own that names the group it undoes; a redo takes back an undo the same way. A
// record whose file already holds the line the step would write counts as done; one whose file
// holds neither line refuses the whole step, changing nothing.
//
// The last group not yet undone is the next to undo, so undo after undo steps back group by
// group; a redo makes again the last undo's group, and a new write (not an undo or redo) ends
// what can be redone. An undo or redo stopped part-way (killed, a file that could not be written)
// is finished by the next undo (or redo), under its own group.
namespace HistoryUndo {

// The records of one group, oldest first.
QList<HistoryRecord> group(const QList<HistoryRecord> &records, qint64 group);

// Where undo and redo stand after the history's groups, in file order.
struct Timeline
{
    QList<qint64> undoable;             // an undo takes the last
    QList<qint64> redoable;             // undo groups; a redo takes back the last
    QHash<qint64, qint64> unfinished;   // group -> the undo or redo group that stopped on it
    QSet<qint64> undone;                // groups an undo took back and no redo made again
    QHash<qint64, HistoryStamp> stamps; // every group's stamp
};
Timeline timeline(const ApplyHistory::Contents &contents);

// One undo or redo about to be made: the records whose lines it takes back.
struct Step
{
    bool redo = false;
    qint64 target = 0; // the group undone, or the undo group a redo takes back
    qint64 group = 0;  // an unfinished step's group, which this one finishes (0: a new group)
    QList<HistoryRecord> records; // the target's records, oldest first
    HistoryStamp source;          // the stamp of the write an undo or redo finally goes back to

    bool empty() const { return target == 0; }
};
Step nextUndo(const ApplyHistory::Contents &contents);
Step nextRedo(const ApplyHistory::Contents &contents);

// The records the next undo takes back (empty when nothing is left to undo).
QList<HistoryRecord> lastGroup(const ApplyHistory::Contents &contents);

// The keys whose lines are neither the records' "after" lines nor their "before" lines, one
// text a key (Russian).
QStringList changedSince(const QByteArray &gamedataFolder, const QList<HistoryRecord> &records);

// What a step did: lines written, and lines that already held what it would write.
struct Done
{
    int written = 0;
    int already = 0;
};

// Takes back the records (of one group), newest first, file by file, as an undo of their group.
// whole: the records are the whole group (a chosen record is not). Refused, changing nothing,
// when a key's line changed since (the message names every such key); a write failure stops
// there and says where.
bool undo(const ParameterWriter &writer, const QList<HistoryRecord> &records,
          QString *error = nullptr, bool whole = true, Done *done = nullptr);

// Makes the step (the writer's journal records it).
bool perform(const ParameterWriter &writer, const Step &step, QString *error = nullptr,
             Done *done = nullptr);

// The next undo or redo of the history, made at once, with the message that says what became
// of it. The caller settles the history first (Session::settleHistory). Two programs undoing at
// once take one step each.
struct Result
{
    enum class Outcome
    {
        Done,
        Nothing, // nothing to undo or redo
        Failed,  // refused or stopped; message says why
    };
    Outcome outcome = Outcome::Nothing;
    QString message;
};
// expected: the target of the step the user agreed to (0: whatever is next); when another
// program changed what is next meanwhile, nothing is done.
Result undoLast(const ApplyHistory &history, const ParameterWriter &writer, qint64 expected = 0);
Result redoLast(const ApplyHistory &history, const ParameterWriter &writer, qint64 expected = 0);

// The message of a step made or refused.
QString doneText(const Step &step, const Done &done);

} // namespace HistoryUndo
