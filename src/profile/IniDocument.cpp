#include "profile/IniDocument.h"

#include "base/Bytes.h"
#include "textcodec/Cp1251.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace {

using base::isBlank;
using base::trimmed;

// A value without a matching pair of outer quotes.
QByteArrayView unquoted(QByteArrayView v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.sliced(1, v.size() - 2);
    return v;
}

// A hash of the folded bytes, eight at a time: one multiplication per eight bytes, so hashing
// every name of a file while it is parsed costs little. slotHash mixes the result.
std::uint64_t foldedHash(QByteArrayView v)
{
    const auto *p = reinterpret_cast<const unsigned char *>(v.data());
    std::size_t n = static_cast<std::size_t>(v.size());
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    const auto mix = [&h](std::uint64_t word) {
        h = (h ^ word) * 0xD6E8FEB86659FD93ull;
        h ^= h >> 32;
    };
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word = 0;
        for (int i = 0; i < 8; ++i)
            word |= std::uint64_t{cp1251::foldCase(p[i])} << (8 * i);
        mix(word);
    }
    if (n > 0) {
        std::uint64_t word = 0;
        for (std::size_t i = 0; i < n; ++i)
            word |= std::uint64_t{cp1251::foldCase(p[i])} << (8 * i);
        mix(word);
    }
    return h;
}

std::uint32_t slotHash(std::uint64_t h)
{
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return static_cast<std::uint32_t>(h);
}

// A key's slot depends on the names only, not on the section's position, so a lookup can start
// fetching the key's slot before it has found the section.
std::uint32_t keyHash(std::uint64_t sectionHash, std::uint64_t keyHash)
{
    return slotHash(keyHash + sectionHash * 0x9E3779B97F4A7C15ull);
}

// Tables are filled to two thirds at most; a slot is chosen by the hash's high bits, so a table
// of any size serves.
std::size_t tableSize(std::size_t entries)
{
    return entries == 0 ? 0 : entries + entries / 2 + 1;
}

std::size_t slotOf(std::uint32_t hash, std::size_t size)
{
    return static_cast<std::size_t>((std::uint64_t{hash} * size) >> 32);
}

