// Line-level edits of profile text in memory: exactly one line changes, every other byte stays.
#include "profile/IniDocument.h"
#include "textcodec/Cp1251.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

QByteArray set(const QByteArray &text, const QByteArray &section, const QByteArray &key,
               const QByteArray &value)
{
    IniDocument doc = IniDocument::parse(text);
    doc.setValue(section, key, value);
    return doc.bytes();
}

QByteArray removed(const QByteArray &text, const QByteArray &section, const QByteArray &key)
{
    IniDocument doc = IniDocument::parse(text);
    doc.removeKey(section, key);
    return doc.bytes();
}

QByteArray cp(const char16_t *text)
{
    return cp1251::encode(QString::fromUtf16(text));
}

// Line contents of a text, line endings left out.
std::vector<QByteArray> lineContents(const QByteArray &text)
{
    std::vector<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.mid(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.mid(start));
    return lines;
}

std::size_t commonSubsequence(const std::vector<QByteArray> &a, const std::vector<QByteArray> &b)
{
    std::vector<std::vector<std::size_t>> t(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j)
            t[i][j] =
                a[i - 1] == b[j - 1] ? t[i - 1][j - 1] + 1 : std::max(t[i - 1][j], t[i][j - 1]);
    return t[a.size()][b.size()];
}

} // namespace

TEST(ProfileEdit, ReplacingAKeyChangesOnlyItsLine)
{
    const QByteArray text = "; header comment\r\n"
                            "[A]:base\r\n"
                            "  Key = 1 ; old\r\n"
                            "next=2\n" // a stray LF line keeps its own ending
                            "\r\n"
                            "[B]\r\n"
                            "Key=1\r\n";
    EXPECT_EQ(set(text, "a", "KEY", " 7 ; new"), "; header comment\r\n"
                                                 "[A]:base\r\n"
                                                 "KEY= 7 ; new\r\n"
                                                 "next=2\n"
                                                 "\r\n"
                                                 "[B]\r\n"
                                                 "Key=1\r\n");
    EXPECT_EQ(set(text, "A", "next", "3"), "; header comment\r\n"
                                           "[A]:base\r\n"
                                           "  Key = 1 ; old\r\n"
                                           "next=3\n"
                                           "\r\n"
                                           "[B]\r\n"
                                           "Key=1\r\n");
}

TEST(ProfileEdit, NewKeyGoesAfterTheLastKeyLineOfItsSection)
{
    const QByteArray text = "[A]\r\nx=1\r\n; trailing comment\r\n\r\n[B]\r\ny=2\r\n";
    EXPECT_EQ(set(text, "A", "z", "3"),
              "[A]\r\nx=1\r\nz=3\r\n; trailing comment\r\n\r\n[B]\r\ny=2\r\n");
    EXPECT_EQ(set("[A]\n; nothing yet\n\n[B]\n", "a", "k", "v"),
              "[A]\nk=v\n; nothing yet\n\n[B]\n");
    EXPECT_EQ(set("top=1\r\n[A]\r\n", "", "t", "2"), "top=1\r\nt=2\r\n[A]\r\n");
    EXPECT_EQ(set("; only a comment\r\n[A]\r\n", "", "t", "2"),
              "t=2\r\n; only a comment\r\n[A]\r\n");
}

TEST(ProfileEdit, NewSectionGoesToTheEndInTheFileStyle)
{
    EXPECT_EQ(set("[A]\r\nx=1\r\n", "B", "k", "v"), "[A]\r\nx=1\r\n[B]\r\nk=v\r\n");
    EXPECT_EQ(set("[A]\nx=1\n\n", "B", "k", "v"), "[A]\nx=1\n\n[B]\nk=v\n");
    EXPECT_EQ(set("[A]\rx=1\r", "B", "k", "v"), "[A]\rx=1\r[B]\rk=v\r");
    EXPECT_EQ(set("", "S", "k", "v"), "[S]\r\nk=v\r\n");
    EXPECT_EQ(set("no ending at all", "S", "k", "v"), "no ending at all\r\n[S]\r\nk=v");
}

TEST(ProfileEdit, FileWithoutFinalLineEnding)
{
    const QByteArray text = "[A]\nx=1";
    EXPECT_EQ(set(text, "A", "x", "2"), "[A]\nx=2");
    EXPECT_EQ(set(text, "A", "y", "2"), "[A]\nx=1\ny=2");
    EXPECT_EQ(set(text, "B", "y", "2"), "[A]\nx=1\n[B]\ny=2");
    EXPECT_EQ(set("[A]", "A", "y", "2"), "[A]\r\ny=2");
    // The line before keeps its ending (it used to lose it).
    EXPECT_EQ(removed(text, "A", "x"), "[A]\n");
    EXPECT_EQ(removed("x=1", "", "x"), "");
    EXPECT_EQ(removed("[A]\r\n\r\nx=1", "A", "x"), "[A]\r\n\r\n"); // the blank line stays
}

