// Many key lines edited at once give the text that editing them one by one gives, parsed once;
// every line of a text as reads take it.
#include "profile/IniDocument.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Edit = IniDocument::LineEdit;

// The edits made one by one with putLine and removeKey, where a removed line stood taken as the
// key line right before it in its section.
void oneByOne(IniDocument &doc, std::vector<Edit> &edits)
{
    for (Edit &e : edits) {
        const std::optional<std::size_t> at = doc.keyLineOf(e.section, e.key);
        e.before = at ? std::optional(doc.keyLineAt(*at).line.toByteArray()) : std::nullopt;
        if (e.line) {
            doc.putLine(e.section, e.key, *e.line,
                        e.previous ? std::optional<QByteArrayView>(*e.previous) : std::nullopt,
                        e.first);
        } else if (at) {
            e.previous.reset();
            e.first = true;
            if (*at > 0 &&
                doc.keyLineAt(*at - 1).section.data() == doc.keyLineAt(*at).section.data()) {
                e.previous = doc.keyLineAt(*at - 1).line.toByteArray();
                e.first = false;
            }
            doc.removeKey(e.section, e.key);
        }
    }
}

} // namespace

TEST(ProfileLines, ManyEditsAtOnceGiveWhatOneByOneGives)
{
    const QByteArray lines[] = {"[S]",   "[s]:base", "  [ t ] x", "[x",   "a=1", " A = 2 ",
                                "b='q'", "; c=3",    "",          "junk", "=e",  "c=3",
                                "d = 4", "[]",       "e=5",       "[u]",  "f=6", "g=7"};
    const QByteArray endings[] = {"\r\n", "\r\n", "\n", "\n", "\r"};
    const QByteArray sections[] = {"s", "S", "t", "u", "x", "", "new", "New ", "other"};
    const QByteArray keys[] = {"a", "A", "b", "c", "d", "e", "f", "g", "h", "=e", "new"};
    std::mt19937 random(1251);
    std::mt19937 inPlace(7);
    const auto pick = [&random](const auto &array) { return array[random() % std::size(array)]; };
    for (int round = 0; round < 20000; ++round) {
        QByteArray text = random() % 8 ? "" : "\xEF\xBB\xBF";
        const int count = int(random() % 14);
        // Some texts have lone CR endings; they are edited one by one.
        const std::size_t endingCount = random() % 4 ? 4 : 5;
        for (int i = 0; i < count; ++i) {
            text += pick(lines);
            if (i + 1 < count || random() % 3)
                text += endings[random() % endingCount];
        }
        std::vector<Edit> edits;
        const int editCount = int(random() % 6) + 1;
        for (int i = 0; i < editCount; ++i) {
            Edit e;
            e.section = pick(sections);
            e.key = pick(keys);
            if (e.key == "=e")
                e.key.clear();
            if (random() % 3)
                e.line = e.key + "=" + QByteArray::number(round) + (random() % 2 ? " ; c" : "");
            // A place given for a line that comes back.
            if (random() % 6 == 0)
                e.previous = pick(lines);
            e.first = random() % 8 == 0;
            edits.push_back(e);
        }
        IniDocument expected = IniDocument::parse(text);
        IniDocument doc = IniDocument::parse(text);
        // Some documents had a key's line replaced in place first (their key lines listed, or
        // not yet): the batch starts from offsets and lengths moved, not from a parse.
        if (const unsigned shift = inPlace() % 6; shift < 2 && doc.keyLineCount() > 0) {
            const std::size_t at = inPlace() % doc.keyLineCount();
            const IniDocument::KeyLine line = doc.keyLineAt(at);
            const QByteArray longer = line.key().toByteArray() + " =  " + QByteArray(int(at), 'v');
            const QByteArray shorter = line.key().toByteArray() + "=";
            if (shift == 0)
                doc = IniDocument::parse(text); // no key line listed before the edit
            ASSERT_EQ(doc.replaceLine(line.start, longer),
                      expected.replaceLine(line.start, longer));
            expected = IniDocument::parse(expected.bytes());
            doc.replaceLine(line.start, shorter);
            expected.replaceLine(line.start, shorter);
            expected = IniDocument::parse(expected.bytes());
            ASSERT_EQ(doc.bytes(), expected.bytes());
        }
        std::vector<Edit> expectedEdits = edits;
        oneByOne(expected, expectedEdits);
        int seen = 0;
        SCOPED_TRACE(("text " + text.toHex() + " round " + QByteArray::number(round)).constData());
        ASSERT_TRUE(doc.putLines(edits, [&](Edit &e) {
            EXPECT_EQ(e.before, expectedEdits[std::size_t(seen)].before) << seen;
            ++seen;
            return true;
        }));
        ASSERT_EQ(doc.bytes(), expected.bytes());
        // Parsed as a parse of its bytes would.
        const IniDocument reparsed = IniDocument::parse(doc.bytes());
        ASSERT_EQ(doc.keyLineCount(), reparsed.keyLineCount());
        for (std::size_t i = 0; i < edits.size(); ++i) {
            EXPECT_EQ(edits[i].before, expectedEdits[i].before) << i;
            EXPECT_EQ(edits[i].previous, expectedEdits[i].previous) << i;
            EXPECT_EQ(edits[i].first, expectedEdits[i].first) << i;
        }
        EXPECT_EQ(seen, int(edits.size()));
    }
}

