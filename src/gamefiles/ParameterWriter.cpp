#include "gamefiles/ParameterWriter.h"

#include <algorithm>
#include <utility>

#include "base/Bytes.h"
#include "base/Fail.h"
#include "gamefiles/Backup.h"
#include "gamefiles/Duplication.h"
#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "profile/DiskPath.h"
#include "profile/FileSystem.h"
#include "profile/IniDocument.h"
#include "profile/ProfileCache.h"
#include "profile/ProfileFile.h"
#include "profile/SafeFile.h"
#include "textcodec/Cp1251.h"

namespace {

using Outcome = WriteResult::Outcome;

using base::fail;

// A refusal before anything was touched: the file as the catalogue or the disk names it, and
// why it stays as it is.
bool refuse(QString *error, const QString &file, const QString &why)
{
    return fail(error, QStringLiteral("Файл %1 не изменён: %2.").arg(file, why));
}

// Why the file at diskPath cannot be replaced by a changed copy, or an empty text when it can.
// The profile layer checks the same when it writes; checking first keeps a write that would be
// refused there from taking the backup.
QString whyNotWritable(const QString &diskPath)
{
    const QString target = resolveSymlinks(diskPath);
    // A file that cannot be read cannot be edited line by line.
    if (fsys::entryAt(target).kind == fsys::Kind::File && !fsys::mayRead(target))
        return QStringLiteral("файл не читается");
    return whyNotSavable(diskPath);
}

// Whether something other than a regular file is at diskPath. Such a path is never read: a
// pipe would block the read.
bool isOtherThanFile(const QString &diskPath)
{
    const fsys::Kind kind = fsys::entryAt(diskPath).kind;
    return kind != fsys::Kind::None && kind != fsys::Kind::File;
}

} // namespace

ParameterWriter::ParameterWriter(WriteTarget target, WriteJournal *journal)
    : target_(std::move(target)), journal_(journal)
{
}

// Refusals on the request's text alone; nothing on disk is looked at.
bool ParameterWriter::checkRequest(const QByteArray &relativeFile, const QByteArray &section,
                                   const QByteArray &key, const QByteArray &valueText,
                                   QString *error, bool fromCatalogue, bool checkFile) const
{
    const QString file = cp1251::toUnicode(relativeFile);
    // Line breaks in the value, section or key are the profile layer's refusal (checkEntry
    // below); a file name with one names no file anyone meant.
    if (checkFile && (relativeFile.contains('\n') || relativeFile.contains('\r')))
        return refuse(error, file, QStringLiteral("имя файла содержит перевод строки"));
    // An entry without these would write into a file, section or key of no one's choosing.
    if (checkFile && relativeFile.isEmpty())
        return fail(error, QStringLiteral("Ничего не записано: в каталоге не указан файл."));
    // Keys before the first header have the section of no name: a tweak or a restore may name
    // it, a catalogue entry without a section names nothing.
    if (fromCatalogue && section.trimmed().isEmpty())
        return refuse(error, file, QStringLiteral("в каталоге не указан раздел"));
    // A whole line that reads as a key of no name ("=1") is a key line all the same: a restore
    // or an undo puts it back as it was.
    const bool unnamedLine = !fromCatalogue && base::trimmed(key).isEmpty();
    if (key.trimmed().isEmpty() && !unnamedLine)
        return refuse(error, file, QStringLiteral("в каталоге не указан ключ"));
    // Names the profile layer would refuse, or could not read back as written.
    const QString problem = IniDocument::checkEntry(section, unnamedLine ? "_" : key, valueText);
    if (!problem.isEmpty())
        return refuse(error, file, problem);
    if (!checkFile)
        return true;
    // Relative paths alone would land in whatever folder happens to be current.
    if (target_.gamedataFolder.isEmpty())
        return refuse(error, file, QStringLiteral("папка gamedata не указана"));
    // Catalogues are passed around between users: an entry must not reach files elsewhere.
    if (!isInsideGamedata(target_.gamedataFolder, relativeFile))
        return refuse(error, file, QStringLiteral("путь ведёт за пределы папки gamedata"));
    return true;
}

