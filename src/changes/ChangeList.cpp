#include "changes/ChangeList.h"

#include <QDir>
#include <QDirIterator>
#include <QSet>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/Fail.h"
#include "gamefiles/Duplication.h"
#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "gamefiles/ParameterWriter.h"
#include "profile/DiskPath.h"
#include "profile/IniDocument.h"
#include "profile/ProfileFile.h"
#include "profile/SafeFile.h"
#include "textcodec/Cp1251.h"

namespace {

QByteArray gamePath(const QByteArray &gamedataFolder, const QByteArray &relativeFile)
{
    return ParameterLookup::gameFilePath(gamedataFolder, relativeFile);
}

bool readFile(const QString &diskPath, QByteArray *bytes)
{
    return readRegularFile(nativePath(diskPath), bytes) == FileRead::Read;
}

QString fileText(const QByteArray &path)
{
    return cp1251::toUnicode(path);
}

// A game file in a message, as the disk spells it (one separator, "/"), rather than the gamedata
// folder joined with the catalogue's "\" spelling.
QString gameFileText(const QByteArray &path)
{
    return shownPath(ProfileFile(path).diskPath());
}

using base::fail;

// The text after the first "=" of a whole key line.
QByteArray valueTextOf(const QByteArray &line)
{
    return line.mid(line.indexOf('=') + 1);
}

// A line that holds no key, and the section it lies in.
struct OtherLine
{
    QByteArrayView text;
    QByteArrayView section;
};

// Where the line after the one ending at end starts.
qsizetype afterEnding(const QByteArray &bytes, qsizetype end)
{
    if (end < bytes.size() && bytes.at(end) == '\r') {
        ++end;
        if (end < bytes.size() && bytes.at(end) == '\n')
            ++end;
    } else if (end < bytes.size() && bytes.at(end) == '\n') {
        ++end;
    }
    return end;
}

// The bytes between key line gap - 1 and key line gap (gap 0: before the first key line; gap n:
// after the last), where lines that hold no key lie.
QByteArrayView gapAt(const IniDocument &doc, std::size_t gap)
{
    const QByteArray &bytes = doc.bytes();
    qsizetype from = 0;
    if (gap > 0) {
        const IniDocument::KeyLine k = doc.keyLineAt(gap - 1);
        from = afterEnding(bytes, k.start + k.line.size());
    }
    const qsizetype to = gap < doc.keyLineCount() ? doc.keyLineAt(gap).start : bytes.size();
    return QByteArrayView(bytes.constData() + from, to - from);
}

// The lines of gaps first..end - 1, in file order, each with the section it lies in.
std::vector<OtherLine> otherLines(const IniDocument &doc, std::size_t first, std::size_t end)
{
    std::vector<OtherLine> lines;
    if (first >= end)
        return lines;
    for (std::size_t gap = first; gap < end; ++gap) {
        const QByteArrayView bytes = gapAt(doc, gap);
        qsizetype start = 0;
        while (start < bytes.size()) {
            qsizetype stop = start;
            while (stop < bytes.size() && bytes[stop] != '\n' && bytes[stop] != '\r')
                ++stop;
            const QByteArrayView text = bytes.sliced(start, stop - start);
            lines.push_back({text, doc.sectionAt(text.data() - doc.bytes().constData())});
            if (stop < bytes.size() && bytes[stop] == '\r')
                ++stop;
            if (stop < bytes.size() && bytes[stop] == '\n')
                ++stop;
            start = stop;
        }
    }
    return lines;
}

// How far the gaps between key lines are known to be equal from the start: gaps 0..head - 1,
// and where gap head starts in each file.
struct GapScan
{
    std::size_t head = 0;
    qsizetype oldFrom = 0, newFrom = 0;
    bool open = true; // still followed by the walk of the key lines
};

void compareOtherLines(const IniDocument &old, const IniDocument &now,
                       const QByteArray &relativeFile, const GapScan &scan, QList<LineChange> *list)
{
    // Most changes leave every gap between key lines as it was: the gaps equal at the start and
    // at the end are passed over whole, and only the lines of the gaps between are compared.
    const std::size_t oldGaps = old.keyLineCount() + 1;
    const std::size_t newGaps = now.keyLineCount() + 1;
    // The gaps from the start, each key line's end found once; the walk of the key lines has
    // compared the first ones already.
    std::size_t headGaps = scan.head;
    qsizetype oldFrom = scan.oldFrom, newFrom = scan.newFrom;
    while (headGaps < oldGaps && headGaps < newGaps) {
        const bool oldLast = headGaps + 1 == oldGaps, newLast = headGaps + 1 == newGaps;
        IniDocument::KeyLine o, n;
        if (!oldLast)
            o = old.keyLineAt(headGaps);
        if (!newLast)
            n = now.keyLineAt(headGaps);
        const qsizetype oldTo = oldLast ? old.bytes().size() : o.start;
        const qsizetype newTo = newLast ? now.bytes().size() : n.start;
        if (QByteArrayView(old.bytes()).sliced(oldFrom, oldTo - oldFrom) !=
            QByteArrayView(now.bytes()).sliced(newFrom, newTo - newFrom))
            break;
        ++headGaps;
        if (oldLast || newLast)
            break;
        oldFrom = afterEnding(old.bytes(), o.start + o.line.size());
        newFrom = afterEnding(now.bytes(), n.start + n.line.size());
    }
    if (headGaps == oldGaps && headGaps == newGaps)
        return;
    std::size_t tailGaps = 0;
    while (tailGaps < oldGaps - headGaps && tailGaps < newGaps - headGaps &&
           gapAt(old, oldGaps - 1 - tailGaps) == gapAt(now, newGaps - 1 - tailGaps))
        ++tailGaps;
    const std::vector<OtherLine> before = otherLines(old, headGaps, oldGaps - tailGaps);
    const std::vector<OtherLine> after = otherLines(now, headGaps, newGaps - tailGaps);
    std::size_t head = 0;
    while (head < before.size() && head < after.size() && before[head].text == after[head].text)
        ++head;
    std::size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head &&
           before[before.size() - 1 - tail].text == after[after.size() - 1 - tail].text)
        ++tail;
    const std::size_t oldCount = before.size() - head - tail;
    const std::size_t newCount = after.size() - head - tail;
    auto entry = [&](const OtherLine *b, const OtherLine *a) {
        LineChange c;
        c.keyLine = false;
        c.file = relativeFile;
        c.section = (a ? a->section : b->section).toByteArray();
        if (b)
            c.before = b->text.toByteArray();
        if (a)
            c.after = a->text.toByteArray();
        list->append(c);
    };
    // Between two lines both files hold alike, the lines that differ: one entry per line, a
    // line of the backup and one of the file paired in order as a changed line, the rest
    // removed or added.
    auto run = [&](std::size_t oldFrom, std::size_t oldTo, std::size_t newFrom, std::size_t newTo) {
        for (std::size_t i = 0; i < std::max(oldTo - oldFrom, newTo - newFrom); ++i) {
            const OtherLine *b = oldFrom + i < oldTo ? &before[head + oldFrom + i] : nullptr;
            const OtherLine *a = newFrom + i < newTo ? &after[head + newFrom + i] : nullptr;
            entry(b, a);
        }
    };
    // The lines both hold alike, as a longest common run of lines, so that an added or removed
    // line does not shift every line after it into a "change". Differences are a few lines as a
    // rule; beyond a million pairs the lines are paired in order.
    constexpr std::size_t MostPairs = 1'000'000;
    if (oldCount == 0 || newCount == 0 || oldCount * newCount > MostPairs) {
        run(0, oldCount, 0, newCount);
        return;
    }
    const std::size_t width = newCount + 1;
    std::vector<std::uint32_t> common((oldCount + 1) * width, 0);
    for (std::size_t i = oldCount; i-- > 0;) {
        for (std::size_t j = newCount; j-- > 0;) {
            common[i * width + j] =
                before[head + i].text == after[head + j].text
                    ? common[(i + 1) * width + j + 1] + 1
                    : std::max(common[(i + 1) * width + j], common[i * width + j + 1]);
        }
    }
    std::size_t i = 0, j = 0, oldRun = 0, newRun = 0;
    while (i < oldCount && j < newCount) {
        if (before[head + i].text == after[head + j].text) {
            run(oldRun, i, newRun, j);
            oldRun = ++i;
            newRun = ++j;
        } else if (common[(i + 1) * width + j] >= common[i * width + j + 1]) {
            ++i;
        } else {
            ++j;
        }
    }
    run(oldRun, oldCount, newRun, newCount);
}

