#include "history/HistoryUndo.h"

#include <QHash>

#include <algorithm>

#include "base/Plural.h"
#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "history/HistoryText.h"
#include "profile/DiskPath.h"
#include "profile/FileSystem.h"
#include "profile/IniDocument.h"
#include "profile/ProfileFile.h"
#include "profile/SafeFile.h"
#include "textcodec/Cp1251.h"

namespace {

QString shownLine(const std::optional<QByteArray> &line)
{
    return line ? QStringLiteral("«") + cp1251::toUnicode(*line) + QStringLiteral("»")
                : QStringLiteral("(нет ключа)");
}

// The records of each file, newest first, the files in the order their newest record has.
struct FileRecords
{
    QByteArray file;
    QList<HistoryRecord> records;
};

QList<FileRecords> byFile(const QList<HistoryRecord> &records)
{
    QList<FileRecords> files;
    QHash<QByteArray, qsizetype> index;
    for (auto it = records.crbegin(); it != records.crend(); ++it) {
        const QByteArray id = sameFileKey(it->change.file);
        if (!index.contains(id)) {
            index.insert(id, files.size());
            files.append({it->change.file, {}});
        }
        files[index.value(id)].records.append(*it);
    }
    return files;
}

// What taking back one record needs: the record's line to write, none (the file holds it
// already), or a refusal (the file holds neither line).
struct Plan
{
    QList<LineChange> edits; // in the order they are written
    QList<bool> duplicated;  // of each edit
    int already = 0;
    QStringList changed;
};

// Plans taking back the records of one file, newest first, on the file as it is now: each
// record meets the file as the newer ones leave it.
Plan planFile(const QByteArray &gamedataFolder, const FileRecords &f)
{
    Plan plan;
    QByteArray bytes;
    if (!gamedataFolder.isEmpty() && isInsideGamedata(gamedataFolder, f.file))
        readRegularFile(
            nativePath(
                ProfileFile(ParameterLookup::gameFilePath(gamedataFolder, f.file)).diskPath()),
            &bytes);
    IniDocument doc = IniDocument::parse(bytes);
    for (const HistoryRecord &r : f.records) {
        const LineChange &c = r.change;
        const std::optional<std::size_t> at = doc.keyLineOf(c.section, c.key);
        const std::optional<QByteArray> now =
            at ? std::optional(doc.keyLineAt(*at).line.toByteArray()) : std::nullopt;
        if (now == c.before) {
            ++plan.already;
            continue;
        }
        if (now != c.after) {
            plan.changed.append(QStringLiteral("%1 [%2] %3: записано %4, теперь %5")
                                    .arg(cp1251::toUnicode(c.file), cp1251::toUnicode(c.section),
                                         cp1251::toUnicode(c.key), shownLine(c.after),
                                         shownLine(now)));
            continue;
        }
        // The reverse of the change: from its line back to the one before, where it stood.
        LineChange back = c;
        back.before = c.after;
        back.after = c.before;
        plan.edits.append(back);
        plan.duplicated.append(r.duplicated);
        if (back.after) {
            const std::optional<QByteArrayView> after =
                back.previous ? std::optional<QByteArrayView>(*back.previous) : std::nullopt;
            doc.putLine(c.section, c.key, *back.after, after, back.first);
        } else {
            doc.removeKey(c.section, c.key);
        }
    }
    return plan;
}

// Takes back the records under stamp: every file is planned first, and nothing is written when a
// key changed since.
bool takeBack(const ParameterWriter &target, const QList<HistoryRecord> &records,
              const HistoryStamp &stamp, bool whole, QString *error, HistoryUndo::Done *done)
{
    HistoryUndo::Done count;
    const QList<FileRecords> files = byFile(records);
    QList<Plan> plans;
    QStringList changed;
    for (const FileRecords &f : files) {
        plans.append(planFile(target.target().gamedataFolder, f));
        changed += plans.last().changed;
        count.already += plans.last().already;
    }
    if (!changed.isEmpty()) {
        if (error)
            *error = QStringLiteral("Ничего не отменено: после записи изменились строки\n") +
                     changed.join(QLatin1Char('\n'));
        return false;
    }
    ParameterWriter writer = target;
    writer.setHistoryStamp(stamp);
    for (qsizetype i = 0; i < files.size(); ++i) {
        const Plan &plan = plans[i];
        // Each run of edits that the writes duplicated alike is one save.
        for (qsizetype from = 0; from < plan.edits.size();) {
            qsizetype to = from + 1;
            while (to < plan.edits.size() && plan.duplicated[to] == plan.duplicated[from])
                ++to;
            QString why;
            if (!writer.writeLines(files[i].file, plan.edits.mid(from, to - from), &why,
                                   plan.duplicated[from])) {
                if (error)
                    *error = QStringLiteral("Остановлено на файле %1:\n%2")
                                 .arg(cp1251::toUnicode(files[i].file), why);
                if (done)
                    *done = count;
                return false;
            }
            count.written += int(to - from);
            from = to;
        }
    }
    if (WriteJournal *journal = writer.journal()) {
        QString why;
        journal->endGroup(stamp, whole, &why);
    }
    if (done)
        *done = count;
    return true;
}

bool isStep(HistoryOrigin origin)
{
    return origin == HistoryOrigin::Undo || origin == HistoryOrigin::Redo;
}

} // namespace