TEST(ProfileEdit, SameTextAfterTheEqualsSignIsNoChange)
{
    const QByteArray text = "[A]\r\nkey = 5 ; c\r\n";
    IniDocument doc = IniDocument::parse(text);
    EXPECT_FALSE(doc.setValue("a", "KEY", " 5 ; c"));
    EXPECT_EQ(doc.bytes(), text);
    // Without the blank it is another text: the line is rewritten as passed.
    EXPECT_TRUE(doc.setValue("a", "key", "5 ; c"));
    EXPECT_EQ(doc.bytes(), "[A]\r\nkey=5 ; c\r\n");
    EXPECT_EQ(doc.value("A", "key")->toByteArray(), "5 ; c");
}

TEST(ProfileEdit, RemovingAKey)
{
    const QByteArray text = "[A]\r\na=1\r\nb=2\r\n[B]\r\na=3\r\n";
    EXPECT_EQ(removed(text, "a", "A"), "[A]\r\nb=2\r\n[B]\r\na=3\r\n");
    EXPECT_EQ(removed(text, "B", "a"), "[A]\r\na=1\r\nb=2\r\n[B]\r\n");
    EXPECT_EQ(set("[s]\ra=1\r\n\n[t]\n", "s", "c", "3"), "[s]\ra=1\r\nc=3\r\n\n[t]\n");
    IniDocument doc = IniDocument::parse(text);
    EXPECT_FALSE(doc.removeKey("A", "c"));
    EXPECT_FALSE(doc.removeKey("C", "a"));
    EXPECT_EQ(doc.bytes(), text);
}

// Byte-exact results of deletions in files of mixed line endings: the key's line goes with its
// own ending and every other byte stays, also where a lone CR and an LF would otherwise meet.
TEST(ProfileEdit, RemovingAKeyKeepsEveryOtherByteWhateverTheEndings)
{
    const struct
    {
        const char *text;
        const char *expected;
    } cases[] = {
        {"[s]\na=1\r\nb=2\r", "[s]\nb=2\r"},
        {"[s]\ra=1\nb=2\n", "[s]\rb=2\n"},
        {"[s]\ra=1\r\nb=2\r", "[s]\rb=2\r"},
        {"[s]\ra=1\n\r\nb", "[s]\r\r\nb"}, // a CR meets a CR: no join
        {"[s]\r\na=1\r\n\n", "[s]\r\n\n"}, // CRLF before: no join
        // A lone CR before, an empty LF line after: the key's line becomes an empty CRLF line.
        {"[s]\ra=1\n\nb=2", "[s]\r\r\n\nb=2"},
        {"[s]\ra=1\r\n\n", "[s]\r\r\n\n"},
        // The last line, with or without an ending: the line before keeps its own.
        {"[s]\na=1", "[s]\n"},
        {"[s]\ra=1", "[s]\r"},
        {"[s]\r\na=1\r", "[s]\r\n"},
        {"[s]\ra=1\r", "[s]\r"},
        // The first line of the file.
        {"a=1\n\nb=2", "\nb=2"},
        {"a=1\r", ""},
        {"a=1", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QByteArray(c.text).toHex().constData());
        EXPECT_EQ(removed(c.text, c.text[0] == '[' ? "s" : "", "a"), c.expected);
    }
}

// A CR as the very last byte is a line ending of its own, not half of a CRLF.
TEST(ProfileEdit, ACrAsTheLastByteEndsTheLastLine)
{
    EXPECT_EQ(IniDocument::parse("a\r").lineEnding(), IniDocument::LineEnding::Cr);
    EXPECT_EQ(set("[s]\ra=1\r", "s", "b", "2"), "[s]\ra=1\rb=2\r");
    EXPECT_EQ(set("[s]\ra=1\r", "s", "a", "9"), "[s]\ra=9\r");
    EXPECT_EQ(set("[s]\ra=1\r", "t", "k", "v"), "[s]\ra=1\r[t]\rk=v\r");
    EXPECT_EQ(set("[s]\na=1\r", "s", "b", "2"), "[s]\na=1\rb=2\n");
    EXPECT_EQ(set("[s]\r", "s", "b", "2"), "[s]\rb=2\r");
}

