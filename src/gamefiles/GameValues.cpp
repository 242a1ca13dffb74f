#include "gamefiles/GameValues.h"

#include "gamefiles/GamePath.h"

GameValues::GameValues(QByteArray gamedataFolder, bool inheritance)
    : gamedataFolder_(std::move(gamedataFolder)), inheritance_(inheritance),
      resolver_(std::make_unique<SectionResolver>(gamedataFolder_))
{
}

GameValues::~GameValues() = default;
GameValues::GameValues(GameValues &&) noexcept = default;
GameValues &GameValues::operator=(GameValues &&) noexcept = default;

GameValues::Value GameValues::read(const QByteArray &relativeFile, const QByteArray &section,
                                   const QByteArray &key, bool parents)
{
    Value result;
    result.place = SectionResolver::Place{relativeFile, section, false};
    if (gamedataFolder_.isEmpty() || !isInsideGamedata(gamedataFolder_, relativeFile))
        return result;
    const std::optional<SectionResolver::Found> found =
        resolver_->find(relativeFile, section, key, parents);
    if (!found) {
        result.place = resolver_->placeOf(relativeFile, section);
        return result;
    }
    result.value = found->value;
    result.line = found->line;
    result.inherited = found->inherited;
    result.originSection = found->section;
    result.originFile = found->file;
    // A key of the section itself stands where the section stands: no second lookup.
    result.place = found->inherited ? resolver_->placeOf(relativeFile, section)
                                    : SectionResolver::Place{found->file, found->section, true};
    return result;
}

GameValues::Value GameValues::valueOf(const QByteArray &relativeFile, const QByteArray &section,
                                      const QByteArray &key)
{
    return read(relativeFile, section, key, inheritance_);
}

GameValues::Value GameValues::ownValueOf(const QByteArray &relativeFile, const QByteArray &section,
                                         const QByteArray &key)
{
    return read(relativeFile, section, key, false);
}

QByteArrayList GameValues::filesOf(const QByteArray &relativeFile)
{
    if (gamedataFolder_.isEmpty() || !isInsideGamedata(gamedataFolder_, relativeFile))
        return {relativeFile};
    return resolver_->filesOf(relativeFile);
}

QStringList GameValues::takeProblems()
{
    const QStringList &all = resolver_->problems();
    const QStringList fresh = all.mid(problemsTaken_);
    problemsTaken_ = all.size();
    return fresh;
}