// The writer of one restore: a group of its own in the history.
ParameterWriter restoring(const ParameterWriter &writer)
{
    ParameterWriter restore = writer;
    WriteJournal *journal = writer.journal();
    restore.setHistoryStamp({HistoryOrigin::Restore, journal ? journal->newGroup() : 0, {}, {}});
    return restore;
}

// The changes between a backup and its game file, both parsed.
QList<LineChange> compare(const IniDocument &old, const IniDocument &now,
                          const QByteArray &relativeFile)
{
    QList<LineChange> list;
    if (old.bytes() == now.bytes())
        return list;
    // Only the lines that reads find count. The files are walked side by side: a counted line
    // that meets the same line, in a section of the same name, counted in the backup too, is the
    // same key unchanged, with no lookup. Any other counted line is looked up in the backup, and
    // the walk of the backup goes on after the line found.
    std::vector<char> found(old.keyLineCount(), 0); // backup lines whose key the file holds
    std::size_t next = 0;
    GapScan gaps; // the lines between key lines, compared while both walks keep step
    for (std::size_t i = 0; i < now.keyLineCount(); ++i) {
        const IniDocument::KeyLine k = now.keyLineAt(i);
        if (next < old.keyLineCount()) {
            const IniDocument::KeyLine b = old.keyLineAt(next);
            if (gaps.open && next == i &&
                QByteArrayView(old.bytes()).sliced(gaps.oldFrom, b.start - gaps.oldFrom) ==
                    QByteArrayView(now.bytes()).sliced(gaps.newFrom, k.start - gaps.newFrom)) {
                gaps.head = i + 1;
                gaps.oldFrom = afterEnding(old.bytes(), b.start + b.line.size());
                gaps.newFrom = afterEnding(now.bytes(), k.start + k.line.size());
            } else {
                gaps.open = false;
            }
            if (b.counts == k.counts && b.line == k.line && b.section == k.section) {
                found[next++] = 1;
                continue;
            }
        } else {
            gaps.open = false;
        }
        if (!k.counts)
            continue;
        LineChange c;
        c.file = relativeFile;
        c.section = k.section.toByteArray();
        c.key = k.key().toByteArray();
        c.after = k.line.toByteArray();
        const std::optional<std::size_t> at = old.keyLineOf(k.section, k.key());
        if (!at) {
            list.append(c);
            continue;
        }
        found[*at] = 1;
        next = *at + 1;
        const IniDocument::KeyLine b = old.keyLineAt(*at);
        if (b.line == k.line)
            continue;
        c.before = b.line.toByteArray();
        list.append(c);
    }
    for (std::size_t j = 0; j < old.keyLineCount(); ++j) {
        if (found[j])
            continue;
        const IniDocument::KeyLine b = old.keyLineAt(j);
        if (!b.counts)
            continue;
        LineChange c;
        c.file = relativeFile;
        c.section = b.section.toByteArray();
        c.key = b.key().toByteArray();
        c.before = b.line.toByteArray();
        // Where it stood, so that a restore puts it back there.
        c.first = true;
        if (j > 0 && old.keyLineAt(j - 1).section.data() == b.section.data()) {
            c.previous = old.keyLineAt(j - 1).line.toByteArray();
            c.first = false;
        }
        list.append(c);
    }
    compareOtherLines(old, now, relativeFile, gaps, &list);
    return list;
}

