// Reading profile text parsed in memory: the line rules, lookups and the index.
#include "profile/IniDocument.h"
#include "textcodec/Cp1251.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

namespace {

std::optional<QByteArray> read(const QByteArray &text, const QByteArray &section,
                               const QByteArray &key)
{
    const IniDocument doc = IniDocument::parse(text);
    if (const auto v = doc.value(section, key))
        return v->toByteArray();
    return std::nullopt;
}

QByteArray cp(const char16_t *text)
{
    return cp1251::encode(QString::fromUtf16(text));
}

} // namespace

TEST(ProfileParse, EveryLineEndingReads)
{
    for (const QByteArray &eol : {QByteArray("\r\n"), QByteArray("\n"), QByteArray("\r")}) {
        const QByteArray text = "[one]" + eol + "a=1" + eol + "[two]" + eol + "a=2" + eol + "b=3";
        SCOPED_TRACE(eol.toHex().constData());
        EXPECT_EQ(read(text, "one", "a"), "1");
        EXPECT_EQ(read(text, "two", "a"), "2");
        EXPECT_EQ(read(text, "two", "b"), "3");
        EXPECT_EQ(read(text, "one", "b"), std::nullopt);
    }
    const QByteArray mixed = "[s]\r\na=1\nb=2\rc=3\r\n";
    EXPECT_EQ(read(mixed, "s", "a"), "1");
    EXPECT_EQ(read(mixed, "s", "b"), "2");
    EXPECT_EQ(read(mixed, "s", "c"), "3");
}

TEST(ProfileParse, SectionHeaders)
{
    const QByteArray text = "top=0\n"
                            "  [ spaced ]  trailing text\n"
                            "a=1\n"
                            "[child]:parent1,parent2\n"
                            "a=2\n"
                            "[first]second]\n"
                            "a=3\n"
                            "[unclosed\n"
                            "b=4\n"
                            "[]\n"
                            "a=5\n";
    EXPECT_EQ(read(text, "spaced", "a"), "1");
    EXPECT_EQ(read(text, "child", "a"), "2");
    EXPECT_EQ(read(text, "first", "a"), "3");
    // A "[" line without "]" opens no section: the key after it stays in the section before.
    EXPECT_EQ(read(text, "first", "b"), "4");
    EXPECT_EQ(read(text, "unclosed", "b"), std::nullopt);
    // Lines before the first header form the section with the empty name, which an explicit
    // "[]" later does not replace.
    EXPECT_EQ(read(text, "", "top"), "0");
    EXPECT_EQ(read(text, "", "a"), std::nullopt);
    EXPECT_EQ(read("[]\na=5\n", "", "a"), "5");
}

TEST(ProfileParse, KeysAndValues)
{
    const QByteArray text = "[s]\n"
                            "  key \t=\t value  with  inner \t\n"
                            "just a word\n"
                            "empty=\n"
                            "blank =   \n"
                            "eq=b=c\n"
                            "comment = 5 ; five ; really\n"
                            ";hidden=1\n"
                            "  ; also=2\n"
                            "=nameless\n";
    EXPECT_EQ(read(text, "s", "key"), "value  with  inner");
    EXPECT_EQ(read(text, "s", "just a word"), std::nullopt);
    EXPECT_EQ(read(text, "s", "empty"), QByteArray("")); // present, not absent
    EXPECT_EQ(read(text, "s", "blank"), QByteArray(""));
    EXPECT_EQ(read(text, "s", "eq"), "b=c");
    EXPECT_EQ(read(text, "s", "comment"), "5 ; five ; really");
    EXPECT_EQ(read(text, "s", ";hidden"), std::nullopt);
    EXPECT_EQ(read(text, "s", "; also"), std::nullopt);
    EXPECT_EQ(read(text, "s", ""), "nameless");
    // Names are looked up with their outer blanks ignored, as the file's own names are.
    EXPECT_EQ(read(text, " s ", "\tkey "), "value  with  inner");
}

TEST(ProfileParse, Quotes)
{
    const QByteArray text = "[q]\n"
                            "double = \"  padded  \"\n"
                            "single='x'\n"
                            "mixed=\"x'\n"
                            "lone=\"\n"
                            "pair=\"\"\n"
                            "inner=a \"b\" c\n"
                            "comment=\"v\" ; note\n";
    EXPECT_EQ(read(text, "q", "double"), "  padded  ");
    EXPECT_EQ(read(text, "q", "single"), "x");
    EXPECT_EQ(read(text, "q", "mixed"), "\"x'");
    EXPECT_EQ(read(text, "q", "lone"), "\"");
    EXPECT_EQ(read(text, "q", "pair"), QByteArray(""));
    EXPECT_EQ(read(text, "q", "inner"), "a \"b\" c");
    EXPECT_EQ(read(text, "q", "comment"), "\"v\" ; note");
}

TEST(ProfileParse, FirstOfDuplicatesWins)
{
    const QByteArray text = "[s]\n"
                            "a=1\n"
                            "A=2\n"
                            "[other]\n"
                            "a=9\n"
                            "[S]\n"
                            "a=3\n"
                            "only_in_second=4\n";
    EXPECT_EQ(read(text, "s", "a"), "1");
    EXPECT_EQ(read(text, "other", "a"), "9");
    // Only the first of the duplicate sections is searched.
    EXPECT_EQ(read(text, "s", "only_in_second"), std::nullopt);
}

