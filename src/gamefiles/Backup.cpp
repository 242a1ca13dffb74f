#include "gamefiles/Backup.h"

#include <QFileInfo>

#include "profile/DiskPath.h"
#include "profile/SafeFile.h"

void ensureBackup(const QByteArray &gameFilePath)
{
    // A backup that exists, in whatever letter case, stays as it is. One the editor cannot open
    // for appending could not have been replaced by the copy either, so existence alone decides.
    const QString existing = resolveDiskPath(gameFilePath + ".bak");
    const QFileInfo existingInfo(existing);
    if (existingInfo.exists() || existingInfo.isSymLink())
        return;

    // The backup sits beside the game file as found on disk, whose case may differ from the
    // catalogue's spelling.
    const QString gamePath = resolveDiskPath(gameFilePath);
    const QString backupPath = gamePath + QStringLiteral(".bak");
    if (QFileInfo(backupPath).exists() || QFileInfo(backupPath).isSymLink())
        return;

    const QString folder = QFileInfo(backupPath).absolutePath();
    if (!QFileInfo(folder).isDir() || !mayWrite(folder))
        return;

    // A game file that is missing, is not a regular file or cannot be read makes no backup file:
    // the copy fails before creating anything. A full disk leaves no backup file either.
    saveCopy(gamePath, backupPath);
}
