#pragma once

#include <QByteArray>

// A value as read from a game file, divided into the number the user edits and the rest
// (typically " ; comment") that is set aside and written back behind it. The two parts,
// value part first, always give back the text they came from.
struct ValueDivision
{
    QByteArray valuePart;   // the longest leading run of number characters
    QByteArray commentPart; // everything from the first other character on

    static ValueDivision divide(const QByteArray &text);

    // "0" to "9", ".", ",", "-", "+". A comma counts: turning it into a dot is up to the apply.
    static bool isNumberCharacter(char c);
};
