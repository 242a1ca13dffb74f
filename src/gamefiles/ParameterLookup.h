#pragma once

#include <QByteArray>

// Reading a catalogue entry's parameter from its game file, and what an editor row makes of
// the value it gets.
namespace ParameterLookup {

// "НЕ ЗАГРУЖЕНО!" in Windows-1251: the default of the lookup, so a result equal to it means
// that the file, the section or the key is missing.
inline constexpr char AbsentMarker[] = "\xCD\xC5 \xC7\xC0\xC3\xD0\xD3\xC6\xC5\xCD\xCE!";

// The game file's path: the gamedata folder and the entry's relative file joined as they
// are, with no separator added (the gamedata folder normally ends in "/").
QByteArray gameFilePath(const QByteArray &gamedataFolder, const QByteArray &relativeFile);

// The value of key in section of the game file, or defaultValue when the file, the section
// or the key is missing (a folder or an unreadable file counts as missing). A relative file
// that leads outside the gamedata folder, or an empty gamedata folder, yields defaultValue
// without touching the disk: a shared catalogue must not show the keys of files elsewhere.
QByteArray lookUp(const QByteArray &gamedataFolder, const QByteArray &relativeFile,
                  const QByteArray &section, const QByteArray &key,
                  const QByteArray &defaultValue = AbsentMarker);

bool isPresent(const QByteArray &text, const QByteArray &marker = AbsentMarker);

// What an editor row shows for a value as read (the lookup's result with AbsentMarker).
struct RowValue
{
    QByteArray text;        // the value box's text
    QByteArray commentPart; // kept aside and written back behind the text (ordinary rows)
    bool present = false;   // the lookup found the value
    bool enabled = true;    // the value box
    bool checked = false;   // the presence check box of a trade row
};

// trade: the entry belongs to a trade page. hasFull: the entry has "<k>_FULL" (ignored for
// trade rows, which always show the whole value).
RowValue rowValueFor(bool trade, bool hasFull, const QByteArray &asRead);

} // namespace ParameterLookup
