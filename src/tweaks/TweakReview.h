#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "gamefiles/LineChange.h"
#include "tweaks/TweakFile.h"

// A tweak line held against the game files as they are now: the change it would make (before:
// the key's line in the game file now, nothing: the key is missing), what the apply would do
// with it, and why it cannot apply when it cannot.
struct TweakReviewLine
{
    enum class State
    {
        Equal,   // the file already holds the line (or lacks the removed key)
        Differs, // the key's line differs: it is replaced
        Missing, // the key is missing: it is added (the file and its folder created when allowed)
        Removal, // the key's line is removed
        Blocked, // cannot apply: reason says why
    };
    int number = 0; // the line in the tweak file
    LineChange change;
    State state = State::Blocked;
    QString reason; // Blocked: why; Missing: what the apply creates besides the line, if anything

    bool writes() const
    {
        return state == State::Differs || state == State::Missing || state == State::Removal;
    }
    // The state as the review shows it (Russian).
    QString stateText() const;
    // One line of text for the command line: state, file, section, key, old and new line.
    QString text() const;
};

namespace Tweak {

// The review of every line, in the tweak's order. Each game file is read and parsed once, and
// checked once for whether the apply could write it: a line that would write a file that cannot
// be written (read-only, in a read-only or missing folder, not a regular file) cannot apply.
// allowCreate: a missing game file may be created by the apply, and its missing folders with it.
QList<TweakReviewLine> review(const QByteArray &gamedataFolder, const QList<TweakLine> &lines,
                              bool allowCreate);

// Why the apply could not write the game file (empty: it could). A missing file needs
// allowCreate; its folders that are missing are then named in *folders, outermost first (as the
// file system spells them), for the apply to create.
QString whyNotWritable(const QByteArray &gamedataFolder, const QByteArray &file, bool allowCreate,
                       QStringList *folders = nullptr);

} // namespace Tweak
