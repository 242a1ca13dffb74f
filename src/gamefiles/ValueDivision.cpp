#include "gamefiles/ValueDivision.h"

#include "base/Bytes.h"

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

using base::isBlank;

// Length of the number at the front of text, exponent included; 0 when the leading run of
// number characters holds no digit.
qsizetype numberLength(const QByteArray &text)
{
    const qsizetype size = text.size();
    qsizetype i = 0;
    bool digit = false;
    while (i < size) {
        const char c = text.at(i);
        if (ValueDivision::isNumberCharacter(c)) {
            digit = digit || isDigit(c);
            ++i;
            continue;
        }
        // "e" or "E" right after a digit (or after "1."), then a digit or a sign and a digit:
        // an exponent.
        const char previous = i > 0 ? text.at(i - 1) : '\0';
        if (digit && (isDigit(previous) || previous == '.') && (c == 'e' || c == 'E')) {
            qsizetype next = i + 1;
            if (next < size && (text.at(next) == '-' || text.at(next) == '+'))
                ++next;
            if (next < size && isDigit(text.at(next))) {
                i = next;
                continue;
            }
        }
        break;
    }
    return digit ? i : 0;
}

// Where the comment of a value that is no number starts: at the blanks before the first ";",
// or at the end when there is none.
qsizetype commentStart(const QByteArray &text)
{
    qsizetype split = text.indexOf(';');
    if (split < 0)
        return text.size();
    while (split > 0 && isBlank(text.at(split - 1)))
        --split;
    return split;
}

} // namespace

bool ValueDivision::isNumberCharacter(char c)
{
    return isDigit(c) || c == '.' || c == ',' || c == '-' || c == '+';
}

ValueDivision ValueDivision::divide(const QByteArray &text)
{
    qsizetype split = numberLength(text);
    if (split == 0)
        split = commentStart(text);
    return {text.left(split), text.mid(split)};
}
