#include "gamefiles/FileCopy.h"

#include <QFile>
#include <QFileInfo>

#include "profile/DiskPath.h"

void copyFile(const QByteArray &source, const QByteArray &destination)
{
    const QString destinationPath = resolveDiskPath(destination);
    const QFileInfo destinationInfo(destinationPath);
    if (destinationInfo.exists() ? !destinationInfo.isFile() || !mayWrite(destinationPath)
                                 : !mayWrite(destinationInfo.absolutePath()))
        return;

    // Truncating the destination first would empty a file copied onto itself.
    const QString sourcePath = resolveDiskPath(source);
    const QFileInfo sourceInfo(sourcePath);
    if (sourceInfo.exists() && destinationInfo.exists() &&
        sourceInfo.canonicalFilePath() == destinationInfo.canonicalFilePath())
        return;

    QFile out(destinationPath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;

    if (sourceInfo.isDir())
        return;
    QFile in(sourcePath);
    if (!in.open(QIODevice::ReadOnly))
        return;

    constexpr qint64 chunkSize = 64 * 1024;
    QByteArray chunk;
    for (;;) {
        chunk = in.read(chunkSize);
        if (chunk.isEmpty() || out.write(chunk) != chunk.size())
            break;
    }
}
