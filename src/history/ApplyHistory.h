#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// What made a write to a game file.
enum class HistoryOrigin
{
    Row,     // the apply of an editor row (a trade row's delete included) or a command-line set
    Table,   // the apply of a table
    Tweak,   // the apply of a tweak file
    Restore, // a restore from the change list, or an undo from the history
};

// Names of the origins as the history file and the windows show them.
QByteArray originName(HistoryOrigin origin);

// What the caller of a write tells the history: what makes the write and the group it belongs to
// (one table or tweak apply is one group; 0 gives every write a group of its own). note names
// the tweak file of a tweak apply.
struct HistoryStamp
{
    HistoryOrigin origin = HistoryOrigin::Row;
    qint64 group = 0;
    QByteArray note;
};

// One write to a game file: the key's whole line before and after (no value: the key was absent).
struct HistoryRecord
{
    qint64 time = 0; // milliseconds since 1970, UTC
    HistoryOrigin origin = HistoryOrigin::Row;
    qint64 group = 0;
    QByteArray note;
    QByteArray file; // relative to the gamedata folder, as the writer was given it
    QByteArray section, key;
    std::optional<QByteArray> before, after;
};

// The apply history, kept in a text file beside the settings (History.log). Appended one record a
// line, each line with its own check sum, so a crash in the middle of an append damages at most
// that line: a damaged line is dropped when the history is read, and the reading says how many.
// Bounded: past the limit (and a tenth more), the oldest records are dropped in one atomic
// rewrite. Nothing is read at start-up; the file is counted at the first append of a run.
class ApplyHistory
{
public:
    static constexpr int DefaultLimit = 10000;

    explicit ApplyHistory(QString path, int limit = DefaultLimit);

    const QString &path() const { return path_; }

    // Appends one record; false with a reason in Russian when the file cannot take it.
    bool append(const HistoryRecord &record, QString *error = nullptr);

    struct Contents
    {
        QList<HistoryRecord> records; // oldest first
        int damaged = 0;              // lines dropped for a failed check
    };
    // The records as the file holds them now. A missing file is an empty history.
    Contents read() const;

    // A group number no earlier record of this or an earlier run has.
    qint64 newGroup();

    // The history every write of this process records into (none: nothing is recorded).
    static ApplyHistory *active();
    static void setActive(ApplyHistory *history);

    // One line of the file, and the record a line holds (nothing for a damaged line).
    static QByteArray encode(const HistoryRecord &record);
    static std::optional<HistoryRecord> decode(QByteArrayView line);

private:
    bool compact(QString *error);

    QString path_;
    int limit_;
    int count_ = -1; // records in the file, counted at the first append
    qint64 lastGroup_ = 0;
};

// Records one write into the active history, when there is one and the line changed. A failed
// append is reported through lastHistoryError() and never fails the write itself.
void recordWrite(const HistoryStamp &stamp, const QByteArray &file, const QByteArray &section,
                 const QByteArray &key, const std::optional<QByteArray> &before,
                 const std::optional<QByteArray> &after);

// Why the last append failed, cleared by the call.
QString takeHistoryError();

// The whole line of section and key in the file at diskPath, or nothing when the file or the key
// is missing.
std::optional<QByteArray> keyLineOnDisk(const QString &diskPath, const QByteArray &section,
                                        const QByteArray &key);
