#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QSet>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

#include "profile/IniDocument.h"
#include "textcodec/Cp1251.h"

// Where a key of a game file stands and which value the game uses: game files pull others in
// with `#include "name.ltx"` lines (the name relative to the including file's folder) and a
// section inherits every key of its parents (`[wpn_ak74u]:wpn_ak74,wpn_base`).
//
// The rule, the one every reader and writer of the program follows: a file is read as one text,
// each `#include` line replaced by the file it names, in place, transitively; a file already
// being read (a cycle) or already read once is not read again. A section is the first header of
// its name in this text, in whichever file it stands (a later one is reported and ignored); that
// header's section is the section a catalogue entry, a command or a tweak names, and a write of
// its keys goes there. A key is looked for in that section, then, when parents are followed, in
// its parents, left to right, each parent with its own parents before the next one (depth
// first); the first one found is used.
//
// Include names are resolved inside the gamedata folder only: a name that is absolute or whose
// ".." steps climb out of it, or a symbolic link that leads out, is refused. Files are only read,
// through the shared parsed copies of profile files, each file once per resolver (a resolver
// serves one walk over the rows, or one command); walks use explicit stacks and visited sets, so
// deep or wide include trees and long parent chains need no stack depth. Problems (a missing
// include, a cycle, a refused name, a section defined twice, a missing parent) are collected,
// each once.
class SectionResolver
{
public:
    explicit SectionResolver(QByteArray gamedataFolder);

    // Where a section stands: its file (relative to the gamedata folder) and its name as the
    // header spells it. A section the text lacks is placed in the asked file under the asked
    // name, and found is false.
    struct Place
    {
        QByteArray file, section;
        bool found = false;
    };
    Place placeOf(const QByteArray &relativeFile, const QByteArray &section);

    struct Found
    {
        QByteArray value;       // as reads give it
        QByteArray line;        // the key's whole line, without its ending
        QByteArray section;     // the section that holds the key, as its header spells it
        QByteArray file;        // that section's file, relative to the gamedata folder
        bool inherited = false; // held by a parent, not by the asked section itself
    };

    // The key's value for section of relativeFile (the catalogue's spelling); nothing when
    // neither the section nor (with parents) any of its parents holds it.
    std::optional<Found> find(const QByteArray &relativeFile, const QByteArray &section,
                              const QByteArray &key, bool parents = true);

    // The parents of section as the file tree of relativeFile defines it (empty when none).
    QByteArrayList parentsOf(const QByteArray &relativeFile, const QByteArray &section);

    // The files whose text makes up relativeFile's (itself first, then what it includes, in
    // the order read), relative to the gamedata folder: a change to any of them may change the
    // values read through it.
    QByteArrayList filesOf(const QByteArray &relativeFile);

    // Every problem met so far, once each, in the order met (Windows-1251 names decoded).
    const QStringList &problems() const { return problems_; }

    // relativeFolder + name with "\" turned into "/" and "." and ".." steps taken; nothing
    // when the name is absolute or climbs out of the gamedata folder.
    static std::optional<QByteArray> includePath(const QByteArray &includingFile,
                                                 const QByteArray &name);

private:
    // A header or include line of a file: its names are views into the file's document, which
    // the resolver keeps, so a file of many sections costs no copy of each name.
    using Line = IniDocument::StructureLine;
    struct File
    {
        QByteArray relative;
        bool exists = false;
        IniDocument document;
        std::vector<Line> lines;
    };
    // A section's header: the file and its line among the file's lines.
    struct Definition
    {
        int file = 0;
        int line = 0;
    };
    // A section's name as the text spells it; names are equal without regard to letter case.
    struct SectionName
    {
        QByteArrayView name;
        friend bool operator==(SectionName a, SectionName b)
        {
            return cp1251::equalsIgnoreCase(a.name, b.name);
        }
        // Eight folded bytes at a time: files with many sections hash every name once.
        friend size_t qHash(SectionName key, size_t seed) noexcept
        {
            std::uint64_t h = seed ^ std::uint64_t(key.name.size());
            std::uint64_t word = 0;
            for (qsizetype i = 0; i < key.name.size(); ++i) {
                word = word << 8 | cp1251::foldCase(static_cast<unsigned char>(key.name[i]));
                if (i % 8 == 7 || i + 1 == key.name.size()) {
                    h = (h ^ word) * 0x9E3779B97F4A7C15ull;
                    h ^= h >> 29;
                    word = 0;
                }
            }
            return size_t(h);
        }
    };
    struct Tree
    {
        int root = 0;
        QList<int> files;                        // in the order read, the root first
        QHash<SectionName, Definition> sections; // the first header of each name
        QSet<QByteArray> missingParents;         // folded names, each reported once
    };
    const Line &lineOf(const Definition &definition) const
    {
        return files_[std::size_t(definition.file)].lines[std::size_t(definition.line)];
    }

    int fileOf(const QByteArray &relative);
    Tree &treeOf(const QByteArray &relativeFile);
    void report(const QString &problem);

    QByteArray gamedataFolder_;
    std::vector<File> files_;
    QHash<QByteArray, int> fileIndex_; // by folded "/" path
    QHash<QByteArray, Tree> trees_;    // by folded "/" path of the root file
    // The path a lookup names, as given, to its tree's key: a walk names a few files thousands
    // of times and then folds no path.
    QHash<QByteArray, QByteArray> treeKeys_;
    QStringList problems_;
    QSet<QString> reported_;
};
