#include "tweaks/TweakApply.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "history/HistoryUndo.h"
#include "profile/FileSystem.h"
#include "profile/IniDocument.h"
#include "profile/ProfileCache.h"
#include "profile/ProfileFile.h"
#include "textcodec/Cp1251.h"

namespace {

// The lines a tweak writes into one game file.
struct FileLines
{
    QByteArray file;
    QList<LineChange> changes;
};

QString diskPathOf(const QByteArray &gamedataFolder, const QByteArray &file)
{
    return ProfileFile(ParameterLookup::gameFilePath(gamedataFolder, file)).diskPath();
}

std::optional<QByteArray> lineNow(const IniDocument &document, const LineChange &c)
{
    const std::optional<std::size_t> at = document.keyLineOf(c.section, c.key);
    return at ? std::optional(document.keyLineAt(*at).line.toByteArray()) : std::nullopt;
}

// Why the file's keys no longer hold the lines the review found (empty: they do).
QString changedSinceReview(const QByteArray &gamedataFolder, const FileLines &f)
{
    return ProfileCache::instance().withDocument(
        ParameterLookup::gameFilePath(gamedataFolder, f.file),
        [&](const IniDocument &document) -> QString {
            for (const LineChange &c : f.changes) {
                if (lineNow(document, c) != c.before)
                    return QStringLiteral("параметр %1 в разделе [%2] изменился после проверки")
                        .arg(cp1251::toUnicode(c.key), cp1251::toUnicode(c.section));
            }
            return {};
        });
}

// Puts back what an apply that stopped part way wrote: the group as the history holds it, when
// it holds all of it, so the undo is the one the history knows; else the lines as the writes
// reported them, newest first, each removed line where it stood.
bool rollBack(const ParameterWriter &writer, const ApplyHistory *history, qint64 group,
              const QList<FileLines> &written, QString *why)
{
    qsizetype count = 0;
    for (const FileLines &f : written)
        count += f.changes.size();
    if (history && group != 0) {
        const QList<HistoryRecord> records = HistoryUndo::group(history->read().records, group);
        if (records.size() == count)
            return HistoryUndo::undo(writer, records, why);
    }
    ParameterWriter undo = writer;
    WriteJournal *journal = undo.journal();
    undo.setHistoryStamp({HistoryOrigin::Restore, journal ? journal->newGroup() : 0, {}, {}});
    for (auto f = written.crbegin(); f != written.crend(); ++f) {
        QList<LineChange> back;
        for (auto c = f->changes.crbegin(); c != f->changes.crend(); ++c)
            back.append(LineChange{c->file, c->section, c->key, c->after, c->before, c->previous,
                                   c->first, true});
        if (!undo.writeLines(f->file, back, why))
            return false;
    }
    return true;
}

// Whether every key of the group holds its "before" line again.
bool putBack(const QByteArray &gamedataFolder, const QList<HistoryRecord> &group)
{
    QHash<QByteArray, QList<const HistoryRecord *>> byFile;
    for (const HistoryRecord &r : group)
        byFile[sameFileKey(r.change.file)].append(&r);
    for (const QList<const HistoryRecord *> &records : std::as_const(byFile)) {
        const QByteArray &file = records.first()->change.file;
        if (gamedataFolder.isEmpty() || !isInsideGamedata(gamedataFolder, file))
            return false;
        const bool back = ProfileCache::instance().withDocument(
            ParameterLookup::gameFilePath(gamedataFolder, file), [&](const IniDocument &document) {
                for (const HistoryRecord *r : records) {
                    const LineChange &c = r->change;
                    if (lineNow(document, c) != c.before)
                        return false;
                }
                return true;
            });
        if (!back)
            return false;
    }
    return true;
}

} // namespace

QString TweakApplyReport::message() const
{
    QString text;
    if (refused) {
        text = QStringLiteral("Твик не записан: %1: %2.\nНичего не изменено.")
                   .arg(cp1251::toUnicode(file), reason);
    } else if (!complete) {
        text = QStringLiteral("Запись твика остановлена на файле %1:\n%2\n")
                   .arg(cp1251::toUnicode(file), reason);
        if (undoneFiles > 0 && undoProblem.isEmpty())
            text += QStringLiteral("Уже записанные файлы (%1) возвращены как были: ничего не "
                                   "изменено.")
                        .arg(undoneFiles);
        else if (undoneFiles > 0)
            text +=
                QStringLiteral("Уже записанные файлы вернуть не удалось:\n%1\n").arg(undoProblem);
    }
    if (complete || !undoProblem.isEmpty())
        text += QStringLiteral("Записано строк: %1, файлов: %2.").arg(written).arg(files);
    if (!notDuplicated.isEmpty())
        text += QLatin1Char('\n') + notDuplicated;
    if (!historyProblem.isEmpty())
        text += QLatin1Char('\n') + historyProblem;
    return text;
}

