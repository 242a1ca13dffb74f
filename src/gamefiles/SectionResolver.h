#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QSet>
#include <QStringList>

#include <optional>
#include <vector>

#include "profile/IniDocument.h"

// The value of a key as the game uses it: game files pull others in with `#include "name.ltx"`
// lines (the name relative to the including file's folder) and a section inherits every key of
// its parents (`[wpn_ak74u]:wpn_ak74,wpn_base`).
//
// The rule: the files form one text, each `#include` line replaced by the file it names, in
// place, transitively; a file already being read (a cycle) or already read once is not read
// again. A section is its first header of that name in this text (a later one is reported and
// ignored). A key is looked for in the section itself, then in its parents, left to right, each
// parent with its own parents before the next parent (depth first); the first one found is used.
//
// Include names are resolved inside the gamedata folder only: a name that is absolute or whose
// ".." steps climb out of it, or a symbolic link that leads out, is refused. Files are only read,
// through the shared parsed copies of profile files, each file once per resolver; walks use
// explicit stacks and visited sets, so deep or wide include trees and long parent chains need no
// stack depth. Problems (a missing include, a cycle, a refused name, a section defined twice, a
// missing parent) are collected, each once.
class SectionResolver
{
public:
    explicit SectionResolver(QByteArray gamedataFolder);

    struct Found
    {
        QByteArray value;       // as reads give it
        QByteArray section;     // the section that holds the key, as its header spells it
        QByteArray file;        // that section's file, relative to the gamedata folder
        bool inherited = false; // not in the asked section of the asked file
    };

    // The key's effective value for section of relativeFile (the catalogue's spelling); nothing
    // when neither the section nor any of its parents holds the key.
    std::optional<Found> find(const QByteArray &relativeFile, const QByteArray &section,
                              const QByteArray &key);

    // The parents of section as the file tree of relativeFile defines it (empty when none).
    QByteArrayList parentsOf(const QByteArray &relativeFile, const QByteArray &section);

    // Every problem met so far, once each, in the order met (Windows-1251 names decoded).
    const QStringList &problems() const { return problems_; }

    // The lines that make a file's structure: headers with their parents and include lines.
    struct Line
    {
        bool include = false;
        QByteArray name;        // the section, or the included name as written
        QByteArrayList parents; // of a header
        QByteArray folded;      // a header's name, letters folded
    };
    static std::vector<Line> structureOf(const QByteArray &bytes);

    // relativeFolder + name with "\" turned into "/" and "." and ".." steps taken; nothing
    // when the name is absolute or climbs out of the gamedata folder.
    static std::optional<QByteArray> includePath(const QByteArray &includingFile,
                                                 const QByteArray &name);

private:
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
    struct Tree
    {
        int root = 0;
        QHash<QByteArray, Definition> sections; // by folded name (shared with the line's)
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
    QStringList problems_;
    QSet<QString> reported_;
};
