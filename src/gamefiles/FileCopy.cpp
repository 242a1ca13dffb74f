#include "gamefiles/FileCopy.h"

#include "profile/DiskPath.h"
#include "profile/SafeFile.h"

#include <sys/stat.h>

namespace {

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

void copyFile(const QByteArray &source, const QByteArray &destination)
{
    const QString destinationPath = resolveDiskPath(destination);
    struct stat to;
    const bool destinationExists = ::stat(nativePath(destinationPath).constData(), &to) == 0;
    if (destinationExists ? !S_ISREG(to.st_mode) || !mayWrite(destinationPath)
                          : !mayWrite(folderOf(destinationPath)))
        return;

    // A copy onto itself has nothing to change.
    const QString sourcePath = resolveDiskPath(source);
    struct stat from;
    if (destinationExists && ::stat(nativePath(sourcePath).constData(), &from) == 0 &&
        from.st_dev == to.st_dev && from.st_ino == to.st_ino)
        return;

    bool sourceUnreadable = false;
    if (!saveCopy(sourcePath, destinationPath, nullptr, &sourceUnreadable) && sourceUnreadable)
        saveFile(destinationPath, QByteArrayView());
}
