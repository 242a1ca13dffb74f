#include "gamefiles/ValueDivision.h"

#include "base/Bytes.h"

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

using base::isBlank;

// Length of the number that starts at from, exponent included; 0 when the run of number
// characters there holds no digit.
qsizetype numberLength(const QByteArray &text, qsizetype from = 0)
{
    const qsizetype size = text.size();
    qsizetype i = from;
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
        const char previous = i > from ? text.at(i - 1) : '\0';
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
    return digit ? i - from : 0;
}

// Length of a list of numbers at the front of text: the first number, then more numbers each
// after a comma with blanks on either side or both ("70, 140", "0.5, 0.5, 0.5, 0.5"). A comma
// that neither blanks nor a number follow ends the list where the number run ended.
qsizetype listLength(const QByteArray &text)
{
    qsizetype end = numberLength(text);
    if (end == 0)
        return 0;
    const qsizetype size = text.size();
    for (;;) {
        qsizetype i = end;
        bool comma = text.at(end - 1) == ',';
        bool blanks = false;
        while (i < size && isBlank(text.at(i))) {
            ++i;
            blanks = true;
        }
        if (!comma && i < size && text.at(i) == ',') {
            comma = true;
            ++i;
            while (i < size && isBlank(text.at(i))) {
                ++i;
                blanks = true;
            }
        }
        if (!comma || !blanks || i >= size)
            return end;
        const qsizetype next = numberLength(text, i);
        if (next == 0)
            return end;
        end = i + next;
    }
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
    qsizetype split = listLength(text);
    if (split == 0)
        split = commentStart(text);
    return {text.left(split), text.mid(split)};
}