WriteResult ParameterWriter::writeParameter(const QByteArray &relativeFile,
                                            const QByteArray &section, const QByteArray &key,
                                            const QByteArray &valueText, QString *error) const
{
    if (!checkRequest(relativeFile, section, key, valueText, error))
        return Outcome::Refused;
    LineChange change{relativeFile, section, key, {}, key + '=' + valueText, {}, false};
    return writeFile(relativeFile, {change}, false, true, error);
}

WriteResult ParameterWriter::writeTrade(const QByteArray &relativeFile, const QByteArray &section,
                                        const QByteArray &key, bool present,
                                        const QByteArray &valueText, QString *error) const
{
    // The value text of a delete is never written, so its line breaks do not matter.
    if (!checkRequest(relativeFile, section, key, present ? valueText : QByteArray(), error))
        return Outcome::Refused;
    LineChange change{relativeFile, section, key, {}, {}, {}, false};
    if (present)
        change.after = key + '=' + valueText;
    return writeFile(relativeFile, {change}, false, false, error);
}

WriteResult ParameterWriter::writeLines(const QByteArray &relativeFile,
                                        const QList<LineChange> &changes, QString *error,
                                        bool duplicate) const
{
    if (changes.isEmpty())
        return Outcome::Written;
    // The file is checked once (a large tweak or undo pays for its path once), each line after.
    bool fileChecked = false;
    for (const LineChange &c : changes) {
        // A key is what reads take as the key: blanks are spaces and tabs only.
        if (c.after &&
            (!c.after->contains('=') ||
             !cp1251::equalsIgnoreCase(IniDocument::keyOfLine(*c.after), base::trimmed(c.key)))) {
            refuse(error, cp1251::toUnicode(relativeFile), QStringLiteral("строка не того ключа"));
            return Outcome::Refused;
        }
        const QByteArray value = c.after ? c.after->mid(c.after->indexOf('=') + 1) : QByteArray();
        if (!checkRequest(relativeFile, c.section, c.key, value, error, false, !fileChecked))
            return Outcome::Refused;
        fileChecked = true;
    }
    return writeFile(relativeFile, changes, true, duplicate, error);
}

WriteResult ParameterWriter::writeFile(const QByteArray &relativeFile, QList<LineChange> changes,
                                       bool checkBefore, bool duplicate, QString *error) const
{
    const bool onlyDeletes =
        std::all_of(changes.cbegin(), changes.cend(), [](const LineChange &c) { return !c.after; });
    // Nothing to delete: no backup, no write, whether the file could be written or not.
    if (onlyDeletes && !checkBefore) {
        const QByteArray gamePath =
            ParameterLookup::gameFilePath(target_.gamedataFolder, relativeFile);
        if (!isOtherThanFile(ProfileFile(gamePath).diskPath())) {
            bool any = false;
            ProfileCache::instance().withDocument(gamePath, [&](const IniDocument &document) {
                for (const LineChange &c : changes)
                    any = any || document.keyLine(c.section, c.key).has_value();
            });
            if (!any)
                return Outcome::Written;
        }
    }
    // All lines in one pass over the file (IniDocument::putLines), each checked as it is made.
    const auto edit = [&](IniDocument &document, QList<LineChange> *written, QString *refusal,
                          bool *changed) {
        std::vector<IniDocument::LineEdit> edits;
        edits.reserve(static_cast<std::size_t>(changes.size()));
        for (const LineChange &c : changes)
            edits.push_back({c.section, c.key, c.after, c.previous, c.first, {}});
        qsizetype next = 0;
        const auto prepare = [&](IniDocument::LineEdit &e) {
            const LineChange &c = changes[next++];
            if (checkBefore && e.before != c.before) {
                *refusal = QStringLiteral("параметр %1 в разделе [%2] изменился после проверки")
                               .arg(cp1251::toUnicode(c.key), cp1251::toUnicode(c.section));
                return false;
            }
            // A row's value that the line holds already (after its "=") leaves the line as it
            // is, whatever the spelling of its key.
            if (!checkBefore && e.before && e.line &&
                e.before->mid(e.before->indexOf('=') + 1) == e.line->mid(e.line->indexOf('=') + 1))
                e.line = e.before;
            return true;
        };
        if (!document.putLines(edits, prepare, changed))
            return false;
        for (qsizetype i = 0; i < changes.size(); ++i) {
            const IniDocument::LineEdit &e = edits[static_cast<std::size_t>(i)];
            LineChange c = changes[i];
            c.before = e.before;
            c.after = e.line;
            c.previous = e.previous;
            c.first = e.first;
            if (c.changes())
                written->append(c);
        }
        return true;
    };
    return save(relativeFile, edit, duplicate, error);
}

