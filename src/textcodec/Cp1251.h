#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

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

// Letter-case folding of one Windows-1251 byte to lower case: Latin letters and every Cyrillic
// pair of the code page (А-Я, Ё, Ђ, Ѓ, Є, Ѕ, І, Ї, Ј, Љ, Њ, Ћ, Ќ, Ў, Џ, Ґ).
unsigned char foldCase(unsigned char c);

// Case-insensitive equality of two Windows-1251 texts.
bool equalsIgnoreCase(QByteArrayView a, QByteArrayView b);

// Lower-cased copy of a Windows-1251 text.
QByteArray foldCase(QByteArrayView text);

} // namespace cp1251
