#include "gamefiles/FileCopy.h"

#include <QFileInfo>

#include "profile/DiskPath.h"
#include "profile/SafeFile.h"

void copyFile(const QByteArray &source, const QByteArray &destination)
{
    const QString destinationPath = resolveDiskPath(destination);
    const QFileInfo destinationInfo(destinationPath);
    if (destinationInfo.exists() ? !destinationInfo.isFile() || !mayWrite(destinationPath)
                                 : !mayWrite(destinationInfo.absolutePath()))
        return;

    // A copy onto itself has nothing to change.
    const QString sourcePath = resolveDiskPath(source);
    const QFileInfo sourceInfo(sourcePath);
    if (sourceInfo.exists() && destinationInfo.exists() &&
        sourceInfo.canonicalFilePath() == destinationInfo.canonicalFilePath())
        return;

    bool sourceUnreadable = false;
    if (!saveCopy(sourcePath, destinationPath, nullptr, &sourceUnreadable) && sourceUnreadable)
        saveFile(destinationPath, QByteArrayView());
}
