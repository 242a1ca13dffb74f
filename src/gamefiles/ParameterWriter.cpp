#include "gamefiles/ParameterWriter.h"

#include <utility>

#include "gamefiles/Backup.h"
#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "profile/ProfileFile.h"
#include "textcodec/Cp1251.h"

namespace {

bool hasLineBreak(const QByteArray &text)
{
    return text.contains('\n') || text.contains('\r');
}

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

ParameterWriter::ParameterWriter(WriteTarget target) : target_(std::move(target)) {}

// Refusals that must come before the backup step, so that a refused write has no side effects.
bool ParameterWriter::checkRequest(const QByteArray &relativeFile, const QByteArray &section,
                                   const QByteArray &key, const QByteArray &valueText,
                                   QString *error) const
{
    // A line break would split the key's line and leave the rest as a stray line in the file.
    if (hasLineBreak(valueText))
        return fail(error, QStringLiteral("Значение содержит перевод строки и не записано."));
    if (hasLineBreak(relativeFile) || hasLineBreak(section) || hasLineBreak(key))
        return fail(error, QStringLiteral("Имя файла, секции или ключа содержит перевод "
                                          "строки; ничего не записано."));
    // Relative paths alone would land in whatever folder happens to be current.
    if (target_.gamedataFolder.isEmpty())
        return fail(error, QStringLiteral("Папка gamedata не указана; ничего не записано."));
    // Catalogues are passed around between users: an entry must not reach files elsewhere.
    if (!isInsideGamedata(target_.gamedataFolder, relativeFile))
        return fail(error, QStringLiteral("Файл %1 лежит вне папки gamedata; ничего не "
                                          "записано.")
                               .arg(cp1251::toUnicode(relativeFile)));
    return true;
}

bool ParameterWriter::writeParameter(const QByteArray &relativeFile, const QByteArray &section,
                                     const QByteArray &key, const QByteArray &valueText,
                                     QString *error) const
{
    if (!checkRequest(relativeFile, section, key, valueText, error))
        return false;

    const QByteArray gamePath = ParameterLookup::gameFilePath(target_.gamedataFolder, relativeFile);
    ensureBackup(gamePath);
    ProfileFile gameFile(gamePath);
    if (!gameFile.writeString(section, key, valueText, error))
        return false;

    if (target_.duplication)
        return duplicate(relativeFile, section, key, valueText, error);
    return true;
}

bool ParameterWriter::duplicate(const QByteArray &relativeFile, const QByteArray &section,
                                const QByteArray &key, const QByteArray &valueText,
                                QString *error) const
{
    // Bare names alone would land in whatever folder happens to be current.
    if (target_.duplicationFolder.isEmpty())
        return fail(error, QStringLiteral("Дублирование включено, но папка для дублирования "
                                          "не указана; значение записано только в файл "
                                          "игры."));

    // A folder typed into the settings by hand may lack its final separator.
    QByteArray folder = target_.duplicationFolder;
    if (!folder.endsWith('/') && !folder.endsWith('\\'))
        folder += '/';

    const QByteArray bareName =
        bareFileName(ParameterLookup::gameFilePath(target_.gamedataFolder, relativeFile));
    ProfileFile fileTable(folder + FileTableName);
    ProfileFile duplicateFile(folder + bareName);
    if (!duplicateFile.writeString(section, key, valueText, error))
        return false;
    return fileTable.writeString(FileTableSection, bareName, relativeFile, error);
}

bool ParameterWriter::writeTrade(const QByteArray &relativeFile, const QByteArray &section,
                                 const QByteArray &key, bool present, const QByteArray &valueText,
                                 QString *error) const
{
    // The value text of a delete is never written, so its line breaks do not matter.
    if (!checkRequest(relativeFile, section, key, present ? valueText : QByteArray(), error))
        return false;

    const QByteArray gamePath = ParameterLookup::gameFilePath(target_.gamedataFolder, relativeFile);
    ensureBackup(gamePath);
    ProfileFile gameFile(gamePath);
    if (present)
        return gameFile.writeString(section, key, valueText, error);
    // A delete that cannot change the file (read-only, missing folder) is reported like a failed
    // write: the user would otherwise believe the key gone.
    return gameFile.deleteKey(section, key, error);
}
