#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Small helpers on the bytes of the program's files, shared by every folder that reads or writes
// them (profile files, the registry store, the table file, value division, the profile driver).
namespace base {

// A blank of the file formats: space or tab (line ends are never blanks).
inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The text without the blanks at either end.
inline QByteArrayView trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// The value of a hexadecimal digit (either letter case), or -1 for any other byte.
inline int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Appends a byte as two lower-case hexadecimal digits.
inline void appendHex(QByteArray &out, unsigned char byte)
{
    static constexpr char digits[] = "0123456789abcdef";
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

} // namespace base