TEST(ProfileParse, CyrillicNamesMatchInAnyCase)
{
    const QByteArray text = cp(u"[Оружие_ПМ]\r\n"
                               u"Ёмкость = 8\r\n"
                               u"Ўзор_Її_Ґґ_Єє_Іі = 1\r\n"
                               u"Емкость = 7\r\n");
    EXPECT_EQ(read(text, cp(u"ОРУЖИЕ_пм"), cp(u"ёМКОСТЬ")), "8");
    EXPECT_EQ(read(text, cp(u"оружие_пм"), cp(u"ЎЗОР_ЇЇ_ҐҐ_ЄЄ_ІІ")), "1");
    EXPECT_EQ(read(text, cp(u"оружие_пм"), cp(u"ЕМКОСТЬ")), "7"); // Е and Ё stay distinct
}

TEST(ProfileParse, ManyNamesAllFound)
{
    QByteArray text;
    for (int s = 0; s < 200; ++s) {
        text += "[section" + QByteArray::number(s) + "]\r\n";
        for (int k = 0; k < 50; ++k)
            text +=
                "Key" + QByteArray::number(k) + " = " + QByteArray::number(s * 1000 + k) + "\r\n";
    }
    const IniDocument doc = IniDocument::parse(text);
    for (int s = 0; s < 200; ++s) {
        for (int k = 0; k < 50; ++k) {
            const auto v =
                doc.value("SECTION" + QByteArray::number(s), "key" + QByteArray::number(k));
            ASSERT_TRUE(v.has_value()) << s << " " << k;
            EXPECT_EQ(*v, QByteArray::number(s * 1000 + k));
        }
        EXPECT_FALSE(doc.value("section" + QByteArray::number(s), "key50").has_value());
    }
    EXPECT_FALSE(doc.containsSection("section200"));
}

// Repeated names must not make parsing quadratic: a damaged file can repeat a block many times.
TEST(ProfileParse, ManyRepeatedSectionsAndKeys)
{
    QByteArray text;
    for (int i = 0; i < 50000; ++i)
        text += "[s]\na=" + QByteArray::number(i) + "\nb=" + QByteArray::number(i) + "\n";
    for (int i = 0; i < 50000; ++i)
        text += "c=" + QByteArray::number(i) + "\n";
    const IniDocument doc = IniDocument::parse(text);
    EXPECT_EQ(doc.value("s", "a")->toByteArray(), "0");
    EXPECT_EQ(doc.value("S", "b")->toByteArray(), "0");
    EXPECT_FALSE(doc.value("s", "c").has_value()); // only in the last repetition
}

TEST(ProfileParse, LargeFileWithCrEndingsOnly)
{
    QByteArray text = "[s]\r";
    for (int i = 0; i < 200000; ++i)
        text += "key" + QByteArray::number(i) + "=" + QByteArray::number(i) + "\r";
    const IniDocument doc = IniDocument::parse(text);
    EXPECT_EQ(doc.value("s", "key199999")->toByteArray(), "199999");
    EXPECT_EQ(doc.lineEnding(), IniDocument::LineEnding::Cr);
}

TEST(ProfileParse, EmptyAndOddInput)
{
    EXPECT_EQ(read("", "", "a"), std::nullopt);
    EXPECT_FALSE(IniDocument::parse("").containsSection(""));
    EXPECT_EQ(read(QByteArray("[s]\na=x\0y\n", 10), "s", "a"), QByteArray("x\0y", 3));
    EXPECT_EQ(read("\r\n\r\n[s]", "s", "a"), std::nullopt);
    EXPECT_EQ(IniDocument::parse("a\nb\r\n").lineEnding(), IniDocument::LineEnding::Lf);
    EXPECT_EQ(IniDocument::parse("a").lineEnding(), IniDocument::LineEnding::CrLf);
}

// Arbitrary bytes never break the parser or an edit (run under the sanitizers as well).
TEST(ProfileParse, RandomBytes)
{
    const char alphabet[] = {'[',  ']', '=', ';', '\r',   '\n',   ' ',    '\t',   '"',
                             '\'', 'a', 'A', 's', '\xC0', '\xE0', '\xA8', '\xB8', '\0'};
    const QByteArray names[] = {"a",
                                "A",
                                "s",
                                "",
                                "\xE0",
                                "\xC0"
                                "a"};
    std::mt19937 random(866);
    for (int round = 0; round < 20000; ++round) {
        QByteArray text;
        const int length = int(random() % 64);
        for (int i = 0; i < length; ++i)
            text += alphabet[random() % sizeof alphabet];
        IniDocument doc = IniDocument::parse(text);
        const QByteArray section = names[random() % std::size(names)];
        const QByteArray key = names[random() % std::size(names)];
        doc.value(section, key);
        if (IniDocument::checkEntry(section, key, "v").isEmpty()) {
            doc.setValue(section, key, "v");
            ASSERT_TRUE(doc.value(section, key).has_value()) << text.toHex().constData();
            EXPECT_EQ(doc.value(section, key)->toByteArray(), "v") << text.toHex().constData();
        }
        doc.removeKey(section, key);
    }
}
