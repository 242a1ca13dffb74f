#include "gamefiles/ChangeList.h"

#include <QFile>
#include <QHash>
#include <QSet>

#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "profile/IniDocument.h"
#include "profile/ProfileFile.h"
#include "profile/SafeFile.h"
#include "textcodec/Cp1251.h"

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView v)
{
    qsizetype b = 0, e = v.size();
    while (b < e && isBlank(v[b]))
        ++b;
    while (e > b && isBlank(v[e - 1]))
        --e;
    return v.sliced(b, e - b);
}

// A key line of a file: where its text starts and ends (before the line ending) and where the
// text after its first "=" starts.
struct KeyLine
{
    QByteArrayView section, key;
    qsizetype start = 0, end = 0, valueStart = 0;
};

// The key lines of a file, each (section, key) once, and their index by folded names.
struct Scan
{
    QList<KeyLine> keys;
    QHash<QByteArray, int> index;

    const KeyLine *find(const QByteArray &id) const
    {
        const auto it = index.constFind(id);
        return it == index.cend() ? nullptr : &keys[*it];
    }
};

QByteArray idOf(QByteArrayView section, QByteArrayView key)
{
    QByteArray id = cp1251::foldCase(section);
    id += '\0';
    id += cp1251::foldCase(key);
    return id;
}

Scan scan(const QByteArray &bytes)
{
    Scan s;
    QSet<QByteArray> sectionsSeen;
    QByteArrayView section;
    bool firstOfName = true;
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype p = 0;
    while (p < size) {
        qsizetype e = p;
        while (e < size && data[e] != '\n' && data[e] != '\r')
            ++e;
        const QByteArrayView line(data + p, e - p);
        const QByteArrayView text = trimmed(line);
        if (text.startsWith('[')) {
            const qsizetype close = text.indexOf(']');
            section = trimmed(close < 0 ? text.sliced(1) : text.sliced(1, close - 1));
            firstOfName = !sectionsSeen.contains(cp1251::foldCase(section));
            sectionsSeen.insert(cp1251::foldCase(section));
        } else if (firstOfName && !text.isEmpty() && !text.startsWith(';')) {
            const qsizetype eq = line.indexOf('=');
            if (eq >= 0) {
                KeyLine k{section, trimmed(line.first(eq)), p, e, p + eq + 1};
                if (!k.key.isEmpty()) {
                    const QByteArray id = idOf(k.section, k.key);
                    if (!s.index.contains(id)) {
                        s.index.insert(id, static_cast<int>(s.keys.size()));
                        s.keys.append(k);
                    }
                }
            }
        }
        // Past the line ending: CRLF, LF or CR.
        p = e;
        if (p < size && data[p] == '\r')
            ++p;
        if (p < size && data[p] == '\n' && (p == e || data[p - 1] == '\r'))
            ++p;
    }
    return s;
}

QByteArray bytesOf(const QByteArray &data, qsizetype start, qsizetype end)
{
    return data.mid(start, end - start);
}

QByteArray gamePath(const QByteArray &gamedataFolder, const QByteArray &relativeFile)
{
    return ParameterLookup::gameFilePath(gamedataFolder, relativeFile);
}

bool readFile(const QString &diskPath, QByteArray *bytes)
{
    return readRegularFile(QFile::encodeName(diskPath), bytes) == FileRead::Read;
}

QString fileText(const QByteArray &path)
{
    return cp1251::toUnicode(path);
}

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// The text after the first "=" of a whole key line.
QByteArray valueTextOf(const QByteArray &line)
{
    return line.mid(line.indexOf('=') + 1);
}

bool restoreDuplicate(const WriteTarget &target, const KeyChange &change, QString *error)
{
    if (!target.duplication || target.duplicationFolder.isEmpty())
        return true;
    ProfileFile duplicate(target.duplicationFolder + bareFileName(change.file));
    QString reason;
    const bool ok = change.kind == KeyChange::Kind::Added
                        ? duplicate.deleteKey(change.section, change.key, &reason)
                        : duplicate.writeString(change.section, change.key,
                                                valueTextOf(change.backupLine), &reason);
    return ok ||
           fail(error, QStringLiteral("Копия не восстановлена в файле дублирования.\n") + reason);
}

bool insideGamedata(const WriteTarget &target, const QByteArray &file, QString *error)
{
    if (!target.gamedataFolder.isEmpty() && isInsideGamedata(target.gamedataFolder, file))
        return true;
    return fail(error, fileText(file) + QStringLiteral("\nФайл лежит вне папки gamedata"));
}

} // namespace

