#pragma once

#include <QByteArray>
#include <QStringList>

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

// Whether values missing from their own section are looked for where the game finds them: in
// the section's parents, through the files the game file includes (see SectionResolver.h). On
// by default; off, a missing key is missing.
void setInheritance(bool on);
bool inheritance();

// A value as the game uses it. inherited: the key is not in the section of the game file the
// entry names, and value comes from originSection of originFile (relative to the gamedata
// folder); applying it writes the key into the entry's own section.
struct Effective
{
    QByteArray value;
    bool inherited = false;
    QByteArray originSection, originFile;
};

// lookUp, and when that yields defaultValue and inheritance is on, the value found through
// parents and includes. Inside a ProfileCache::WalkScope one resolver serves the whole walk
// (each file read and scanned once); outside, each call resolves afresh.
Effective lookUpEffective(const QByteArray &gamedataFolder, const QByteArray &relativeFile,
                          const QByteArray &section, const QByteArray &key,
                          const QByteArray &defaultValue = AbsentMarker);

// "унаследовано из [section], file": where an inherited value comes from, for help and status
// lines (Windows-1251).
QByteArray originText(const Effective &value);

// The problems the resolvers met (missing or refused includes, cycles, sections defined twice),
// each once, since the last call; the list is emptied.
QStringList takeResolverProblems();

// How many problems one message names; the rest are counted.
inline constexpr int ShownResolverProblems = 5;
// The one message about the problems: the first ShownResolverProblems named, the rest counted.
// Empty for none.
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

// The same from an effective value. Trade rows show only their own section's key: their apply
// deletes or writes that key, and an inherited one is not there to delete.
RowValue rowValueFor(bool trade, bool hasFull, const Effective &value);

// What the row of an entry shows: lookUpEffective, then rowValueFor.
RowValue rowValueOf(const QByteArray &gamedataFolder, const QByteArray &relativeFile,
                    const QByteArray &section, const QByteArray &key, bool trade, bool hasFull);

} // namespace ParameterLookup
