#include "history/HistoryUndo.h"

#include <QFile>
#include <QHash>

#include <algorithm>

#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "profile/DiskPath.h"
#include "profile/IniDocument.h"
#include "profile/ProfileFile.h"
#include "profile/SafeFile.h"
#include "textcodec/Cp1251.h"

namespace {

QString u(const QByteArray &text)
{
    return cp1251::toUnicode(text);
}

QString shownLine(const std::optional<QByteArray> &line)
{
    return line ? QStringLiteral("«") + u(*line) + QStringLiteral("»")
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
        const QByteArray id = sameFileKey(it->file);
        if (!index.contains(id)) {
            index.insert(id, files.size());
            files.append({it->file, {}});
        }
        files[index.value(id)].records.append(*it);
    }
    return files;
}

} // namespace

namespace HistoryUndo {

QList<HistoryRecord> group(const QList<HistoryRecord> &records, qint64 group)
{
    QList<HistoryRecord> list;
    for (const HistoryRecord &r : records)
        if (r.group == group)
            list.append(r);
    return list;
}

QList<HistoryRecord> lastGroup(const QList<HistoryRecord> &records)
{
    return records.isEmpty() ? QList<HistoryRecord>() : group(records, records.last().group);
}

QList<qint64> tweakGroups(const QList<HistoryRecord> &records, const QByteArray &tweak,
                          const QByteArray &legacyNote)
{
    QList<qint64> groups;
    for (auto it = records.crbegin(); it != records.crend(); ++it) {
        if (it->origin != HistoryOrigin::Tweak || groups.contains(it->group))
            continue;
        if (it->tweak.isEmpty() ? !legacyNote.isEmpty() && it->note == legacyNote
                                : it->tweak == tweak)
            groups.append(it->group);
    }
    return groups;
}

QStringList changedSince(const QByteArray &gamedataFolder, const QList<HistoryRecord> &records)
{
    QStringList changed;
    for (const FileRecords &f : byFile(records)) {
        QByteArray bytes;
        if (!gamedataFolder.isEmpty() && isInsideGamedata(gamedataFolder, f.file))
            readRegularFile(
                nativePath(
                    ProfileFile(ParameterLookup::gameFilePath(gamedataFolder, f.file)).diskPath()),
                &bytes);
        IniDocument doc = IniDocument::parse(bytes);
        for (const HistoryRecord &r : f.records) {
            const std::optional<std::size_t> at = doc.keyLineOf(r.section, r.key);
            const std::optional<QByteArray> now =
                at ? std::optional(doc.keyLineAt(*at).line.toByteArray()) : std::nullopt;
            if (now != r.after) {
                changed.append(QStringLiteral("%1 [%2] %3: записано %4, теперь %5")
                                   .arg(u(r.file), u(r.section), u(r.key), shownLine(r.after),
                                        shownLine(now)));
                continue;
            }
            // The older records of the same file meet the file as this undo leaves it.
            if (!r.before)
                doc.removeKey(r.section, r.key);
            else {
                if (!at)
                    doc.setValue(r.section, r.key, r.before->mid(r.before->indexOf('=') + 1));
                if (const std::optional<std::size_t> line = doc.keyLineOf(r.section, r.key))
                    doc.replaceLine(doc.keyLineAt(*line).start, *r.before);
            }
        }
    }
    return changed;
}

bool undo(const ParameterWriter &target, const QList<HistoryRecord> &records, QString *error)
{
    if (records.isEmpty()) {
        if (error)
            *error = QStringLiteral("Отменять нечего.");
        return false;
    }
    const QStringList changed = changedSince(target.target().gamedataFolder, records);
    if (!changed.isEmpty()) {
        if (error)
            *error = QStringLiteral("Ничего не отменено: после записи изменились строки\n") +
                     changed.join(QLatin1Char('\n'));
        return false;
    }
    ParameterWriter writer = target;
    WriteJournal *journal = writer.journal();
    writer.setHistoryStamp({HistoryOrigin::Restore, journal ? journal->newGroup() : 0, {}, {}});
    for (const FileRecords &f : byFile(records)) {
        QList<LineChange> edits;
        for (const HistoryRecord &r : f.records)
            edits.append(LineChange{r.file, r.section, r.key, r.after, r.before, {}, false});
        QString why;
        if (!writer.writeLines(f.file, edits, &why)) {
            if (error)
                *error = QStringLiteral("Отмена остановлена на файле %1:\n%2").arg(u(f.file), why);
            return false;
        }
    }
    return true;
}

} // namespace HistoryUndo
