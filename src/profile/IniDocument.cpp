#include "profile/IniDocument.h"

#include "textcodec/Cp1251.h"

#include <cstring>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView v)
{
    qsizetype b = 0;
    qsizetype e = v.size();
    while (b < e && isBlank(v[b]))
        ++b;
    while (e > b && isBlank(v[e - 1]))
        --e;
    return v.sliced(b, e - b);
}

std::uint64_t foldedHash(QByteArrayView v)
{
    std::uint64_t h = 14695981039346656037ull; // FNV-1a over the folded bytes
    for (char c : v) {
        h ^= cp1251::foldCase(static_cast<unsigned char>(c));
        h *= 1099511628211ull;
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

// The folded first bytes of a name, zero-padded.
void foldPrefix(QByteArrayView name, char *prefix, int size)
{
    std::memset(prefix, 0, static_cast<std::size_t>(size));
    const qsizetype n = std::min<qsizetype>(name.size(), size);
    for (qsizetype i = 0; i < n; ++i)
        prefix[i] = static_cast<char>(cp1251::foldCase(static_cast<unsigned char>(name[i])));
}

std::size_t tableSize(std::size_t entries)
{
    std::size_t size = 8;
    while (size < entries * 2)
        size *= 2;
    return size;
}

bool hasLineBreak(QByteArrayView v)
{
    return v.contains('\n') || v.contains('\r');
}

} // namespace

IniDocument IniDocument::parse(const QByteArray &bytes)
{
    IniDocument d;
    d.bytes_ = bytes;
    const char *data = bytes.constData();
    const qsizetype n = bytes.size();
    d.sections_.push_back(Section{});
    d.lines_.reserve(static_cast<std::size_t>(n / 32 + 1));
    int current = 0;
    qsizetype pos = 0;
    qsizetype lfAt = -1; // the next LF at or after pos, n when there is none
    while (pos < n) {
        Line line;
        line.start = pos;
        // Searched again only once passed, so a file with CR endings only is not scanned to its
        // end for every line.
        if (lfAt < pos) {
            const void *lf = std::memchr(data + pos, '\n', static_cast<std::size_t>(n - pos));
            lfAt = lf ? static_cast<const char *>(lf) - data : n;
        }
        const bool lf = lfAt < n;
        const void *cr = std::memchr(data + pos, '\r', static_cast<std::size_t>(lfAt - pos));
        qsizetype end;
        if (cr) {
            end = static_cast<const char *>(cr) - data;
            const bool crlf = end + 1 == lfAt && lfAt < n; // a CR as the last byte ends alone
            line.ending = crlf ? 3 : 2;
            pos = end + (crlf ? 2 : 1);
        } else {
            end = lfAt;
            line.ending = lf ? 1 : 0;
            pos = lf ? end + 1 : n;
        }
        line.length = end - line.start;

        qsizetype p = line.start;
        while (p < end && isBlank(data[p]))
            ++p;
        const int index = static_cast<int>(d.lines_.size());
        if (p < end && data[p] == '[') {
            const void *close =
                std::memchr(data + p + 1, ']', static_cast<std::size_t>(end - p - 1));
            if (close) {
                const qsizetype closeAt = static_cast<const char *>(close) - data;
                const QByteArrayView name = trimmed(QByteArrayView(data + p + 1, closeAt - p - 1));
                line.kind = 1;
                line.nameStart = name.data() - data;
                line.nameLength = name.size();
                d.sections_.push_back(Section{index, -1});
                current = static_cast<int>(d.sections_.size()) - 1;
                line.section = current;
                d.lines_.push_back(line);
                continue;
            }
            // A "[" without "]" is no header; such a line may still hold a key.
        }
        if (p < end && data[p] != ';') {
            const void *eq = std::memchr(data + p, '=', static_cast<std::size_t>(end - p));
            if (eq) {
                qsizetype nameEnd = static_cast<const char *>(eq) - data;
                line.valueStart = nameEnd + 1;
                while (nameEnd > p && isBlank(data[nameEnd - 1]))
                    --nameEnd;
                line.kind = 2;
                line.nameStart = p;
                line.nameLength = nameEnd - p;
                d.sections_[static_cast<std::size_t>(current)].lastKeyLine = index;
            }
        }
        if (current == 0)
            d.implicitSection_ = true;
        line.section = current;
        d.lines_.push_back(line);
    }
    d.buildIndex();
    return d;
}

QByteArrayView IniDocument::view(qsizetype start, qsizetype length) const
{
    return QByteArrayView(bytes_.constData() + start, length);
}

IniDocument::Name IniDocument::nameAt(qsizetype start, qsizetype length) const
{
    Name name;
    name.start = start;
    name.length = length;
    foldPrefix(view(start, length), name.prefix, PrefixLength);
    return name;
}

bool IniDocument::matches(const Name &name, QByteArrayView text, const char *prefix) const
{
    return name.length == text.size() && std::memcmp(name.prefix, prefix, PrefixLength) == 0 &&
           (text.size() <= PrefixLength ||
            cp1251::equalsIgnoreCase(view(name.start + PrefixLength, name.length - PrefixLength),
                                     text.sliced(PrefixLength)));
}

void IniDocument::buildIndex()
{
    sectionSlots_.assign(tableSize(sections_.size()), SectionSlot{});
    const std::size_t sectionMask = sectionSlots_.size() - 1;
    for (std::size_t i = implicitSection_ ? 0 : 1; i < sections_.size(); ++i) {
        SectionSlot entry;
        entry.section = static_cast<int>(i);
        if (i > 0) {
            const Line &header = lines_[static_cast<std::size_t>(sections_[i].headerLine)];
            entry.name = nameAt(header.nameStart, header.nameLength);
        }
        const QByteArrayView name = view(entry.name.start, entry.name.length);
        sections_[i].nameHash = foldedHash(name);
        entry.hash = slotHash(sections_[i].nameHash);
        for (std::size_t s = entry.hash & sectionMask;; s = (s + 1) & sectionMask) {
            SectionSlot &slot = sectionSlots_[s];
            if (slot.section < 0) {
                slot = entry;
                sections_[i].indexed = true;
                break;
            }
            if (slot.hash == entry.hash && matches(slot.name, name, entry.name.prefix))
                break; // the first section of that name wins
        }
    }

    std::size_t keyCount = 0;
    for (const Line &line : lines_)
        keyCount += line.kind == 2;
    keySlots_.assign(tableSize(keyCount), KeySlot{});
    const std::size_t keyMask = keySlots_.size() - 1;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line &line = lines_[i];
        // Keys of a later section of a repeated name are never found: leave them out.
        if (line.kind != 2 || !sections_[static_cast<std::size_t>(line.section)].indexed)
            continue;
        KeySlot entry;
        entry.name = nameAt(line.nameStart, line.nameLength);
        const QByteArrayView name = view(line.nameStart, line.nameLength);
        entry.hash =
            keyHash(sections_[static_cast<std::size_t>(line.section)].nameHash, foldedHash(name));
        entry.section = line.section;
        entry.line = static_cast<int>(i);
        entry.valueStart = line.valueStart;
        entry.valueEnd = line.start + line.length;
        for (std::size_t s = entry.hash & keyMask;; s = (s + 1) & keyMask) {
            KeySlot &slot = keySlots_[s];
            if (slot.line < 0) {
                slot = entry;
                break;
            }
            if (slot.hash == entry.hash && slot.section == entry.section &&
                matches(slot.name, name, entry.name.prefix))
                break; // the first key of that name wins
        }
    }
}

