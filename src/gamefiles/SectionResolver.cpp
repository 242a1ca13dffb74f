#include "gamefiles/SectionResolver.h"

#include "base/Bytes.h"
#include "gamefiles/GamePath.h"
#include "profile/DiskPath.h"
#include "profile/ProfileCache.h"
#include "textcodec/Cp1251.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace {

QByteArray slashed(const QByteArray &path)
{
    QByteArray result = path;
    result.replace('\\', '/');
    return result;
}

QByteArray fileKey(const QByteArray &relative)
{
    return cp1251::foldCase(slashed(relative));
}

QString text(const QByteArray &cp1251Text)
{
    return cp1251::toUnicode(cp1251Text);
}

} // namespace

SectionResolver::SectionResolver(QByteArray gamedataFolder)
    : gamedataFolder_(std::move(gamedataFolder))
{
}

std::optional<QByteArray> SectionResolver::includePath(const QByteArray &includingFile,
                                                       const QByteArray &name)
{
    const QByteArray included = slashed(name);
    if (included.isEmpty() || included.startsWith('/') ||
        (included.size() > 1 && included.at(1) == ':'))
        return std::nullopt;
    QByteArrayList steps = slashed(includingFile).split('/');
    steps.removeLast(); // the including file's own name
    QByteArrayList kept;
    for (const QByteArrayList &part : {steps, included.split('/')}) {
        for (const QByteArray &step : part) {
            if (step.isEmpty() || step == ".")
                continue;
            if (step == "..") {
                if (kept.isEmpty())
                    return std::nullopt;
                kept.removeLast();
                continue;
            }
            kept.append(step);
        }
    }
    if (kept.isEmpty())
        return std::nullopt;
    return kept.join('/');
}

void SectionResolver::report(const QString &problem)
{
    if (!reported_.contains(problem)) {
        reported_.insert(problem);
        problems_.append(problem);
    }
}

int SectionResolver::fileOf(const QByteArray &relative)
{
    const QByteArray key = fileKey(relative);
    if (const auto it = fileIndex_.constFind(key); it != fileIndex_.constEnd())
        return it.value();
    File file;
    file.relative = relative;
    if (!gamedataFolder_.isEmpty() && isInsideGamedata(gamedataFolder_, relative)) {
        const QByteArray path = gamedataFolder_ + relative;
        file.exists = QFileInfo(resolveDiskPath(path)).isFile();
        if (file.exists) {
            file.document = ProfileCache::instance().withDocument(
                path, [](const IniDocument &document) { return document; });
            file.lines = file.document.structure();
        }
    }
    files_.push_back(std::move(file));
    const int index = int(files_.size()) - 1;
    fileIndex_.insert(key, index);
    return index;
}

SectionResolver::Tree &SectionResolver::treeOf(const QByteArray &relativeFile)
{
    auto known = treeKeys_.constFind(relativeFile);
    if (known == treeKeys_.constEnd())
        known = treeKeys_.insert(relativeFile, fileKey(relativeFile));
    const QByteArray key = *known;
    if (const auto it = trees_.find(key); it != trees_.end())
        return it.value();
    Tree tree;
    tree.root = fileOf(relativeFile);
    tree.files.append(tree.root);
    tree.sections.reserve(qsizetype(files_[std::size_t(tree.root)].lines.size()));
    // The files as one text: a stack of files being read, each with its next line.
    struct Frame
    {
        int file;
        std::size_t next;
    };
    std::vector<Frame> stack{{tree.root, 0}};
    QSet<int> reading{tree.root};
    QSet<int> read{tree.root};
    while (!stack.empty()) {
        Frame &frame = stack.back();
        const File &file = files_[std::size_t(frame.file)];
        if (frame.next >= file.lines.size()) {
            reading.remove(frame.file);
            stack.pop_back();
            continue;
        }
        const int lineIndex = int(frame.next++);
        const int current = frame.file; // frame may move when the stack grows
        const Line &line = file.lines[std::size_t(lineIndex)];
        if (!line.include) {
            const auto known = tree.sections.constFind(SectionName{line.name});
            if (known == tree.sections.constEnd()) {
                tree.sections.insert(SectionName{line.name}, {current, lineIndex});
            } else {
                report(QStringLiteral("Секция [%1] описана дважды: %2 и %3; используется первая")
                           .arg(text(line.name.toByteArray()),
                                text(files_[std::size_t(known->file)].relative),
                                text(file.relative)));
            }
            continue;
        }
        const QByteArray from = file.relative;
        const QByteArray includedName = line.name.toByteArray(); // files_ may grow below
        const std::optional<QByteArray> path = includePath(from, includedName);
        if (!path) {
            report(QStringLiteral("Включение \"%1\" из %2 ведёт за папку gamedata и не читается")
                       .arg(text(includedName), text(from)));
            continue;
        }
        const int included = fileOf(*path);
        if (!files_[std::size_t(included)].exists) {
            report(QStringLiteral("Включаемый файл %1 не найден (из %2)")
                       .arg(text(*path), text(from)));
        } else if (reading.contains(included)) {
            report(
                QStringLiteral("Включение по кругу: %1 включает %2").arg(text(from), text(*path)));
        } else if (!read.contains(included)) {
            reading.insert(included);
            read.insert(included);
            tree.files.append(included);
            stack.push_back({included, 0});
        }
    }
    return trees_.insert(key, std::move(tree)).value();
}

