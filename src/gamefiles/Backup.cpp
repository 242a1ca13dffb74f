#include "gamefiles/Backup.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "profile/DiskPath.h"

namespace {

bool copyWhole(QFile &in, QSaveFile &out)
{
    constexpr qint64 chunkSize = 64 * 1024;
    for (;;) {
        const QByteArray chunk = in.read(chunkSize);
        if (chunk.isEmpty())
            return in.error() == QFileDevice::NoError && in.atEnd();
        if (out.write(chunk) != chunk.size())
            return false;
    }
}

} // namespace

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

    const QFileInfo gameInfo(gamePath);
    QFile in(gamePath);
    if (gameInfo.exists() && (gameInfo.isDir() || !in.open(QIODevice::ReadOnly)))
        return;

    QSaveFile out(backupPath);
    if (!out.open(QIODevice::WriteOnly))
        return;
    if (in.isOpen() && !copyWhole(in, out)) {
        out.cancelWriting();
        return;
    }
    out.commit();
}
