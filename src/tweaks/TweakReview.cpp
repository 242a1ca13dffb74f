#include "tweaks/TweakReview.h"

#include <QFile>
#include <QHash>

#include "base/Bytes.h"
#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "profile/DiskPath.h"
#include "profile/FileSystem.h"
#include "profile/IniDocument.h"
#include "profile/ProfileCache.h"
#include "profile/ProfileFile.h"
#include "profile/SafeFile.h"
#include "textcodec/Cp1251.h"

namespace {

using State = TweakReviewLine::State;

// A section and key as reads match them: blanks trimmed, letter case folded.
QByteArray keyName(const QByteArray &section, const QByteArray &key)
{
    return cp1251::foldCase(base::trimmed(section)) + '\n' + cp1251::foldCase(base::trimmed(key));
}

// The lines of one game file held against its one parse.
void reviewFile(const IniDocument &document, bool fileExists, QList<TweakReviewLine *> &lines)
{
    // Keys named twice in the tweak: the second would meet the first one's write.
    QHash<QByteArray, int> named;
    // How often each key is written in the section a read takes, counted once for the file when
    // a line removes a key: removing the first line of a key written twice would leave the second
    // one read, and removing every line would lose lines no undo could put back.
    QHash<QByteArray, int> written;
    bool counted = false;
    for (TweakReviewLine *r : lines) {
        const LineChange &c = r->change;
        const QByteArray name = keyName(c.section, c.key);
        if (const auto first = named.constFind(name); first != named.cend()) {
            r->state = State::Blocked;
            r->reason = QStringLiteral("ключ уже назван в строке %1 твика").arg(*first);
            continue;
        }
        named.insert(name, r->number);
        if (!fileExists) {
            r->state = c.after ? State::Missing : State::Equal;
            continue;
        }
        const std::optional<std::size_t> at = document.keyLineOf(c.section, c.key);
        if (at)
            r->change.before = document.keyLineAt(*at).line.toByteArray();
        if (!c.after) {
            r->state = at ? State::Removal : State::Equal;
            if (!at)
                continue;
            if (!counted) {
                for (std::size_t i = 0; i < document.keyLineCount(); ++i) {
                    const IniDocument::KeyLine line = document.keyLineAt(i);
                    ++written[QByteArray::number(quintptr(line.section.data())) + '\n' +
                              cp1251::foldCase(line.key())];
                }
                counted = true;
            }
            const IniDocument::KeyLine line = document.keyLineAt(*at);
            if (written.value(QByteArray::number(quintptr(line.section.data())) + '\n' +
                              cp1251::foldCase(line.key())) > 1) {
                r->state = State::Blocked;
                r->reason = QStringLiteral("ключ записан в разделе несколько раз");
            }
        } else if (!at) {
            r->state = State::Missing;
        } else {
            r->state = *r->change.before == *c.after ? State::Equal : State::Differs;
        }
    }
}

} // namespace

QString TweakReviewLine::stateText() const
{
    switch (state) {
    case State::Equal:
        return QStringLiteral("уже совпадает");
    case State::Differs:
        return QStringLiteral("отличается");
    case State::Missing:
        return QStringLiteral("нет в файле, будет добавлен") +
               (reason.isEmpty() ? QString() : QStringLiteral(" (") + reason + QLatin1Char(')'));
    case State::Removal:
        return QStringLiteral("будет удалён");
    case State::Blocked:
        break;
    }
    return QStringLiteral("не применяется: ") + reason;
}

QString TweakReviewLine::text() const
{
    QString out = QStringLiteral("%1: %2 [%3] %4: ")
                      .arg(number)
                      .arg(cp1251::toUnicode(change.file), cp1251::toUnicode(change.section),
                           cp1251::toUnicode(change.key));
    out += stateText();
    if (state == State::Differs || state == State::Removal)
        out += QStringLiteral(": ") + cp1251::toUnicode(change.before.value_or(QByteArray()));
    if (state == State::Differs)
        out += QStringLiteral(" → ") + cp1251::toUnicode(change.after.value_or(QByteArray()));
    if (state == State::Missing)
        out += QStringLiteral(": ") + cp1251::toUnicode(change.after.value_or(QByteArray()));
    return out;
}

