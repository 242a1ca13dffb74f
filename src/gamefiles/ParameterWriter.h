#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

#include "history/ApplyHistory.h"

// Where applied parameters go: the gamedata folder (ending in "/" or "\") that every catalogue
// entry's file is appended to, and the duplication settings.
struct WriteTarget
{
    QByteArray gamedataFolder;
    bool duplication = false;
    // Ends in "/" or "\" when chosen from the menu; the duplicate files and the file table are
    // its text followed by a bare file name.
    QByteArray duplicationFolder;
};

// What became of a write request. True only when every file that had to take the value took
// it; gameFileWritten() tells an applied row whose duplication failed from a row not applied.
class WriteResult
{
public:
    enum class Outcome
    {
        Written,       // the game file holds the value (and with duplication on, the duplicate)
        Refused,       // refused before any file was touched, the backup included
        Failed,        // the game file could not be changed; its backup may have been made
        NotDuplicated, // the game file holds the value, the duplicate or the file table not
    };

    WriteResult(Outcome outcome) : outcome_(outcome) {}

    Outcome outcome() const { return outcome_; }
    bool gameFileWritten() const
    {
        return outcome_ == Outcome::Written || outcome_ == Outcome::NotDuplicated;
    }
    explicit operator bool() const { return outcome_ == Outcome::Written; }

private:
    Outcome outcome_;
};

// Writes one applied parameter back into its game configuration file, after the one-time
// backup of that file, and, with duplication on, into the duplicate file and the file table.
//
// All texts are Windows-1251. The relative file is the catalogue entry's file exactly as
// written there; the value text is stored verbatim after "=" (callers pass one blank followed
// by the pending text). Every call opens and releases the files it needs; the writer keeps no
// state between calls.
//
// Everything that can refuse a write is checked before the backup step, so a refused write
// changes nothing on disk: line breaks, empty or unreadable names (a key with "=", a section
// with "]"), no gamedata folder, a path leading outside it, and the game file itself (a folder
// or other non-regular file, unreadable, read-only, its folder missing or read-only).
//
// Every result but Written fills *error with a Russian text that names the file and says what
// went wrong. What was written before a failure stays written; a failed profile write leaves
// its file as it was.
class ParameterWriter
{
public:
    explicit ParameterWriter(WriteTarget target);

    const WriteTarget &target() const { return target_; }

    // What the writes of this writer record in the apply history (a row's writes by default,
    // each a group of its own).
    void setHistoryStamp(HistoryStamp stamp) { stamp_ = std::move(stamp); }
    const HistoryStamp &historyStamp() const { return stamp_; }

    // The apply of an ordinary row (and of a changed table cell).
    WriteResult writeParameter(const QByteArray &relativeFile, const QByteArray &section,
                               const QByteArray &key, const QByteArray &valueText,
                               QString *error = nullptr) const;

    // The apply of a trade row: writes the key when present, deletes its line otherwise. Never
    // duplicated. Deleting a key that is not in the file (or a file that does not exist)
    // touches nothing and succeeds.
    WriteResult writeTrade(const QByteArray &relativeFile, const QByteArray &section,
                           const QByteArray &key, bool present, const QByteArray &valueText,
                           QString *error = nullptr) const;

    // One key's new whole line for writeLines (nothing: the key's line is removed), and the line
    // the key must still have (nothing: the key must be missing).
    struct LineEdit
    {
        QByteArray section, key;
        std::optional<QByteArray> line;
        std::optional<QByteArray> expected;
    };

    // The apply of a tweak to one game file: every edit in one atomic save, after the backup step,
    // each line written as it stands (a new key after the last key of its section), then
    // duplicated. Refused, changing nothing, when a key no longer has its expected line.
    WriteResult writeLines(const QByteArray &relativeFile, const QList<LineEdit> &edits,
                           QString *error = nullptr) const;

private:
    bool checkRequest(const QByteArray &relativeFile, const QByteArray &section,
                      const QByteArray &key, const QByteArray &valueText, QString *error) const;

    WriteTarget target_;
    HistoryStamp stamp_;
};