TEST(ProfileLines, APrepareThatRefusesLeavesTheDocumentAsItWas)
{
    for (const QByteArray &text : {QByteArray("[s]\r\na=1\r\nb=2\r\n"), QByteArray("[s]\ra=1\r")}) {
        IniDocument doc = IniDocument::parse(text);
        std::vector<Edit> edits{{"s", "a", "a=5", {}, false, {}}, {"s", "b", {}, {}, false, {}}};
        int seen = 0;
        EXPECT_FALSE(doc.putLines(edits, [&](Edit &e) { return ++seen < 2 && e.key == "a"; }));
        EXPECT_EQ(doc.bytes(), text);
        EXPECT_EQ(doc.value("s", "a").value_or("").toByteArray(), "1");
        // A prepare may change the line written.
        EXPECT_TRUE(doc.putLines(edits, [](Edit &e) {
            if (e.line)
                e.line = "a = 6";
            return true;
        }));
        EXPECT_EQ(doc.value("s", "a").value_or("").toByteArray(), "6");
        EXPECT_FALSE(doc.value("s", "b").has_value());
    }
}

TEST(ProfileLines, EveryLineIsTakenAsReadsTakeIt)
{
    using Kind = IniDocument::Line::Kind;
    const QByteArray text =
        "\xEF\xBB\xBF"
        "a=1\r\n[sys\r\n[sys = 2\n\x0Bk1 = 10\r ; note\r\n\r\n#include \"x.ltx\"\n"
        "[sec]:base ; c\r\ntext\r\n  b = 2";
    const struct
    {
        Kind kind;
        const char *text, *section;
    } expected[] = {
        {Kind::Key, "a=1", ""},
        {Kind::Other, "[sys", ""},      // no "]": no header
        {Kind::Key, "[sys = 2", ""},    // ... and with "=", a key line of key "[sys"
        {Kind::Key, "\x0Bk1 = 10", ""}, // a vertical tab is no blank: part of the key
        {Kind::Comment, " ; note", ""}, // after a lone CR
        {Kind::Blank, "", ""},
        {Kind::Include, "#include \"x.ltx\"", ""},
        {Kind::Header, "[sec]:base ; c", "sec"},
        {Kind::Other, "text", "sec"},
        {Kind::Key, "  b = 2", "sec"},
    };
    const std::vector<IniDocument::Line> lines = IniDocument::parse(text).lines();
    ASSERT_EQ(lines.size(), std::size(expected));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].kind, expected[i].kind) << i;
        EXPECT_EQ(lines[i].text, QByteArrayView(expected[i].text)) << i;
        EXPECT_EQ(lines[i].section, QByteArrayView(expected[i].section)) << i;
    }
    EXPECT_EQ(IniDocument::keyOfLine(lines[2].text), QByteArrayView("[sys"));
    EXPECT_EQ(IniDocument::keyOfLine(lines[3].text), QByteArrayView("\x0Bk1"));
}

// The first line of a text with a byte-order mark is a line like any other: it can be replaced.
TEST(ProfileLines, TheLineAfterAByteOrderMarkIsReplaced)
{
    IniDocument doc = IniDocument::parse("\xEF\xBB\xBF"
                                         "a=1\r\nc=3\r\n");
    EXPECT_TRUE(doc.putLine("", "a", "a = 2"));
    EXPECT_EQ(doc.bytes(), QByteArray("\xEF\xBB\xBF"
                                      "a = 2\r\nc=3\r\n"));
}
