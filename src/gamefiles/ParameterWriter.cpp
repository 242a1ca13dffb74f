#include "gamefiles/ParameterWriter.h"

#include <utility>

#include "base/Fail.h"
#include "gamefiles/Backup.h"
#include "gamefiles/Duplication.h"
#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "profile/DiskPath.h"
#include "profile/FileSystem.h"
#include "profile/IniDocument.h"
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

// Whether the file holds the key. Two reads with different defaults tell a stored default
// from a missing key.
bool holdsKey(const ProfileFile &file, const QByteArray &section, const QByteArray &key)
{
    return file.readString(section, key, "0") != "0" || file.readString(section, key, "1") != "1";
}

// The key's line before a write, read only when a history records it.
std::optional<QByteArray> lineForHistory(const QString &diskPath, const QByteArray &section,
                                         const QByteArray &key)
{
    return ApplyHistory::active() ? keyLineOnDisk(diskPath, section, key) : std::nullopt;
}

// One key's write to a game file, around the write itself: before it, whether it creates the
// file, the line the history records as "before" and the one-time backup; after a successful
// write, the empty backup of a created file and the history record.
struct KeyWrite
{
    KeyWrite(const QByteArray &gamePath, const QString &diskPath, const QByteArray &section,
             const QByteArray &key)
        : gamePath(gamePath), diskPath(diskPath), section(section), key(key),
          created(!targetExists(diskPath)), before(lineForHistory(diskPath, section, key))
    {
        ensureBackup(gamePath);
    }
    // createsFile: the write left the file holding a key (a delete of a missing file made none).
    void done(const HistoryStamp &stamp, const QByteArray &relativeFile, bool createsFile) const
    {
        if (created && createsFile)
            ensureEmptyBackup(gamePath);
        if (ApplyHistory::active())
            recordWrite(stamp, relativeFile, section, key, before,
                        keyLineOnDisk(diskPath, section, key));
    }

    const QByteArray &gamePath;
    const QString &diskPath;
    const QByteArray &section;
    const QByteArray &key;
    const bool created;
    const std::optional<QByteArray> before;
};

} // namespace

ParameterWriter::ParameterWriter(WriteTarget target) : target_(std::move(target)) {}

// Refusals on the request's text alone; nothing on disk is looked at.
bool ParameterWriter::checkRequest(const QByteArray &relativeFile, const QByteArray &section,
                                   const QByteArray &key, const QByteArray &valueText,
                                   QString *error) const
{
    const QString file = cp1251::toUnicode(relativeFile);
    // Line breaks in the value, section or key are the profile layer's refusal (checkEntry
    // below); a file name with one names no file anyone meant.
    if (relativeFile.contains('\n') || relativeFile.contains('\r'))
        return refuse(error, file, QStringLiteral("имя файла содержит перевод строки"));
    // An entry without these would write into a file, section or key of no one's choosing.
    if (relativeFile.isEmpty())
        return fail(error, QStringLiteral("Ничего не записано: в каталоге не указан файл."));
    if (section.trimmed().isEmpty())
        return refuse(error, file, QStringLiteral("в каталоге не указан раздел"));
    if (key.trimmed().isEmpty())
        return refuse(error, file, QStringLiteral("в каталоге не указан ключ"));
    // Names the profile layer would refuse, or could not read back as written.
    const QString problem = IniDocument::checkEntry(section, key, valueText);
    if (!problem.isEmpty())
        return refuse(error, file, problem);
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
    const QByteArray gamePath = ParameterLookup::gameFilePath(target_.gamedataFolder, relativeFile);
    ProfileFile gameFile(gamePath);
    const QString diskPath = gameFile.diskPath();
    if (const QString why = whyNotWritable(diskPath); !why.isEmpty()) {
        refuse(error, shownPath(diskPath), why);
        return Outcome::Refused;
    }

    const KeyWrite write(gamePath, diskPath, section, key);
    if (!gameFile.writeString(section, key, valueText, error))
        return Outcome::Failed;
    write.done(stamp_, relativeFile, true);

    QString why;
    if (!Duplication::repeat(target_, relativeFile, section, key, valueText, &why)) {
        fail(error, QStringLiteral("Значение записано в файл игры, но не продублировано: ") + why);
        return Outcome::NotDuplicated;
    }
    return Outcome::Written;
}