namespace Tweak {

QString whyNotWritable(const QByteArray &gamedataFolder, const QByteArray &file, bool allowCreate,
                       QStringList *folders)
{
    if (gamedataFolder.isEmpty() || !isInsideGamedata(gamedataFolder, file))
        return QStringLiteral("файл вне папки gamedata");
    const QString diskPath =
        ProfileFile(ParameterLookup::gameFilePath(gamedataFolder, file)).diskPath();
    const QString target = resolveSymlinks(diskPath);
    const fsys::Kind kind = fsys::entryAt(target).kind;
    if (kind == fsys::Kind::File) {
        if (!fsys::mayRead(target))
            return QStringLiteral("файл не читается");
        return whyNotSavable(diskPath);
    }
    if (kind != fsys::Kind::None || entryExists(diskPath))
        return QStringLiteral("на месте файла папка или иной объект");
    if (!allowCreate)
        return QStringLiteral("файла нет, а создавать его не разрешено");
    // The folders that are missing, up to the first one that is there.
    QStringList missing;
    QString folder = folderOf(target);
    while (!folder.isEmpty() && fsys::entryAt(folder).kind == fsys::Kind::None) {
        missing.prepend(folder);
        const QString up = folderOf(folder);
        if (up == folder) // a root that is not there
            break;
        folder = up;
    }
    if (missing.isEmpty())
        return whyNotSavable(diskPath);
    if (fsys::entryAt(folder).kind != fsys::Kind::Folder)
        return QStringLiteral("папку %1 не создать: на пути нет папки").arg(shownPath(missing[0]));
    if (!fsys::mayWrite(folder))
        return QStringLiteral("папку %1 не создать: папка %2 только для чтения")
            .arg(shownPath(missing[0]), shownPath(folder));
    // A name the file system spells in bytes of no UTF-8 is found, never made.
    if (QFile::decodeName(QFile::encodeName(missing.last())) != missing.last())
        return QStringLiteral("папку %1 не создать").arg(shownPath(missing[0]));
    if (folders)
        *folders = missing;
    return {};
}

QList<TweakReviewLine> review(const QByteArray &gamedataFolder, const QList<TweakLine> &lines,
                              bool allowCreate)
{
    QList<TweakReviewLine> result;
    result.reserve(lines.size());
    // The lines of each game file, the files in the order they first appear.
    QList<QByteArray> files;
    QHash<QByteArray, QList<TweakReviewLine *>> byFile;
    for (const TweakLine &line : lines)
        result.append(TweakReviewLine{line.number, line.change, State::Blocked, line.problem});
    for (TweakReviewLine &r : result) {
        if (!r.reason.isEmpty())
            continue;
        const QByteArray id = sameFileKey(r.change.file);
        if (!byFile.contains(id))
            files.append(id);
        byFile[id].append(&r);
    }
    for (const QByteArray &id : files) {
        QList<TweakReviewLine *> &list = byFile[id];
        const QByteArray &file = list.first()->change.file;
        QStringList folders;
        const QString problem = whyNotWritable(gamedataFolder, file, allowCreate, &folders);
        if (gamedataFolder.isEmpty() || !isInsideGamedata(gamedataFolder, file)) {
            for (TweakReviewLine *r : list)
                r->reason = problem;
            continue;
        }
        const QByteArray gamePath = ParameterLookup::gameFilePath(gamedataFolder, file);
        const bool exists = fsys::entryAt(resolveSymlinks(ProfileFile(gamePath).diskPath())).kind ==
                            fsys::Kind::File;
        ProfileCache::instance().withDocument(
            gamePath, [&](const IniDocument &document) { reviewFile(document, exists, list); });
        for (TweakReviewLine *r : list) {
            if (!r->writes())
                continue;
            if (!problem.isEmpty()) {
                r->state = State::Blocked;
                r->reason = problem;
            } else if (!exists) {
                r->reason = folders.isEmpty() ? QStringLiteral("файл будет создан")
                                              : QStringLiteral("файл и папка %1 будут созданы")
                                                    .arg(shownPath(folders.first()));
            }
        }
    }
    return result;
}

} // namespace Tweak
