#pragma once

#include <QByteArray>
#include <QStringList>

#include "gamefiles/GameValues.h"

// What an editor row makes of the value of its parameter (GameValues reads it).
namespace ParameterLookup {

// "НЕ ЗАГРУЖЕНО!" in Windows-1251: what a row with "<k>_FULL" shows for a missing value, so a
// text equal to it means that the file, the section or the key is missing.
inline constexpr char AbsentMarker[] = "\xCD\xC5 \xC7\xC0\xC3\xD0\xD3\xC6\xC5\xCD\xCE!";

// The game file's path: the gamedata folder and the entry's relative file joined as they
// are, with no separator added (the gamedata folder normally ends in "/").
QByteArray gameFilePath(const QByteArray &gamedataFolder, const QByteArray &relativeFile);

bool isPresent(const QByteArray &text, const QByteArray &marker = AbsentMarker);

// "унаследовано из [section], file": where an inherited value comes from, for help and status
// lines (Windows-1251); empty for a value of the key's own section.
QByteArray originText(const GameValues::Value &value);

// How many problems one message names; the rest are counted.
inline constexpr int ShownResolverProblems = 5;
// The one message about the problems of includes and parents: the first ShownResolverProblems
// named, the rest counted. Empty for none.
QString resolverProblemsText(const QStringList &problems);

// What an editor row shows for a value as read (the lookup's result with AbsentMarker).
struct RowValue
{
    QByteArray text;        // the value box's text
    QByteArray commentPart; // kept aside and written back behind the text (ordinary rows)
    bool present = false;   // the lookup found the value
    bool enabled = true;    // the value box
    bool checked = false;   // the presence check box of a trade row
    bool inherited = false; // an ordinary row shows a value of a parent section (shown greyed)
    QByteArray origin;      // then: originText of it
};

// trade: the entry belongs to a trade page. hasFull: the entry has "<k>_FULL" (ignored for
// trade rows, which always show the whole value).
RowValue rowValueFor(bool trade, bool hasFull, const QByteArray &asRead);

// The same from a value read by GameValues. Trade rows show only their own section's key: their
// apply deletes or writes that key, and an inherited one is not there to delete.
RowValue rowValueFor(bool trade, bool hasFull, const GameValues::Value &value);

// What the row of an entry shows: its value read by values (GameValues::valueOf, or ownValueOf
// for a trade row), then rowValueFor.
RowValue rowValueOf(GameValues &values, const QByteArray &relativeFile, const QByteArray &section,
                    const QByteArray &key, bool trade, bool hasFull);

} // namespace ParameterLookup