int IniDocument::findSection(QByteArrayView name) const
{
    name = trimmed(name);
    return findSection(name, foldedHash(name));
}

int IniDocument::findSection(QByteArrayView name, std::uint64_t nameHash) const
{
    if (sectionSlots_.empty())
        return -1;
    const std::uint32_t h = slotHash(nameHash);
    char prefix[PrefixLength];
    foldPrefix(name, prefix, PrefixLength);
    const std::size_t mask = sectionSlots_.size() - 1;
    for (std::size_t s = h & mask;; s = (s + 1) & mask) {
        const SectionSlot &slot = sectionSlots_[s];
        if (slot.section < 0)
            return -1;
        if (slot.hash == h && matches(slot.name, name, prefix))
            return slot.section;
    }
}

const IniDocument::KeySlot *IniDocument::findKey(QByteArrayView section, QByteArrayView key) const
{
    if (keySlots_.empty())
        return nullptr;
    section = trimmed(section);
    key = trimmed(key);
    const std::uint64_t sectionHash = foldedHash(section);
    const std::uint32_t h = keyHash(sectionHash, foldedHash(key));
    const std::size_t mask = keySlots_.size() - 1;
    __builtin_prefetch(&keySlots_[h & mask]);
    const int s = findSection(section, sectionHash);
    if (s < 0)
        return nullptr;
    char prefix[PrefixLength];
    foldPrefix(key, prefix, PrefixLength);
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
        const KeySlot &slot = keySlots_[i];
        if (slot.line < 0)
            return nullptr;
        if (slot.hash == h && slot.section == s && matches(slot.name, key, prefix))
            return &slot;
    }
}

