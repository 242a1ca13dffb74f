#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <QHash>

#include <optional>

#include "gamefiles/WriteJournal.h"

// Names of the origins as the history file and the windows show them.
QByteArray originName(HistoryOrigin origin);

// One write to a game file: the key's whole line before and after (no value: the key was absent).
struct HistoryRecord
{
    qint64 time = 0; // milliseconds since 1970, UTC
    HistoryOrigin origin = HistoryOrigin::Row;
    qint64 group = 0;
    QByteArray note;
    QByteArray tweak; // a tweak apply: the tweak's identity (HistoryStamp::tweak)
    QByteArray file;  // relative to the gamedata folder, as the writer was given it
    QByteArray section, key;
    std::optional<QByteArray> before, after;
};

// The apply history, kept in a text file beside the settings (History.log). Appended one record a
// line, each line with its own check sum, so a crash in the middle of an append damages at most
// that line: a damaged line is dropped when the history is read, and the reading says how many.
// Bounded: past the limit (and a tenth more), the oldest records are dropped in one atomic
// rewrite. Nothing is read at start-up; the file is counted at the first append of a run.
class ApplyHistory : public WriteJournal
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

    // WriteJournal: a write's changes are recorded once it is on disk.
    qint64 begin(const HistoryStamp &stamp, const QList<LineChange> &changes, bool duplicated,
                 bool *ok, QString *error) override;
    void done(qint64 ticket, bool written, QString *error) override;
    qint64 newGroup() override;

    // One line of the file, and the record a line holds (nothing for a damaged line).
    static QByteArray encode(const HistoryRecord &record);
    static std::optional<HistoryRecord> decode(QByteArrayView line);

private:
    bool compact(QString *error);

    struct Pending
    {
        HistoryStamp stamp;
        QList<LineChange> changes;
    };

    QString path_;
    int limit_;
    int count_ = -1; // records in the file, counted at the first append
    qint64 lastGroup_ = 0;
    qint64 lastTicket_ = 0;
    QHash<qint64, Pending> pending_;
};