bool equalFolded(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (cp1251::foldCase(static_cast<unsigned char>(a[i])) !=
            cp1251::foldCase(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool hasLineBreak(QByteArrayView v)
{
    return v.contains('\n') || v.contains('\r');
}

// Working memory of the parser, lent per parse and kept between parses: the parsed file then gets
// arrays of exactly its size, allocated once. A shared pool rather than memory per thread: the
// MinGW runtime frees a thread's thread_local storage before it runs the destructors of what
// lies there, so a thread that ended after a parse would crash the program on Windows.
template <typename T> class Scratch
{
public:
    Scratch()
    {
        Pool &pool = poolOf();
        std::lock_guard lock(pool.mutex);
        if (!pool.free.empty()) {
            v = std::move(pool.free.back());
            pool.free.pop_back();
        }
        v.clear();
    }
    ~Scratch()
    {
        if (v.capacity() * sizeof(T) > (std::size_t{1} << 22))
            return; // a large file's arrays are not kept
        Pool &pool = poolOf();
        std::lock_guard lock(pool.mutex);
        pool.free.push_back(std::move(v));
    }
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;

    std::vector<T> v;

private:
    struct Pool
    {
        std::mutex mutex;
        std::vector<std::vector<T>> free; // one per parse that ran at once
    };
    static Pool &poolOf()
    {
        static Pool pool;
        return pool;
    }
};

// A UTF-8 byte-order mark at the start of the file (editors write one) is no part of the first
// line: it is skipped when reading and kept in front of everything when writing.
qsizetype markLength(const QByteArray &bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
}

// Whether a line (without its ending) reads as a key line: "=" after the name, neither a header
// nor a comment.
bool readsAsKeyLine(QByteArrayView line)
{
    qsizetype p = 0;
    while (p < line.size() && isBlank(line[p]))
        ++p;
    if (p == line.size() || line[p] == ';')
        return false;
    const qsizetype eq = line.indexOf('=', p);
    if (eq < 0)
        return false;
    // "[" opens a header when a "]" follows anywhere on the line.
    return line[p] != '[' || line.indexOf(']', p + 1) < 0;
}

// A key line as the parser found it.
struct ParsedKey
{
    std::uint32_t line;
    std::uint32_t length;
    std::uint32_t section;
    std::uint64_t nameHash;
};

} // namespace

// The parse of no text (one section, the one before any header, holding nothing), shared by
// every document made without a parse and by those too large to parse. It is never edited (an
// edit of a document that shares its index makes its own), and no key is ever listed into it
// (forEachKeyLine reads no line of a text too large), so its keys stay empty whichever document
// asks for them first.
const std::shared_ptr<IniDocument::Index> &IniDocument::emptyIndex()
{
    static const std::shared_ptr<Index> empty = [] {
        auto index = std::make_shared<Index>();
        index->sections.push_back(Section{None, 0, 0, 0});
        return index;
    }();
    return empty;
}

IniDocument::Index::Index(const Index &other)
    : sections(other.sections), implicitSection(other.implicitSection), includes(other.includes)
{
    if (const Keys *built = other.builtKeys.load(std::memory_order_acquire)) {
        keys = std::make_unique<Keys>(*built);
        builtKeys.store(keys.get(), std::memory_order_release);
    }
    lookups.store(other.lookups.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

// Only the lines that start with "[" or "#" (after blanks) can be headers or include lines: the
// parse searches for those two bytes and looks at no other line.
IniDocument IniDocument::parse(const QByteArray &bytes)
{
    IniDocument d;
    d.bytes_ = bytes;
    if (bytes.size() > MaxSize)
        return d;
    auto index = std::make_shared<Index>();
    const char *data = bytes.constData();
    const qsizetype n = bytes.size();
    const qsizetype first = markLength(bytes);
    Scratch<Section> sectionsMemory;
    std::vector<Section> &sections = sectionsMemory.v;
    Scratch<std::uint32_t> includesMemory;
    std::vector<std::uint32_t> &includes = includesMemory.v;
    sections.clear();
    includes.clear();
    sections.push_back(Section{None, static_cast<std::uint32_t>(first), 0, 0});
    const auto next = [&](char c, qsizetype from) {
        const void *at =
            from < n ? std::memchr(data + from, c, static_cast<std::size_t>(n - from)) : nullptr;
        return at ? static_cast<const char *>(at) - data : n;
    };
    qsizetype bracket = next('[', first);
    qsizetype hash = next('#', first);
    while (bracket < n || hash < n) {
        const bool header = bracket < hash;
        const qsizetype at = header ? bracket : hash;
        if (header)
            bracket = next('[', at + 1);
        else
            hash = next('#', at + 1);
        // The byte must open its line: only blanks lie between it and the line's start.
        qsizetype lineStart = at;
        while (lineStart > first && isBlank(data[lineStart - 1]))
            --lineStart;
        if (lineStart > first && data[lineStart - 1] != '\n' && data[lineStart - 1] != '\r')
            continue;
        const qsizetype end = d.lineEndAt(at);
        if (header) {
            const void *close =
                std::memchr(data + at + 1, ']', static_cast<std::size_t>(end - at - 1));
            if (!close)
                continue; // a "[" without "]" is no header; such a line may still hold a key
            const qsizetype closeAt = static_cast<const char *>(close) - data;
            const QByteArrayView name = trimmed(QByteArrayView(data + at + 1, closeAt - at - 1));
            const qsizetype body =
                end == n
                    ? n
                    : end + (data[end] == '\r' && end + 1 < n && data[end + 1] == '\n' ? 2 : 1);
            sections.push_back(Section{static_cast<std::uint32_t>(lineStart),
                                       static_cast<std::uint32_t>(body),
                                       static_cast<std::uint32_t>(name.data() - data),
                                       static_cast<std::uint32_t>(name.size())});
        } else if (includeName(QByteArrayView(data + at, end - at))) {
            includes.push_back(static_cast<std::uint32_t>(lineStart));
        }
    }
    index->implicitSection =
        sections.size() > 1 ? qsizetype(sections[1].headerStart) > first : n > first;
    index->sections.assign(sections.begin(), sections.end());
    index->includes.assign(includes.begin(), includes.end());
    d.index_ = std::move(index);
    return d;
}

QByteArrayView IniDocument::view(qsizetype start, qsizetype length) const
{
    return QByteArrayView(bytes_.constData() + start, length);
}

qsizetype IniDocument::lineEndAt(qsizetype pos) const
{
    const char *data = bytes_.constData();
    const qsizetype n = bytes_.size();
    // Eight bytes at a time: a byte equal to CR or LF turns into a zero byte, found by the usual
    // bit trick. Walking the key lines of a file then costs a fraction of parsing it.
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t highs = 0x8080808080808080ull;
    for (; pos + 8 <= n; pos += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + pos, 8);
        const std::uint64_t cr = word ^ (ones * '\r');
        const std::uint64_t lf = word ^ (ones * '\n');
        if (((cr - ones) & ~cr & highs) | ((lf - ones) & ~lf & highs))
            break;
    }
    while (pos < n && data[pos] != '\r' && data[pos] != '\n')
        ++pos;
    return pos;
}

qsizetype IniDocument::nextLineAt(qsizetype start) const
{
    const qsizetype end = lineEndAt(start);
    if (end == bytes_.size())
        return end;
    return end +
           (bytes_[end] == '\r' && end + 1 < bytes_.size() && bytes_[end + 1] == '\n' ? 2 : 1);
}

QByteArrayView IniDocument::sectionName(std::size_t section) const
{
    const Section &s = index_->sections[section];
    return view(s.nameStart, s.nameLength);
}

qsizetype IniDocument::sectionEnd(std::size_t section) const
{
    const std::vector<Section> &sections = index_->sections;
    return section + 1 < sections.size() ? qsizetype(sections[section + 1].headerStart)
                                         : bytes_.size();
}

// The trimmed text before the first "=" of a key line.
QByteArrayView IniDocument::keyNameAt(qsizetype line) const
{
    const char *begin = bytes_.constData() + line;
    const char *end = begin;
    while (*end != '=')
        ++end;
    return trimmed(QByteArrayView(begin, end - begin));
}

bool IniDocument::isKeyLine(qsizetype start, qsizetype end) const
{
    return readsAsKeyLine(view(start, end - start));
}

template <typename Each> void IniDocument::forEachKeyLine(std::size_t section, Each each) const
{
    if (bytes_.size() > MaxSize || index_ == emptyIndex())
        return; // not parsed: nothing is read
    const char *data = bytes_.constData();
    const qsizetype n = bytes_.size();
    const qsizetype to = sectionEnd(section);
    for (qsizetype pos = index_->sections[section].bodyStart; pos < to;) {
        const qsizetype end = lineEndAt(pos);
        const qsizetype next =
            end == n ? n
                     : end + (data[end] == '\r' && end + 1 < n && data[end + 1] == '\n' ? 2 : 1);
        if (isKeyLine(pos, end) && !each(pos, end))
            return;
        pos = next;
    }
}

const IniDocument::Keys &IniDocument::keys() const
{
    const Index &index = *index_;
    if (const Keys *built = index.builtKeys.load(std::memory_order_acquire))
        return *built;
    std::lock_guard lock(index.keysMutex);
    if (!index.keys) {
        auto keys = std::make_unique<Keys>();
        buildKeys(*keys);
        index.keys = std::move(keys);
        index.builtKeys.store(index.keys.get(), std::memory_order_release);
    }
    return *index.keys;
}

void IniDocument::buildKeys(Keys &built) const
{
    const Index &index = *index_;
    const std::size_t sectionCount = index.sections.size();
    Scratch<ParsedKey> keysMemory;
    std::vector<ParsedKey> &keys = keysMemory.v;
    keys.clear();
    for (std::size_t s = 0; s < sectionCount; ++s) {
        forEachKeyLine(s, [&](qsizetype start, qsizetype end) {
            keys.push_back(ParsedKey{static_cast<std::uint32_t>(start),
                                     static_cast<std::uint32_t>(end - start),
                                     static_cast<std::uint32_t>(s), foldedHash(keyNameAt(start))});
            return true;
        });
    }

    Scratch<std::uint64_t> sectionHashesMemory;
    std::vector<std::uint64_t> &sectionHashes = sectionHashesMemory.v;
    sectionHashes.assign(sectionCount, 0);
    Scratch<char> indexedMemory;
    std::vector<char> &indexed = indexedMemory.v; // the first section of its name
    indexed.assign(sectionCount, 0);

    // Sections of a repeated name: only the first is read. A table for this build only finds them.
    const std::size_t first = index.implicitSection ? 0 : 1;
    Scratch<Slot> seenMemory;
    std::vector<Slot> &seen = seenMemory.v;
    seen.assign(tableSize(sectionCount - first), Slot{});
    for (std::size_t i = first; i < sectionCount; ++i) {
        const QByteArrayView name = sectionName(i);
        sectionHashes[i] = foldedHash(name);
        const std::uint32_t h = slotHash(sectionHashes[i]);
        for (std::size_t s = slotOf(h, seen.size());; s = s + 1 == seen.size() ? 0 : s + 1) {
            Slot &slot = seen[s];
            if (slot.line == None) {
                slot = Slot{h, static_cast<std::uint32_t>(i), 0};
                indexed[i] = 1;
                break;
            }
            if (slot.hash == h && equalFolded(sectionName(slot.line), name))
                break;
        }
    }

    // Keys of a later section of a repeated name are never found: leave them out.
    std::size_t keyCount = 0;
    for (const ParsedKey &key : keys)
        keyCount += indexed[key.section] != 0;
    std::vector<Slot> &keySlots = built.table;
    keySlots.assign(tableSize(keyCount), Slot{});
    built.lines.resize(keys.size());
    const std::size_t table = keySlots.size();
    for (std::size_t n = 0; n < keys.size(); ++n) {
        const ParsedKey &key = keys[n];
        KeyRecord &record = built.lines[n];
        record = KeyRecord{key.line, key.length, key.section, 0};
        if (!indexed[key.section])
            continue;
        const std::uint32_t h = keyHash(sectionHashes[key.section], key.nameHash);
        for (std::size_t s = slotOf(h, table);; s = s + 1 == table ? 0 : s + 1) {
            Slot &slot = keySlots[s];
            if (slot.line == None) {
                slot = Slot{h, key.line, key.section};
                record.counts = 1;
                break;
            }
            if (slot.hash == h && slot.section == key.section &&
                equalFolded(keyNameAt(slot.line), keyNameAt(key.line)))
                break; // the first key of that name wins
        }
    }
}

int IniDocument::findSection(QByteArrayView name) const
{
    name = trimmed(name);
    for (std::size_t i = index_->implicitSection ? 0 : 1; i < index_->sections.size(); ++i) {
        if (equalFolded(sectionName(i), name))
            return static_cast<int>(i);
    }
    return -1;
}

// The first lookups read the lines of the key's section; a document looked up more often gets
// the index, so a walk over many keys does not read each section again.
qsizetype IniDocument::findKeyLine(QByteArrayView section, QByteArrayView key,
                                   std::size_t *sectionIndex) const
{
    constexpr int lookupsBeforeIndex = 8;
    section = trimmed(section);
    key = trimmed(key);
    const Keys *built = index_->builtKeys.load(std::memory_order_acquire);
    if (!built && index_->lookups.fetch_add(1, std::memory_order_relaxed) < lookupsBeforeIndex) {
        const int s = findSection(section);
        if (s < 0)
            return -1;
        qsizetype found = -1;
        forEachKeyLine(std::size_t(s), [&](qsizetype start, qsizetype) {
            if (!equalFolded(keyNameAt(start), key))
                return true;
            found = start;
            return false;
        });
        if (sectionIndex)
            *sectionIndex = std::size_t(s);
        return found;
    }
    const std::vector<Slot> &keySlots = built ? built->table : keys().table;
    const std::size_t table = keySlots.size();
    if (table == 0)
        return -1;
    const std::uint32_t h = keyHash(foldedHash(section), foldedHash(key));
    for (std::size_t i = slotOf(h, table);; i = i + 1 == table ? 0 : i + 1) {
        const Slot &slot = keySlots[i];
        if (slot.line == None)
            return -1;
        if (slot.hash != h)
            continue;
        // Both names are fetched at once: the key's line and its section's header.
        const QByteArrayView sectionFound = sectionName(slot.section);
        __builtin_prefetch(sectionFound.data());
        if (equalFolded(keyNameAt(slot.line), key) && equalFolded(sectionFound, section)) {
            if (sectionIndex)
                *sectionIndex = slot.section;
            return slot.line;
        }
    }
}

std::vector<IniDocument::KeyLine> IniDocument::keyLines(QByteArrayView section) const
{
    std::vector<KeyLine> lines;
    const int s = findSection(section);
    if (s < 0)
        return lines;
    const std::vector<KeyRecord> &records = keys().lines;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].section == static_cast<std::uint32_t>(s))
            lines.push_back(keyLineAt(i));
    return lines;
}

std::optional<QByteArrayView> IniDocument::value(QByteArrayView section, QByteArrayView key) const
{
    const qsizetype line = findKeyLine(section, key);
    if (line < 0)
        return std::nullopt;
    const qsizetype valueStart = keyValueStart(line);
    return unquoted(trimmed(view(valueStart, lineEndAt(valueStart) - valueStart)));
}

std::optional<IniDocument::KeyLine> IniDocument::keyLine(QByteArrayView section,
                                                         QByteArrayView key) const
{
    std::size_t s = 0;
    const qsizetype start = findKeyLine(section, key, &s);
    if (start < 0)
        return std::nullopt;
    return KeyLine{sectionName(s), view(start, lineEndAt(start) - start), start, true};
}

QByteArrayView IniDocument::valueOfLine(QByteArrayView line)
{
    return unquoted(trimmed(line.sliced(line.indexOf('=') + 1)));
}

QByteArrayView IniDocument::keyOfLine(QByteArrayView line)
{
    const qsizetype eq = line.indexOf('=');
    return trimmed(eq < 0 ? line : line.first(eq));
}

QByteArrayView IniDocument::KeyLine::key() const
{
    return keyOfLine(line);
}

QByteArrayView IniDocument::KeyLine::value() const
{
    return valueOfLine(line);
}

IniDocument::KeyLine IniDocument::keyLineAt(std::size_t index) const
{
    const KeyRecord &record = keys().lines[index];
    return KeyLine{sectionName(record.section), view(record.line, record.length), record.line,
                   record.counts != 0};
}

std::optional<std::size_t> IniDocument::keyLineOf(QByteArrayView section, QByteArrayView key) const
{
    const qsizetype line = findKeyLine(section, key);
    if (line < 0)
        return std::nullopt;
    const std::vector<KeyRecord> &records = keys().lines;
    const auto at = std::lower_bound(
        records.begin(), records.end(), line,
        [](const KeyRecord &record, qsizetype start) { return record.line < start; });
    return static_cast<std::size_t>(at - records.begin());
}

bool IniDocument::replaceLine(qsizetype start, QByteArrayView text)
{
    const qsizetype n = bytes_.size();
    if (n > MaxSize || start < 0 || start >= n || hasLineBreak(text))
        return false;
    // A line starts at the text's start (after its byte-order mark) or after an ending, never
    // between the CR and LF of one.
    const qsizetype mark = markLength(bytes_);
    if (start < mark)
        return false;
    if (start > mark && ((bytes_[start - 1] != '\r' && bytes_[start - 1] != '\n') ||
                         (bytes_[start - 1] == '\r' && bytes_[start] == '\n')))
        return false;
    const qsizetype end = lineEndAt(start);
    if (view(start, end - start) == text)
        return false;
    replaceText(start, end, text);
    return true;
}

qsizetype IniDocument::keyValueStart(qsizetype line) const
{
    const char *data = bytes_.constData();
    const void *eq = std::memchr(data + line, '=', static_cast<std::size_t>(bytes_.size() - line));
    return static_cast<const char *>(eq) - data + 1;
}

IniDocument::LineEnding IniDocument::lineEnding() const
{
    const char *data = bytes_.constData();
    const std::size_t n = static_cast<std::size_t>(bytes_.size());
    const void *lf = std::memchr(data, '\n', n);
    const std::size_t lfAt =
        lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - data) : n;
    if (const void *cr = std::memchr(data, '\r', lfAt)) {
        const std::size_t crAt = static_cast<std::size_t>(static_cast<const char *>(cr) - data);
        return crAt + 1 == lfAt && lfAt < n ? LineEnding::CrLf : LineEnding::Cr;
    }
    return lf ? LineEnding::Lf : LineEnding::CrLf;
}

