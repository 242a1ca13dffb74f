#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "gamefiles/WriteJournal.h"

// Names of the origins as the history file spells them.
QByteArray originName(HistoryOrigin origin);

// What became of a recorded write.
enum class WriteState
{
    Written,    // the game file took the lines (said by the writer, or found so later)
    NotWritten, // the write was not made (failed, or found not made after a crash)
    Pending,    // recorded before the write, and nothing since says how it went
    Unclear,    // after a crash the file held neither the lines before nor after the write
};

// One line of a game file that a write changed, with what made the write.
struct HistoryRecord
{
    LineChange change;
    HistoryStamp stamp;
    qint64 time = 0; // milliseconds since 1970, UTC
    // Whether the write was repeated into the duplication folder; its undo does the same.
    bool duplicated = false;
    qint64 write = 0; // the write (one save of one file) the record belongs to
    WriteState state = WriteState::Written;
    // The gamedata folder the write went to, when the history knew it (settle looks there).
    QByteArray gamedataFolder;
};

// The apply history, kept in a text file beside the settings (History.log), one line a record,
// each line with its own check sum, so a crash in the middle of an append damages at most that
// line: a damaged line is dropped when the history is read, and the reading says how many.
//
// A write is recorded before it is made: the lines it is about to change (an intent), then a
// line that says it was made or not. An intent left without its outcome by a crash is settled
// later by looking at the game file (settle). An undo or a redo group ends with a line of its
// own, so an undo stopped part-way is known and finished by the next one.
//
// Every append and the rewrite that bounds the file take the history's lock (a lock file beside
// it), so writers of several programs at once lose nothing. Lines are numbered; the count and
// the next number come from the file's first and last lines, so an append never reads the whole
// file. Past the bound (and a tenth more), the oldest groups are dropped whole in one atomic
// rewrite; a group larger than the bound stays whole.
class ApplyHistory : public WriteJournal
{
public:
    static constexpr int DefaultLimit = 10000;

    explicit ApplyHistory(QString path, int limit = DefaultLimit);

    const QString &path() const { return path_; }

    // Appends one record of a write already made; false with a reason in Russian when the file
    // cannot take it.
    bool append(const HistoryRecord &record, QString *error = nullptr);

    // How a group of undo or redo writes ended.
    struct GroupEnd
    {
        HistoryStamp stamp;
        bool whole = true; // every record of the group it reverses, not a chosen part
    };

    struct Contents
    {
        // Oldest first; writes found not made are left out.
        QList<HistoryRecord> records;
        // Undo and redo groups that ended, by group.
        QHash<qint64, GroupEnd> ends;
        // Every group, in the order of its first line (a group that wrote nothing has its end).
        QList<qint64> groups;
        int damaged = 0; // lines dropped for a failed check
    };
    // The records as the file holds them now. A missing file is an empty history.
    Contents read() const;
    // Calls each for the records newest first, reading the file from its end a piece at a time,
    // until each returns false. undone: an undo took the record's group back and no redo
    // re-applied it. *damaged (when given) counts the lines dropped on the way.
    void readNewestFirst(const std::function<bool(const HistoryRecord &, bool undone)> &each,
                         int *damaged = nullptr) const;

    // Settles the writes that a crash left without their outcome: a file that holds every line
    // the write meant to put there was written; one that still holds every line from before was
    // not; anything else is unclear and said in problems (Russian). A write another program is
    // making (its file locked) is left alone. Reads the file from its end back to where an
    // earlier settling left its mark. gamedataFolder: the run's folder, where this history's
    // later writes go and where writes of older lines (which do not name theirs) are looked at.
    struct Settled
    {
        int written = 0, notWritten = 0, unclear = 0;
        QStringList problems;
    };
    Settled settle(const QByteArray &gamedataFolder);

    // WriteJournal: the changes are recorded before the write, its outcome after it.
    qint64 begin(const HistoryStamp &stamp, const QList<LineChange> &changes, bool duplicated,
                 bool *ok, QString *error) override;
    void done(qint64 ticket, bool written, QString *error) override;
    qint64 newGroup() override;
    void endGroup(const HistoryStamp &stamp, bool whole, QString *error) override;

    // The time a group was made (milliseconds since 1970, UTC).
    static qint64 groupTime(qint64 group);

    // The line of a record of a write already made, and the record such a line holds (nothing
    // for a damaged line or a line of another kind). Lines of the older format are read too.
    static QByteArray encode(const HistoryRecord &record);
    static std::optional<HistoryRecord> decode(QByteArrayView line);

private:
    struct Line;
    // The number of the file's last line, read from its end; the number before its first line.
    static qint64 lastNumber(const QByteArray &native);
    static qint64 baseNumber(const QByteArray &native);
    bool appendLines(QList<Line> &lines, QString *error);
    bool compact(const QByteArray &native, qint64 last, QString *error);

    struct Pending
    {
        qint64 write = 0;
        qint64 group = 0;
    };

    QString path_;
    int limit_;
    qint64 base_ = -1; // the number before the file's first line, as last read
    QByteArray gamedataFolder_;
    qint64 lastTicket_ = 0;
    QHash<qint64, Pending> pending_;
};
