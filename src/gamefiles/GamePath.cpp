#include "gamefiles/GamePath.h"

#include "profile/DiskPath.h"
#include "profile/ProfileCache.h"
#include "textcodec/Cp1251.h"

#include <QHash>

namespace {

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The length of the gamedata folder's part of gamedataFolder + relativeFile: a folder kept
// without its trailing separator takes the first name of the relative file with it.
qsizetype rootLength(const QByteArray &gamedataFolder, const QByteArray &relativeFile)
{
    qsizetype length = gamedataFolder.size();
    if (!gamedataFolder.isEmpty() && !isSeparator(gamedataFolder.back())) {
        for (const char c : relativeFile) {
            if (isSeparator(c))
                break;
            ++length;
        }
    }
    return length;
}

bool staysInsideOnDisk(const QByteArray &gamedataFolder, const QByteArray &relativeFile)
{
    const QByteArray path = gamedataFolder + relativeFile;
    const QString root =
        realDiskPath(resolveDiskPath(path.left(rootLength(gamedataFolder, relativeFile))));
    const QString real = realDiskPath(resolveDiskPath(path));
    if (real == root)
        return true;
    return real.startsWith(root) &&
           (root.endsWith(QLatin1Char('/')) || real.at(root.size()) == QLatin1Char('/'));
}

} // namespace

bool isInsideGamedata(const QByteArray &gamedataFolder, const QByteArray &relativeFile)
{
    if (!isInsideGamedataByText(gamedataFolder, relativeFile))
        return false;
    QHash<QByteArray, bool> *verdicts = ProfileCache::pathVerdicts();
    if (!verdicts)
        return staysInsideOnDisk(gamedataFolder, relativeFile);
    const QByteArray key = gamedataFolder + '\n' + relativeFile;
    const auto it = verdicts->constFind(key);
    if (it != verdicts->constEnd())
        return it.value();
    const bool inside = staysInsideOnDisk(gamedataFolder, relativeFile);
    verdicts->insert(key, inside);
    return inside;
}

bool isInsideGamedataByText(const QByteArray &gamedataFolder, const QByteArray &relativeFile)
{
    if (relativeFile.isEmpty())
        return true;
    if (isSeparator(relativeFile.front()))
        return false;
    if (relativeFile.size() >= 2 && isAsciiLetter(relativeFile.at(0)) && relativeFile.at(1) == ':')
        return false;

    // A gamedata folder kept without its trailing separator glues the first component of the
    // relative file to its own last name (".../gamedata" + "config\x" is ".../gamedataconfig/x").
    // The glued name is where the paths lead then, so no step may climb above it: else
    // "x\..\name" would reach every file beside the gamedata folder.
    qsizetype from = 0;
    if (!gamedataFolder.isEmpty() && !isSeparator(gamedataFolder.back())) {
        while (from < relativeFile.size() && !isSeparator(relativeFile.at(from)))
            ++from;
    }
    int depth = 0;

    qsizetype start = from;
    for (qsizetype i = from; i <= relativeFile.size(); ++i) {
        if (i < relativeFile.size() && !isSeparator(relativeFile.at(i)))
            continue;
        const QByteArrayView step(relativeFile.constData() + start, i - start);
        start = i + 1;
        if (step.isEmpty() || step == ".")
            continue;
        if (step == "..") {
            if (--depth < 0)
                return false;
        } else {
            ++depth;
        }
    }
    return true;
}

QByteArray bareFileName(const QByteArray &path)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const char c = path.at(i);
        if (isSeparator(c) || c == ':')
            return path.mid(i + 1);
    }
    return path;
}

QByteArray sameFileKey(const QByteArray &relativeFile)
{
    QByteArray key = cp1251::foldCase(relativeFile);
    key.replace('\\', '/');
    return key;
}
