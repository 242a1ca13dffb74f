#include "gamefiles/Backup.h"

#include <optional>

#include "profile/DiskPath.h"
#include "profile/SafeFile.h"

namespace {

// Where the backup of the game file goes, or nothing when it has one already (in whatever letter
// case: one the editor cannot open for appending could not have been replaced by the copy either,
// so existence alone decides) or its folder cannot take one. A game file named in Windows-1251
// bytes on disk has its backup under those bytes + ".bak", found again by the same lookup.
std::optional<QString> newBackupPath(const QByteArray &gameFilePath)
{
    if (entryExists(resolveDiskPath(gameFilePath + ".bak")))
        return std::nullopt;
    // The backup sits beside the game file as found on disk, whose case may differ from the
    // catalogue's spelling.
    const QString backupPath = resolveDiskPath(gameFilePath) + QStringLiteral(".bak");
    if (entryExists(backupPath))
        return std::nullopt;
    const QString folder = folderOf(backupPath);
    if (!isFolder(folder) || !mayWrite(folder))
        return std::nullopt;
    return backupPath;
}

} // namespace

void ensureBackup(const QByteArray &gameFilePath)
{
    // A game file that is missing, is not a regular file or cannot be read makes no backup file:
    // the copy fails before creating anything. A full disk leaves no backup file either. Of two
    // programs that back up the file at once, the first copy stays: the second may already hold
    // the first one's write.
    if (const std::optional<QString> backupPath = newBackupPath(gameFilePath))
        saveNewCopy(resolveDiskPath(gameFilePath), *backupPath);
}

void ensureEmptyBackup(const QByteArray &gameFilePath)
{
    if (const std::optional<QString> backupPath = newBackupPath(gameFilePath))
        saveNewFile(*backupPath, QByteArrayView());
}