TEST(ProfileEdit, DuplicatesEditTheFirst)
{
    const QByteArray text = "[s]\na=1\na=2\n[S]\na=3\nb=4\n";
    EXPECT_EQ(set(text, "s", "a", "9"), "[s]\na=9\na=2\n[S]\na=3\nb=4\n");
    // A key only in the second duplicate section is invisible: the write adds it to the first.
    EXPECT_EQ(set(text, "s", "b", "5"), "[s]\na=1\na=2\nb=5\n[S]\na=3\nb=4\n");
    EXPECT_EQ(removed(text, "S", "a"), "[s]\na=2\n[S]\na=3\nb=4\n");
}

TEST(ProfileEdit, CyrillicKeyInOtherCaseIsReplacedWithTheKeyAsPassed)
{
    const QByteArray text = cp(u"[Торговля]\r\nЁмкость = 8\r\n");
    EXPECT_EQ(set(text, cp(u"ТОРГОВЛЯ"), cp(u"ёМКОСТЬ"), "9"), cp(u"[Торговля]\r\nёМКОСТЬ=9\r\n"));
}

TEST(ProfileEdit, EditsAreVisibleToLaterLookups)
{
    IniDocument doc = IniDocument::parse("[A]\nx=1\n");
    doc.setValue("A", "y", "2");
    doc.setValue("B", "z", "3");
    doc.setValue("A", "x", "4");
    EXPECT_EQ(doc.value("a", "y")->toByteArray(), "2");
    EXPECT_EQ(doc.value("b", "z")->toByteArray(), "3");
    EXPECT_EQ(doc.value("a", "x")->toByteArray(), "4");
    EXPECT_EQ(doc.bytes(), "[A]\nx=4\ny=2\n[B]\nz=3\n");
}

TEST(ProfileEdit, EntriesThatCannotBeReadBackAreRefused)
{
    EXPECT_TRUE(IniDocument::checkEntry("s", "k", "plain ; comment").isEmpty());
    EXPECT_TRUE(IniDocument::checkEntry("", "k", "").isEmpty());
    EXPECT_TRUE(IniDocument::checkEntry("s", "k", "\"  quoted  \"").isEmpty());
    EXPECT_FALSE(IniDocument::checkEntry("s", "k", "two\nlines").isEmpty());
    EXPECT_FALSE(IniDocument::checkEntry("s", "k", "two\rlines").isEmpty());
    EXPECT_FALSE(IniDocument::checkEntry("s\n", "k", "v").isEmpty());
    EXPECT_FALSE(IniDocument::checkEntry("s", "k\r", "v").isEmpty());
    EXPECT_FALSE(IniDocument::checkEntry("a]b", "k", "v").isEmpty());
    EXPECT_FALSE(IniDocument::checkEntry("s", "a=b", "v").isEmpty());
    EXPECT_FALSE(IniDocument::checkEntry("s", " ", "v").isEmpty());
    EXPECT_FALSE(IniDocument::checkEntry("s", "[k", "v").isEmpty());
    EXPECT_FALSE(IniDocument::checkEntry("s", ";k", "v").isEmpty());
}

// Random documents of ordinary and odd lines with mixed endings, random edits: a write reads back
// as written and keeps every other line; a deletion removes exactly one line.
TEST(ProfileEdit, RandomEditsKeepEveryOtherLine)
{
    const QByteArray lines[] = {
        "[S]",  "[s]:base", "  [ t ] x",     "[x",     "a=1", " A = 2 ",       "b='q'", "; c=3", "",
        "junk", "=e",       "\xC0\xE0=\xFF", "[\xC0]", "a=",  "\tb\t=\t\"x\"", "[]"};
    const QByteArray endings[] = {"\r\n", "\r\n", "\n", "\r"};
    const QByteArray sections[] = {"s", "S", "t", "x", "\xE0", ""};
    const QByteArray keys[] = {"a", "A", "b", "c", "\xE0", "new"};
    const QByteArray values[] = {"1", "v w", "\xFF\xFE", "x;y", ""};
    std::mt19937 random(1251);
    const auto pick = [&random](const auto &array) { return array[random() % std::size(array)]; };
    for (int round = 0; round < 20000; ++round) {
        QByteArray text;
        const int count = int(random() % 12);
        for (int i = 0; i < count; ++i) {
            text += pick(lines);
            if (i + 1 < count || random() % 3)
                text += pick(endings);
        }
        IniDocument doc = IniDocument::parse(text);
        const QByteArray section = pick(sections);
        const QByteArray key = pick(keys);
        const std::vector<QByteArray> before = lineContents(text);
        SCOPED_TRACE(("text " + text.toHex() + " section " + section + " key " + key).constData());
        if (random() % 3) {
            const QByteArray value = pick(values);
            doc.setValue(section, key, value);
            ASSERT_TRUE(doc.value(section, key).has_value());
            EXPECT_EQ(doc.value(section, key)->toByteArray(), value);
            const std::vector<QByteArray> after = lineContents(doc.bytes());
            EXPECT_LE(after.size(), before.size() + 2);
            EXPECT_GE(commonSubsequence(before, after) + 1, before.size());
        } else {
            const bool had = doc.value(section, key).has_value();
            EXPECT_EQ(doc.removeKey(section, key), had);
            const std::vector<QByteArray> after = lineContents(doc.bytes());
            // Where a lone CR and an LF would meet, the key's line becomes an empty line instead.
            const bool emptied = had && after.size() == before.size() &&
                                 std::count(after.begin(), after.end(), QByteArray()) ==
                                     std::count(before.begin(), before.end(), QByteArray()) + 1;
            EXPECT_EQ(after.size() + (had && !emptied ? 1 : 0), before.size());
            EXPECT_EQ(commonSubsequence(before, after), before.size() - (had ? 1 : 0));
        }
    }
}

