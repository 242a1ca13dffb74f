#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

#include "gamefiles/LineChange.h"
#include "gamefiles/WriteJournal.h"

class IniDocument;

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

    // The lines the write changed, each with the line it replaced (empty when nothing changed).
    QList<LineChange> changes;
    // Why the write is not in the apply history, when it is not (the write itself stays done).
    QString historyProblem;

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
    // journal: where the writes are recorded (none: nowhere).
    explicit ParameterWriter(WriteTarget target, WriteJournal *journal = nullptr);

    const WriteTarget &target() const { return target_; }
    WriteJournal *journal() const { return journal_; }

    // What the writes of this writer record in the journal (a row's writes by default, each a
    // group of its own).
    void setHistoryStamp(HistoryStamp stamp) { stamp_ = std::move(stamp); }
    const HistoryStamp &historyStamp() const { return stamp_; }

    // The apply of an ordinary row (and of a changed table cell): the key's line becomes key, "=",
    // valueText in the given file and section (the place GameValues found for the entry).
    WriteResult writeParameter(const QByteArray &relativeFile, const QByteArray &section,
                               const QByteArray &key, const QByteArray &valueText,
                               QString *error = nullptr) const;

    // The apply of a trade row: writes the key when present, deletes its line otherwise (every
    // line of it in its section). Never duplicated. Deleting a key that is not in the file (or a
    // file that does not exist) touches nothing and succeeds.
    WriteResult writeTrade(const QByteArray &relativeFile, const QByteArray &section,
                           const QByteArray &key, bool present, const QByteArray &valueText,
                           QString *error = nullptr) const;

    // Whole lines into one game file (a tweak, an undo, a key restore): every change's "before"
    // is the line the key must still have (nothing: the key must be missing), its "after" the
    // line written as it stands (nothing: the key's lines are removed); a line that comes back
    // goes where its change says (LineChange::previous). All in one atomic save after the backup
    // step; refused, changing nothing, when a key no longer has its "before" line. duplicate:
    // whether the lines are repeated into the duplication folder (when duplication is on).
    WriteResult writeLines(const QByteArray &relativeFile, const QList<LineChange> &changes,
                           QString *error = nullptr, bool duplicate = true) const;

    // A file restore: the game file becomes bytes, whole, with the same hold on the file, backup
    // step, journal and announcement as every write. check sees the file as it is read for the
    // write and returns why it must not be replaced (empty: it may), filling *changes with what
    // the journal records. Never duplicated here.
    using FileCheck = std::function<QString(const IniDocument &now, QList<LineChange> *changes)>;
    WriteResult replaceFile(const QByteArray &relativeFile, const QByteArray &bytes,
                            const FileCheck &check, QString *error = nullptr) const;

private:
    // Changes a document in memory: fills the changes it made (each with its "before" line), sets
    // *changed when the bytes changed, and returns false with *refusal set when the write must
    // not go on. (The bytes are not compared with a copy: a copy kept would make the edit copy
    // the whole file.)
    using Edit = std::function<bool(IniDocument &, QList<LineChange> *written, QString *refusal,
                                    bool *changed)>;

    // fromCatalogue: the names come from a catalogue entry (a row or a table cell), which must
    // name its section. checkFile: the file's checks too (false: they were made for this write).
    bool checkRequest(const QByteArray &relativeFile, const QByteArray &section,
                      const QByteArray &key, const QByteArray &valueText, QString *error,
                      bool fromCatalogue = true, bool checkFile = true) const;
    // The one edit-and-save of a game file that every write above makes. checkBefore: refuse
    // when a key's line is not its change's "before" (otherwise "before" is taken from the
    // file). Nothing changed: nothing is written.
    WriteResult writeFile(const QByteArray &relativeFile, QList<LineChange> changes,
                          bool checkBefore, bool duplicate, QString *error) const;
    WriteResult save(const QByteArray &relativeFile, const Edit &edit, bool duplicate,
                     QString *error) const;

    WriteTarget target_;
    WriteJournal *journal_ = nullptr;
    HistoryStamp stamp_;
};