QByteArray IniDocument::endingBytes() const
{
    switch (lineEnding()) {
    case LineEnding::Lf:
        return QByteArrayLiteral("\n");
    case LineEnding::Cr:
        return QByteArrayLiteral("\r");
    case LineEnding::CrLf:
        break;
    }
    return QByteArrayLiteral("\r\n");
}

QString IniDocument::checkEntry(QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    if (hasLineBreak(value))
        return QStringLiteral("значение содержит перевод строки");
    if (hasLineBreak(section) || hasLineBreak(key))
        return QStringLiteral("имя раздела или ключа содержит перевод строки");
    if (section.contains(']'))
        return QStringLiteral("имя раздела содержит «]»");
    const QByteArrayView name = trimmed(key);
    if (name.isEmpty())
        return QStringLiteral("пустое имя ключа");
    if (name.contains('='))
        return QStringLiteral("имя ключа содержит «=»");
    if (name.front() == '[' || name.front() == ';')
        return QStringLiteral("имя ключа начинается с «[» или «;»");
    return QString();
}

bool IniDocument::setValue(QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    if (bytes_.size() > MaxSize)
        return false;
    QByteArray keyLine;
    keyLine.reserve(key.size() + 1 + value.size());
    keyLine.append(key).append('=').append(value);
    const QByteArray eol = endingBytes();

    const int s = findSection(section);
    if (s >= 0) {
        if (const qsizetype line = findKeyLine(section, key); line >= 0) {
            const qsizetype valueStart = keyValueStart(line);
            const qsizetype end = lineEndAt(valueStart);
            if (view(valueStart, end - valueStart) == value)
                return false;
            replaceText(line, end, keyLine);
            return true;
        }
        // After the section's last key line, else after its header.
        std::uint32_t anchor = index_->sections[static_cast<std::size_t>(s)].headerStart;
        forEachKeyLine(static_cast<std::size_t>(s), [&anchor](qsizetype start, qsizetype) {
            anchor = static_cast<std::uint32_t>(start);
            return true;
        });
        // Lines before the first header without any key: the key opens the file (after the
        // byte-order mark, if any).
        const qsizetype at = anchor == None ? markLength(bytes_) : nextLineAt(anchor);
        if (anchor != None && lineEndAt(anchor) == at) {
            // The last line, without a line ending: it gets one, and the key follows.
            applyEdit(at, 0, eol + keyLine);
        } else {
            // A lone CR before a line that starts with LF would read as one CRLF ending and
            // swallow that line.
            const bool joins = eol == "\r" && at < bytes_.size() && bytes_[at] == '\n';
            applyEdit(at, 0, keyLine + (joins ? QByteArray("\r\n") : eol));
        }
        return true;
    }
    const bool finalEnding =
        bytes_.size() == markLength(bytes_) || bytes_.endsWith('\n') || bytes_.endsWith('\r');
    QByteArray tail;
    if (!finalEnding)
        tail.append(eol);
    tail.append('[').append(section).append(']').append(eol).append(keyLine);
    if (finalEnding)
        tail.append(eol);
    applyEdit(bytes_.size(), 0, tail);
    return true;
}

