#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "gamefiles/LineChange.h"

// A tweak file: changes to game files in a text a modder can read, pass on and apply elsewhere.
// Windows-1251, lines ending in CRLF, laid out like a game file and read by the game files' own
// parser (IniDocument), with two markers of its own in comment lines:
//
//   ;> config\creatures\actor.ltx      the game file the lines below go to (from gamedata)
//   [actor]                            the section of the key lines below ("[]": the lines
//                                      before the file's first header)
//   walk_accel = 7 ; comment           the key's whole new line, written as it stands
//   ;- run_coef                        the key's line is removed
//
// Every other line starting with ";" is a comment, blank lines are ignored. A key is what the
// game files' reading takes as the key (blanks are spaces and tabs only); a "[" without "]" is
// no header. A file that starts with a UTF-8 byte-order mark is read as UTF-8 (a tweak saved by
// a modern editor); its lines must then hold only characters that Windows-1251 has.

// One line of a tweak file that asks for something: the change it asks for (file, section, key;
// after: the key's whole new line, nothing: the key's line is removed; before is left to the
// review) and where it stands in the tweak.
struct TweakLine
{
    int number = 0; // 1-based, in the tweak file
    LineChange change;
    QString problem; // why the line can never apply (empty: it can)
};

namespace TweakFile {

inline constexpr char FileMarker[] = ";>";
inline constexpr char RemovalMarker[] = ";-";

// The tweak of the changes, file by file in their order: changed and added keys as their current
// lines, removed keys as removals. A tweak carries keys only: the changes of lines that hold no
// key (#include lines, headers with their parents, comments) and of keys that could not be read
// back from it are left out.
struct Made
{
    QByteArray bytes;
    int lines = 0; // the key lines the tweak carries
    QList<LineChange> leftOut;
};
Made make(const QList<LineChange> &changes);

// The warning that names every change left out of a tweak, one a line (empty: none).
QString leftOutText(const QList<LineChange> &leftOut);

// Every line that asks for something, in file order, those that cannot apply included.
QList<TweakLine> parse(const QByteArray &bytes);

// What a tweak is known by in the apply history, wherever its file lies: the SHA-256 (in hex) of
// its lines that ask for something (file, section, key and the new line or the removal, with the
// letter case of names and the spelling of paths folded), in sorted order, so that line endings,
// comments, blank lines, the encoding and the order of the lines do not change it.
QByteArray identity(const QList<TweakLine> &lines);

} // namespace TweakFile
