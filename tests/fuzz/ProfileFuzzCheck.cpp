#include "ProfileFuzzCheck.h"

#include "profile/IniDocument.h"
#include "textcodec/Cp1251.h"

#include <QByteArray>

#include <optional>
#include <vector>

namespace {

struct Line
{
    QByteArray text;
    QByteArray ending;
    bool operator==(const Line &other) const = default;
};

// Lines as written: each ends at its first CR or LF; a CR right before an LF ends it as CRLF.
std::vector<Line> splitLines(const QByteArray &bytes)
{
    std::vector<Line> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        const qsizetype endingLength =
            bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n' ? 2 : 1;
        lines.push_back({bytes.mid(start, i - start), bytes.mid(i, endingLength)});
        i += endingLength - 1;
        start = i + 1;
    }
    if (start < bytes.size())
        lines.push_back({bytes.mid(start), QByteArray()});
    return lines;
}

QByteArray trimmed(const QByteArray &text)
{
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t'))
        ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
        --e;
    return text.mid(b, e - b);
}

QByteArray unquoted(QByteArray value)
{
    value = trimmed(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// What a line is, read on its own.
struct Reading
{
    bool header = false;
    bool key = false;
    QByteArray name; // header: the section's name; key: the key's name
    QByteArray value;
};

Reading read(const Line &line)
{
    Reading r;
    const QByteArray text = line.text;
    qsizetype p = 0;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t'))
        ++p;
    if (p < text.size() && text[p] == '[') {
        const qsizetype close = text.indexOf(']', p + 1);
        if (close >= 0) {
            r.header = true;
            r.name = trimmed(text.mid(p + 1, close - p - 1));
            return r;
        }
    }
    if (p < text.size() && text[p] != ';') {
        const qsizetype eq = text.indexOf('=', p);
        if (eq >= 0) {
            r.key = true;
            r.name = trimmed(text.mid(p, eq - p));
            r.value = unquoted(text.mid(eq + 1));
        }
    }
    return r;
}

bool sameName(const QByteArray &a, const QByteArray &b)
{
    return cp1251::foldCase(a) == cp1251::foldCase(b);
}

// The line holding the key, found the plain way: the first section of that name (the lines before
// the first header form one with the empty name), then its first key of that name.
std::optional<std::size_t> findKey(const std::vector<Line> &lines, const QByteArray &section,
                                   const QByteArray &key)
{
    const QByteArray s = trimmed(section);
    const QByteArray k = trimmed(key);
    bool inSection = !lines.empty() && !read(lines[0]).header && s.isEmpty();
    bool seen = inSection;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Reading r = read(lines[i]);
        if (r.header) {
            if (seen)
                return std::nullopt; // the first section of that name has ended
            inSection = sameName(r.name, s);
            seen = inSection;
            continue;
        }
        if (inSection && r.key && sameName(r.name, k))
            return i;
    }
    return std::nullopt;
}

std::optional<QByteArray> referenceValue(const std::vector<Line> &lines, const QByteArray &section,
                                         const QByteArray &key)
{
    if (const auto at = findKey(lines, section, key))
        return read(lines[*at]).value;
    return std::nullopt;
}

std::string show(const QByteArray &bytes)
{
    return bytes.toPercentEncoding().toStdString();
}

// Every name pair reads as the plain reading says.
std::string compareReads(const IniDocument &document, const std::vector<QByteArray> &sections,
                         const std::vector<QByteArray> &keys)
{
    const std::vector<Line> lines = splitLines(document.bytes());
    for (const QByteArray &s : sections) {
        for (const QByteArray &k : keys) {
            const auto got = document.value(s, k);
            const auto expected = referenceValue(lines, s, k);
            const std::optional<QByteArray> gotBytes =
                got ? std::optional<QByteArray>(got->toByteArray()) : std::nullopt;
            if (gotBytes != expected)
                return "read [" + show(s) + "] " + show(k) + ": got " +
                       (gotBytes ? show(*gotBytes) : "nothing") + ", expected " +
                       (expected ? show(*expected) : "nothing");
        }
    }
    return {};
}

} // namespace

