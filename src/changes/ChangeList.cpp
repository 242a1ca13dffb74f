#include "changes/ChangeList.h"

#include <QSet>

#include <algorithm>
#include <optional>
#include <vector>

#include "base/Fail.h"
#include "gamefiles/Duplication.h"
#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "history/ApplyHistory.h"
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

// The duplicate file takes the key as the backup holds it, and the file table records the
// duplicate, as after an apply.
bool restoreDuplicate(const WriteTarget &target, const KeyChange &change, QString *error)
{
    QString why;
    if (Duplication::repeat(target, change.file, change.section, change.key,
                            change.kind == KeyChange::Kind::Added
                                ? std::nullopt
                                : std::optional(valueTextOf(change.backupLine)),
                            &why))
        return true;
    return fail(error, QStringLiteral("Копия в папке дублирования не восстановлена: ") + why);
}

bool insideGamedata(const WriteTarget &target, const QByteArray &file, QString *error)
{
    if (!target.gamedataFolder.isEmpty() && isInsideGamedata(target.gamedataFolder, file))
        return true;
    return fail(error, fileText(file) + QStringLiteral("\nФайл лежит вне папки gamedata"));
}

// The restore of one key, as the apply history records it.
void recordRestore(const KeyChange &c, qint64 group)
{
    using Kind = KeyChange::Kind;
    recordWrite({HistoryOrigin::Restore, group, {}}, c.file, c.section, c.key,
                c.kind == Kind::Removed ? std::nullopt : std::optional(c.currentLine),
                c.kind == Kind::Added ? std::nullopt : std::optional(c.backupLine));
}

qint64 restoreGroup()
{
    return ApplyHistory::active() ? ApplyHistory::active()->newGroup() : 0;
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
    QByteArrayView section = first > 0 ? doc.keyLineAt(first - 1).section : QByteArrayView();
    for (std::size_t gap = first; gap < end; ++gap) {
        const QByteArrayView bytes = gapAt(doc, gap);
        qsizetype start = 0;
        while (start < bytes.size()) {
            qsizetype stop = start;
            while (stop < bytes.size() && bytes[stop] != '\n' && bytes[stop] != '\r')
                ++stop;
            const QByteArrayView text = bytes.sliced(start, stop - start);
            const QByteArrayView trimmed = text.trimmed();
            if (trimmed.startsWith('[') && trimmed.indexOf(']') > 0)
                section = trimmed.sliced(1, trimmed.indexOf(']') - 1).trimmed();
            lines.push_back({text, section});
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
                       const QByteArray &relativeFile, const GapScan &scan, QList<KeyChange> *list)
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
    for (std::size_t i = 0; i < std::max(oldCount, newCount); ++i) {
        const OtherLine *b = i < oldCount ? &before[head + i] : nullptr;
        const OtherLine *a = i < newCount ? &after[head + i] : nullptr;
        if (a && b && a->text == b->text)
            continue;
        KeyChange c;
        c.kind = KeyChange::Kind::Line;
        c.file = relativeFile;
        c.section = (a ? a->section : b->section).toByteArray();
        if (b)
            c.backupLine = c.oldValue = b->text.toByteArray();
        if (a)
            c.currentLine = c.newValue = a->text.toByteArray();
        list->append(c);
    }
}

} // namespace

namespace ChangeList {

QList<KeyChange> changesOf(const QByteArray &gamedataFolder, const QByteArray &relativeFile,
                           bool *hasBackup)
{
    QList<KeyChange> list;
    if (hasBackup)
        *hasBackup = false;
    if (gamedataFolder.isEmpty() || !isInsideGamedata(gamedataFolder, relativeFile))
        return list;
    const QByteArray path = gamePath(gamedataFolder, relativeFile);
    QByteArray backup, current;
    if (!readFile(ProfileFile(path + ".bak").diskPath(), &backup))
        return list;
    if (hasBackup)
        *hasBackup = true;
    readFile(ProfileFile(path).diskPath(), &current); // a deleted game file lost every key
    if (backup == current)
        return list;

    const IniDocument old = IniDocument::parse(backup);
    const IniDocument now = IniDocument::parse(current);
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
        KeyChange c;
        c.file = relativeFile;
        c.section = k.section.toByteArray();
        c.key = k.key().toByteArray();
        c.newValue = k.value().toByteArray();
        c.currentLine = k.line.toByteArray();
        const std::optional<std::size_t> at = old.keyLineOf(k.section, k.key());
        if (!at) {
            c.kind = KeyChange::Kind::Added;
            list.append(c);
            continue;
        }
        found[*at] = 1;
        next = *at + 1;
        const IniDocument::KeyLine b = old.keyLineAt(*at);
        if (b.line == k.line)
            continue;
        c.kind = KeyChange::Kind::Changed;
        c.backupLine = b.line.toByteArray();
        c.oldValue = b.value().toByteArray();
        list.append(c);
    }
    for (std::size_t j = 0; j < old.keyLineCount(); ++j) {
        if (found[j])
            continue;
        const IniDocument::KeyLine b = old.keyLineAt(j);
        if (!b.counts)
            continue;
        KeyChange c;
        c.kind = KeyChange::Kind::Removed;
        c.file = relativeFile;
        c.section = b.section.toByteArray();
        c.key = b.key().toByteArray();
        c.oldValue = b.value().toByteArray();
        c.backupLine = b.line.toByteArray();
        list.append(c);
    }
    compareOtherLines(old, now, relativeFile, gaps, &list);
    return list;
}

