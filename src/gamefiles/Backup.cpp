#include "gamefiles/Backup.h"

#include <QFileInfo>

#include <optional>

#include "profile/DiskPath.h"
#include "profile/SafeFile.h"

namespace {

bool existsOrLinks(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Where the backup of the game file goes, or nothing when it has one already (in whatever letter
// case: one the editor cannot open for appending could not have been replaced by the copy either,
// so existence alone decides) or its folder cannot take one.
std::optional<QString> newBackupPath(const QByteArray &gameFilePath)
{
    if (existsOrLinks(resolveDiskPath(gameFilePath + ".bak")))
        return std::nullopt;
    // The backup sits beside the game file as found on disk, whose case may differ from the
    // catalogue's spelling.
    const QString backupPath = resolveDiskPath(gameFilePath) + QStringLiteral(".bak");
    if (existsOrLinks(backupPath))
        return std::nullopt;
    const QString folder = QFileInfo(backupPath).absolutePath();
    if (!QFileInfo(folder).isDir() || !mayWrite(folder))
        return std::nullopt;
    return backupPath;
}

} // namespace

void ensureBackup(const QByteArray &gameFilePath)
{
    // A game file that is missing, is not a regular file or cannot be read makes no backup file:
    // the copy fails before creating anything. A full disk leaves no backup file either.
    if (const std::optional<QString> backupPath = newBackupPath(gameFilePath))
        saveCopy(resolveDiskPath(gameFilePath), *backupPath);
}

void ensureEmptyBackup(const QByteArray &gameFilePath)
{
    if (const std::optional<QString> backupPath = newBackupPath(gameFilePath))
        saveFile(*backupPath, QByteArrayView());
}
