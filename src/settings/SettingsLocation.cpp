#include "settings/SettingsLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/Fail.h"
#include "profile/SafeFile.h"

namespace {

const QString SettingName = QStringLiteral("Setting");

QString withSlash(QString folder)
{
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

using base::fail;

// Copies the contents of source into the existing folder destination.
bool copyContents(const QString &source, const QString &destination, QString *error)
{
    const QFileInfoList entries = QDir(source).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QString target = destination + '/' + entry.fileName();
        if (entry.isDir()) {
            if (entry.isSymLink())
                continue; // a link may lead back up: the catalogue holds none
            if (!QDir().mkdir(target))
                return fail(error, target + QStringLiteral(": не удалось создать папку"));
            if (!copyContents(entry.filePath(), target, error))
                return false;
        } else if (entry.isFile()) {
            QString reason;
            if (!saveCopy(entry.filePath(), target, &reason))
                return fail(error, entry.filePath() + ": " + reason);
        }
    }
    return true;
}

} // namespace

bool settingFolderWritable(const QString &settingFolder)
{
    return whyNotSavable(withSlash(settingFolder) + QStringLiteral("Setting.ini")).isEmpty();
}

bool copySettingFolder(const QString &source, const QString &destination, QString *error)
{
    const QString parent = QFileInfo(destination).absolutePath();
    if (!QDir().mkpath(parent))
        return fail(error, parent + QStringLiteral(": не удалось создать папку"));
    QTemporaryDir partial(destination + QStringLiteral(".XXXXXX"));
    if (!partial.isValid())
        return fail(error, destination + QStringLiteral(": не удалось создать папку: ") +
                               partial.errorString());
    if (!copyContents(source, partial.path(), error))
        return false;
    QFile::setPermissions(partial.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadGroup | QFile::ExeGroup |
                                              QFile::ReadOther | QFile::ExeOther);
    if (std::rename(QFile::encodeName(partial.path()).constData(),
                    QFile::encodeName(destination).constData()) != 0)
        return fail(error, destination + ": " + QString::fromLocal8Bit(std::strerror(errno)));
    partial.setAutoRemove(false);
    return true;
}

SettingsLocation locateSettings(const QString &programFolder, const QString &userFolder,
                                const SettingFolderCheck &writable)
{
    SettingsLocation program{withSlash(programFolder), false, {}};
    const QString programSetting = program.folder + SettingName;
    if (!QFileInfo(programSetting).isDir() || writable(programSetting) || userFolder.isEmpty())
        return program;
    SettingsLocation user{withSlash(userFolder), true, {}};
    const QString userSetting = user.folder + SettingName;
    if (QFileInfo(userSetting).isDir())
        return user;
    if (!copySettingFolder(programSetting, userSetting, &program.problem))
        return program;
    return user;
}