namespace HistoryUndo {

QList<HistoryRecord> group(const QList<HistoryRecord> &records, qint64 group)
{
    QList<HistoryRecord> list;
    for (const HistoryRecord &r : records)
        if (r.stamp.group == group)
            list.append(r);
    return list;
}

Timeline timeline(const ApplyHistory::Contents &contents)
{
    Timeline t;
    QSet<qint64> withRecords;
    for (const HistoryRecord &r : contents.records) {
        withRecords.insert(r.stamp.group);
        if (!t.stamps.contains(r.stamp.group))
            t.stamps.insert(r.stamp.group, r.stamp);
    }
    for (auto it = contents.ends.cbegin(); it != contents.ends.cend(); ++it)
        if (!t.stamps.contains(it.key()))
            t.stamps.insert(it.key(), it->stamp);
    for (const qint64 g : contents.groups) {
        if (!t.stamps.contains(g))
            continue; // nothing of it was written
        const HistoryStamp &stamp = t.stamps[g];
        const auto end = contents.ends.constFind(g);
        const bool ended = end != contents.ends.cend();
        if (!isStep(stamp.origin)) {
            if (withRecords.contains(g)) {
                t.undoable.append(g);
                t.redoable.clear();
            }
            continue;
        }
        if (!ended) {
            t.unfinished.insert(stamp.target, g);
            continue;
        }
        if (!end->whole)
            continue; // a chosen record taken back: its group stays as it is
        t.unfinished.remove(stamp.target);
        if (stamp.origin == HistoryOrigin::Undo) {
            t.undoable.removeAll(stamp.target);
            t.redoable.append(g);
            t.undone.insert(stamp.target);
        } else {
            t.redoable.removeAll(stamp.target);
            t.undoable.append(g);
            t.undone.remove(t.stamps.value(stamp.target).target);
        }
    }
    return t;
}

namespace {

Step stepOn(const ApplyHistory::Contents &contents, const Timeline &t, qint64 target, bool redo)
{
    Step step;
    step.redo = redo;
    step.target = target;
    step.group = t.unfinished.value(target, 0);
    step.records = group(contents.records, target);
    // An undo of a redo (or of an undo) goes back to the write they both stem from.
    const HistoryStamp of = t.stamps.value(target);
    const qint64 source = isStep(of.origin) && of.source != 0 ? of.source : target;
    step.source = t.stamps.value(source, of);
    step.source.group = source;
    return step;
}

} // namespace

Step nextUndo(const ApplyHistory::Contents &contents)
{
    const Timeline t = timeline(contents);
    return t.undoable.isEmpty() ? Step() : stepOn(contents, t, t.undoable.last(), false);
}

Step nextRedo(const ApplyHistory::Contents &contents)
{
    const Timeline t = timeline(contents);
    return t.redoable.isEmpty() ? Step() : stepOn(contents, t, t.redoable.last(), true);
}

QList<HistoryRecord> lastGroup(const ApplyHistory::Contents &contents)
{
    return nextUndo(contents).records;
}

QStringList changedSince(const QByteArray &gamedataFolder, const QList<HistoryRecord> &records)
{
    QStringList changed;
    for (const FileRecords &f : byFile(records))
        changed += planFile(gamedataFolder, f).changed;
    return changed;
}

bool undo(const ParameterWriter &writer, const QList<HistoryRecord> &records, QString *error,
          bool whole, Done *done)
{
    if (records.isEmpty()) {
        if (error)
            *error = QStringLiteral("Отменять нечего.");
        return false;
    }
    const HistoryStamp &of = records.first().stamp;
    HistoryStamp stamp = of;
    stamp.origin = HistoryOrigin::Undo;
    stamp.target = of.group;
    stamp.source = isStep(of.origin) && of.source != 0 ? of.source : of.group;
    WriteJournal *journal = writer.journal();
    stamp.group = journal ? journal->newGroup() : 0;
    return takeBack(writer, records, stamp, whole, error, done);
}

bool perform(const ParameterWriter &writer, const Step &step, QString *error, Done *done)
{
    HistoryStamp stamp = step.source;
    stamp.origin = step.redo ? HistoryOrigin::Redo : HistoryOrigin::Undo;
    stamp.target = step.target;
    stamp.source = step.source.group;
    WriteJournal *journal = writer.journal();
    stamp.group = step.group != 0 ? step.group : journal ? journal->newGroup() : 0;
    return takeBack(writer, step.records, stamp, true, error, done);
}

QString doneText(const Step &step, const Done &done)
{
    QString text =
        QStringLiteral("%1 запись от %2 (%3)")
            .arg(step.redo ? QStringLiteral("Возвращена") : QStringLiteral("Отменена"),
                 HistoryText::moment(ApplyHistory::groupTime(step.source.group)),
                 HistoryText::made(
                     step.source, step.records.isEmpty() ? nullptr : &step.records.first().change));
    if (step.group != 0)
        text += QStringLiteral(", прерванное завершено");
    text += QStringLiteral(": ") + base::counted(done.written, "строка", "строки", "строк");
    if (done.already > 0)
        text += QStringLiteral("; уже на месте: ") +
                base::counted(done.already, "строка", "строки", "строк");
    return text + QLatin1Char('.');
}

namespace {

Result stepOnce(const ApplyHistory &history, const ParameterWriter &writer, bool redo,
                qint64 expected)
{
    Result result;
    // One undo or redo at a time over one history, so that two programs step back two groups,
    // not the same one twice. Taken before any game file's lock.
    fsys::FileLock::Outcome locking;
    QString why;
    const fsys::FileLock lock =
        fsys::FileLock::acquire(history.path() + QStringLiteral(".undo"), &locking, &why);
    if (locking == fsys::FileLock::Outcome::Busy) {
        result.outcome = Result::Outcome::Failed;
        result.message = QStringLiteral("Другая отмена ещё идёт: ") + why;
        return result;
    }
    const ApplyHistory::Contents contents = history.read();
    const Step step = redo ? nextRedo(contents) : nextUndo(contents);
    if (step.empty()) {
        result.message = redo ? QStringLiteral("Возвращать нечего: отменённых записей нет.")
                         : contents.records.isEmpty()
                             ? QStringLiteral("История пуста: отменять нечего.")
                             : QStringLiteral("Отменять нечего: все записи уже отменены.");
        return result;
    }
    if (expected != 0 && step.target != expected) {
        result.outcome = Result::Outcome::Failed;
        result.message = QStringLiteral("Ничего не сделано: другая программа изменила историю "
                                        "записей; посмотрите её и повторите.");
        return result;
    }
    Done done;
    QString error;
    if (!perform(writer, step, &error, &done)) {
        result.outcome = Result::Outcome::Failed;
        result.message = error;
        if (done.written > 0)
            result.message += QStringLiteral("\nУже записано: ") +
                              base::counted(done.written, "строка", "строки", "строк") +
                              QStringLiteral("; следующая команда отмены завершит начатое.");
        return result;
    }
    result.outcome = Result::Outcome::Done;
    result.message = doneText(step, done);
    return result;
}

} // namespace

Result undoLast(const ApplyHistory &history, const ParameterWriter &writer, qint64 expected)
{
    return stepOnce(history, writer, false, expected);
}

Result redoLast(const ApplyHistory &history, const ParameterWriter &writer, qint64 expected)
{
    return stepOnce(history, writer, true, expected);
}

} // namespace HistoryUndo
