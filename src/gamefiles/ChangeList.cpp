#include "gamefiles/ChangeList.h"

#include <QFile>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

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

// A key line of a file: where its text starts and ends (before the line ending), where the text
// after its first "=" starts, its section's and its own name, and the hash of both folded.
struct KeyLine
{
    QByteArrayView section, key;
    qsizetype start = 0, end = 0, valueStart = 0;
    quint64 hash = 0;
};

constexpr quint64 HashStart = 1469598103934665603ULL;

quint64 foldedHash(quint64 h, QByteArrayView text)
{
    for (const char c : text) {
        h ^= cp1251::foldCase(static_cast<unsigned char>(c));
        h *= 1099511628211ULL;
    }
    return h;
}

// The hash of a key: its section's hash, then its folded name.
quint64 keyHash(quint64 sectionHash, QByteArrayView key)
{
    return foldedHash(sectionHash * 31 + 1, key);
}

quint64 keyHash(QByteArrayView section, QByteArrayView key)
{
    return keyHash(foldedHash(HashStart, section), key);
}

// Names are nearly always spelt alike: the byte comparison comes first.
bool sameName(QByteArrayView a, QByteArrayView b)
{
    return a == b || cp1251::equalsIgnoreCase(a, b);
}

// The key lines of a file, each (section, key) once, in an open-addressing index by their
// hashes. Building it costs about what parsing the file costs, so the change list stays cheap
// for files of thousands of keys.
class Scan
{
public:
    explicit Scan(const QByteArray &bytes);

    const QList<KeyLine> &keys() const { return keys_; }
    const KeyLine *find(QByteArrayView section, QByteArrayView key) const
    {
        return find(keyHash(section, key), section, key);
    }
    const KeyLine *find(const KeyLine &other) const
    {
        return find(other.hash, other.section, other.key);
    }

private:
    const KeyLine *find(quint64 hash, QByteArrayView section, QByteArrayView key) const
    {
        if (slots_.empty())
            return nullptr;
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const int slot = slots_[i];
            if (slot < 0)
                return nullptr;
            const KeyLine &k = keys_[slot];
            if (k.hash == hash && sameName(k.key, key) && sameName(k.section, section))
                return &k;
        }
    }
    bool insert(const KeyLine &line)
    {
        // At most half full, so every probe ends at an empty slot.
        if (2 * (keys_.size() + 1) > static_cast<qsizetype>(slots_.size()))
            grow();
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = line.hash & mask;; i = (i + 1) & mask) {
            int &slot = slots_[i];
            if (slot < 0) {
                slot = static_cast<int>(keys_.size());
                keys_.append(line);
                return true;
            }
            const KeyLine &k = keys_[slot];
            if (k.hash == line.hash && sameName(k.key, line.key) &&
                sameName(k.section, line.section))
                return false; // the first key of a name counts
        }
    }

    void grow()
    {
        slots_.assign(slots_.size() * 2, -1);
        const std::size_t mask = slots_.size() - 1;
        for (int n = 0; n < keys_.size(); ++n) {
            std::size_t i = keys_[n].hash & mask;
            while (slots_[i] >= 0)
                i = (i + 1) & mask;
            slots_[i] = n;
        }
    }

    QList<KeyLine> keys_;
    std::vector<int> slots_;
};

