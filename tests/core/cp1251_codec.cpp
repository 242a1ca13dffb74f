#include "textcodec/Cp1251.h"

#include <gtest/gtest.h>

namespace {

QByteArray allBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(static_cast<char>(i));
    return bytes;
}

} // namespace

TEST(Cp1251Codec, EveryByteSurvivesARoundTripThroughUnicode)
{
    const QByteArray bytes = allBytes();
    const QString text = cp1251::toUnicode(bytes);
    ASSERT_EQ(text.size(), 256);
    QByteArray back;
    ASSERT_TRUE(cp1251::fromUnicode(text, &back));
    EXPECT_EQ(back, bytes);
    EXPECT_EQ(cp1251::encode(text), bytes);
}

TEST(Cp1251Codec, KnownCharacters)
{
    EXPECT_EQ(cp1251::toUnicode("\xC0\xDF\xE0\xFF"), QStringLiteral("АЯая"));
    EXPECT_EQ(cp1251::toUnicode("\xA8\xB8\xB9\x88"), QStringLiteral("Ёё№€"));
    EXPECT_EQ(cp1251::encode(QStringLiteral("НЕ ЗАГРУЖЕНО!")),
              QByteArray("\xCD\xC5 \xC7\xC0\xC3\xD0\xD3\xC6\xC5\xCD\xCE!"));
}

TEST(Cp1251Codec, TextOutsideTheCodePageIsRefused)
{
    QByteArray out = "kept";
    EXPECT_FALSE(cp1251::fromUnicode(QStringLiteral("Grüße"), &out));
    EXPECT_FALSE(cp1251::fromUnicode(QStringLiteral("日本"), &out));
    EXPECT_FALSE(cp1251::fromUnicode(QString::fromUtf8("\xF0\x9F\x98\x80"), &out)); // emoji
    EXPECT_EQ(out, "kept");
    // The program's own texts never go through this path with such characters; if one does, it
    // shows as '?' rather than a wrong letter.
    EXPECT_EQ(cp1251::encode(QStringLiteral("a日b")), "a?b");
}

// Folding must agree with Unicode lower case for every letter the code page holds in both cases.
TEST(Cp1251Codec, FoldingAgreesWithUnicodeLowerCase)
{
    for (int b = 0; b < 256; ++b) {
        const QByteArray byte(1, static_cast<char>(b));
        const QString lower = cp1251::toUnicode(byte).toLower();
        QByteArray expected;
        if (!cp1251::fromUnicode(lower, &expected))
            expected = byte;
        EXPECT_EQ(cp1251::foldCase(static_cast<unsigned char>(b)),
                  static_cast<unsigned char>(expected[0]))
            << "byte 0x" << std::hex << b;
    }
}

TEST(Cp1251Codec, CaseInsensitiveComparison)
{
    const auto cp = [](const char16_t *s) { return cp1251::encode(QString::fromUtf16(s)); };
    EXPECT_TRUE(cp1251::equalsIgnoreCase(cp(u"ЁЛКА Ў Ї Ґ Є І Ј Ѕ Џ Љ Њ Ћ Ќ Ђ Ѓ"),
                                         cp(u"ёлка ў ї ґ є і ј ѕ џ љ њ ћ ќ ђ ѓ")));
    EXPECT_TRUE(cp1251::equalsIgnoreCase("Weapon_Ak74", "WEAPON_ak74"));
    EXPECT_FALSE(cp1251::equalsIgnoreCase(cp(u"Ёж"), cp(u"Еж"))); // distinct letters
    EXPECT_FALSE(cp1251::equalsIgnoreCase("abc", "abcd"));
    EXPECT_EQ(cp1251::foldCase(cp(u"Оружие ПМ")), cp(u"оружие пм"));
}