bool IniDocument::removeKey(QByteArrayView section, QByteArrayView key)
{
    const qsizetype from = findKeyLine(section, key);
    if (from < 0)
        return false;
    const qsizetype to = nextLineAt(from);
    // With a lone CR ending the line before and an LF starting the line after (an empty LF line),
    // the two would meet and read as one CRLF, and the empty line would be gone. The key's line
    // gives way to an empty CRLF line instead, so both neighbours keep their bytes.
    const bool joins =
        from > 0 && bytes_[from - 1] == '\r' && to < bytes_.size() && bytes_[to] == '\n';
    applyEdit(from, to - from, joins ? QByteArrayView("\r\n") : QByteArrayView());
    return true;
}

// One move of the bytes after the edit (QByteArray::replace moves them twice when the length
// changes), and none when no other document shares the text: an edit of a large file holds its
// text once, not twice.
void IniDocument::splice(qsizetype at, qsizetype length, QByteArrayView text)
{
    if (text.data() >= bytes_.constData() && text.data() < bytes_.constData() + bytes_.size()) {
        splice(at, length, text.toByteArray());
        return;
    }
    const qsizetype size = bytes_.size();
    const qsizetype grown = size - length + text.size();
    if (grown > size)
        bytes_.resize(grown);
    char *data = bytes_.data();
    if (size - at - length > 0)
        std::memmove(data + at + text.size(), data + at + length,
                     static_cast<std::size_t>(size - at - length));
    if (!text.isEmpty()) // a removal's text may have no bytes at all, not even an address
        std::memcpy(data + at, text.data(), static_cast<std::size_t>(text.size()));
    if (grown < size)
        bytes_.truncate(grown);
}