namespace Tweak {

QByteArray note(const QString &path)
{
    return QFileInfo(path).absoluteFilePath().toUtf8();
}

TweakApplyReport apply(const ParameterWriter &target, const ApplyHistory *history,
                       const QList<TweakReviewLine> &chosen, const QByteArray &note,
                       const QByteArray &tweak, bool allowCreate)
{
    TweakApplyReport report;
    // File by file in the order the files first appear.
    QList<FileLines> files;
    QHash<QByteArray, qsizetype> index;
    for (const TweakReviewLine &r : chosen) {
        if (!r.writes())
            continue;
        const QByteArray id = sameFileKey(r.change.file);
        if (!index.contains(id)) {
            index.insert(id, files.size());
            files.append({r.change.file, {}});
        }
        files[index.value(id)].changes.append(r.change);
    }
    const QByteArray &gamedataFolder = target.target().gamedataFolder;
    const auto refuse = [&](const QByteArray &file, const QString &why) {
        report.complete = false;
        report.refused = true;
        report.file = file;
        report.reason = why;
        return report;
    };
    // Every file before the first is written.
    QStringList folders;
    QSet<QByteArray> newFiles;
    for (const FileLines &f : std::as_const(files)) {
        QStringList missing;
        QString why = whyNotWritable(gamedataFolder, f.file, allowCreate, &missing);
        if (why.isEmpty())
            why = changedSinceReview(gamedataFolder, f);
        if (!why.isEmpty())
            return refuse(f.file, why);
        folders += missing;
        if (fsys::entryAt(diskPathOf(gamedataFolder, f.file)).kind == fsys::Kind::None)
            newFiles.insert(f.file);
    }
    // What an apply that does not go through leaves behind of what it made.
    QStringList madeFolders;
    const auto removeMade = [&](const QList<FileLines> &written) {
        for (const FileLines &f : written) {
            if (!newFiles.contains(f.file))
                continue;
            const QString path = diskPathOf(gamedataFolder, f.file);
            fsys::removeFile(path);
            const QString backup = path + QStringLiteral(".bak");
            if (const fsys::Entry entry = fsys::entryAt(backup);
                entry.kind == fsys::Kind::File && entry.stamp.size == 0)
                fsys::removeFile(backup);
        }
        for (auto folder = madeFolders.crbegin(); folder != madeFolders.crend(); ++folder)
            QDir().rmdir(*folder);
    };
    for (const QString &folder : std::as_const(folders)) {
        if (fsys::entryAt(folder).kind != fsys::Kind::None)
            continue;
        if (!QDir().mkdir(folder)) {
            removeMade({});
            return refuse(files.first().file,
                          QStringLiteral("папку %1 не удалось создать").arg(shownPath(folder)));
        }
        madeFolders.append(folder);
    }

    ParameterWriter writer = target;
    WriteJournal *journal = writer.journal();
    const qint64 group = journal ? journal->newGroup() : 0;
    writer.setHistoryStamp({HistoryOrigin::Tweak, group, note, tweak});
    QList<FileLines> written;
    for (const FileLines &f : std::as_const(files)) {
        QString error;
        const WriteResult result = writer.writeLines(f.file, f.changes, &error);
        if (report.historyProblem.isEmpty())
            report.historyProblem = result.historyProblem;
        if (result.gameFileWritten()) {
            report.written += static_cast<int>(f.changes.size());
            ++report.files;
            written.append({f.file, result.changes});
            if (!result && report.notDuplicated.isEmpty())
                report.notDuplicated = error;
            continue;
        }
        report.complete = false;
        report.file = f.file;
        report.reason = error;
        report.undoneFiles = static_cast<int>(written.size());
        if (written.isEmpty() || rollBack(writer, history, group, written, &report.undoProblem)) {
            report.written = 0;
            report.files = 0;
            removeMade(written);
        } else if (report.undoProblem.isEmpty()) {
            report.undoProblem = QStringLiteral("причина не известна");
        }
        return report;
    }
    return report;
}

QList<HistoryRecord> appliedGroup(const QByteArray &gamedataFolder,
                                  const ApplyHistory::Contents &contents, const QByteArray &tweak,
                                  const QByteArray &note)
{
    const HistoryUndo::Timeline timeline = HistoryUndo::timeline(contents);
    QSet<qint64> seen;
    for (auto it = contents.records.crbegin(); it != contents.records.crend(); ++it) {
        const HistoryStamp &s = it->stamp;
        if (s.origin != HistoryOrigin::Tweak || timeline.undone.contains(s.group) ||
            seen.contains(s.group))
            continue;
        seen.insert(s.group);
        const bool same = s.tweak.isEmpty() ? !note.isEmpty() && s.note == note : s.tweak == tweak;
        if (!same)
            continue;
        const QList<HistoryRecord> group = HistoryUndo::group(contents.records, s.group);
        if (!putBack(gamedataFolder, group))
            return group;
    }
    return {};
}

} // namespace Tweak
