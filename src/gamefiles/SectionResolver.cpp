#include "gamefiles/SectionResolver.h"

#include "gamefiles/GamePath.h"
#include "profile/DiskPath.h"
#include "profile/ProfileCache.h"
#include "textcodec/Cp1251.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>

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
std::optional<SectionResolver::Line> parseLine(QByteArrayView line)
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
    // Only headers and include lines matter, and they are few among the key lines: the scan
    // jumps from one "[" or "#" to the next and keeps those that start their line (blanks
    // before them aside). Lines end in CRLF, LF or CR.
    std::vector<Line> lines;
    const char *const text = bytes.constData();
    const qsizetype size = bytes.size();
    const auto next = [&](char c, qsizetype from) {
        const void *found =
            from < size ? std::memchr(text + from, c, std::size_t(size - from)) : nullptr;
        return found ? static_cast<const char *>(found) - text : size;
    };
    qsizetype bracket = next('[', 0);
    qsizetype hash = next('#', 0);
    while (bracket < size || hash < size) {
        const qsizetype at = std::min(bracket, hash);
        if (at == bracket)
            bracket = next('[', at + 1);
        else
            hash = next('#', at + 1);
        qsizetype start = at;
        while (start > 0 && isBlank(text[start - 1]))
            --start;
        const bool lineStart = start == 0 || text[start - 1] == '\n' || text[start - 1] == '\r' ||
                               (start == 3 && bytes.startsWith("\xEF\xBB\xBF"));
        if (!lineStart)
            continue;
        qsizetype end = at;
        while (end < size && text[end] != '\n' && text[end] != '\r')
            ++end;
        if (std::optional<Line> line = parseLine(QByteArrayView(text + start, end - start))) {
            if (!line->include)
                line->folded = cp1251::foldCase(line->name);
            lines.push_back(std::move(*line));
        }
        // A later "[" or "#" on the same line starts no line.
        if (bracket < end)
            bracket = next('[', end);
        if (hash < end)
            hash = next('#', end);
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
        const int lineIndex = int(frame.next++);
        const int current = frame.file; // frame may move when the stack grows
        const Line &line = file.lines[std::size_t(lineIndex)];
        if (!line.include) {
            const auto known = tree.sections.constFind(line.folded);
            if (known == tree.sections.constEnd()) {
                tree.sections.insert(line.folded, {current, lineIndex});
            } else {
                report(QStringLiteral("Секция [%1] описана дважды: %2 и %3; используется первая")
                           .arg(text(line.name), text(files_[std::size_t(known->file)].relative),
                                text(file.relative)));
            }
            continue;
        }
        const QByteArray from = file.relative;
        const QByteArray includedName = line.name; // files_ may grow below
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
            stack.push_back({included, 0});
        }
    }
    return trees_.insert(key, std::move(tree)).value();
}

QByteArrayList SectionResolver::parentsOf(const QByteArray &relativeFile, const QByteArray &section)
{
    const Tree &tree = treeOf(relativeFile);
    const auto it = tree.sections.constFind(cp1251::foldCase(section));
    return it == tree.sections.constEnd() ? QByteArrayList() : lineOf(*it).parents;
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
        const Line &header = lineOf(*it);
        if (const std::optional<QByteArrayView> value = file.document.value(header.name, key)) {
            Found found;
            found.value = value->toByteArray();
            found.section = header.name;
            found.file = file.relative;
            found.inherited = !first || it->file != tree.root;
            return found;
        }
        for (auto parent = header.parents.crbegin(); parent != header.parents.crend(); ++parent)
            stack.push_back(*parent);
    }
    return std::nullopt;
}