// The old index is let go before the new one is built.
void IniDocument::applyEdit(qsizetype at, qsizetype length, QByteArrayView text)
{
    index_ = emptyIndex();
    splice(at, length, text);
    index_ = parse(bytes_).index_;
}

void IniDocument::replaceText(qsizetype start, qsizetype end, QByteArrayView text)
{
    const qsizetype delta = text.size() - (end - start);
    if (start < markLength(bytes_) || !isKeyLine(start, end) || !readsAsKeyLine(text) ||
        hasLineBreak(text) || !equalFolded(keyOfLine(text), keyNameAt(start)) ||
        bytes_.size() + delta > MaxSize) {
        applyEdit(start, end - start, text);
        return;
    }
    splice(start, end - start, text);
    if (delta == 0)
        return;
    if (index_.use_count() > 1)
        index_ = std::make_shared<Index>(*index_);
    // Every offset past the line's start lies after its end.
    const auto move = [&](std::uint32_t &offset) {
        if (offset != None && qsizetype(offset) > start)
            offset = static_cast<std::uint32_t>(offset + delta);
    };
    Index &own = *index_;
    for (Section &s : own.sections) {
        move(s.headerStart);
        move(s.bodyStart);
        if (s.headerStart != None)
            move(s.nameStart);
    }
    for (std::uint32_t &include : own.includes)
        move(include);
    if (Keys *keys = own.keys.get()) {
        for (Slot &slot : keys->table)
            move(slot.line);
        for (KeyRecord &r : keys->lines) {
            std::uint32_t line = r.line;
            move(line);
            r.line = line;
            if (line == start) // the line itself: its length changes
                r.length = static_cast<std::uint32_t>(r.length + delta);
        }
    }
}

bool IniDocument::putLine(QByteArrayView section, QByteArrayView key, QByteArrayView line,
                          std::optional<QByteArrayView> after, bool first)
{
    if (bytes_.size() > MaxSize || hasLineBreak(line))
        return false;
    if (const qsizetype at = findKeyLine(section, key); at >= 0)
        return replaceLine(at, line);
    const int s = findSection(section);
    if (s < 0 || (!after && !first)) {
        // At the end of its section, or with a new section at the end of the file; the line
        // then takes the text it was given.
        const qsizetype eq = line.indexOf('=');
        if (eq < 0 || !setValue(section, key, line.sliced(eq + 1)))
            return false;
        replaceLine(findKeyLine(section, key), line);
        return true;
    }
    // Where the line goes: after the named key line, or before the section's first key line.
    qsizetype at = -1;
    bool last = false; // the line goes after the text's last line, which has no ending
    forEachKeyLine(static_cast<std::size_t>(s), [&](qsizetype start, qsizetype end) {
        if (first) {
            at = start;
            return false;
        }
        if (view(start, end - start) != *after)
            return true;
        at = nextLineAt(start);
        last = end == at;
        return false;
    });
    if (last) {
        applyEdit(at, 0, endingBytes() + line.toByteArray());
        return true;
    }
    if (at < 0)
        return putLine(section, key, line);
    const QByteArray eol = endingBytes();
    const bool joins = eol == "\r" && at < bytes_.size() && bytes_[at] == '\n';
    QByteArray text = line.toByteArray();
    text += joins ? QByteArray("\r\n") : eol;
    applyEdit(at, 0, text);
    return true;
}

