#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "gamefiles/ParameterWriter.h"
#include "history/ApplyHistory.h"
#include "tweaks/TweakReview.h"

// What an apply of a tweak did.
struct TweakApplyReport
{
    int written = 0; // lines written (and kept)
    int files = 0;   // game files changed (and kept)
    bool complete = true;
    bool refused = false; // stopped before the first write: nothing was written
    QByteArray file;      // the file that could not be written
    QString reason;
    // Files written before the apply stopped, put back as they were.
    int undoneFiles = 0;
    QString undoProblem;    // why they could not all be put back (empty: they were)
    QString notDuplicated;  // why the duplication failed, when it did (the game files stay)
    QString historyProblem; // why the apply is not in the history, when it is not

    QString message() const;
};

namespace Tweak {

// What names the tweak file at path in the history: its absolute path as UTF-8 text.
QByteArray note(const QString &path);

// Writes the chosen review lines that write, all of them or none: every file is checked first
// (it can be written, its keys still hold the lines the review found, missing folders are
// created when allowCreate) and nothing is written when one fails; then file by file, each in
// one atomic save after its backup, with duplication. The writes are one group of the history,
// stamped with note (the tweak's path) and tweak (its identity). When a write still fails part
// way, the files already written are put back through the writer: by undoing the group as
// history holds it, or from what the writes reported when the history does not hold all of it.
TweakApplyReport apply(const ParameterWriter &writer, const ApplyHistory *history,
                       const QList<TweakReviewLine> &chosen, const QByteArray &note,
                       const QByteArray &tweak, bool allowCreate);

// The newest apply of the tweak (by its identity; note finds applies recorded before tweaks
// were known by their content, by the path they were applied from) that is neither undone nor
// taken back otherwise: a group whose keys all hold their "before" lines again is passed over.
// Empty: the tweak is not applied.
QList<HistoryRecord> appliedGroup(const QByteArray &gamedataFolder,
                                  const ApplyHistory::Contents &contents, const QByteArray &tweak,
                                  const QByteArray &note = {});

} // namespace Tweak