TEST(ProfileEdit, AByteOrderMarkIsNoPartOfTheFirstLineAndStaysInFront)
{
    const QByteArray mark = "\xEF\xBB\xBF";
    // Reads: the first header is seen, and a first key line has its plain name.
    const IniDocument doc = IniDocument::parse(mark + "[s]\r\na=1\r\n");
    EXPECT_EQ(doc.value("s", "a").value_or("absent"), "1");
    EXPECT_EQ(IniDocument::parse(mark + "a=1\n[s]\nb=2\n").value("", "a").value_or("absent"), "1");

    struct Case
    {
        const char *what;
        QByteArray before, section, key, value, after;
    };
    const Case cases[] = {
        {"key of the first section replaced", mark + "[s]\r\na=1\r\n", "s", "a", "2",
         mark + "[s]\r\na=2\r\n"},
        {"key added to the first section", mark + "[s]\r\na=1\r\n", "s", "b", "2",
         mark + "[s]\r\na=1\r\nb=2\r\n"},
        {"key added to a first section without keys", mark + "[s]\n", "s", "b", "2",
         mark + "[s]\nb=2\n"},
        {"key added before the first header", mark + "; c\n[s]\n", "", "b", "2",
         mark + "b=2\n; c\n[s]\n"},
        {"first key line replaced", mark + "a=1\n[s]\n", "", "a", "2", mark + "a=2\n[s]\n"},
        {"section added", mark + "[s]\r\na=1\r\n", "t", "b", "2",
         mark + "[s]\r\na=1\r\n[t]\r\nb=2\r\n"},
        {"section added to a file holding only the mark", mark, "t", "b", "2",
         mark + "[t]\r\nb=2\r\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(set(c.before, c.section, c.key, c.value), c.after) << c.what;
    EXPECT_EQ(removed(mark + "a=1\n[s]\n", "", "a"), mark + "[s]\n");
    EXPECT_EQ(removed(mark + "[s]\na=1\n", "s", "a"), mark + "[s]\n");
}

namespace {

// Everything a parse tells about a text, in one string: two documents that read alike give the
// same string.
std::string readings(const IniDocument &doc, const std::vector<QByteArray> &sections,
                     const std::vector<QByteArray> &keys)
{
    std::string out;
    const auto add = [&out](QByteArrayView v) {
        out.append(v.data(), std::size_t(v.size())) += '|';
    };
    for (std::size_t i = 0; i < doc.keyLineCount(); ++i) {
        const IniDocument::KeyLine line = doc.keyLineAt(i);
        add(line.section);
        add(line.line);
        out += std::to_string(line.start) + (line.counts ? "+" : "-") + '\n';
    }
    for (const IniDocument::StructureLine &s : doc.structure()) {
        add(s.name);
        add(s.parentText);
        out += std::to_string(s.start) + (s.include ? "i" : "h") + '\n';
    }
    for (const QByteArray &section : sections)
        for (const QByteArray &key : keys) {
            const std::optional<QByteArrayView> value = doc.value(section, key);
            add(value ? *value : "(none)");
            const std::optional<std::size_t> at = doc.keyLineOf(section, key);
            out += at ? std::to_string(*at) : "-";
        }
    for (qsizetype at = 0; at <= doc.bytes().size(); ++at)
        add(doc.sectionAt(at));
    return out;
}

} // namespace

// An edit that puts a line of the same key in place of a key's line keeps the parse and moves
// the offsets after it; any other edit parses again. Either way the document must read exactly
// as its new text parsed afresh, and a copy made before the edit must keep reading as before.
TEST(ProfileEdit, AnEditedDocumentReadsAsItsTextParsedAgain)
{
    const QByteArray lines[] = {"[s]",   "[t]:s, u",  "a = 1 ; c", "A=22",
                                "b='q'", "; a=3",     "",          "#include \"x.ltx\"",
                                "[x",    "\xC0=\xFF", "c=",        "junk"};
    const QByteArray endings[] = {"\r\n", "\r\n", "\n", "\r"};
    // Replacement lines: the same key (another length, spelling or blanks), another key, and
    // lines that are no key line at all.
    const QByteArray texts[] = {
        "a=1", " a  = 12345 ; long", "A=", "\xE0 = x", "b=1", "c = 7", "; a=1", "[a]=1", "[a=1",
        "a",   "#include \"y.ltx\"", "",   "new=1"};
    const std::vector<QByteArray> sections = {"", "s", "t", "x", "S"};
    const std::vector<QByteArray> keys = {"a", "b", "c", "\xC0", "new", "[a"};
    std::mt19937 random(29);
    const auto pick = [&random](const auto &array) { return array[random() % std::size(array)]; };
    for (int round = 0; round < 3000; ++round) {
        QByteArray text = random() % 4 ? QByteArray() : QByteArray("\xEF\xBB\xBF");
        const int count = 1 + int(random() % 10);
        for (int i = 0; i < count; ++i) {
            text += pick(lines);
            if (i + 1 < count || random() % 3)
                text += pick(endings);
        }
        IniDocument doc = IniDocument::parse(text);
        for (int edit = 0; edit < 3; ++edit) {
            const IniDocument copy = doc;
            const std::string copyReads = readings(copy, sections, keys);
            const QByteArray section = sections[random() % sections.size()];
            const QByteArray key = keys[random() % keys.size()];
            const QByteArray line = pick(texts);
            SCOPED_TRACE(("text " + doc.bytes().toHex() + " section " + section + " key " + key +
                          " line " + line)
                             .constData());
            switch (random() % 3) {
            case 0:
                if (doc.keyLineCount() > 0)
                    doc.replaceLine(doc.keyLineAt(random() % doc.keyLineCount()).start, line);
                break;
            case 1:
                if (IniDocument::checkEntry(section, key, line).isEmpty())
                    doc.setValue(section, key, line);
                break;
            default:
                if (line.contains('=') && IniDocument::checkEntry(section, key, "v").isEmpty())
                    doc.putLine(section, key, key + "=" + line.mid(line.indexOf('=') + 1));
                break;
            }
            ASSERT_EQ(readings(doc, sections, keys),
                      readings(IniDocument::parse(doc.bytes()), sections, keys));
            // A fresh document's first lookups read the section's lines instead of the index
            // (which doc has built by now): both find the same line.
            for (const QByteArray &s : sections)
                for (const QByteArray &k : keys) {
                    const std::optional<IniDocument::KeyLine> scanned =
                        IniDocument::parse(doc.bytes()).keyLine(s, k);
                    const std::optional<IniDocument::KeyLine> indexed = doc.keyLine(s, k);
                    ASSERT_EQ(scanned.has_value(), indexed.has_value())
                        << s.constData() << k.constData();
                    if (scanned) {
                        EXPECT_EQ(scanned->start, indexed->start);
                        EXPECT_EQ(scanned->section, indexed->section);
                    }
                }
            EXPECT_EQ(readings(copy, sections, keys), copyReads);
        }
    }
}

// A document made without a parse (a missing file) reads as empty however often it is asked,
// and takes edits like the parse of an empty file.
TEST(ProfileEdit, ADocumentWithoutTextAnswersEveryLookupAndTakesEdits)
{
    for (int round = 0; round < 20; ++round) {
        const IniDocument none;
        EXPECT_FALSE(none.value("s", "a").has_value());
        EXPECT_FALSE(none.keyLine("", "a").has_value());
        EXPECT_FALSE(none.keyLineOf("s", "a").has_value());
        EXPECT_EQ(none.keyLineCount(), 0u);
        EXPECT_TRUE(none.structure().empty());
        EXPECT_TRUE(none.sectionAt(0).isEmpty());
    }
    IniDocument doc;
    EXPECT_TRUE(doc.setValue("s", "a", "1"));
    EXPECT_EQ(doc.bytes(), IniDocument::parse(QByteArray()).bytes() + "[s]\r\na=1\r\n");
    EXPECT_EQ(doc.value("s", "a"), QByteArrayView("1"));
}
