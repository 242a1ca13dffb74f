#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

#include "gamefiles/LineChange.h"
#include "gamefiles/ParameterWriter.h"

// A tweak file: changes to game files in a text a modder can read, pass on and apply elsewhere.
// Windows-1251, lines ending in CRLF, laid out like a game file:
//
//   ;> config\creatures\actor.ltx      the game file the lines below go to (from gamedata)
//   [actor]                            the section of the key lines below
//   walk_accel = 7 ; comment           the key's whole new line, written as it stands
//   ;- run_coef                        the key's line is removed
//
// Every other line starting with ";" is a comment, blank lines are ignored. A file that starts
// with a UTF-8 byte-order mark is read as UTF-8 (a tweak saved by a modern editor); its lines
// must then hold only characters that Windows-1251 has.
namespace TweakFile {

inline constexpr char FileMarker[] = ";>";
inline constexpr char RemovalMarker[] = ";-";

// The tweak of the changes, file by file in their order: changed and added keys as their current
// lines, removed keys as removals.
QByteArray make(const QList<LineChange> &changes);

// One line of a tweak file that asks for something.
struct Line
{
    int number = 0; // 1-based, in the tweak file
    QByteArray file, section, key;
    std::optional<QByteArray> line; // the key's new whole line; nothing: the key is removed
    QString problem;                // why the line can never apply (empty: it can)
};

// Every line that asks for something, in file order, those that cannot apply included.
QList<Line> parse(const QByteArray &bytes);

} // namespace TweakFile

// A tweak line held against the game files as they are now.
struct TweakReviewLine
{
    enum class State
    {
        Equal,   // the file already holds the line (or lacks the removed key)
        Differs, // the key's line differs: it is replaced
        Missing, // the key is missing: it is added (the file created when allowed)
        Removal, // the key's line is removed
        Blocked, // cannot apply: reason says why
    };
    TweakFile::Line line;
    State state = State::Blocked;
    std::optional<QByteArray> current; // the key's line in the game file now
    QString reason;

    bool writes() const
    {
        return state == State::Differs || state == State::Missing || state == State::Removal;
    }
    // The state as the review shows it (Russian).
    QString stateText() const;
    // One line of text for the command line: state, file, section, key, old and new line.
    QString text() const;
};

// What an apply of a tweak did.
struct TweakApplyReport
{
    int written = 0; // lines written
    int files = 0;   // game files changed
    bool complete = true;
    QByteArray file; // where the apply stopped
    QString reason;
    QString message() const;
};

namespace Tweak {

// The review of every line. allowCreate: a missing game file may be created by the apply.
QList<TweakReviewLine> review(const QByteArray &gamedataFolder, const QList<TweakFile::Line> &lines,
                              bool allowCreate);

// Writes the chosen review lines that write, file by file, each file in one atomic save after its
// backup, with duplication, each file only while its keys still hold the lines the review found.
// Stops at the first file that cannot take its lines. The writes are one group of the history;
// note names the tweak file there.
TweakApplyReport apply(const ParameterWriter &writer, const QList<TweakReviewLine> &chosen,
                       const QByteArray &note);

} // namespace Tweak
