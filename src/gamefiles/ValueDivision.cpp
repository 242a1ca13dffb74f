#include "gamefiles/ValueDivision.h"

bool ValueDivision::isNumberCharacter(char c)
{
    return (c >= '0' && c <= '9') || c == '.' || c == ',' || c == '-' || c == '+';
}

ValueDivision ValueDivision::divide(const QByteArray &text)
{
    qsizetype split = 0;
    while (split < text.size() && isNumberCharacter(text.at(split)))
        ++split;
    return {text.left(split), text.mid(split)};
}