WriteResult ParameterWriter::replaceFile(const QByteArray &relativeFile, const QByteArray &bytes,
                                         const FileCheck &check, QString *error) const
{
    if (target_.gamedataFolder.isEmpty() ||
        !isInsideGamedata(target_.gamedataFolder, relativeFile)) {
        refuse(error, cp1251::toUnicode(relativeFile),
               QStringLiteral("путь ведёт за пределы папки gamedata"));
        return Outcome::Refused;
    }
    const auto edit = [&](IniDocument &document, QList<LineChange> *written, QString *refusal,
                          bool *changed) {
        *refusal = check(document, written);
        if (!refusal->isEmpty())
            return false;
        *changed = document.bytes() != bytes;
        if (*changed)
            document = IniDocument::parse(bytes);
        return true;
    };
    return save(relativeFile, edit, false, error);
}

WriteResult ParameterWriter::save(const QByteArray &relativeFile, const Edit &edit, bool duplicate,
                                  QString *error) const
{
    const QByteArray gamePath = ParameterLookup::gameFilePath(target_.gamedataFolder, relativeFile);
    ProfileFile gameFile(gamePath);
    const QString diskPath = gameFile.diskPath();
    if (const QString why = whyNotWritable(diskPath); !why.isEmpty()) {
        refuse(error, shownPath(diskPath), why);
        return Outcome::Refused;
    }

    const bool created = !targetExists(diskPath);
    QString refusal;
    QList<LineChange> written;
    qint64 ticket = 0;
    bool recorded = false;
    QString historyProblem;
    const auto change = [&](IniDocument &document) {
        written.clear();
        bool changed = false;
        return edit(document, &written, &refusal, &changed) && changed;
    };
    const auto beforeSave = [&] {
        ensureBackup(gamePath);
        if (journal_ && !written.isEmpty()) {
            bool ok = true;
            ticket = journal_->begin(stamp_, written, duplicate && target_.duplication, &ok,
                                     &historyProblem);
            recorded = ok;
        }
    };
    QString why;
    const bool saved = gameFile.edit(change, &why, beforeSave);
    if (!refusal.isEmpty()) {
        refuse(error, shownPath(diskPath), refusal);
        return Outcome::Refused;
    }
    if (!saved) {
        if (recorded)
            journal_->done(ticket, false, &historyProblem);
        base::fail(error, why);
        WriteResult result(Outcome::Failed);
        result.historyProblem = historyProblem;
        return result;
    }
    if (created && !written.isEmpty() && targetExists(diskPath))
        ensureEmptyBackup(gamePath);
    if (recorded)
        journal_->done(ticket, true, &historyProblem);

    WriteResult result(Outcome::Written);
    result.changes = written;
    result.historyProblem = historyProblem;
    if (!duplicate)
        return result;
    if (!Duplication::repeat(target_, relativeFile, written, &why)) {
        base::fail(error,
                   QStringLiteral("Значение записано в файл игры, но не продублировано: ") + why);
        WriteResult partly(Outcome::NotDuplicated);
        partly.changes = written;
        partly.historyProblem = historyProblem;
        return partly;
    }
    return result;
}