std::string checkProfileInput(QByteArrayView input)
{
    if (input.size() < 4)
        return {};
    const auto byte = [&input](qsizetype i) { return static_cast<unsigned char>(input[i]); };
    const bool remove = byte(0) & 1;
    const qsizetype valueLength = std::min<qsizetype>(byte(3), input.size() - 4);
    const QByteArray value = input.sliced(4, valueLength).toByteArray();
    const QByteArray text = input.sliced(4 + valueLength).toByteArray();

    IniDocument document = IniDocument::parse(text);
    if (document.bytes() != text)
        return "the parsed bytes differ from the text";
    const std::vector<Line> before = splitLines(text);

    // Names to read: those in the text, one in other letter case, and new ones.
    std::vector<QByteArray> sections{QByteArray(), "new"};
    std::vector<QByteArray> keys{"new"};
    for (const Line &line : before) {
        const Reading r = read(line);
        if (r.header && sections.size() < 24)
            sections.push_back(r.name);
        if (r.key && keys.size() < 24)
            keys.push_back(r.name);
    }
    if (sections.size() > 2)
        sections.push_back(cp1251::foldCase(sections.back()).toUpper());
    if (std::string failure = compareReads(document, sections, keys); !failure.empty())
        return failure;

    const QByteArray section = sections[byte(1) % sections.size()];
    const QByteArray key = keys[byte(2) % keys.size()];
    const std::optional<std::size_t> keyLine = findKey(before, section, key);
    const std::string edit = std::string(remove ? "delete [" : "write [") + show(section) + "] " +
                             show(key) + " = " + show(value) + ": ";

    if (remove) {
        if (document.removeKey(section, key) != keyLine.has_value())
            return edit + "the result does not say whether the key was there";
    } else {
        if (!IniDocument::checkEntry(section, key, value).isEmpty())
            return {}; // refused: cannot be read back as written
        document.setValue(section, key, value);
    }
    const QByteArray out = document.bytes();
    const std::vector<Line> after = splitLines(out);
    if (IniDocument::parse(out).bytes() != out)
        return edit + "the result does not parse to itself";
    if (std::string failure = compareReads(document, sections, keys); !failure.empty())
        return edit + failure;
    if (std::string failure = compareReads(IniDocument::parse(out), sections, keys);
        !failure.empty())
        return edit + "parsed again: " + failure;

    if (!remove) {
        const auto got = document.value(section, key);
        if (!got || got->toByteArray() != unquoted(value))
            return edit + "the key does not read back";
    }
    if (out == text)
        return remove && keyLine ? edit + "nothing was removed" : std::string();

    // Every other line keeps its bytes and ending. The last line, when it had no ending, may get
    // one when a line goes after it.
    const auto same = [&](std::size_t b, std::size_t a) {
        return before[b].text == after[a].text &&
               (before[b].ending == after[a].ending ||
                (b + 1 == before.size() && before[b].ending.isEmpty()));
    };
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && same(prefix, prefix))
        ++prefix;
    std::size_t suffix = 0;
    while (suffix + prefix < before.size() && suffix + prefix < after.size() &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const std::size_t removed = before.size() - prefix - suffix;
    const std::size_t added = after.size() - prefix - suffix;
    const QByteArray keyText = key + "=" + value;
    const std::string lines = "lines " + std::to_string(prefix) + ": -" + std::to_string(removed) +
                              " +" + std::to_string(added) + " in " + show(text) + " -> " +
                              show(out);

    if (keyLine) {
        // Exactly the key's line changes: it goes (with its ending), or its text becomes the new
        // key line. Where a lone CR before and an empty LF line after would meet, the deleted
        // line becomes an empty CRLF line instead.
        std::vector<Line> expected = before;
        const std::size_t at = *keyLine;
        if (!remove) {
            expected[at].text = keyText;
        } else if (at > 0 && before[at - 1].ending == "\r" && at + 1 < before.size() &&
                   before[at + 1].text.isEmpty() && before[at + 1].ending == "\n") {
            expected[at] = Line{QByteArray(), "\r\n"};
        } else {
            expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(at));
        }
        if (after != expected)
            return edit + "not exactly the key's line changed: " + lines;
        return {};
    }
    if (remove)
        return edit + "a deletion of a missing key changed the text: " + lines;
    if (removed == 0 && added == 1 && after[prefix].text == keyText)
        return {};
    if (removed == 0 && added == 2 && after[prefix].text == "[" + section + "]" &&
        after[prefix + 1].text == keyText && prefix == before.size())
        return {};
    return edit + "other lines changed: " + lines;
}