bool IniDocument::isHeaderLine(QByteArrayView line)
{
    line = trimmed(line);
    return line.startsWith('[') && line.indexOf(']') > 0;
}

std::optional<QByteArrayView> IniDocument::includeName(QByteArrayView line)
{
    static constexpr QByteArrayView Include("#include");
    line = trimmed(line);
    if (!line.startsWith(Include) || line.contains('='))
        return std::nullopt;
    const QByteArrayView rest = line.sliced(Include.size());
    const qsizetype open = rest.indexOf('"');
    if (open < 0 || !trimmed(rest.first(open)).isEmpty())
        return std::nullopt;
    const qsizetype close = rest.indexOf('"', open + 1);
    if (close < 0)
        return std::nullopt;
    return rest.sliced(open + 1, close - open - 1);
}

QByteArrayList IniDocument::parentsOf(QByteArrayView parentText)
{
    QByteArrayList parents;
    for (const QByteArray &part : parentText.toByteArray().split(',')) {
        const QByteArrayView name = trimmed(part);
        if (!name.isEmpty())
            parents.append(name.toByteArray());
    }
    return parents;
}

std::vector<IniDocument::StructureLine> IniDocument::structure() const
{
    std::vector<StructureLine> lines;
    if (bytes_.size() > MaxSize)
        return lines;
    const Index &index = *index_;
    lines.reserve(index.sections.size() - 1 + index.includes.size());
    std::size_t include = 0;
    const auto addIncludesBefore = [&](qsizetype limit) {
        for (; include < index.includes.size() && index.includes[include] < limit; ++include) {
            const qsizetype start = index.includes[include];
            const QByteArrayView text = view(start, lineEndAt(start) - start);
            lines.push_back(StructureLine{true, start, *includeName(text), {}});
        }
    };
    for (std::size_t i = 1; i < index.sections.size(); ++i) {
        const Section &section = index.sections[i];
        addIncludesBefore(section.headerStart);
        // After the "]": ":parent,parent" up to a comment.
        const qsizetype close = qsizetype(section.nameStart) + section.nameLength;
        const qsizetype end = lineEndAt(section.headerStart);
        QByteArrayView rest = view(close, end - close);
        rest = rest.sliced(rest.indexOf(']') + 1);
        if (const qsizetype comment = rest.indexOf(';'); comment >= 0)
            rest = rest.first(comment);
        rest = trimmed(rest);
        lines.push_back(StructureLine{false, section.headerStart, sectionName(i),
                                      rest.startsWith(':') ? rest.sliced(1) : QByteArrayView()});
    }
    addIncludesBefore(bytes_.size() + 1);
    return lines;
}

QByteArrayView IniDocument::sectionAt(qsizetype offset) const
{
    // Sections are in file order; the first is the one before any header.
    const std::vector<Section> &sections = index_->sections;
    const auto after = std::upper_bound(
        sections.begin() + 1, sections.end(), offset,
        [](qsizetype at, const Section &section) { return at < qsizetype(section.headerStart); });
    const std::size_t index = static_cast<std::size_t>(after - sections.begin()) - 1;
    return index == 0 ? QByteArrayView() : sectionName(index);
}

std::vector<IniDocument::Line> IniDocument::lines() const
{
    std::vector<Line> result;
    const qsizetype n = bytes_.size();
    if (n > MaxSize)
        return result;
    std::size_t section = 0; // the section the lines are in
    const std::vector<Section> &sections = index_->sections;
    const std::vector<KeyRecord> &keyLines = keys().lines;
    const std::vector<std::uint32_t> &includes = index_->includes;
    std::size_t nextHeader = 1; // the next section's index in sections
    std::size_t nextKey = 0;
    std::size_t nextInclude = 0;
    for (qsizetype pos = markLength(bytes_); pos < n;) {
        Line line;
        line.start = pos;
        line.text = view(pos, lineEndAt(pos) - pos);
        if (nextHeader < sections.size() && sections[nextHeader].headerStart == pos) {
            line.kind = Line::Kind::Header;
            section = nextHeader++;
        } else if (nextKey < keyLines.size() && keyLines[nextKey].line == pos) {
            line.kind = Line::Kind::Key;
            ++nextKey;
        } else if (nextInclude < includes.size() && includes[nextInclude] == pos) {
            line.kind = Line::Kind::Include;
            ++nextInclude;
        } else {
            const QByteArrayView text = trimmed(line.text);
            line.kind = text.isEmpty()        ? Line::Kind::Blank
                        : text.front() == ';' ? Line::Kind::Comment
                                              : Line::Kind::Other;
        }
        line.section = sectionName(section);
        result.push_back(line);
        pos = nextLineAt(pos);
    }
    return result;
}

bool IniDocument::putLines(std::vector<LineEdit> &edits, const PrepareEdit &prepare, bool *changed)
{
    bool any = false;
    if (edits.size() == 1) {
        LineEdit work = edits.front();
        if (!putOneLine(work, prepare, &any))
            return false;
        edits.front() = std::move(work);
    } else {
        std::vector<LineEdit> work = edits;
        std::size_t prepared = 0;
        switch (putLinesAtOnce(work, prepare, &prepared, &any)) {
        case Batch::Done:
            break;
        case Batch::Stopped:
            return false;
        case Batch::OneByOne:
            if (!putLinesOneByOne(work, prepare, prepared, &any))
                return false;
            break;
        }
        edits = std::move(work);
    }
    if (changed)
        *changed = any;
    return true;
}