std::optional<QByteArrayView> IniDocument::value(QByteArrayView section, QByteArrayView key) const
{
    const KeySlot *slot = findKey(section, key);
    if (!slot)
        return std::nullopt;
    QByteArrayView v = trimmed(view(slot->valueStart, slot->valueEnd - slot->valueStart));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.sliced(1, v.size() - 2);
    return v;
}

IniDocument::LineEnding IniDocument::lineEnding() const
{
    for (const Line &line : lines_) {
        switch (line.ending) {
        case 1:
            return LineEnding::Lf;
        case 2:
            return LineEnding::Cr;
        case 3:
            return LineEnding::CrLf;
        default:
            break;
        }
    }
    return LineEnding::CrLf;
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

qsizetype IniDocument::endingLength(const Line &line) const
{
    return line.ending == 3 ? 2 : line.ending == 0 ? 0 : 1;
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
    QByteArray keyLine;
    keyLine.reserve(key.size() + 1 + value.size());
    keyLine.append(key).append('=').append(value);
    const QByteArray eol = endingBytes();

    QByteArray out = bytes_;
    const int s = findSection(section);
    if (s >= 0) {
        if (const KeySlot *slot = findKey(section, key)) {
            const Line &line = lines_[static_cast<std::size_t>(slot->line)];
            const QByteArrayView current(bytes_.constData() + line.valueStart,
                                         line.start + line.length - line.valueStart);
            if (current == value)
                return false;
            out.replace(line.start, line.length, keyLine);
        } else {
            const Section &sec = sections_[static_cast<std::size_t>(s)];
            const int anchor = sec.lastKeyLine >= 0 ? sec.lastKeyLine : sec.headerLine;
            // Lines before the first header without any key: the key opens the file.
            const Line *line = anchor < 0 ? nullptr : &lines_[static_cast<std::size_t>(anchor)];
            if (line && line->ending == 0) {
                out.insert(line->start + line->length, eol + keyLine);
            } else {
                const qsizetype at = line ? line->start + line->length + endingLength(*line) : 0;
                // A lone CR before a line that starts with LF would read as one CRLF ending and
                // swallow that line.
                const bool joins = eol == "\r" && at < out.size() && out[at] == '\n';
                out.insert(at, keyLine + (joins ? QByteArray("\r\n") : eol));
            }
        }
    } else {
        const bool finalEnding = lines_.empty() || lines_.back().ending != 0;
        if (!finalEnding)
            out.append(eol);
        out.append('[').append(section).append(']').append(eol).append(keyLine);
        if (finalEnding)
            out.append(eol);
    }
    *this = parse(out);
    return true;
}

bool IniDocument::removeKey(QByteArrayView section, QByteArrayView key)
{
    const KeySlot *slot = findKey(section, key);
    if (!slot)
        return false;
    const int l = slot->line;
    const Line &line = lines_[static_cast<std::size_t>(l)];
    const qsizetype from = line.start;
    const qsizetype to = line.start + line.length + endingLength(line);
    QByteArray out = bytes_;
    // With a lone CR ending the line before and an LF starting the line after (an empty LF line),
    // the two would meet and read as one CRLF, and the empty line would be gone. The key's line
    // gives way to an empty CRLF line instead, so both neighbours keep their bytes.
    if (l > 0 && lines_[static_cast<std::size_t>(l - 1)].ending == 2 && to < bytes_.size() &&
        bytes_[to] == '\n')
        out.replace(from, to - from, "\r\n");
    else
        out.remove(from, to - from);
    *this = parse(out);
    return true;
}
