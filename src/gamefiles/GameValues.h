#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QSet>
#include <QStringList>

#include <memory>
#include <optional>

#include "gamefiles/SectionResolver.h"

// The values of game-file keys as one run's rules read them: the one place that decides which
// value a key has and where a write of it lands, for the rows, the table view, find, the command
// line and every write. A section is found through the includes of the entry's file (see
// SectionResolver.h); with inheritance on, a key missing from its section is looked for in the
// section's parents. One reader serves one walk over the rows or one command: each file is read
// and its include tree scanned once, so a reader must not outlive a write it did not make.
class GameValues
{
public:
    GameValues(QByteArray gamedataFolder, bool inheritance);
    ~GameValues();
    GameValues(GameValues &&) noexcept;
    GameValues &operator=(GameValues &&) noexcept;

    const QByteArray &gamedataFolder() const { return gamedataFolder_; }
    bool inheritance() const { return inheritance_; }

    struct Value
    {
        std::optional<QByteArray> value;      // as reads give it; nothing: the key is missing
        QByteArray line;                      // the key's whole line, without its ending
        bool inherited = false;               // from a parent section
        QByteArray originSection, originFile; // where the value stands (relative file)
        // Where a write of the key lands: the section as found through the includes, in the
        // file that holds it; the entry's own file and section when no file holds it.
        SectionResolver::Place place;

        bool present() const { return value.has_value(); }
    };

    // The key's value. parents: whether a missing key is looked for in the section's parents
    // (the run's inheritance, and never for a trade row, whose apply writes or deletes the key
    // of its own section). A relative file that leads outside the gamedata folder, or an empty
    // gamedata folder, reads as missing without touching the disk.
    Value valueOf(const QByteArray &relativeFile, const QByteArray &section, const QByteArray &key);
    Value ownValueOf(const QByteArray &relativeFile, const QByteArray &section,
                     const QByteArray &key);

    // The files whose text makes up relativeFile's, itself first (SectionResolver::filesOf).
    QByteArrayList filesOf(const QByteArray &relativeFile);

    // The problems met since the last call (missing includes, cycles, sections defined twice,
    // missing parents), each once in the life of this reader.
    QStringList takeProblems();

private:
    Value read(const QByteArray &relativeFile, const QByteArray &section, const QByteArray &key,
               bool parents);

    QByteArray gamedataFolder_;
    bool inheritance_ = true;
    std::unique_ptr<SectionResolver> resolver_;
    qsizetype problemsTaken_ = 0;
};