// The document itself is edited (a copy would share the text, and the edit would then copy it):
// nothing changes before prepare has agreed.
bool IniDocument::putOneLine(LineEdit &e, const PrepareEdit &prepare, bool *changed)
{
    std::size_t section = 0;
    const qsizetype at = findKeyLine(e.section, e.key, &section);
    e.before = at >= 0 ? std::optional(view(at, lineEndAt(at) - at).toByteArray()) : std::nullopt;
    if (prepare && !prepare(e))
        return false;
    if (e.line) {
        const std::optional<QByteArrayView> after =
            e.previous ? std::optional<QByteArrayView>(*e.previous) : std::nullopt;
        *changed = putLine(e.section, e.key, *e.line, after, e.first);
    } else if (at >= 0) {
        // Where the line stood: the key line before it in its section.
        qsizetype previousStart = -1, previousEnd = -1;
        forEachKeyLine(section, [&](qsizetype start, qsizetype end) {
            if (start == at)
                return false;
            previousStart = start;
            previousEnd = end;
            return true;
        });
        e.previous =
            previousStart >= 0
                ? std::optional(view(previousStart, previousEnd - previousStart).toByteArray())
                : std::nullopt;
        e.first = previousStart < 0;
        *changed = removeKey(e.section, e.key);
    }
    return true;
}

bool IniDocument::putLinesOneByOne(std::vector<LineEdit> &edits, const PrepareEdit &prepare,
                                   std::size_t prepared, bool *changed)
{
    IniDocument document = *this;
    for (std::size_t i = 0; i < edits.size(); ++i) {
        LineEdit &e = edits[i];
        const std::optional<std::size_t> at = document.keyLineOf(e.section, e.key);
        e.before = at ? std::optional(document.keyLineAt(*at).line.toByteArray()) : std::nullopt;
        if (i >= prepared && prepare && !prepare(e))
            return false;
        if (e.line) {
            const std::optional<QByteArrayView> after =
                e.previous ? std::optional<QByteArrayView>(*e.previous) : std::nullopt;
            *changed |= document.putLine(e.section, e.key, *e.line, after, e.first);
        } else if (at) {
            const KeyLine removed = document.keyLineAt(*at);
            e.previous.reset();
            e.first = true;
            if (*at > 0) {
                const KeyLine line = document.keyLineAt(*at - 1);
                if (line.section.data() == removed.section.data()) {
                    e.previous = line.line.toByteArray();
                    e.first = false;
                }
            }
            *changed |= document.removeKey(e.section, e.key);
        }
    }
    *this = std::move(document);
    return true;
}

