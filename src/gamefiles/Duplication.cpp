#include "gamefiles/Duplication.h"

#include "base/Fail.h"
#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "profile/IniDocument.h"
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

bool repeat(const WriteTarget &target, const QByteArray &relativeFile,
            const QList<LineChange> &changes, QString *why)
{
    if (!target.duplication || changes.isEmpty())
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
    // Each key's line becomes key, "=", its value text, as ProfileFile::writeString writes it:
    // a value the line holds already leaves the line as it is.
    std::vector<IniDocument::LineEdit> edits;
    edits.reserve(static_cast<std::size_t>(changes.size()));
    for (const LineChange &c : changes) {
        const QByteArray value = c.after ? c.after->mid(c.after->indexOf('=') + 1) : QByteArray();
        if (const QString problem = IniDocument::checkEntry(c.section, c.key, value);
            !problem.isEmpty())
            return fail(why, problem);
        edits.push_back({c.section,
                         c.key,
                         c.after ? std::optional(c.key + '=' + value) : std::nullopt,
                         {},
                         false,
                         {}});
    }
    const auto keepSameValue = [](IniDocument::LineEdit &e) {
        if (e.before && e.line &&
            e.before->mid(e.before->indexOf('=') + 1) == e.line->mid(e.line->indexOf('=') + 1))
            e.line = e.before;
        return true;
    };
    ProfileFile duplicateFile(folder + bareName);
    ProfileFile fileTable(folder + FileTableName);
    QString reason;
    const bool written = duplicateFile.edit(
        [&](IniDocument &document) {
            const QByteArray old = document.bytes();
            document.putLines(edits, keepSameValue);
            return document.bytes() != old;
        },
        &reason);
    if (!written || !fileTable.writeString(FileTableSection, bareName, relativeFile, &reason))
        return fail(why, reason);
    return true;
}

bool repeat(const WriteTarget &target, const QByteArray &relativeFile, const QByteArray &section,
            const QByteArray &key, const std::optional<QByteArray> &valueText, QString *why)
{
    LineChange change{relativeFile, section, key, {}, {}, {}, false, true};
    if (valueText)
        change.after = key + '=' + *valueText;
    return repeat(target, relativeFile, {change}, why);
}

} // namespace Duplication
