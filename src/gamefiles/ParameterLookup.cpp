#include "gamefiles/ParameterLookup.h"

#include "gamefiles/GamePath.h"
#include "gamefiles/SectionResolver.h"
#include "gamefiles/ValueDivision.h"
#include "profile/ProfileCache.h"
#include "profile/ProfileFile.h"
#include "textcodec/Cp1251.h"

#include <QSet>

#include <atomic>
#include <memory>
#include <mutex>

namespace ParameterLookup {

namespace {

std::atomic<bool> inheritanceOn{true};

// The resolver of the walk in progress, and the problems met so far.
struct Resolvers
{
    std::mutex mutex;
    std::unique_ptr<SectionResolver> resolver;
    QByteArray folder;
    quint64 walk = 0;
    QStringList problems;
    QSet<QString> reported;

    void keep(const SectionResolver &done)
    {
        for (const QString &problem : done.problems()) {
            if (!reported.contains(problem)) {
                reported.insert(problem);
                problems.append(problem);
            }
        }
    }
};

Resolvers &resolvers()
{
    static Resolvers instance;
    return instance;
}

} // namespace

void setInheritance(bool on)
{
    inheritanceOn = on;
}

bool inheritance()
{
    return inheritanceOn;
}

Effective lookUpEffective(const QByteArray &gamedataFolder, const QByteArray &relativeFile,
                          const QByteArray &section, const QByteArray &key,
                          const QByteArray &defaultValue)
{
    Effective result;
    result.value = lookUp(gamedataFolder, relativeFile, section, key, defaultValue);
    if (result.value != defaultValue || !inheritanceOn || gamedataFolder.isEmpty() ||
        !isInsideGamedata(gamedataFolder, relativeFile))
        return result;
    std::optional<SectionResolver::Found> found;
    Resolvers &shared = resolvers();
    const quint64 walk = ProfileCache::walkInProgress();
    std::lock_guard lock(shared.mutex);
    if (walk == 0) {
        SectionResolver once(gamedataFolder);
        found = once.find(relativeFile, section, key);
        shared.keep(once);
    } else {
        if (!shared.resolver || shared.walk != walk || shared.folder != gamedataFolder) {
            shared.resolver = std::make_unique<SectionResolver>(gamedataFolder);
            shared.walk = walk;
            shared.folder = gamedataFolder;
        }
        found = shared.resolver->find(relativeFile, section, key);
        shared.keep(*shared.resolver);
    }
    if (found && found->inherited) {
        result.value = found->value;
        result.inherited = true;
        result.originSection = found->section;
        result.originFile = found->file;
    }
    return result;
}

QByteArray originText(const Effective &value)
{
    if (!value.inherited)
        return {};
    return cp1251::encode(QStringLiteral("унаследовано из [")) + value.originSection + "], " +
           value.originFile;
}

QStringList takeResolverProblems()
{
    Resolvers &shared = resolvers();
    std::lock_guard lock(shared.mutex);
    return std::exchange(shared.problems, {});
}

QString resolverProblemsText(const QStringList &problems)
{
    if (problems.isEmpty())
        return {};
    QString text = QStringLiteral("Не все включения (#include) и родители секций удалось "
                                  "прочитать; значения через них не наследуются:\n") +
                   problems.mid(0, ShownResolverProblems).join(QLatin1Char('\n'));
    const qsizetype rest = problems.size() - ShownResolverProblems;
    if (rest > 0)
        text += QStringLiteral("\nИ ещё таких ошибок: %1.").arg(rest);
    return text;
}

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

RowValue rowValueFor(bool trade, bool hasFull, const Effective &value)
{
    if (trade || !value.inherited)
        return rowValueFor(trade, hasFull,
                           value.inherited ? QByteArray(AbsentMarker) : value.value);
    RowValue row = rowValueFor(trade, hasFull, value.value);
    row.inherited = true;
    row.origin = originText(value);
    return row;
}

RowValue rowValueOf(const QByteArray &gamedataFolder, const QByteArray &relativeFile,
                    const QByteArray &section, const QByteArray &key, bool trade, bool hasFull)
{
    if (trade)
        return rowValueFor(true, false, lookUp(gamedataFolder, relativeFile, section, key));
    return rowValueFor(false, hasFull, lookUpEffective(gamedataFolder, relativeFile, section, key));
}

} // namespace ParameterLookup
