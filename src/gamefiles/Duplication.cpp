#include "gamefiles/Duplication.h"

#include "base/Fail.h"
#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "profile/ProfileFile.h"

namespace {

// The reason follows the caller's own sentence, so it starts in lower case.
bool fail(QString *error, QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toLower();
    return base::fail(error, text);
}

} // namespace

namespace Duplication {

bool repeat(const WriteTarget &target, const QByteArray &relativeFile, const QByteArray &section,
            const QByteArray &key, const std::optional<QByteArray> &valueText, QString *why)
{
    if (!target.duplication)
        return true;
    // Bare names alone would land in whatever folder happens to be current.
    if (target.duplicationFolder.isEmpty())
        return fail(why, QStringLiteral("папка для дублирования не указана в настройках."));

    // A folder typed into the settings by hand may lack its final separator.
    QByteArray folder = target.duplicationFolder;
    if (!folder.endsWith('/') && !folder.endsWith('\\'))
        folder += '/';

    const QByteArray bareName =
        bareFileName(ParameterLookup::gameFilePath(target.gamedataFolder, relativeFile));
    ProfileFile duplicateFile(folder + bareName);
    ProfileFile fileTable(folder + FileTableName);
    QString reason;
    const bool written = valueText ? duplicateFile.writeString(section, key, *valueText, &reason)
                                   : duplicateFile.deleteKey(section, key, &reason);
    if (!written || !fileTable.writeString(FileTableSection, bareName, relativeFile, &reason))
        return fail(why, reason);
    return true;
}

} // namespace Duplication