// The edits are worked out against the text as parsed, which each edit but a key's own leaves
// where it was: a changed or removed key line is spliced at its place, a key its section lacks
// follows the section's last key line (or its header), and sections that are missing follow
// the text's end in the order the edits name them. Whatever depends on the order of the edits in
// other ways is left to putLinesOneByOne.
IniDocument::Batch IniDocument::putLinesAtOnce(std::vector<LineEdit> &edits,
                                               const PrepareEdit &prepare, std::size_t *prepared,
                                               bool *changed)
{
    *prepared = 0;
    const qsizetype n = bytes_.size();
    if (n > MaxSize || edits.size() < 2)
        return Batch::OneByOne;
    const char *data = bytes_.constData();
    // A lone CR ending a line would meet the lines put after it (see removeKey and setValue).
    for (const char *p = data; (p = static_cast<const char *>(
                                    std::memchr(p, '\r', static_cast<std::size_t>(data + n - p))));
         ++p) {
        if (p + 1 == data + n || p[1] != '\n')
            return Batch::OneByOne;
    }
    // Each key once: a key's second edit would see its first.
    QSet<QByteArray> edited;
    for (const LineEdit &e : edits) {
        const QByteArray name =
            cp1251::foldCase(trimmed(e.section)) + '\0' + cp1251::foldCase(trimmed(e.key));
        if (edited.contains(name))
            return Batch::OneByOne;
        edited.insert(name);
    }

    enum : char
    {
        Kept,
        Replaced,
        Removed
    };
    // The key lines are listed (and indexed) first: the edits are worked out against them.
    const std::vector<KeyRecord> &keyLines = keys().lines;
    const std::vector<Section> &sections = index_->sections;
    // Where each section's last key line starts (None: it has none).
    std::vector<std::uint32_t> lastKeyStart(sections.size(), None);
    for (const KeyRecord &record : keyLines)
        lastKeyStart[record.section] = record.line;
    const std::size_t count = keyLines.size();
    std::vector<char> state(count, Kept);
    std::vector<QByteArray> replacement(count);
    // The nearest key line at or before an index that is not removed (-1: none): removed lines
    // point to the one before them.
    std::vector<qsizetype> link(count);
    for (std::size_t i = 0; i < count; ++i)
        link[i] = static_cast<qsizetype>(i);
    const auto kept = [&](qsizetype i) {
        qsizetype root = i;
        while (root >= 0 && state[static_cast<std::size_t>(root)] == Removed)
            root = link[static_cast<std::size_t>(root)];
        while (i >= 0 && state[static_cast<std::size_t>(i)] == Removed) {
            const qsizetype next = link[static_cast<std::size_t>(i)];
            link[static_cast<std::size_t>(i)] = root;
            i = next;
        }
        return root;
    };
    const auto indexOf = [&](qsizetype start) {
        return static_cast<std::size_t>(
            std::lower_bound(keyLines.begin(), keyLines.end(), start,
                             [](const KeyRecord &r, qsizetype at) { return r.line < at; }) -
            keyLines.begin());
    };
    // Lines put after a key line (by index) or after a section's header (by section); sections
    // that are missing, in the order they are first named.
    std::map<std::size_t, std::vector<QByteArray>> afterKey, afterHeader;
    struct NewSection
    {
        QByteArray name;
        std::vector<QByteArray> lines;
    };
    std::vector<NewSection> newSections;
    QHash<QByteArray, std::size_t> newSectionIndex;
    bool firstLineRemoved = false;

    for (LineEdit &e : edits) {
        const qsizetype line = findKeyLine(e.section, e.key);
        const std::size_t index = line >= 0 ? indexOf(line) : 0;
        e.before = line >= 0 ? std::optional(view(line, lineEndAt(line) - line).toByteArray())
                             : std::nullopt;
        ++*prepared;
        if (prepare && !prepare(e))
            return Batch::Stopped;
        if (e.line) {
            if (hasLineBreak(*e.line))
                continue;
            if (line >= 0) {
                state[index] = Replaced;
                replacement[index] = *e.line;
                continue;
            }
            if (!e.line->contains('='))
                continue;
            const int s = findSection(e.section);
            if (s < 0) {
                const QByteArray name = cp1251::foldCase(trimmed(e.section));
                auto it = newSectionIndex.find(name);
                if (it == newSectionIndex.end()) {
                    it = newSectionIndex.insert(name, newSections.size());
                    newSections.push_back({e.section, {}});
                } else if (e.previous || e.first) {
                    // The section's first line was put by an edit before: the place depends on it.
                    return Batch::OneByOne;
                }
                newSections[*it].lines.push_back(*e.line);
                continue;
            }
            // A place given by another line depends on the lines put before.
            if (e.previous || e.first)
                return Batch::OneByOne;
            const std::uint32_t sectionLastKey = lastKeyStart[static_cast<std::size_t>(s)];
            if (sectionLastKey == None) {
                afterHeader[static_cast<std::size_t>(s)].push_back(*e.line);
                continue;
            }
            std::size_t last = indexOf(sectionLastKey);
            if (state[last] == Removed) {
                // The section's last key line was removed by an edit before: the line follows
                // the key line that is last now, when that one is plainly of the same section.
                const qsizetype now = kept(static_cast<qsizetype>(last));
                if (now < 0 ||
                    keyLines[static_cast<std::size_t>(now)].section != keyLines[last].section)
                    return Batch::OneByOne;
                // Lines put after the removed ones stand where those were, this one after them.
                if (const auto put = afterKey.upper_bound(static_cast<std::size_t>(now));
                    put != afterKey.end() && put->first <= last)
                    return Batch::OneByOne;
                last = static_cast<std::size_t>(now);
            }
            afterKey[last].push_back(*e.line);
        } else if (line >= 0) {
            // The last line without an ending gives its ending to the line before.
            if (lineEndAt(line) == n)
                return Batch::OneByOne;
            firstLineRemoved = firstLineRemoved || line == markLength(bytes_);
            e.previous.reset();
            e.first = true;
            if (const qsizetype before = kept(static_cast<qsizetype>(index) - 1);
                before >= 0 &&
                keyLines[static_cast<std::size_t>(before)].section == keyLines[index].section) {
                const std::size_t b = static_cast<std::size_t>(before);
                const qsizetype start = keyLines[b].line;
                e.previous = state[b] == Replaced
                                 ? replacement[b]
                                 : view(start, lineEndAt(start) - start).toByteArray();
                e.first = false;
            }
            state[index] = Removed;
            link[index] = static_cast<qsizetype>(index) - 1;
        }
    }
    // The first line's ending is the one new lines take.
    const bool adds = !afterKey.empty() || !afterHeader.empty() || !newSections.empty();
    if (firstLineRemoved && adds)
        return Batch::OneByOne;

    const QByteArray eol = endingBytes();
    // The lines put after the line starting at start, in order.
    const auto linesAfter = [&](QByteArray &out, qsizetype start,
                                const std::vector<QByteArray> &lines) {
        const bool lastWithoutEnding = start != None && lineEndAt(start) == n;
        for (const QByteArray &text : lines) {
            if (lastWithoutEnding)
                out.append(eol);
            out.append(text);
            if (!lastWithoutEnding)
                out.append(eol);
        }
    };
    struct Insert
    {
        qsizetype at;
        qsizetype after; // the line they follow (None: the text's start)
        const std::vector<QByteArray> *lines;
    };
    std::vector<Insert> inserts;
    for (const auto &[index, lines] : afterKey) {
        const qsizetype start = keyLines[index].line;
        inserts.push_back({nextLineAt(start), start, &lines});
    }
    for (const auto &[s, lines] : afterHeader) {
        const std::uint32_t header = sections[s].headerStart;
        if (header == None)
            inserts.push_back({markLength(bytes_), None, &lines});
        else
            inserts.push_back({nextLineAt(header), header, &lines});
    }
    std::sort(inserts.begin(), inserts.end(),
              [](const Insert &a, const Insert &b) { return a.at < b.at; });

    QByteArray out;
    out.reserve(n + n / 8);
    qsizetype copied = 0; // bytes of the text up to here are in out
    std::size_t nextInsert = 0;
    const auto copyUpTo = [&](qsizetype at) {
        for (; nextInsert < inserts.size() && inserts[nextInsert].at <= at; ++nextInsert) {
            const Insert &insert = inserts[nextInsert];
            out.append(data + copied, insert.at - copied);
            copied = insert.at;
            linesAfter(out, insert.after, *insert.lines);
        }
        out.append(data + copied, at - copied);
        copied = at;
    };
    for (std::size_t i = 0; i < count; ++i) {
        if (state[i] == Kept)
            continue;
        const qsizetype start = keyLines[i].line;
        copyUpTo(start);
        if (state[i] == Replaced) {
            out.append(replacement[i]);
            copied = lineEndAt(start);
        } else {
            copied = nextLineAt(start);
        }
    }
    copyUpTo(n);
    const bool finalEnding = n == markLength(bytes_) || bytes_.endsWith('\n');
    for (const NewSection &section : newSections) {
        if (!finalEnding)
            out.append(eol);
        out.append('[').append(section.name).append(']').append(eol);
        for (std::size_t i = 0; i < section.lines.size(); ++i) {
            if (!finalEnding && i > 0)
                out.append(eol);
            out.append(section.lines[i]);
            if (finalEnding)
                out.append(eol);
        }
    }
    *changed = out != bytes_;
    *this = IniDocument();
    *this = parse(out);
    return Batch::Done;
}
