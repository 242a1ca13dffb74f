#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>

// Every file of the program holds single-byte Windows-1251 text. The core works on those bytes;
// conversion to Unicode happens only where text meets the widgets or the file system.
namespace cp1251 {

// Lossless: every byte value has a character (the unassigned 0x98 becomes U+0098).
QString toUnicode(const QByteArray &bytes);

// Returns false (and leaves *out untouched) when the text holds a character that
// Windows-1251 cannot represent: such text is refused, never written as '?'.
bool fromUnicode(const QString &text, QByteArray *out);

// Like fromUnicode, for texts the program itself knows to be representable (its own messages);
// a character without a byte becomes '?'.
QByteArray encode(const QString &text);

namespace detail {
// Upper-case letters and their lower-case partners outside the ranges A-Z and 0xC0-0xDF.
inline constexpr std::array<std::array<unsigned char, 2>, 15> kCyrillicPairs = {{
    {0x80, 0x90}, // Ђ ђ
    {0x81, 0x83}, // Ѓ ѓ
    {0x8A, 0x9A}, // Љ љ
    {0x8C, 0x9C}, // Њ њ
    {0x8D, 0x9D}, // Ќ ќ
    {0x8E, 0x9E}, // Ћ ћ
    {0x8F, 0x9F}, // Џ џ
    {0xA1, 0xA2}, // Ў ў
    {0xA3, 0xBC}, // Ј ј
    {0xA5, 0xB4}, // Ґ ґ
    {0xA8, 0xB8}, // Ё ё
    {0xAA, 0xBA}, // Є є
    {0xAF, 0xBF}, // Ї ї
    {0xB2, 0xB3}, // І і
    {0xBD, 0xBE}, // Ѕ ѕ
}};

constexpr std::array<unsigned char, 256> makeFoldTable()
{
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = static_cast<unsigned char>(i);
    for (int i = 'A'; i <= 'Z'; ++i)
        t[i] = static_cast<unsigned char>(i + 32);
    for (int i = 0xC0; i <= 0xDF; ++i)
        t[i] = static_cast<unsigned char>(i + 32);
    for (const auto &p : kCyrillicPairs)
        t[p[0]] = p[1];
    return t;
}

inline constexpr std::array<unsigned char, 256> kFoldTable = makeFoldTable();
} // namespace detail

// Letter-case folding of one Windows-1251 byte to lower case: Latin letters and every Cyrillic
// pair of the code page (А-Я, Ё, Ђ, Ѓ, Є, Ѕ, І, Ї, Ј, Љ, Њ, Ћ, Ќ, Ў, Џ, Ґ).
inline unsigned char foldCase(unsigned char c)
{
    return detail::kFoldTable[c];
}

// Case-insensitive equality of two Windows-1251 texts.
bool equalsIgnoreCase(QByteArrayView a, QByteArrayView b);

// Lower-cased copy of a Windows-1251 text.
QByteArray foldCase(QByteArrayView text);

} // namespace cp1251