namespace ChangeList {

QList<KeyChange> changesOf(const QByteArray &gamedataFolder, const QByteArray &relativeFile,
                           bool *hasBackup)
{
    QList<KeyChange> list;
    if (hasBackup)
        *hasBackup = false;
    if (gamedataFolder.isEmpty() || !isInsideGamedata(gamedataFolder, relativeFile))
        return list;
    const QByteArray path = gamePath(gamedataFolder, relativeFile);
    QByteArray backup, current;
    if (!readFile(ProfileFile(path + ".bak").diskPath(), &backup))
        return list;
    if (hasBackup)
        *hasBackup = true;
    readFile(ProfileFile(path).diskPath(), &current); // a deleted game file lost every key
    if (backup == current)
        return list;

    const Scan old = scan(backup);
    const Scan now = scan(current);
    for (const KeyLine &k : now.keys) {
        const KeyLine *b = old.find(idOf(k.section, k.key));
        const QByteArray line = bytesOf(current, k.start, k.end);
        KeyChange c;
        c.file = relativeFile;
        c.section = k.section.toByteArray();
        c.key = k.key.toByteArray();
        c.newValue = trimmed(QByteArrayView(current).sliced(k.valueStart, k.end - k.valueStart))
                         .toByteArray();
        c.currentLine = line;
        if (!b) {
            c.kind = KeyChange::Kind::Added;
        } else {
            c.backupLine = bytesOf(backup, b->start, b->end);
            if (c.backupLine == line)
                continue;
            c.kind = KeyChange::Kind::Changed;
            c.oldValue =
                trimmed(QByteArrayView(backup).sliced(b->valueStart, b->end - b->valueStart))
                    .toByteArray();
        }
        list.append(c);
    }
    for (const KeyLine &k : old.keys) {
        if (now.find(idOf(k.section, k.key)))
            continue;
        KeyChange c;
        c.kind = KeyChange::Kind::Removed;
        c.file = relativeFile;
        c.section = k.section.toByteArray();
        c.key = k.key.toByteArray();
        c.oldValue = trimmed(QByteArrayView(backup).sliced(k.valueStart, k.end - k.valueStart))
                         .toByteArray();
        c.backupLine = bytesOf(backup, k.start, k.end);
        list.append(c);
    }
    return list;
}

QList<KeyChange> changes(const QByteArray &gamedataFolder, const QByteArrayList &relativeFiles)
{
    QList<KeyChange> list;
    QSet<QByteArray> seen;
    for (const QByteArray &file : relativeFiles) {
        QByteArray id = cp1251::foldCase(file);
        id.replace('\\', '/');
        if (seen.contains(id))
            continue;
        seen.insert(id);
        list += changesOf(gamedataFolder, file);
    }
    return list;
}

bool restoreKey(const WriteTarget &target, const KeyChange &change, QString *error)
{
    if (!insideGamedata(target, change.file, error))
        return false;
    const QByteArray path = gamePath(target.gamedataFolder, change.file);
    const QString diskPath = ProfileFile(path).diskPath();
    QByteArray bytes;
    if (!readFile(diskPath, &bytes) && change.kind != KeyChange::Kind::Removed)
        return fail(error, fileText(path) + QStringLiteral("\nФайл не читается"));

    const QString changedMeanwhile =
        fileText(path) + QStringLiteral("\nПараметр %1 в разделе [%2] изменился после "
                                        "составления списка; обновите список")
                             .arg(cp1251::toUnicode(change.key), cp1251::toUnicode(change.section));
    const QByteArray id = idOf(change.section, change.key);
    const Scan now = scan(bytes);
    const KeyLine *line = now.find(id);
    if (change.kind == KeyChange::Kind::Removed
            ? line != nullptr
            : !line || bytesOf(bytes, line->start, line->end) != change.currentLine)
        return fail(error, changedMeanwhile);

    if (change.kind == KeyChange::Kind::Changed) {
        bytes.replace(line->start, line->end - line->start, change.backupLine);
    } else {
        IniDocument doc = IniDocument::parse(bytes);
        if (change.kind == KeyChange::Kind::Added) {
            doc.removeKey(change.section, change.key);
        } else {
            // The key comes back through the ordinary line-level write, then takes the backup's
            // spelling of its line.
            const QByteArray value = valueTextOf(change.backupLine);
            const QString why = IniDocument::checkEntry(change.section, change.key, value);
            if (!why.isEmpty())
                return fail(error, fileText(path) + QLatin1Char('\n') + why);
            doc.setValue(change.section, change.key, value);
        }
        bytes = doc.bytes();
        if (change.kind == KeyChange::Kind::Removed) {
            const Scan added = scan(bytes);
            if (const KeyLine *k = added.find(id))
                bytes.replace(k->start, k->end - k->start, change.backupLine);
        }
    }
    QString reason;
    if (!saveFile(diskPath, bytes, &reason))
        return fail(error, fileText(path) + QLatin1Char('\n') + reason);
    return restoreDuplicate(target, change, error);
}

bool restoreFile(const WriteTarget &target, const QByteArray &relativeFile, QString *error)
{
    if (!insideGamedata(target, relativeFile, error))
        return false;
    const QByteArray path = gamePath(target.gamedataFolder, relativeFile);
    bool hasBackup = false;
    const QList<KeyChange> keys = changesOf(target.gamedataFolder, relativeFile, &hasBackup);
    if (!hasBackup)
        return fail(error, fileText(path) + QStringLiteral("\nНет резервной копии (.bak)"));
    QString reason;
    if (!saveCopy(ProfileFile(path + ".bak").diskPath(), ProfileFile(path).diskPath(), &reason))
        return fail(error, fileText(path) + QLatin1Char('\n') + reason);
    for (const KeyChange &c : keys)
        if (!restoreDuplicate(target, c, error))
            return false;
    return true;
}

} // namespace ChangeList