Scan::Scan(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    keys_.reserve(size / 24 + 8);
    slots_.assign(std::bit_ceil(static_cast<std::size_t>(size / 12 + 16)), -1);

    QSet<quint64> sectionsSeen;
    QByteArrayView section;
    quint64 sectionHash = foldedHash(HashStart, {});
    bool firstOfName = true;
    qsizetype p = 0;
    while (p < size) {
        // The line's end: the first LF or CR.
        const void *lf = std::memchr(data + p, '\n', size - p);
        qsizetype e = lf ? static_cast<const char *>(lf) - data : size;
        if (const void *cr = std::memchr(data + p, '\r', e - p))
            e = static_cast<const char *>(cr) - data;
        const QByteArrayView line(data + p, e - p);
        const QByteArrayView text = trimmed(line);
        // As in every read, a "[" without "]" opens no section; such a line may hold a key.
        const qsizetype close = text.startsWith('[') ? text.indexOf(']') : -1;
        if (close > 0) {
            section = trimmed(text.sliced(1, close - 1));
            sectionHash = foldedHash(HashStart, section);
            firstOfName = !sectionsSeen.contains(sectionHash);
            if (firstOfName)
                sectionsSeen.insert(sectionHash);
        } else if (firstOfName && !text.isEmpty() && !text.startsWith(';')) {
            const qsizetype eq = line.indexOf('=');
            if (eq >= 0) {
                KeyLine k{section, trimmed(line.first(eq)), p, e, p + eq + 1, 0};
                if (!k.key.isEmpty()) {
                    k.hash = keyHash(sectionHash, k.key);
                    insert(k);
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

// The duplicate file takes the key as the backup holds it, and the file table records the
// duplicate, as after an apply.
bool restoreDuplicate(const WriteTarget &target, const KeyChange &change, QString *error)
{
    if (!target.duplication)
        return true;
    const QString notDuplicated = QStringLiteral("Копия в папке дублирования не восстановлена: ");
    if (target.duplicationFolder.isEmpty())
        return fail(error, notDuplicated +
                               QStringLiteral("папка для дублирования не указана в настройках."));
    QByteArray folder = target.duplicationFolder;
    if (!folder.endsWith('/') && !folder.endsWith('\\'))
        folder += '/';
    const QByteArray bareName = bareFileName(change.file);
    ProfileFile duplicate(folder + bareName);
    ProfileFile fileTable(folder + ParameterWriter::FileTableName);
    QString reason;
    const bool ok =
        (change.kind == KeyChange::Kind::Added
             ? duplicate.deleteKey(change.section, change.key, &reason)
             : duplicate.writeString(change.section, change.key, valueTextOf(change.backupLine),
                                     &reason)) &&
        fileTable.writeString(ParameterWriter::FileTableSection, bareName, change.file, &reason);
    return ok || fail(error, notDuplicated + reason);
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

    const Scan old(backup);
    const Scan now(current);
    for (const KeyLine &k : now.keys()) {
        const KeyLine *b = old.find(k);
        const QByteArrayView line(current.constData() + k.start, k.end - k.start);
        if (b && line == QByteArrayView(backup.constData() + b->start, b->end - b->start))
            continue;
        KeyChange c;
        c.file = relativeFile;
        c.section = k.section.toByteArray();
        c.key = k.key.toByteArray();
        c.newValue = trimmed(QByteArrayView(current).sliced(k.valueStart, k.end - k.valueStart))
                         .toByteArray();
        c.currentLine = line.toByteArray();
        if (!b) {
            c.kind = KeyChange::Kind::Added;
        } else {
            c.backupLine = bytesOf(backup, b->start, b->end);
            c.kind = KeyChange::Kind::Changed;
            c.oldValue =
                trimmed(QByteArrayView(backup).sliced(b->valueStart, b->end - b->valueStart))
                    .toByteArray();
        }
        list.append(c);
    }
    for (const KeyLine &k : old.keys()) {
        if (now.find(k))
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
    const Scan now(bytes);
    const KeyLine *line = now.find(change.section, change.key);
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
            const Scan added(bytes);
            if (const KeyLine *k = added.find(change.section, change.key))
                bytes.replace(k->start, k->end - k->start, change.backupLine);
        }
    }
    QString reason;
    if (!saveFile(diskPath, bytes, &reason))
        return fail(error, fileText(path) + QLatin1Char('\n') + reason);
    return restoreDuplicate(target, change, error);
}

bool restoreFile(const WriteTarget &target, const QByteArray &relativeFile, QString *error,
                 const std::function<bool(const KeyChange &)> &duplicated)
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
        if ((!duplicated || duplicated(c)) && !restoreDuplicate(target, c, error))
            return false;
    return true;
}

} // namespace ChangeList