QList<KeyChange> changes(const QByteArray &gamedataFolder, const QByteArrayList &relativeFiles)
{
    QList<KeyChange> list;
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

bool restoreKey(const WriteTarget &target, const KeyChange &change, QString *error)
{
    if (change.kind == KeyChange::Kind::Line)
        return fail(error,
                    QStringLiteral("Строка вне параметров возвращается только вместе со всем "
                                   "файлом: «Восстановить файл»"));
    if (!insideGamedata(target, change.file, error))
        return false;
    const QByteArray path = gamePath(target.gamedataFolder, change.file);
    const QString diskPath = ProfileFile(path).diskPath();
    QByteArray bytes;
    if (!readFile(diskPath, &bytes) && change.kind != KeyChange::Kind::Removed)
        return fail(error, gameFileText(path) + QStringLiteral("\nФайл не читается"));

    const QString changedMeanwhile =
        gameFileText(path) +
        QStringLiteral("\nПараметр %1 в разделе [%2] изменился после "
                       "составления списка; обновите список")
            .arg(cp1251::toUnicode(change.key), cp1251::toUnicode(change.section));
    IniDocument doc = IniDocument::parse(bytes);
    const std::optional<std::size_t> at = doc.keyLineOf(change.section, change.key);
    if (change.kind == KeyChange::Kind::Removed
            ? at.has_value()
            : !at || doc.keyLineAt(*at).line != change.currentLine)
        return fail(error, changedMeanwhile);

    if (change.kind == KeyChange::Kind::Changed) {
        doc.replaceLine(doc.keyLineAt(*at).start, change.backupLine);
    } else if (change.kind == KeyChange::Kind::Added) {
        doc.removeKey(change.section, change.key);
    } else {
        // The key comes back through the ordinary line-level write, then takes the backup's
        // spelling of its line.
        const QByteArray value = valueTextOf(change.backupLine);
        const QString why = IniDocument::checkEntry(change.section, change.key, value);
        if (!why.isEmpty())
            return fail(error, gameFileText(path) + QLatin1Char('\n') + why);
        doc.setValue(change.section, change.key, value);
        if (const std::optional<std::size_t> added = doc.keyLineOf(change.section, change.key))
            doc.replaceLine(doc.keyLineAt(*added).start, change.backupLine);
    }
    bytes = doc.bytes();
    QString reason;
    if (!saveFile(diskPath, bytes, &reason))
        return fail(error, gameFileText(path) + QLatin1Char('\n') + reason);
    recordRestore(change, 0);
    return restoreDuplicate(target, change, error);
}

bool restoreFile(const WriteTarget &target, const QByteArray &relativeFile,
                 const QList<KeyChange> &shown, QString *error,
                 const std::function<bool(const KeyChange &)> &duplicated)
{
    if (!insideGamedata(target, relativeFile, error))
        return false;
    const QByteArray path = gamePath(target.gamedataFolder, relativeFile);
    bool hasBackup = false;
    const QList<KeyChange> keys = changesOf(target.gamedataFolder, relativeFile, &hasBackup);
    if (!hasBackup)
        return fail(error, gameFileText(path) + QStringLiteral("\nНет резервной копии (.bak)"));
    // What the user agreed to bring back: the key restore refuses a changed line, and so does this.
    QList<KeyChange> agreed;
    const QByteArray id = sameFileKey(relativeFile);
    for (const KeyChange &c : shown)
        if (sameFileKey(c.file) == id)
            agreed.append(c);
    const auto sameChange = [](const KeyChange &a, const KeyChange &b) {
        return a.kind == b.kind && a.section == b.section && a.key == b.key &&
               a.backupLine == b.backupLine && a.currentLine == b.currentLine;
    };
    if (!std::equal(keys.begin(), keys.end(), agreed.begin(), agreed.end(), sameChange))
        return fail(error, gameFileText(path) +
                               QStringLiteral("\nФайл изменился после составления списка; "
                                              "обновите список"));
    QString reason;
    if (!saveCopy(ProfileFile(path + ".bak").diskPath(), ProfileFile(path).diskPath(), &reason))
        return fail(error, gameFileText(path) + QLatin1Char('\n') + reason);
    const qint64 group = restoreGroup();
    for (const KeyChange &c : keys)
        recordRestore(c, group);
    for (const KeyChange &c : keys)
        if ((!duplicated || duplicated(c)) && !restoreDuplicate(target, c, error))
            return false;
    return true;
}

} // namespace ChangeList