WriteResult ParameterWriter::writeTrade(const QByteArray &relativeFile, const QByteArray &section,
                                        const QByteArray &key, bool present,
                                        const QByteArray &valueText, QString *error) const
{
    // The value text of a delete is never written, so its line breaks do not matter.
    if (!checkRequest(relativeFile, section, key, present ? valueText : QByteArray(), error))
        return Outcome::Refused;
    const QByteArray gamePath = ParameterLookup::gameFilePath(target_.gamedataFolder, relativeFile);
    ProfileFile gameFile(gamePath);
    const QString diskPath = gameFile.diskPath();
    // Nothing to delete: no backup, no write, whether the file could be written or not.
    if (!present && !isOtherThanFile(diskPath) && !holdsKey(gameFile, section, key))
        return Outcome::Written;
    if (const QString why = whyNotWritable(diskPath); !why.isEmpty()) {
        refuse(error, shownPath(diskPath), why);
        return Outcome::Refused;
    }

    const KeyWrite write(gamePath, diskPath, section, key);
    const bool done = present ? gameFile.writeString(section, key, valueText, error)
                              : gameFile.deleteKey(section, key, error);
    if (!done)
        return Outcome::Failed;
    write.done(stamp_, relativeFile, present);
    return Outcome::Written;
}

WriteResult ParameterWriter::writeLines(const QByteArray &relativeFile,
                                        const QList<LineEdit> &edits, QString *error) const
{
    if (edits.isEmpty())
        return Outcome::Written;
    for (const LineEdit &e : edits) {
        if (e.line && (!e.line->contains('=') ||
                       !cp1251::equalsIgnoreCase(e.line->left(e.line->indexOf('=')).trimmed(),
                                                 e.key.trimmed()))) {
            refuse(error, cp1251::toUnicode(relativeFile), QStringLiteral("строка не того ключа"));
            return Outcome::Refused;
        }
        const QByteArray value = e.line ? e.line->mid(e.line->indexOf('=') + 1) : QByteArray();
        if (!checkRequest(relativeFile, e.section, e.key, value, error))
            return Outcome::Refused;
    }
    const QByteArray gamePath = ParameterLookup::gameFilePath(target_.gamedataFolder, relativeFile);
    const QString diskPath = ProfileFile(gamePath).diskPath();
    if (const QString why = whyNotWritable(diskPath); !why.isEmpty()) {
        refuse(error, diskPath, why);
        return Outcome::Refused;
    }
    QByteArray bytes;
    FileStamp stamp;
    const FileRead read = readRegularFile(nativePath(diskPath), &bytes, &stamp);
    if (read != FileRead::Read && read != FileRead::Missing) {
        refuse(error, diskPath, QStringLiteral("файл не читается"));
        return Outcome::Refused;
    }
    const bool created = read == FileRead::Missing;
    IniDocument doc = IniDocument::parse(bytes);
    QList<std::optional<QByteArray>> before;
    for (const LineEdit &e : edits) {
        const std::optional<std::size_t> at = doc.keyLineOf(e.section, e.key);
        const std::optional<QByteArray> now =
            at ? std::optional(doc.keyLineAt(*at).line.toByteArray()) : std::nullopt;
        if (now != e.expected) {
            refuse(error, diskPath,
                   QStringLiteral("параметр %1 в разделе [%2] изменился после проверки")
                       .arg(cp1251::toUnicode(e.key), cp1251::toUnicode(e.section)));
            return Outcome::Refused;
        }
        before.append(now);
        if (!e.line) {
            doc.removeKey(e.section, e.key);
            continue;
        }
        if (!at)
            doc.setValue(e.section, e.key, e.line->mid(e.line->indexOf('=') + 1));
        if (const std::optional<std::size_t> line = doc.keyLineOf(e.section, e.key))
            doc.replaceLine(doc.keyLineAt(*line).start, *e.line);
    }
    ensureBackup(gamePath);
    QString why;
    const FileStamp expected = created ? FileStamp() : stamp;
    if (!saveFile(diskPath, doc.bytes(), &why, &expected)) {
        fail(error, QStringLiteral("Файл %1 не изменён: %2.").arg(diskPath, why));
        return Outcome::Failed;
    }
    if (created)
        ensureEmptyBackup(gamePath);
    for (qsizetype i = 0; i < edits.size(); ++i)
        recordWrite(stamp_, relativeFile, edits[i].section, edits[i].key, before[i], edits[i].line);
    for (const LineEdit &e : edits) {
        const std::optional<QByteArray> value =
            e.line ? std::optional(e.line->mid(e.line->indexOf('=') + 1)) : std::nullopt;
        if (!Duplication::repeat(target_, relativeFile, e.section, e.key, value, &why)) {
            fail(error,
                 QStringLiteral("Значение записано в файл игры, но не продублировано: ") + why);
            return Outcome::NotDuplicated;
        }
    }
    return Outcome::Written;
}