QByteArrayList SectionResolver::parentsOf(const QByteArray &relativeFile, const QByteArray &section)
{
    const Tree &tree = treeOf(relativeFile);
    const auto it = tree.sections.constFind(SectionName{section});
    return it == tree.sections.constEnd() ? QByteArrayList()
                                          : IniDocument::parentsOf(lineOf(*it).parentText);
}

QByteArrayList SectionResolver::filesOf(const QByteArray &relativeFile)
{
    QByteArrayList files;
    for (const int file : treeOf(relativeFile).files)
        files.append(files_[std::size_t(file)].relative);
    return files;
}

SectionResolver::Place SectionResolver::placeOf(const QByteArray &relativeFile,
                                                const QByteArray &section)
{
    const Tree &tree = treeOf(relativeFile);
    const auto it = tree.sections.constFind(SectionName{base::trimmed(section)});
    if (it == tree.sections.constEnd())
        return Place{relativeFile, section, false};
    return Place{files_[std::size_t(it->file)].relative, lineOf(*it).name.toByteArray(), true};
}

std::optional<SectionResolver::Found> SectionResolver::find(const QByteArray &relativeFile,
                                                            const QByteArray &section,
                                                            const QByteArray &key, bool parents)
{
    Tree &tree = treeOf(relativeFile);
    const auto found = [&](const Definition &definition, bool inherited) -> std::optional<Found> {
        const File &file = files_[std::size_t(definition.file)];
        const Line &header = lineOf(definition);
        const std::optional<IniDocument::KeyLine> line = file.document.keyLine(header.name, key);
        if (!line)
            return std::nullopt;
        return Found{line->value().toByteArray(), line->line.toByteArray(),
                     header.name.toByteArray(), file.relative, inherited};
    };
    // The section itself first: most keys are found there, without a walk.
    const QByteArrayView ownName = base::trimmed(section);
    const auto it = tree.sections.constFind(SectionName{ownName});
    if (it == tree.sections.constEnd())
        return std::nullopt;
    const Definition definition = *it;
    if (std::optional<Found> result = found(definition, false))
        return result;
    const QByteArrayList ownParents = IniDocument::parentsOf(lineOf(definition).parentText);
    if (!parents || ownParents.isEmpty())
        return std::nullopt;
    // Then its parents, depth first, left to right: the stack holds them in reverse.
    std::vector<QByteArray> stack(ownParents.crbegin(), ownParents.crend());
    QSet<QByteArray> visited{cp1251::foldCase(ownName)};
    while (!stack.empty()) {
        const QByteArray name = std::move(stack.back());
        stack.pop_back();
        const QByteArray folded = cp1251::foldCase(name);
        if (visited.contains(folded))
            continue;
        visited.insert(folded);
        const auto parent = tree.sections.constFind(SectionName{name});
        if (parent == tree.sections.constEnd()) {
            // Said once per file tree; every lookup through it meets it again.
            if (!tree.missingParents.contains(folded)) {
                tree.missingParents.insert(folded);
                report(QStringLiteral("Родитель [%1] не найден (%2)")
                           .arg(text(name), text(files_[std::size_t(tree.root)].relative)));
            }
            continue;
        }
        const Definition at = *parent;
        if (std::optional<Found> result = found(at, true))
            return result;
        const QByteArrayList more = IniDocument::parentsOf(lineOf(at).parentText);
        for (auto p = more.crbegin(); p != more.crend(); ++p)
            stack.push_back(*p);
    }
    return std::nullopt;
}