bool sameChange(const LineChange &a, const LineChange &b)
{
    return a.kind() == b.kind() && a.section == b.section && a.key == b.key &&
           a.before == b.before && a.after == b.after;
}

} // namespace

namespace ChangeList {

QByteArray oldValue(const LineChange &change)
{
    if (!change.before)
        return {};
    return change.isKey() ? IniDocument::valueOfLine(*change.before).toByteArray() : *change.before;
}

QByteArray newValue(const LineChange &change)
{
    if (!change.after)
        return {};
    return change.isKey() ? IniDocument::valueOfLine(*change.after).toByteArray() : *change.after;
}

QList<LineChange> changesOf(const QByteArray &gamedataFolder, const QByteArray &relativeFile,
                            bool *hasBackup)
{
    if (hasBackup)
        *hasBackup = false;
    if (gamedataFolder.isEmpty() || !isInsideGamedata(gamedataFolder, relativeFile))
        return {};
    const QByteArray path = gamePath(gamedataFolder, relativeFile);
    QByteArray backup, current;
    if (!readFile(ProfileFile(path + ".bak").diskPath(), &backup))
        return {};
    if (hasBackup)
        *hasBackup = true;
    readFile(ProfileFile(path).diskPath(), &current); // a deleted game file lost every key
    if (backup == current)
        return {};
    return compare(IniDocument::parse(backup), IniDocument::parse(current), relativeFile);
}

QList<LineChange> changes(const QByteArray &gamedataFolder, const QByteArrayList &relativeFiles)
{
    QList<LineChange> list;
    QSet<QByteArray> seen;
    for (const QByteArray &file : relativeFiles) {
        const QByteArray id = sameFileKey(file);
        if (seen.contains(id))
            continue;
        seen.insert(id);
        list += changesOf(gamedataFolder, file);
    }
    return list;
}

QByteArrayList filesWithBackup(const QByteArray &gamedataFolder)
{
    QByteArrayList files;
    if (gamedataFolder.isEmpty())
        return files;
    const QString root = resolveDiskPath(gamedataFolder);
    if (!isFolder(root))
        return files;
    QDirIterator it(root, {QStringLiteral("*.bak")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QString relative = QDir(root).relativeFilePath(it.next());
        relative.chop(4);
        files.append(cp1251::encode(relative.replace('/', '\\')));
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool restoreKey(const ParameterWriter &writer, const LineChange &change, QString *error,
                bool duplicate)
{
    if (!change.isKey())
        return fail(error,
                    QStringLiteral("Строка вне параметров возвращается только вместе со всем "
                                   "файлом: «Восстановить файл»"));
    // The reverse of the change: from the file's line back to the backup's, where it stood.
    LineChange back = change;
    back.before = change.after;
    back.after = change.before;
    return bool(restoring(writer).writeLines(change.file, {back}, error, duplicate));
}

bool restoreFile(const ParameterWriter &writer, const QByteArray &relativeFile,
                 const QList<LineChange> &shown, QString *error,
                 const std::function<bool(const LineChange &)> &duplicated)
{
    const QByteArray gamedataFolder = writer.target().gamedataFolder;
    if (gamedataFolder.isEmpty() || !isInsideGamedata(gamedataFolder, relativeFile))
        return fail(error,
                    fileText(relativeFile) + QStringLiteral("\nФайл лежит вне папки gamedata"));
    const QByteArray path = gamePath(gamedataFolder, relativeFile);
    QByteArray backup;
    if (!readFile(ProfileFile(path + ".bak").diskPath(), &backup))
        return fail(error, gameFileText(path) + QStringLiteral("\nНет резервной копии (.bak)"));
    // What the user agreed to bring back: the key restore refuses a changed line, and so does this.
    QList<LineChange> agreed;
    const QByteArray id = sameFileKey(relativeFile);
    for (const LineChange &c : shown)
        if (sameFileKey(c.file) == id)
            agreed.append(c);
    QList<LineChange> keys;
    const IniDocument old = IniDocument::parse(backup);
    const auto check = [&](const IniDocument &now, QList<LineChange> *changes) {
        keys = compare(old, now, relativeFile);
        if (!std::equal(keys.begin(), keys.end(), agreed.begin(), agreed.end(), sameChange))
            return QStringLiteral("файл изменился после составления списка; обновите список");
        for (const LineChange &c : std::as_const(keys)) {
            if (c.isKey()) {
                LineChange back = c;
                back.before = c.after;
                back.after = c.before;
                changes->append(back);
            }
        }
        return QString();
    };
    const WriteResult result = restoring(writer).replaceFile(relativeFile, backup, check, error);
    if (!result)
        return false;
    const WriteTarget &target = writer.target();
    for (const LineChange &c : std::as_const(keys)) {
        if (!c.isKey() || (duplicated && !duplicated(c)))
            continue;
        QString why;
        if (!Duplication::repeat(target, c.file, c.section, c.key,
                                 c.before ? std::optional(valueTextOf(*c.before)) : std::nullopt,
                                 &why))
            return fail(error,
                        QStringLiteral("Копия в папке дублирования не восстановлена: ") + why);
    }
    return true;
}

} // namespace ChangeList
