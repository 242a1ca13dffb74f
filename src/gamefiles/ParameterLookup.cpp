#include "gamefiles/ParameterLookup.h"

#include "gamefiles/GamePath.h"
#include "gamefiles/ValueDivision.h"
#include "profile/ProfileFile.h"

namespace ParameterLookup {

QByteArray gameFilePath(const QByteArray &gamedataFolder, const QByteArray &relativeFile)
{
    return gamedataFolder + relativeFile;
}

QByteArray lookUp(const QByteArray &gamedataFolder, const QByteArray &relativeFile,
                  const QByteArray &section, const QByteArray &key, const QByteArray &defaultValue)
{
    if (gamedataFolder.isEmpty() || !isInsideGamedata(gamedataFolder, relativeFile))
        return defaultValue;
    const ProfileFile file(gameFilePath(gamedataFolder, relativeFile));
    return file.readString(section, key, defaultValue);
}

bool isPresent(const QByteArray &text, const QByteArray &marker)
{
    return text != marker;
}

RowValue rowValueFor(bool trade, bool hasFull, const QByteArray &asRead)
{
    RowValue row;
    const bool present = isPresent(asRead);
    row.present = present;
    if (trade) {
        row.checked = present;
        row.enabled = present;
        if (present)
            row.text = asRead;
        return row;
    }
    if (hasFull) {
        // The whole value; a missing one shows the marker itself.
        row.text = asRead;
        return row;
    }
    // A missing value gives an empty box and no comment part: the apply writes the box's
    // text followed by the comment part, and the marker must never end up in a game file.
    if (!present)
        return row;
    const ValueDivision parts = ValueDivision::divide(asRead);
    row.text = parts.valuePart;
    row.commentPart = parts.commentPart;
    return row;
}

} // namespace ParameterLookup
