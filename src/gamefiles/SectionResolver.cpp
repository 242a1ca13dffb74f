#include "gamefiles/SectionResolver.h"

#include "gamefiles/GamePath.h"
#include "profile/DiskPath.h"
#include "profile/ProfileCache.h"
#include "textcodec/Cp1251.h"

#include <QFileInfo>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray trimmedBlanks(QByteArrayView text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && isBlank(text.at(from)))
        ++from;
    while (to > from && isBlank(text.at(to - 1)))
        --to;
    return text.sliced(from, to - from).toByteArray();
}

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

// One line of a structure scan: a header with its parents, an include line, or nothing.
std::optional<SectionResolver::Line> lineOf(QByteArrayView line)
{
    qsizetype i = 0;
    while (i < line.size() && isBlank(line.at(i)))
        ++i;
    line = line.sliced(i);
    if (line.startsWith('[')) {
        const qsizetype close = line.indexOf(']');
        if (close < 0)
            return std::nullopt;
        SectionResolver::Line header;
        header.name = trimmedBlanks(line.sliced(1, close - 1));
        QByteArrayView rest = line.sliced(close + 1);
        const qsizetype comment = rest.indexOf(';');
        if (comment >= 0)
            rest = rest.first(comment);
        const QByteArray after = trimmedBlanks(rest);
        if (after.startsWith(':')) {
            for (const QByteArray &parent : after.mid(1).split(',')) {
                const QByteArray name = trimmedBlanks(parent);
                if (!name.isEmpty())
                    header.parents.append(name);
            }
        }
        return header;
    }
    static constexpr char Include[] = "#include";
    if (!line.startsWith(Include))
        return std::nullopt;
    const QByteArrayView rest = line.sliced(sizeof Include - 1);
    const qsizetype open = rest.indexOf('"');
    if (open < 0 || !trimmedBlanks(rest.first(open)).isEmpty())
        return std::nullopt;
    const qsizetype close = rest.indexOf('"', open + 1);
    if (close < 0)
        return std::nullopt;
    SectionResolver::Line include;
    include.include = true;
    include.name = rest.sliced(open + 1, close - open - 1).toByteArray();
    return include;
}

} // namespace

SectionResolver::SectionResolver(QByteArray gamedataFolder)
    : gamedataFolder_(std::move(gamedataFolder))
{
}

std::vector<SectionResolver::Line> SectionResolver::structureOf(const QByteArray &bytes)
{
    std::vector<Line> lines;
    const qsizetype size = bytes.size();
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && bytes.at(end) != '\n' && bytes.at(end) != '\r')
            ++end;
        if (std::optional<Line> line =
                lineOf(QByteArrayView(bytes.constData() + start, end - start)))
            lines.push_back(std::move(*line));
        if (end < size && bytes.at(end) == '\r' && end + 1 < size && bytes.at(end + 1) == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
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
            file.lines = structureOf(file.document.bytes());
        }
    }
    files_.push_back(std::move(file));
    const int index = int(files_.size()) - 1;
    fileIndex_.insert(key, index);
    return index;
}

SectionResolver::Tree &SectionResolver::treeOf(const QByteArray &relativeFile)
{
    const QByteArray key = fileKey(relativeFile);
    if (const auto it = trees_.find(key); it != trees_.end())
        return it.value();
    Tree tree;
    tree.root = fileOf(relativeFile);
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
        const Line line = file.lines[frame.next++];
        const int current = frame.file; // frame may move when the stack grows
        const QByteArray from = files_[std::size_t(current)].relative;
        if (!line.include) {
            const QByteArray name = cp1251::foldCase(line.name);
            const auto known = tree.sections.constFind(name);
            if (known == tree.sections.constEnd()) {
                tree.sections.insert(name, {current, line.name, line.parents});
            } else {
                report(QStringLiteral("Секция [%1] описана дважды: %2 и %3; используется первая")
                           .arg(text(line.name), text(files_[std::size_t(known->file)].relative),
                                text(from)));
            }
            continue;
        }
        const std::optional<QByteArray> path = includePath(from, line.name);
        if (!path) {
            report(QStringLiteral("Включение \"%1\" из %2 ведёт за папку gamedata и не читается")
                       .arg(text(line.name), text(from)));
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
            stack.push_back({included, 0});
        }
    }
    return trees_.insert(key, std::move(tree)).value();
}

QByteArrayList SectionResolver::parentsOf(const QByteArray &relativeFile, const QByteArray &section)
{
    const Tree &tree = treeOf(relativeFile);
    const auto it = tree.sections.constFind(cp1251::foldCase(section));
    return it == tree.sections.constEnd() ? QByteArrayList() : it->parents;
}

std::optional<SectionResolver::Found> SectionResolver::find(const QByteArray &relativeFile,
                                                            const QByteArray &section,
                                                            const QByteArray &key)
{
    const Tree &tree = treeOf(relativeFile);
    // Depth first, parents left to right: the stack holds them in reverse.
    std::vector<QByteArray> stack{section};
    QSet<QByteArray> visited;
    bool own = true;
    while (!stack.empty()) {
        const QByteArray name = std::move(stack.back());
        stack.pop_back();
        const QByteArray folded = cp1251::foldCase(name);
        const bool first = own;
        own = false;
        if (visited.contains(folded))
            continue;
        visited.insert(folded);
        const auto it = tree.sections.constFind(folded);
        if (it == tree.sections.constEnd()) {
            if (!first)
                report(QStringLiteral("Родитель [%1] не найден (%2)")
                           .arg(text(name), text(files_[std::size_t(tree.root)].relative)));
            continue;
        }
        const File &file = files_[std::size_t(it->file)];
        if (const std::optional<QByteArrayView> value = file.document.value(it->name, key)) {
            Found found;
            found.value = value->toByteArray();
            found.section = it->name;
            found.file = file.relative;
            found.inherited = !first || it->file != tree.root;
            return found;
        }
        for (auto parent = it->parents.crbegin(); parent != it->parents.crend(); ++parent)
            stack.push_back(*parent);
    }
    return std::nullopt;
}
