#pragma once

#include <QByteArray>

#include <optional>

// One line of a game file that changes: what the change list finds, a tweak carries, a write
// makes, the apply history records and an undo reverses. Lines are whole, without their ending,
// exactly as the file holds them.
struct LineChange
{
    QByteArray file;    // relative to the gamedata folder, as the catalogue or tweak spells it
    QByteArray section; // the section the line lies in (as its header spells it, when known)
    QByteArray key;     // of a key line (a key's name may be empty: "=1" is a key line)
    std::optional<QByteArray> before; // the line before the change; nothing: it was not there
    std::optional<QByteArray> after;  // the line after the change; nothing: it is removed
    // Where a removed key line stood in its section, so that putting it back puts it there: the
    // whole key line right before it, or first when it was the section's first key line. Neither:
    // a line that comes back goes to the end of its section.
    std::optional<QByteArray> previous;
    bool first = false;
    // False for a line that holds no key (a header with its parents, an #include line, a comment
    // or any line without "="), which only the change list shows.
    bool keyLine = true;

    enum class Kind
    {
        Changed, // in both, with another line
        Added,   // only after the change
        Removed, // only before it
        Line,    // a line that holds no key, changed, added or removed
    };
    Kind kind() const
    {
        if (!keyLine)
            return Kind::Line;
        if (!before)
            return Kind::Added;
        return after ? Kind::Changed : Kind::Removed;
    }
    bool isKey() const { return keyLine; }
    // Whether the change changes anything.
    bool changes() const { return before != after; }
};
